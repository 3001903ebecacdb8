#include "system/Sha256.h"

#include <algorithm>
#include <climits>

namespace {

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

} // namespace

Sha256::Sha256() {
    if (!Open())
        Fail();
}

bool Sha256::Open() {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Succeeded(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return false;
    m_algorithm.Reset(algorithm);
    // Vista requires the caller to supply the hash object's memory; later systems accept it too.
    DWORD objectSize = 0;
    ULONG written = 0;
    if (!Succeeded(::BCryptGetProperty(algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                                       sizeof objectSize, &written, 0)))
        return false;
    m_object.resize(objectSize);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!Succeeded(::BCryptCreateHash(algorithm, &hash, m_object.data(), objectSize, nullptr, 0, 0)))
        return false;
    m_hash.Reset(hash);
    return true;
}

void Sha256::Update(const void* data, std::size_t size) {
    if (!m_hash)
        return Fail();
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data)); // BCryptHashData only reads them
    while (size > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(size, ULONG_MAX));
        if (!Succeeded(::BCryptHashData(m_hash.Get(), bytes, piece, 0)))
            return Fail();
        bytes += piece;
        size -= piece;
    }
}

std::array<std::uint8_t, 32> Sha256::Finish() {
    std::array<std::uint8_t, 32> digest{};
    if (!m_hash) {
        Fail();
        return digest;
    }
    const bool done = Succeeded(::BCryptFinishHash(m_hash.Get(), digest.data(), digest.size(), 0));
    // A finished hash object can only be destroyed.
    m_hash.Reset();
    if (!done) {
        Fail();
        digest.fill(0);
    }
    return digest;
}

std::string Sha256::FinishHex() {
    const auto digest = Finish();
    return m_failed ? std::string() : Hex(digest.data(), digest.size());
}

std::string Sha256::Hex(const void* data, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

void Sha256::Fail() {
    m_failed = true;
    m_hash.Reset();
}
