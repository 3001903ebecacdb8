#include "engine/ImageFormat.h"
#include "engine/UpdateStages.h"

#include "system/UniqueHandle.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

LeadBlock LeadOf(TempFolder& folder, const std::vector<BYTE>& bytes) {
    return ReadLeadBlock(folder.Write("image.zpk", bytes).c_str());
}

TEST(ImageLeadBlock, LengthRuleNeedsAllOf1028Bytes) {
    TempFolder folder;
    const LeadBlock shortOne = LeadOf(folder, MakeImage(1027));
    EXPECT_TRUE(shortOne.opened);
    EXPECT_EQ(shortOne.count, 1027u);
    EXPECT_FALSE(LeadBlockIsWhole(shortOne));
    EXPECT_FALSE(StartsWithMark(shortOne)) << "a short file fails whatever its first bytes hold";

    const LeadBlock exact = LeadOf(folder, MakeImage(1028));
    EXPECT_TRUE(LeadBlockIsWhole(exact));
    EXPECT_TRUE(StartsWithMark(exact));
    EXPECT_TRUE(IsMarkedForSending(exact));

    const LeadBlock larger = LeadOf(folder, MakeImage(5000));
    EXPECT_EQ(larger.count, 1028u);
    EXPECT_TRUE(LeadBlockIsWhole(larger));
}

TEST(ImageLeadBlock, MarkRuleAcceptsOnlyPercent) {
    TempFolder folder;
    EXPECT_FALSE(StartsWithMark(LeadOf(folder, MakeImage(1028, 0x24))));
    EXPECT_FALSE(StartsWithMark(LeadOf(folder, MakeImage(1028, 0x26))));
    EXPECT_TRUE(StartsWithMark(LeadOf(folder, MakeImage(1028, 0x25))));
}

TEST(ImageLeadBlock, AnyNonZeroSendFlagMarksTheImageForSending) {
    TempFolder folder;
    EXPECT_FALSE(IsMarkedForSending(LeadOf(folder, MakeImage(1028, 0x25, 0x00))));
    EXPECT_TRUE(StartsWithMark(LeadOf(folder, MakeImage(1028, 0x25, 0x00)))) << "not sent, yet valid";
    for (const BYTE flag : {0x01, 0x80, 0xFF})
        EXPECT_TRUE(IsMarkedForSending(LeadOf(folder, MakeImage(1028, 0x25, flag)))) << int(flag);
}

TEST(ImageLeadBlock, AbsentFileAndFileHeldOpenElsewhereHaveNoImage) {
    TempFolder folder;
    EXPECT_FALSE(ReadLeadBlock((folder.Path() + "\\missing.zpk").c_str()).opened);

    const std::string path = folder.Write("held.zpk", MakeImage(2000));
    UniqueHandle other(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(other.IsValid());
    EXPECT_FALSE(ReadLeadBlock(path.c_str()).opened);
    other.Reset();
    EXPECT_TRUE(ReadLeadBlock(path.c_str()).opened);
}

TEST(ImageLeadBlock, NoMemoryForTheLeadingBlockIsToldApartFromNoFile) {
    TempFolder folder;
    const std::string path = folder.Write("image.zpk", MakeImage(2000));
    const LeadBlock starved = ReadLeadBlock(path.c_str(), [](std::size_t) { return CHeapBuffer(); });
    EXPECT_EQ(starved.result, LeadRead::NoMemory);
    EXPECT_FALSE(LeadBlockIsWhole(starved));

    EXPECT_EQ(ReadLeadBlock((folder.Path() + "\\missing.zpk").c_str()).result, LeadRead::NoFile);
    const LeadBlock fed = ReadLeadBlock(path.c_str());
    EXPECT_EQ(fed.result, LeadRead::Read);
    EXPECT_TRUE(StartsWithMark(fed));
    // The stage's judgement: an image that cannot be judged, which ends the run, is no absent image.
    EXPECT_EQ(JudgeStageImage(path.c_str(), [](std::size_t) { return CHeapBuffer(); }),
              StageImage::NotLoaded);
    EXPECT_EQ(JudgeStageImage((folder.Path() + "\\missing.zpk").c_str()), StageImage::Absent);
    EXPECT_EQ(JudgeStageImage(path.c_str()), StageImage::ToSend);
}

TEST(ImageWholeLoad, LoadsEveryByteEvenWhileAnotherReaderHoldsTheFile) {
    TempFolder folder;
    const std::vector<BYTE> image = MakeImage(70000);
    const std::string path = folder.Write("image.zpk", image);
    UniqueHandle reader(
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader.IsValid());

    CHeapBuffer data;
    std::uint32_t cb = 0;
    ASSERT_TRUE(LoadWholeImage(path.c_str(), data, cb));
    ASSERT_EQ(cb, image.size());
    EXPECT_EQ(std::vector<BYTE>(data.get(), data.get() + cb), image);
}

TEST(ImageWholeLoad, FailsForAbsentFileAndForFilesOf4GiBOrMore) {
    TempFolder folder;
    CHeapBuffer data;
    std::uint32_t cb = 1;
    EXPECT_FALSE(LoadWholeImage((folder.Path() + "\\missing.zpk").c_str(), data, cb));
    EXPECT_FALSE(data);

    // A sparse file of exactly 4 GiB: its size would read as 0 in a 32-bit count.
    const std::string path = folder.Write("huge.zpk", MakeImage(1028));
    {
        UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file.IsValid());
        DWORD ignored = 0;
        ::DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER size;
        size.QuadPart = 0x100000000LL;
        ASSERT_TRUE(::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file.Get()));
    }
    EXPECT_FALSE(LoadWholeImage(path.c_str(), data, cb));
    EXPECT_FALSE(data);
    EXPECT_EQ(cb, 0u);
}

TEST(ImagePaths, AreTheCurrentDirectoryAndTheFourFileNames) {
    TempFolder folder;
    CurrentDirectory here(folder.Path());
    char current[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, current);
    const auto paths = BuildImagePaths();
    EXPECT_EQ(paths[IMAGE_FIRM], std::string(current) + "\\firm.zpk");
    EXPECT_EQ(paths[IMAGE_CDB1], std::string(current) + "\\sf_pcmimgcdb1.zpk");
    EXPECT_EQ(paths[IMAGE_CDB2], std::string(current) + "\\sf_pcmimgcdb2.zpk");
    EXPECT_EQ(paths[IMAGE_CDB3], std::string(current) + "\\sf_pcmimgcdb3.zpk");
}

TEST(ImagePaths, APathThatDoesNotFitIsLeftEmptyNeverCut) {
    TempFolder folder;
    // A folder 245 characters long: "\firm.zpk" still fits in 259 characters, the other names do not.
    std::string deep = folder.Path() + "\\";
    deep.append(245 - deep.size(), 'd');
    ASSERT_TRUE(::CreateDirectoryA(deep.c_str(), nullptr));
    {
        CurrentDirectory here(deep);
        const auto paths = BuildImagePaths();
        EXPECT_EQ(paths[IMAGE_FIRM], deep + "\\firm.zpk");
        EXPECT_EQ(paths[IMAGE_CDB1], "");
        EXPECT_EQ(paths[IMAGE_CDB2], "");
        EXPECT_EQ(paths[IMAGE_CDB3], "");
    }
    ::RemoveDirectoryA(deep.c_str());
}

} // namespace
