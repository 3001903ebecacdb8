// P-256 keys in the PEM files that openssl reads and writes: the private key as "EC PRIVATE KEY" (what
// `openssl ecparam -genkey` writes; "PRIVATE KEY" from `openssl genpkey` is read too) and the public key as
// "PUBLIC KEY" (what `openssl ec -pubout` writes, and what the build takes in NIMBREL_IMAGE_KEYS).
#pragma once

#include "system/EcdsaP256.h"

#include <optional>
#include <string>

std::string PrivateKeyPem(const P256KeyPair& key);
std::string PublicKeyPem(const P256PublicPoint& point);

// Nothing, with `error` saying why, when the text holds no P-256 private key with its public point.
std::optional<P256KeyPair> ReadPrivateKeyPem(const std::string& text, std::string& error);
