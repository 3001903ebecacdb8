#pragma once

#include "engine/ImageContents.h"
#include "engine/UpdateStages.h"

#include <vector>

// The images of the current folder, judged once by the rules of a stage and checked against the checksum
// list before a series of updates (the console's bench, device after device): a bad image would otherwise
// fail every device, one after the other.
struct ImageCheck {
    int rejectedStage = -1;                   // the first stage whose image is unfit to send; -1: none
    StageImage rejected = StageImage::Absent; // that image's verdict
    std::vector<int> stagesToSend;            // the stages whose image is fit and marked for sending
    ContentCheck contents; // the images against the checksum list, once their structure has passed
};

// An image that another program holds open is waited for as at a stage; with `waitWhileInUse` false it is
// passed over at once instead (for a look at the folder that must not keep anyone waiting).
ImageCheck CheckImagesOnce(bool waitWhileInUse = true);
