// The window refuses images that are not the maker's bytes: a box naming the file or the list's line, and not
// a single connection to the device; the window stays usable, and a press after the folder is mended sends.
#include "tests/app/WindowTestProgram.h"
#include "tests/support/HeldFile.h"
#include "tests/support/SealTool.h"
#include "texts/TextKeys.h"

#include <fstream>
#include <functional>

using namespace windowtest;
using Icon = WindowDriver::BoxIcon;

namespace {

const char* const STAGE_FILES[] = {FIRM, CDB2, CDB1, CDB3};

std::vector<Bytes> WriteImages(const std::string& folder) {
    std::vector<Bytes> images;
    for (std::uint8_t i = 0; i < 4; ++i) {
        images.push_back(MakeImage(3000 + 1000 * i, i));
        EXPECT_TRUE(WriteFile(folder + "\\" + STAGE_FILES[i], images.back()));
    }
    return images;
}

// A copy of a variant of the program as Nimbrel.exe (the boxes' caption is the program's name).
std::string VariantProgram(const char* variant) {
    const std::string program = NewProgramFolder(variant, {"TandryUSB.dll", "lang.ini"});
    CopyBeside(variant, program + "\\Nimbrel.exe");
    return program + "\\Nimbrel.exe";
}

struct Case {
    const char* name;
    const char* variant; // empty: the plain program
    std::function<void(const std::string&)> prepare;
    const char* box; // what the box adds to [message] 1038; empty: all four are sent
    const char* verified;
};

void Sealed(const std::string& folder) {
    ASSERT_TRUE(SealFolder(folder, TestSigningKey()));
}

void Unsigned(const std::string& folder) {
    ASSERT_TRUE(SealFolder(folder));
}

void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device;
        const std::string folder = NewImageFolder("contents");
        HistoryFolder history(folder);
        const auto images = WriteImages(folder);
        c.prepare(folder);
        WindowDriver app;
        ASSERT_TRUE(
            StartAndPressUpdateFile(app, folder, c.variant[0] ? VariantProgram(c.variant) : ProgramPath()));
        if (c.box[0] != '\0') {
            ASSERT_TRUE(AnswerBox(app, LangText(TEXT_SECTION_MESSAGE, TEXT_NOT_VERIFIED) + "\n\n" + c.box,
                                  Icon::Exclamation));
            ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));
            const auto status = device.GetStatus();
            EXPECT_EQ(status.pipe00Connections + status.pipe01Connections, 0u);
            EXPECT_TRUE(app.ItemEnabled(IDC_UPDATE_FILE));
            if (std::string(c.name) != "one byte changed")
                continue;
            // Mended: the list made anew for the images as they are now.
            Unsigned(folder);
            app.Click(IDC_UPDATE_FILE);
        }
        ASSERT_TRUE(WaitSent(app, device, 4));
        const auto got = device.Images();
        ASSERT_EQ(got.size(), 4u);
        if (c.box[0] == '\0')
            for (std::size_t i = 0; i < 4; ++i)
                ExpectReceived(got[i], images[i], STAGE_FILES[i]);
        const auto lines = history.Lines();
        ASSERT_GE(lines.size(), 6u);
        for (std::size_t i = lines.size() - 5; i + 1 < lines.size(); ++i)
            EXPECT_NE(lines[i].find(std::string(" verified=") + c.verified + " outcome=sent"),
                      std::string::npos)
                << lines[i];
    }
}

} // namespace

TEST(Contents, TheWindowNamesWhatDoesNotMatchAndTouchesNoDevice) {
    RunCases({
        {"one byte changed", "",
         [](const std::string& folder) {
             Unsigned(folder);
             Bytes image = MakeImage(5000, 2);
             image[4000] ^= 1;
             ASSERT_TRUE(WriteFile(folder + "\\" + CDB1, image));
         },
         "sf_pcmimgcdb1.zpk does not match SHA256SUMS.", "sha256"},
        {"marked, not listed", "",
         [](const std::string& folder) {
             ::DeleteFileA((folder + "\\" + CDB3).c_str());
             Unsigned(folder);
             ASSERT_TRUE(WriteFile(folder + "\\" + CDB3, MakeImage(2000, 9)));
         },
         "sf_pcmimgcdb3.zpk is not in SHA256SUMS.", "none"},
        {"listed, missing", "",
         [](const std::string& folder) {
             Unsigned(folder);
             ::DeleteFileA((folder + "\\" + CDB2).c_str());
         },
         "sf_pcmimgcdb2.zpk is in SHA256SUMS but missing.", "none"},
        {"a malformed list", "",
         [](const std::string& folder) {
             Unsigned(folder);
             std::ofstream(folder + "\\SHA256SUMS", std::ios::binary | std::ios::app) << "firm.zpk\r\n";
         },
         "SHA256SUMS is invalid at line 5: not \"<64 hex digits> <space or *><file name>\".", "none"},
    });
}

