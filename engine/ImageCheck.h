#pragma once

#include "engine/UpdateStages.h"

#include <vector>

// The images of the current folder, judged once by the rules of a stage before a series of updates (the
// console's bench, device after device): a bad image would otherwise fail every device, one after the other.
struct ImageCheck {
    int rejectedStage = -1;                   // the first stage whose image is unfit to send; -1: none
    StageImage rejected = StageImage::Absent; // that image's verdict
    std::vector<int> stagesToSend;            // the stages whose image is fit and marked for sending
};

ImageCheck CheckImagesOnce();
