// The maker's bytes only: the real console programs (plain, with the test key, "signed only") against the
// virtual device, with folders sealed by NimbrelSeal.exe. A refused folder reaches the device not at all.
#include "system/Paths.h"
#include "tests/cli/JsonEvents.h"
#include "tests/cli/RunLockHolder.h"
#include "tests/support/CliProcess.h"
#include "tests/support/HeldFile.h"
#include "tests/support/HistoryFolder.h"
#include "tests/support/SealTool.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualDevice.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD RUN_MS = 60000;
const char* const STAGE_FILES[] = {"firm.zpk", "sf_pcmimgcdb2.zpk", "sf_pcmimgcdb1.zpk", "sf_pcmimgcdb3.zpk"};

std::string Program(const char* name) {
    return ProgramFolder() + name;
}

void Append(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

// Four marked images of different sizes in the run's folder.
std::vector<std::vector<BYTE>> WriteImages(CliProcess& cli) {
    std::vector<std::vector<BYTE>> images;
    for (std::size_t i = 0; i < 4; ++i) {
        images.push_back(MakeImage(3000 + 1000 * i));
        images.back()[3] = static_cast<BYTE>('a' + i);
        cli.Folder().Write(STAGE_FILES[i], images.back());
    }
    return images;
}

struct Case {
    const char* name;
    const char* program;
    std::function<void(CliProcess&)> prepare; // seals and spoils the run's folder, whose images are written
    long exitCode;
    const char* says;     // in standard error on a refusal, standard output when sent
    const char* verified; // when sent: each stage line's verified=
};

void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device;
        CliProcess cli;
        HistoryFolder history(cli.Folder().Path());
        const auto images = WriteImages(cli);
        c.prepare(cli);
        ASSERT_TRUE(cli.Start("", Program(c.program)));
        ASSERT_EQ(cli.Finish(RUN_MS), c.exitCode) << cli.Output() << cli.Errors();
        const std::string said = c.exitCode == 0 ? cli.Output() : cli.Errors();
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        const auto lines = history.Lines();
        ASSERT_FALSE(lines.empty());
        if (c.exitCode != 0) {
            // Refused before the device: not so much as a presence check reached it.
            const auto status = device.GetStatus();
            EXPECT_EQ(status.presenceChecks + status.pipe00Connections + status.pipe01Connections, 0u);
            ASSERT_EQ(lines.size(), 3u);
            EXPECT_TRUE(
                HistoryLineMatches(lines[1], R"(contents list=\S+ (signature=\S+ )?refused=[a-z-]+.*)"))
                << lines[1];
            EXPECT_TRUE(HistoryLineMatches(lines.back(), R"(run-end outcome=not-verified duration-ms=\d+)"))
                << lines.back();
            continue;
        }
        ASSERT_TRUE(device.WaitForImages(4, RUN_MS));
        const auto got = device.Images();
        ASSERT_EQ(got.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_TRUE(got[i].payload ==
                        std::vector<std::uint8_t>(images[i].begin() + 1024, images[i].end()))
                << STAGE_FILES[i] << ": " << got[i].payload.size()
                << " payload bytes arrived, command byte 3 '"
                << static_cast<char>(got[i].command.size() > 3 ? got[i].command[3] : '?') << "'";
        // Without a list there is no contents line.
        const std::size_t first = std::string(c.verified) == "none" ? 1 : 2;
        ASSERT_EQ(lines.size(), first + 5);
        for (std::size_t i = first; i < first + 4; ++i)
            EXPECT_NE(lines[i].find(std::string(" verified=") + c.verified + " outcome=sent"),
                      std::string::npos)
                << lines[i];
    }
}

void Unsigned(CliProcess& cli) {
    ASSERT_TRUE(SealFolder(cli.Folder().Path()));
}

void Sealed(CliProcess& cli) {
    ASSERT_TRUE(SealFolder(cli.Folder().Path(), TestSigningKey()));
}