TEST(Contents, TheWindowSendsASealedFolderAndRefusesABrokenSeal) {
    RunCases({
        {"sealed", "NimbrelTestKey.exe", Sealed, "", "signature"},
        {"the list changed after sealing", "NimbrelTestKey.exe",
         [](const std::string& folder) {
             Sealed(folder);
             std::ofstream(folder + "\\SHA256SUMS", std::ios::binary | std::ios::app)
                 << std::string(64, '0') << "  notes.txt\n";
         },
         "SHA256SUMS.sig does not match SHA256SUMS: the list is not the maker's.", "none"},
        {"signed only, no list", "NimbrelSignedOnly.exe", [](const std::string&) {},
         "this program sends only images signed by the maker, and the folder has no SHA256SUMS.", "none"},
    });
}

namespace {

struct StageCase {
    const char* name;
    const char* file;
    int holdMs;      // > 0: held open without sharing from before its stage to this long after the first
                     // image; 0: changed in one byte past the leading block; -1: deleted
    std::string box; // empty: every image is sent
    unsigned images; // that the device received
};

std::vector<StageCase> StageCases() {
    const std::string sentThree =
        "\n\nSent to the device before it: firm.zpk, sf_pcmimgcdb2.zpk, sf_pcmimgcdb1.zpk.";
    return {
        {"Changed", CDB3, 0,
         LangText(TEXT_SECTION_MESSAGE, TEXT_NOT_VERIFIED_AFTER_SENDING) +
             "\n\nsf_pcmimgcdb3.zpk has changed since it was checked against SHA256SUMS." + sentThree,
         3},
        {"Deleted", CDB3, -1,
         LangText(TEXT_SECTION_MESSAGE, TEXT_NOT_VERIFIED_AFTER_SENDING) +
             "\n\nsf_pcmimgcdb3.zpk is in SHA256SUMS but missing." + sentThree,
         3},
        {"HeldFor1s", CDB2, 1000, "", 4},
        {"HeldFor5s", CDB2, 5000,
         LangText(TEXT_SECTION_MESSAGE, TEXT_IMAGE_IN_USE) +
             "\n\nsf_pcmimgcdb2.zpk is in use by another program.\n\nSent to the device before it: firm.zpk.",
         1},
    };
}

// A case per test: each runs a whole update of four images, and together they outlast one test's time on a
// slow PC.
class WindowStage : public ::testing::TestWithParam<std::size_t> {};

} // namespace

TEST_P(WindowStage, RefusesAFileChangedHeldOrGoneAfterTheCheckAndNamesWhatWasSent) {
    const StageCase c = StageCases().at(GetParam());
    // Slow enough that the image can be changed while the first is on its way.
    VirtualDevice device({"--rate", "200000"});
    const std::string folder = NewImageFolder("contents-changed");
    const auto images = WriteImages(folder);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, MakeImage(1024 + 400000, 7)));
    ASSERT_TRUE(SealFolder(folder));
    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder));
    ASSERT_TRUE(device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes > 0; }, SEND_MS));
    const std::string path = folder + "\\" + c.file;
    if (c.holdMs == 0) {
        Bytes changed = MakeImage(6000, 3); // as written above, but for one byte past the leading block
        changed[5000] ^= 1;
        ASSERT_TRUE(WriteFile(path, changed));
    } else if (c.holdMs < 0) {
        ASSERT_TRUE(::DeleteFileA(path.c_str()));
    } else {
        ASSERT_TRUE(HoldThroughTheFirstImage(device, path, static_cast<DWORD>(c.holdMs), SEND_MS));
    }
    if (c.box.empty()) {
        ASSERT_TRUE(WaitSent(app, device, 4));
        ExpectReceived(device.Images().at(1), images[1], CDB2);
        return;
    }
    ASSERT_TRUE(AnswerBox(app, c.box, Icon::Exclamation));
    ASSERT_TRUE(device.WaitForImages(c.images, SEND_MS));
    EXPECT_EQ(device.GetStatus().imagesStarted, c.images) << "nothing of the file refused";
    ASSERT_TRUE(app.WaitUntilResponsive(RUN_MS));
    ASSERT_TRUE(UnplugIsNoFailure(app, device));
}

INSTANTIATE_TEST_SUITE_P(Contents, WindowStage, ::testing::Range<std::size_t>(0, StageCases().size()),
                         [](const auto& info) { return std::string(StageCases().at(info.param).name); });
