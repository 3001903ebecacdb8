#include "engine/ImageFacts.h"

const char* StageImageWord(StageImage image) {
    switch (image) {
    case StageImage::Absent:
        return "absent";
    case StageImage::NotLoaded:
        return "not-loaded";
    case StageImage::TooShort:
        return "too-short";
    case StageImage::BadMark:
        return "bad-mark";
    case StageImage::NotMarked:
        return "not-marked";
    case StageImage::ToSend:
        return "to-send";
    }
    return "unknown";
}

std::string HowImageIsVerified(const std::string& /*imagePath*/) {
    return "none";
}

StageImageFacts FactsOfImageFile(int stage, const std::string& path) {
    StageImageFacts facts;
    facts.stage = stage;
    facts.image = JudgeStageImage(path.c_str());
    if (facts.image != StageImage::Absent)
        facts.fingerprint = FingerprintFile(path);
    facts.verified = HowImageIsVerified(path);
    return facts;
}
