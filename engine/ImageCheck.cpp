#include "engine/ImageCheck.h"

ImageCheck CheckImagesOnce(bool waitWhileInUse) {
    ImageCheck check;
    const auto paths = BuildImagePaths();
    for (int stage = 0; stage < UPDATE_STAGE_COUNT; ++stage) {
        const char* path = paths[UPDATE_STAGES[stage].file].c_str();
        const StageImage image = waitWhileInUse ? JudgeStageImageWaiting(path) : JudgeStageImage(path);
        if (image == StageImage::ToSend) {
            check.stagesToSend.push_back(stage);
        } else if (image == StageImage::InUse && !waitWhileInUse) {
            continue;
        } else if (image != StageImage::Absent && image != StageImage::NotMarked) {
            check.rejectedStage = stage;
            check.rejected = image;
            return check;
        }
    }
    check.contents = CheckImageContents();
    return check;
}
