// The SHA-256 the device fingerprints images with, its command line, and the companion tool Plenwick.exe.
#include "ostrelsim/Options.h"
#include "system/Sha256.h"
#include "tests/support/VirtualDevice.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

TEST(DeviceSha256, KnownDigests) {
    const auto digest = [](const std::string& text) {
        Sha256 sha;
        sha.Update(text.data(), text.size());
        return sha.FinishHex();
    };
    EXPECT_EQ(digest(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(digest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    // 55, 56 and 64 bytes sit on the padding's edges; pieces of odd sizes must give the same digest as one
    // piece.
    const std::string million(1000000, 'a');
    Sha256 pieces;
    for (std::size_t at = 0; at < million.size(); at += 997) {
        pieces.Update(million.data() + at, std::min<std::size_t>(997, million.size() - at));
    }
    EXPECT_EQ(pieces.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(digest(std::string(55, 'x')).size(), 64u);
    EXPECT_NE(digest(std::string(55, 'x')), digest(std::string(56, 'x')));
}

// The system's hash object is spent by its finish: data or a second finish afterwards must give no digest
// rather than the digest of other bytes.
TEST(DeviceSha256, NoDigestAfterFinish) {
    Sha256 late;
    late.Update("abc", 3);
    EXPECT_EQ(late.FinishHex().size(), 64u);
    late.Update("d", 1);
    EXPECT_TRUE(late.Failed());
    EXPECT_EQ(late.FinishHex(), "");
    Sha256 twice;
    twice.FinishHex();
    EXPECT_EQ(twice.FinishHex(), "");
}

TEST(DeviceOptions, ParsesMisbehaviourAndRefusesBadValues) {
    ostrelsim::Options options;
    std::string error;
    ASSERT_TRUE(ostrelsim::ParseOptions({"--identity-byte", "0x62", "--reply-size", "1", "--rate", "4096",
                                         "--unplug-in-image", "3", "--absent"},
                                        options, error))
        << error;
    EXPECT_EQ(options.identityByte, 'b');
    EXPECT_EQ(options.replySize, 1u);
    EXPECT_EQ(options.EffectivePipeBuffer(), 1024u);
    EXPECT_EQ(options.unplugInImage, 3);
    EXPECT_FALSE(options.startPlugged);

    for (const auto& bad : std::vector<std::vector<std::string>>{{"--reply-size", "11"},
                                                                 {"--reply-size", "0"},
                                                                 {"--rate", "fast"},
                                                                 {"--identity-byte", "256"},
                                                                 {"--unplug-in-image", "0"},
                                                                 {"--prefix"},
                                                                 {"--bogus", "1"}}) {
        ostrelsim::Options o;
        EXPECT_FALSE(ostrelsim::ParseOptions(bad, o, error)) << bad[0];
    }
}

TEST(DeviceCompanion, PlenwickNotesItsFolderAndClosesByItself) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "plenwick-cwd-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    // Only this launch may count: the log keeps earlier runs' lines, and process ids come round again.
    DeleteFileA((VirtualDevice::ExeDir() + "plenwick-launches.log").c_str());

    std::string commandLine = "\"" + VirtualDevice::ExeDir() + "Plenwick.exe\" --close-after-ms 300";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               folder.c_str(), &startup, &info));
    CloseHandle(info.hThread);
    // A program's start alone has taken seconds in the emulated guest on a busy machine.
    const DWORD waited = WaitForSingleObject(info.hProcess, 60000);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
    }
    CloseHandle(info.hProcess);
    EXPECT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0)) << "Plenwick.exe did not close by itself";

    std::ifstream log(VirtualDevice::ExeDir() + "plenwick-launches.log");
    std::string line;
    bool found = false;
    const std::string expected = "pid=" + std::to_string(info.dwProcessId) + " cwd=" + folder;
    while (std::getline(log, line)) {
        found = found || line.find(expected) != std::string::npos;
    }
    EXPECT_TRUE(found) << expected;
    RemoveDirectoryA(folder.c_str());
}
