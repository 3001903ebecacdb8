// The maker's public keys built into the program, against which SHA256SUMS.sig is checked. They come from
// the build (the CMake option NIMBREL_IMAGE_KEYS, turned into a source file of their own), so that copies of
// the programs with other keys differ in this one object only.
#pragma once

#include "system/EcdsaP256.h"

#include <cstddef>

struct ImageKeys {
    const P256PublicPoint* points = nullptr; // X||Y of each key
    std::size_t count = 0;                   // 0: a build without keys, which checks no signature
    bool signedOnly = false;                 // refuse every folder whose list is missing or not signed
};

// Defined by the generated keys unit that the program links.
ImageKeys BuiltInImageKeys();