TEST(Contents, AFolderThatDoesNotMatchItsListReachesTheDeviceNotAtAll) {
    const std::string sums = "\\SHA256SUMS";
    RunCases({
        {"one byte changed past the leading block", "NimbrelCli.exe",
         [&](CliProcess& cli) {
             Unsigned(cli);
             auto image = MakeImage(5000);
             image[3] = 'c';
             image[4000] ^= 1;
             cli.Folder().Write("sf_pcmimgcdb1.zpk", image);
         },
         4, "sf_pcmimgcdb1.zpk does not match SHA256SUMS: expected ", "none"},
        {"marked, not listed", "NimbrelCli.exe",
         [&](CliProcess& cli) {
             ::DeleteFileA((cli.Folder().Path() + "\\sf_pcmimgcdb3.zpk").c_str());
             Unsigned(cli);
             cli.Folder().Write("sf_pcmimgcdb3.zpk", MakeImage(2000));
         },
         4, "sf_pcmimgcdb3.zpk is not in SHA256SUMS", "none"},
        {"listed, missing", "NimbrelCli.exe",
         [&](CliProcess& cli) {
             Unsigned(cli);
             ::DeleteFileA((cli.Folder().Path() + "\\sf_pcmimgcdb2.zpk").c_str());
         },
         4, "sf_pcmimgcdb2.zpk is in SHA256SUMS but missing", "none"},
        {"a malformed list", "NimbrelCli.exe",
         [&](CliProcess& cli) {
             Unsigned(cli);
             Append(cli.Folder().Path() + sums, "firm.zpk\n");
         },
         4, "SHA256SUMS is invalid at line 5", "none"},
        {"a correct list", "NimbrelCli.exe", Unsigned, 0,
         "verified by SHA256SUMS; signatures are not checked (this program has no maker's key)", "sha256"},
    });
}

TEST(Contents, ASealedFolderIsSentWithTheKeyAndEveryBrokenSealIsRefused) {
    const std::string sums = "\\SHA256SUMS";
    RunCases({
        {"sealed", "NimbrelCliTestKey.exe", Sealed, 0, "the maker's signature matches it", "signature"},
        {"the list changed after sealing", "NimbrelCliTestKey.exe",
         [&](CliProcess& cli) {
             Sealed(cli);
             Append(cli.Folder().Path() + sums, std::string(64, '0') + "  notes.txt\n");
         },
         4, "SHA256SUMS.sig does not match SHA256SUMS", "none"},
        {"another key", "NimbrelCliTestKey.exe",
         [&](CliProcess& cli) {
             const std::string other = MakeOtherKey(cli.Folder().Path());
             ASSERT_FALSE(other.empty());
             ASSERT_TRUE(SealFolder(cli.Folder().Path(), other));
         },
         4, "SHA256SUMS.sig does not match SHA256SUMS", "none"},
        {"a truncated signature", "NimbrelCliTestKey.exe",
         [&](CliProcess& cli) {
             Sealed(cli);
             const std::string sig = cli.Folder().Path() + "\\SHA256SUMS.sig";
             std::ifstream in(sig, std::ios::binary);
             std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
             in.close();
             cli.Folder().Write("SHA256SUMS.sig", bytes.substr(0, 63));
         },
         4, "SHA256SUMS.sig is not a signature", "none"},
        {"unsigned, with the key", "NimbrelCliTestKey.exe", Unsigned, 0,
         "verified by SHA256SUMS (not signed)", "sha256"},
    });
}

TEST(Contents, SignedOnlyRefusesEveryFolderThatIsNotSealed) {
    RunCases({
        {"unsigned", "NimbrelCliSignedOnly.exe", Unsigned, 4, "SHA256SUMS has no SHA256SUMS.sig", "none"},
        {"no list", "NimbrelCliSignedOnly.exe", [](CliProcess&) {}, 4, "the folder has no SHA256SUMS",
         "none"},
        {"sealed", "NimbrelCliSignedOnly.exe", Sealed, 0, "the maker's signature matches it", "signature"},
        {"no list, plain", "NimbrelCli.exe", [](CliProcess&) {}, 0,
         "The images' contents are not verified: the folder has no SHA256SUMS.", "none"},
    });
}

// Four listed images, the first of 400 KB, and the program started on them: returns once the device has its
// first bytes, so that a later image can be changed, held or deleted before its stage.
bool StartWithASlowFirstImage(VirtualDevice& device, CliProcess& cli, const std::string& args) {
    WriteImages(cli);
    cli.Folder().Write("firm.zpk", MakeImage(1024 + 400000));
    return SealFolder(cli.Folder().Path()) && cli.Start(args) &&
           device.WaitFor([](const VirtualDevice::Status& s) { return s.payloadBytes > 0; }, RUN_MS);
}

