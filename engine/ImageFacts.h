// What support and a production line are told of a stage's image: its verdict, its size and SHA-256, and how
// its bytes were checked to be the maker's. The update run gives these to its front end, and the support
// report lists the same for the images of a folder.
#pragma once

#include "engine/ImageContents.h"
#include "engine/UpdateHistory.h"
#include "engine/UpdateStages.h"

#include <string>

struct StageImageFacts {
    int stage = 0; // 0 to UPDATE_STAGE_COUNT - 1
    StageImage image = StageImage::Absent;
    // Of the bytes handed to the sender for an image that is sent, else of the file as it stands; sha256
    // empty when there is none (absent, unreadable, or the system could not hash).
    ImageFingerprint fingerprint;
    std::string verified; // how its bytes are (or would be) verified: "signature", "sha256" or "none"
};

// The verdict as one word: "absent", "in-use", "not-loaded", "too-short", "bad-mark", "not-marked",
// "to-send".
const char* StageImageWord(StageImage image);

// The facts of the image at `path` as it stands, read as the support report reads (ImageReader::Report):
// judged by the rules of `stage`, read whole for its fingerprint (left empty for an absent one, which may be
// a file another program holds open), and that fingerprint compared with the list of `contents`.
StageImageFacts FactsOfImageFile(int stage, const std::string& path, const ContentCheck& contents);
