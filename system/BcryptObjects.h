// Owners of the system's cryptography objects (bcrypt.dll): an algorithm provider and a hash. Move-only; each
// closes its object exactly once.
#pragma once

#include "system/HandleOwner.h"

#include <windows.h>
#include <bcrypt.h>

struct BcryptAlgorithmTraits : NullIsNone<BCRYPT_ALG_HANDLE> {
    static void Close(Handle h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};

struct BcryptHashTraits : NullIsNone<BCRYPT_HASH_HANDLE> {
    static void Close(Handle h) noexcept { ::BCryptDestroyHash(h); }
};

// An open algorithm provider (BCryptOpenAlgorithmProvider).
using BcryptAlgorithm = HandleOwner<BcryptAlgorithmTraits>;
// A hash object made by BCryptCreateHash. It works in memory that its maker keeps for it; destroy it first.
using BcryptHash = HandleOwner<BcryptHashTraits>;
