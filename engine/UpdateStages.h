// The stages of an update run and what the run asks of each stage's image, without the window.
#pragma once

#include "engine/ImageFormat.h"

#include <functional>

constexpr int UPDATE_STAGE_COUNT = 4;

// One stage: which image file it sends and the [message] key of its stage text.
struct UpdateStage {
    ImageFile file;
    const char* textKey;
};

// The stages in the order they run: file 2 goes to the device before file 1.
extern const UpdateStage UPDATE_STAGES[UPDATE_STAGE_COUNT];

// What a stage's image is, judged from its leading block.
enum class StageImage {
    Absent,    // cannot be opened (absent, or no path): the stage is skipped
    InUse,     // another program holds it open: it cannot be judged now, which is no "no image"
    NotLoaded, // opened, but no memory for its leading block: it cannot be judged, and the run ends
    TooShort,  // fails the length rule: the run ends
    BadMark,   // fails the mark rule: the run ends
    NotMarked, // valid, send flag 0: the stage shows its text and sends nothing
    ToSend,    // valid and marked for sending
};

// Reads and judges the front of a stage's image; the leading block is released before this returns. An empty
// path (one that did not fit) opens nothing. `allocate` gives the leading block's buffer (tests put in one
// that fails).
StageImage JudgeStageImage(const char* path, LeadAllocator allocate = AllocateCHeap,
                           ImageReader reader = ImageReader::Update);

// How long an image that another program holds open is waited for (a virus scanner holds a new file for a
// moment) before it counts as in use.
constexpr DWORD IMAGE_IN_USE_WAIT_MS = 2000;

// JudgeStageImage, judged again every 100 ms while the image is in use, for up to IMAGE_IN_USE_WAIT_MS or
// until `stopped` (when given) returns true.
StageImage JudgeStageImageWaiting(const char* path, const std::function<bool()>& stopped = nullptr,
                                  ImageReader reader = ImageReader::Update);
