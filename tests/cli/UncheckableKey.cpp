// The keys unit of a test copy of the console program whose one key no system takes as a key, the point
// (0, 0): every check of a signature fails on the PC's side, as on a PC whose ECDSA P-256 does not work.
#include "engine/ImageKeys.h"

namespace {

const P256PublicPoint UNUSABLE_KEYS[1] = {};

} // namespace

ImageKeys BuiltInImageKeys() {
    return {UNUSABLE_KEYS, 1, true};
}
