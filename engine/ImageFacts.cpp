#include "engine/ImageFacts.h"

const char* StageImageWord(StageImage image) {
    switch (image) {
    case StageImage::Absent:
        return "absent";
    case StageImage::InUse:
        return "in-use";
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

StageImageFacts FactsOfImageFile(int stage, const std::string& path, const ContentCheck& contents) {
    StageImageFacts facts;
    facts.stage = stage;
    facts.image = JudgeStageImage(path.c_str(), AllocateCHeap, ImageReader::Report);
    if (facts.image != StageImage::Absent)
        FingerprintFile(path, facts.fingerprint);
    facts.verified = ComparedWithList(contents, UPDATE_STAGES[stage].file, facts.fingerprint.sha256);
    return facts;
}
