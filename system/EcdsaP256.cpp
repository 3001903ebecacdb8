#include "system/EcdsaP256.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

BcryptAlgorithm OpenEcdsa() {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Succeeded(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
        return BcryptAlgorithm();
    return BcryptAlgorithm(algorithm);
}

// The system's key blob: its header, then X, Y and (private keys only) d.
std::vector<UCHAR> KeyBlob(ULONG magic, const P256PublicPoint& point, const P256PrivateScalar* scalar) {
    BCRYPT_ECCKEY_BLOB header{magic, static_cast<ULONG>(P256_COORDINATE_SIZE)};
    std::vector<UCHAR> blob(sizeof header + point.size() + (scalar ? scalar->size() : 0));
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, point.data(), point.size());
    if (scalar)
        std::memcpy(blob.data() + sizeof header + point.size(), scalar->data(), scalar->size());
    return blob;
}

BcryptKey ImportKey(const BcryptAlgorithm& algorithm, LPCWSTR type, std::vector<UCHAR> blob) {
    BCRYPT_KEY_HANDLE key = nullptr;
    if (!Succeeded(::BCryptImportKeyPair(algorithm.Get(), nullptr, type, &key, blob.data(),
                                         static_cast<ULONG>(blob.size()), 0)))
        return BcryptKey();
    return BcryptKey(key);
}

} // namespace

P256Verdict CheckP256Signature(const P256PublicPoint& point, const Sha256Digest& digest,
                               const P256Signature& signature) {
    const BcryptAlgorithm algorithm = OpenEcdsa();
    if (!algorithm)
        return P256Verdict::Uncheckable;
    const BcryptKey key =
        ImportKey(algorithm, BCRYPT_ECCPUBLIC_BLOB, KeyBlob(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, point, nullptr));
    if (!key)
        return P256Verdict::Uncheckable;
    // The system only reads both buffers. Once the key is in, every answer but success is the verifier's
    // no: a forged signature of numbers out of range may be told apart from a wrong one by some other status.
    auto* hash = const_cast<PUCHAR>(digest.data());
    auto* sig = const_cast<PUCHAR>(signature.data());
    return ::BCryptVerifySignature(key.Get(), nullptr, hash, static_cast<ULONG>(digest.size()), sig,
                                   static_cast<ULONG>(signature.size()), 0) == 0
               ? P256Verdict::Valid
               : P256Verdict::Invalid;
}

bool VerifyP256(const P256PublicPoint& point, const Sha256Digest& digest, const P256Signature& signature) {
    return CheckP256Signature(point, digest, signature) == P256Verdict::Valid;
}

std::optional<P256KeyPair> GenerateP256KeyPair() {
    const BcryptAlgorithm algorithm = OpenEcdsa();
    if (!algorithm)
        return std::nullopt;
    BCRYPT_KEY_HANDLE made = nullptr;
    if (!Succeeded(::BCryptGenerateKeyPair(algorithm.Get(), &made, 256, 0)))
        return std::nullopt;
    const BcryptKey key(made);
    if (!Succeeded(::BCryptFinalizeKeyPair(key.Get(), 0)))
        return std::nullopt;
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 3 * P256_COORDINATE_SIZE);
    ULONG written = 0;
    if (!Succeeded(::BCryptExportKey(key.Get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                                     static_cast<ULONG>(blob.size()), &written, 0)) ||
        written != blob.size())
        return std::nullopt;
    BCRYPT_ECCKEY_BLOB header;
    std::memcpy(&header, blob.data(), sizeof header);
    if (header.dwMagic != BCRYPT_ECDSA_PRIVATE_P256_MAGIC || header.cbKey != P256_COORDINATE_SIZE)
        return std::nullopt;
    P256KeyPair pair;
    const UCHAR* at = blob.data() + sizeof header;
    std::copy(at, at + pair.point.size(), pair.point.begin());
    at += pair.point.size();
    std::copy(at, at + pair.scalar.size(), pair.scalar.begin());
    return pair;
}

std::optional<P256Signature> SignP256(const P256KeyPair& pair, const Sha256Digest& digest) {
    const BcryptAlgorithm algorithm = OpenEcdsa();
    if (!algorithm)
        return std::nullopt;
    const BcryptKey key = ImportKey(algorithm, BCRYPT_ECCPRIVATE_BLOB,
                                    KeyBlob(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, pair.point, &pair.scalar));
    if (!key)
        return std::nullopt;
    P256Signature signature{};
    ULONG written = 0;
    auto* hash = const_cast<PUCHAR>(digest.data());
    if (!Succeeded(::BCryptSignHash(key.Get(), nullptr, hash, static_cast<ULONG>(digest.size()),
                                    signature.data(), static_cast<ULONG>(signature.size()), &written, 0)) ||
        written != signature.size())
        return std::nullopt;
    return signature;
}
