// ECDSA on the curve P-256 with the system's cryptography (bcrypt.dll): checking the maker's signature over
// the images' checksum list, and, for the sealing tool, making a key pair and signing. Keys travel as raw
// big-endian numbers: the public point X||Y (64 bytes) and the private scalar d (32 bytes); a signature is
// r||s (64 bytes), as the system gives and takes it.
#pragma once

#include "system/BcryptObjects.h"

#include <array>
#include <cstdint>
#include <optional>

constexpr std::size_t P256_COORDINATE_SIZE = 32;
using P256PublicPoint = std::array<std::uint8_t, 2 * P256_COORDINATE_SIZE>; // X then Y
using P256PrivateScalar = std::array<std::uint8_t, P256_COORDINATE_SIZE>;
using P256Signature = std::array<std::uint8_t, 2 * P256_COORDINATE_SIZE>; // r then s
using Sha256Digest = std::array<std::uint8_t, 32>;

struct P256KeyPair {
    P256PublicPoint point{};
    P256PrivateScalar scalar{};
};

// What the system said of a signature.
enum class P256Verdict {
    Valid,       // the signature of the digest by the private key of the point
    Invalid,     // the system checked it, and it is not
    Uncheckable, // the system could not check it: no ECDSA P-256 provider, or the point not taken as a key
};

P256Verdict CheckP256Signature(const P256PublicPoint& point, const Sha256Digest& digest,
                               const P256Signature& signature);

// True only when `signature` is the signature of `digest` by the private key of `point`. A point that is not
// on the curve, or any failure of the system, is no signature.
bool VerifyP256(const P256PublicPoint& point, const Sha256Digest& digest, const P256Signature& signature);

// A fresh key pair from the system's random source; nothing when the system cannot make one.
std::optional<P256KeyPair> GenerateP256KeyPair();

// Signs `digest` with `key`; nothing when the system refuses the key.
std::optional<P256Signature> SignP256(const P256KeyPair& key, const Sha256Digest& digest);
