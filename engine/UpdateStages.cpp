#include "engine/UpdateStages.h"

#include "texts/TextKeys.h"

const UpdateStage UPDATE_STAGES[UPDATE_STAGE_COUNT] = {
    {IMAGE_FIRM, TEXT_STAGE_FIRM},
    {IMAGE_CDB2, TEXT_STAGE_CDB2},
    {IMAGE_CDB1, TEXT_STAGE_CDB1},
    {IMAGE_CDB3, TEXT_STAGE_CDB3},
};

StageImage JudgeStageImage(const char* path, LeadAllocator allocate, ImageReader reader) {
    if (path == nullptr || path[0] == '\0')
        return StageImage::Absent;
    const LeadBlock lead = ReadLeadBlock(path, allocate, reader);
    if (lead.result == LeadRead::NoMemory)
        return StageImage::NotLoaded;
    if (lead.result == LeadRead::InUse)
        return StageImage::InUse;
    if (!lead.opened)
        return StageImage::Absent;
    if (!LeadBlockIsWhole(lead))
        return StageImage::TooShort;
    if (!StartsWithMark(lead))
        return StageImage::BadMark;
    return IsMarkedForSending(lead) ? StageImage::ToSend : StageImage::NotMarked;
}

StageImage JudgeStageImageWaiting(const char* path, const std::function<bool()>& stopped,
                                  ImageReader reader) {
    constexpr DWORD LOOK_AGAIN_MS = 100;
    const ULONGLONG deadline = ::GetTickCount64() + IMAGE_IN_USE_WAIT_MS;
    for (;;) {
        const StageImage image = JudgeStageImage(path, AllocateCHeap, reader);
        if (image != StageImage::InUse || ::GetTickCount64() >= deadline || (stopped && stopped()))
            return image;
        ::Sleep(LOOK_AGAIN_MS);
    }
}