TEST(Contents, AFileChangedAfterTheCheckIsRefusedAtItsStageAndNothingOfItIsSent) {
    // Slow enough that the last image can be changed while the first is on its way.
    VirtualDevice device({"--rate", "200000"});
    CliProcess cli;
    HistoryFolder history(cli.Folder().Path());
    ASSERT_TRUE(StartWithASlowFirstImage(device, cli, ""));
    auto changed = MakeImage(6000);
    changed[3] = 'd';
    changed[5000] ^= 1;
    cli.Folder().Write("sf_pcmimgcdb3.zpk", changed);
    EXPECT_EQ(cli.Finish(RUN_MS), 4) << cli.Output();
    EXPECT_NE(cli.Errors().find("sf_pcmimgcdb3.zpk has changed since it was checked against SHA256SUMS: "
                                "expected "),
              std::string::npos)
        << cli.Errors();
    EXPECT_NE(cli.Errors().find("; nothing of it was sent; already sent: firm.zpk, sf_pcmimgcdb2.zpk, "
                                "sf_pcmimgcdb1.zpk; download the update again"),
              std::string::npos)
        << cli.Errors();
    ASSERT_TRUE(device.WaitForImages(3, RUN_MS));
    EXPECT_EQ(device.GetStatus().imagesStarted, 3u);
    const auto lines = history.Lines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_TRUE(HistoryLineMatches(lines[1],
                                   "contents list=SHA256SUMS signature=not-checked-no-keys verified=sha256"))
        << lines[1];
    EXPECT_TRUE(HistoryLineMatches(
        lines[5],
        R"(stage file=sf_pcmimgcdb3\.zpk size=6000 sha256=[0-9a-f]{64} verified=none outcome=refused-changed)"))
        << lines[5];
    EXPECT_TRUE(HistoryLineMatches(lines[6], R"(run-end outcome=not-verified duration-ms=\d+)")) << lines[6];
}

TEST(Contents, AnImageAnotherProgramHoldsOrDeletesDuringTheRunIsNeverTakenAsAbsent) {
    struct HeldCase {
        const char* name;
        const char* file;
        DWORD holdMs; // held open without sharing from before its stage to this long after the first image
        const char* args;
        long exitCode;
        const char* says; // standard error, or standard output for a sent run and the bench
        unsigned images;  // that the device received
        const char* runEnd;
    };
    const HeldCase cases[] = {
        {"held 1 s", "sf_pcmimgcdb2.zpk", 1000, "", 0, "Update finished: 4 images sent.", 4, "completed"},
        {"held 5 s", "sf_pcmimgcdb2.zpk", 5000, "", 4,
         "sf_pcmimgcdb2.zpk is in use by another program (still after 2 s); nothing of it was sent; already "
         "sent: firm.zpk; close that program",
         1, "image-in-use"},
        {"held 5 s, bench", "sf_pcmimgcdb2.zpk", 5000, "--each --count 1", 9,
         "device 1: not updated: sf_pcmimgcdb2.zpk is in use by another program", 1, "image-in-use"},
        {"deleted after the check", "sf_pcmimgcdb3.zpk", 0, "", 4,
         "sf_pcmimgcdb3.zpk is in SHA256SUMS but missing; nothing of it was sent; already sent: firm.zpk, "
         "sf_pcmimgcdb2.zpk, sf_pcmimgcdb1.zpk; download the update again",
         3, "not-verified"},
    };
    for (const HeldCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Slow enough that the image can be taken away while the first is on its way.
        VirtualDevice device({"--rate", "200000"});
        CliProcess cli;
        HistoryFolder history(cli.Folder().Path());
        ASSERT_TRUE(StartWithASlowFirstImage(device, cli, c.args));
        const std::string path = cli.Folder().Path() + "\\" + c.file;
        if (c.holdMs == 0) {
            ASSERT_TRUE(::DeleteFileA(path.c_str()));
        } else {
            ASSERT_TRUE(HoldThroughTheFirstImage(device, path, c.holdMs, RUN_MS));
        }
        EXPECT_EQ(cli.Finish(RUN_MS), c.exitCode) << cli.Output() << cli.Errors();
        const std::string said = c.exitCode == 4 ? cli.Errors() : cli.Output();
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        if (c.exitCode != 0) {
            EXPECT_EQ(cli.Output().find("Update finished"), std::string::npos);
            EXPECT_EQ(cli.Output().find(": updated"), std::string::npos);
        }
        // The program has ended: what it sent is on its way or there.
        EXPECT_TRUE(device.WaitForImages(c.images, 10000));
        EXPECT_EQ(device.GetStatus().imagesStarted, c.images);
        EXPECT_EQ(device.GetStatus().imagesCompleted, c.images);
        const auto lines = history.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(HistoryLineMatches(lines.back(), std::string("run-end outcome=") + c.runEnd + " .*"))
            << lines.back();
    }
}

