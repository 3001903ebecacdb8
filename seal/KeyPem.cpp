#include "seal/KeyPem.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// DER pieces of the two fixed forms: the curve's name (prime256v1), a private key's version and scalar, and
// a public point's bit string (uncompressed).
const Bytes CURVE_OID = {0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};
const Bytes SCALAR_START = {0x02, 0x01, 0x01, 0x04, 0x20};
const Bytes POINT_START = {0x03, 0x42, 0x00, 0x04};
const Bytes SPKI_HEAD = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01};

const char BASE64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const Bytes& data) {
    std::string text;
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const unsigned n = data[i] << 16 | (i + 1 < data.size() ? data[i + 1] << 8 : 0) |
                           (i + 2 < data.size() ? data[i + 2] : 0);
        text += BASE64[n >> 18 & 63];
        text += BASE64[n >> 12 & 63];
        text += i + 1 < data.size() ? BASE64[n >> 6 & 63] : '=';
        text += i + 2 < data.size() ? BASE64[n & 63] : '=';
    }
    return text;
}

bool FromBase64(const std::string& text, Bytes& data) {
    unsigned bits = 0, count = 0;
    for (const char c : text) {
        if (c == '=' || c == '\r' || c == '\n' || c == ' ' || c == '\t')
            continue;
        const char* at = std::find(BASE64, BASE64 + 64, c);
        if (at == BASE64 + 64)
            return false;
        bits = bits << 6 | static_cast<unsigned>(at - BASE64);
        if ((count += 6) >= 8) {
            count -= 8;
            data.push_back(static_cast<std::uint8_t>(bits >> count));
        }
    }
    return true;
}

std::string Pem(const char* label, const Bytes& der) {
    const std::string body = Base64(der);
    std::string text = std::string("-----BEGIN ") + label + "-----\n";
    for (std::size_t at = 0; at < body.size(); at += 64)
        text += body.substr(at, 64) + "\n";
    return text + "-----END " + label + "-----\n";
}

// The DER of the first block of the labels given; false when there is none or it does not decode.
bool PemBlock(const std::string& text, const char* label, Bytes& der) {
    const std::string begin = std::string("-----BEGIN ") + label + "-----";
    const std::string end = std::string("-----END ") + label + "-----";
    const std::size_t from = text.find(begin);
    const std::size_t to = from == std::string::npos ? from : text.find(end, from);
    if (to == std::string::npos)
        return false;
    const std::size_t body = from + begin.size();
    return FromBase64(text.substr(body, to - body), der);
}

// Where `piece` ends in `der`, looked for from `from` on, or 0 when it is not there.
std::size_t After(const Bytes& der, const Bytes& piece, std::size_t from = 0) {
    if (from >= der.size())
        return 0;
    const auto at =
        std::search(der.begin() + static_cast<std::ptrdiff_t>(from), der.end(), piece.begin(), piece.end());
    return at == der.end() ? 0 : static_cast<std::size_t>(at - der.begin()) + piece.size();
}

Bytes Append(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

std::string PrivateKeyPem(const P256KeyPair& key) {
    // ECPrivateKey: version 1, the scalar, [0] the curve, [1] the public point.
    Bytes der = {0x30, 0x77};
    der = Append(der, SCALAR_START);
    der.insert(der.end(), key.scalar.begin(), key.scalar.end());
    der = Append(Append(der, {0xa0, 0x0a}), CURVE_OID);
    der = Append(Append(der, {0xa1, 0x44}), POINT_START);
    der.insert(der.end(), key.point.begin(), key.point.end());
    return Pem("EC PRIVATE KEY", der);
}

std::string PublicKeyPem(const P256PublicPoint& point) {
    // SubjectPublicKeyInfo: id-ecPublicKey on prime256v1, then the point.
    Bytes der = Append(Append(SPKI_HEAD, CURVE_OID), POINT_START);
    der.insert(der.end(), point.begin(), point.end());
    return Pem("PUBLIC KEY", der);
}

std::optional<P256KeyPair> ReadPrivateKeyPem(const std::string& text, std::string& error) {
    Bytes der;
    if (!PemBlock(text, "EC PRIVATE KEY", der) && !PemBlock(text, "PRIVATE KEY", der)) {
        error = "no PEM \"EC PRIVATE KEY\" or \"PRIVATE KEY\" block";
        return std::nullopt;
    }
    const std::size_t scalar = After(der, SCALAR_START);
    if (After(der, CURVE_OID) == 0 || scalar == 0 || scalar + P256_COORDINATE_SIZE > der.size()) {
        error = "not a P-256 (prime256v1) private key";
        return std::nullopt;
    }
    // The point follows the scalar: looked for behind it, so that the scalar's bytes cannot pass for it.
    const std::size_t point = After(der, POINT_START, scalar + P256_COORDINATE_SIZE);
    if (point == 0 || point + 2 * P256_COORDINATE_SIZE > der.size()) {
        error = "the key file lacks its public point (write it with openssl ec -in KEY -out KEY)";
        return std::nullopt;
    }
    P256KeyPair key;
    std::copy_n(der.begin() + static_cast<std::ptrdiff_t>(scalar), key.scalar.size(), key.scalar.begin());
    std::copy_n(der.begin() + static_cast<std::ptrdiff_t>(point), key.point.size(), key.point.begin());
    return key;
}