TEST(Contents, CheckSendsNothingAndEndsWithTheCodeAnUpdateWould) {
    struct CheckCase {
        const char* name;
        std::vector<std::string> deviceArgs;
        bool spoil; // one byte of firm.zpk changed after sealing
        bool runLockHeld;
        const char* args;
        long exitCode;
        const char* says;
        bool changedDuringWait = false; // firm.zpk changed while the check waits for the device
    };
    const CheckCase cases[] = {
        {"good folder and device",
         {},
         false,
         false,
         "--check",
         0,
         "[1/4] firm.zpk: fit to send, contents verified by sha256"},
        {"no device", {"--absent"}, false, false, "--check", 2, "no device found"},
        {"wrong model", {"--identity-byte", "b"}, false, false, "--check", 3, "This is Not Ostrel!"},
        {"a changed image", {}, true, false, "--check", 4, "firm.zpk does not match SHA256SUMS"},
        {"another update", {}, false, true, "--check", 7, "another update of the device is in progress"},
        {"each", {}, true, false, "--each --count 1", 4, "firm.zpk does not match SHA256SUMS"},
        {"an image changed during --wait",
         {"--absent"},
         false,
         false,
         "--check --wait 60 --json",
         4,
         "firm.zpk has changed since it was checked against SHA256SUMS: expected ",
         true},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device(c.deviceArgs);
        CliProcess cli;
        WriteImages(cli);
        ASSERT_TRUE(SealFolder(cli.Folder().Path()));
        if (c.spoil)
            cli.Folder().Write("firm.zpk", MakeImage(3000));
        std::optional<RunLockHolder> otherUpdate;
        if (c.runLockHeld) {
            ASSERT_TRUE(otherUpdate.emplace(device).Held());
        }
        ASSERT_TRUE(cli.Start(c.args));
        if (c.changedDuringWait) {
            ASSERT_TRUE(cli.WaitForOutput(R"("event":"waiting")", RUN_MS)) << cli.Output();
            cli.Folder().Write("firm.zpk", MakeImage(3000));
            ASSERT_TRUE(device.Plug());
        }
        EXPECT_EQ(cli.Finish(RUN_MS), c.exitCode) << cli.Output() << cli.Errors();
        if (c.changedDuringWait) {
            // Compared at its stage: the image event says so of the bytes it names.
            const std::vector<Json> events = JsonLines(cli);
            const Json firm = EventsNamed(events, "image").at(0);
            EXPECT_EQ(firm.at("verified"), "mismatch") << firm;
            EXPECT_EQ(EventsNamed(events, "stage-end").at(0).at("outcome"), "refused-changed");
            EXPECT_EQ(events.back().at("event"), "run-end");
        }
        EXPECT_NE((c.exitCode ? cli.Errors() : cli.Output()).find(c.says), std::string::npos)
            << cli.Output() << cli.Errors();
        const auto status = device.GetStatus();
        EXPECT_EQ(status.imagesStarted, 0u);
        if (c.exitCode == 0) {
            EXPECT_EQ(status.identityRequests, 1u);
            EXPECT_NE(cli.Output().find("Check passed: an update would go ahead; nothing was sent."),
                      std::string::npos);
        }
        if (c.spoil || c.runLockHeld) {
            EXPECT_EQ(status.presenceChecks + status.pipe00Connections + status.pipe01Connections, 0u);
        }
    }
}

} // namespace

TEST(Contents, EachChecksOnceAndComparesAtEveryDevicesStages) {
    VirtualDevice device({"--absent"});
    CliProcess cli;
    WriteImages(cli);
    ASSERT_TRUE(SealFolder(cli.Folder().Path()));
    ASSERT_TRUE(cli.Start("--each"));
    ASSERT_TRUE(cli.WaitForOutput("Waiting for device 1...", RUN_MS)) << cli.Output() << cli.Errors();
    EXPECT_NE(cli.Output().find("The images' contents are verified by SHA256SUMS"), std::string::npos);
    // Changed after the check at the start: the device's first stage refuses it and the bench stops.
    cli.Folder().Write("firm.zpk", MakeImage(3000));
    ASSERT_TRUE(device.Plug());
    EXPECT_EQ(cli.Finish(RUN_MS), 4) << cli.Output() << cli.Errors();
    EXPECT_NE(cli.Output().find("device 1: not updated: firm.zpk has changed since it was checked against "
                                "SHA256SUMS: expected "),
              std::string::npos)
        << cli.Output();
    EXPECT_NE(cli.Output().find("every later device would fail the same way"), std::string::npos);
    EXPECT_EQ(device.GetStatus().imagesStarted, 0u);
    EXPECT_EQ(device.GetStatus().identityRequests, 1u) << "the device itself was probed";
}
