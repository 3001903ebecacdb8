// Where the maker's seal could give way: folders so deep that the list or its signature passes the path limit
// while the images do not, faults of the PC or of the list that must not pass for forgery, and the sealing
// tool's failures, which leave a folder as it was.
#include "seal/KeyPem.h"
#include "system/Paths.h"
#include "system/Sha256.h"
#include "system/UniqueHandle.h"
#include "tests/cli/JsonEvents.h"
#include "tests/support/CliProcess.h"
#include "tests/support/DeepFolder.h"
#include "tests/support/HistoryFolder.h"
#include "tests/support/SealTool.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualDevice.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD RUN_MS = 60000;

std::string Program(const char* name) {
    return ProgramFolder() + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every file of a folder with its bytes: what a failed tool must leave as it found it.
std::map<std::string, std::string> FolderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    WIN32_FIND_DATAA found;
    const HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            files[found.cFileName] = ReadFile(folder + "\\" + found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return files;
}

std::string Signed(const std::string& list) {
    std::string error;
    const auto key = ReadPrivateKeyPem(ReadFile(TestSigningKey()), error);
    EXPECT_TRUE(key) << error;
    Sha256 hash;
    hash.Update(list.data(), list.size());
    const auto rs = key ? SignP256(*key, hash.Finish()) : std::nullopt;
    EXPECT_TRUE(rs);
    return rs ? std::string(rs->begin(), rs->end()) : std::string();
}

struct DeepCase {
    const char* name;
    const char* program;
    const char* args;      // besides --dir: "", "--check" or "--report report.txt"
    const char* signature; // "sealed", "other": another key's, "none"
    bool changed;          // firm.zpk changed after sealing
    long exitCode;
    const char* says;    // standard error on a refusal, else standard output (or the report)
    const char* refused; // the history's word of a refusal
};

// Each length is a test of its own: together they start the program twenty-five times, longer than one
// test may take on a slow PC.
class SealedFolderOfLength : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SealedFolderOfLength, IsCheckedAsAnyOther) {
    const std::size_t length = GetParam();
    const std::vector<BYTE> firm = MakeImage(3000);
    // The sealed bytes, made once in a folder of ordinary length by the maker's tool.
    TempFolder sealed, other;
    sealed.Write("firm.zpk", firm);
    other.Write("firm.zpk", firm);
    ASSERT_TRUE(SealFolder(sealed.Path(), TestSigningKey()));
    const std::string otherKey = MakeOtherKey(other.Path());
    ASSERT_FALSE(otherKey.empty());
    ASSERT_TRUE(SealFolder(other.Path(), otherKey));
    const std::string list = ReadFile(sealed.Path() + "\\SHA256SUMS");
    const std::string signature = ReadFile(sealed.Path() + "\\SHA256SUMS.sig");
    const std::string forged = ReadFile(other.Path() + "\\SHA256SUMS.sig");
    ASSERT_EQ(list, ReadFile(other.Path() + "\\SHA256SUMS"));

    const DeepCase cases[] = {
        {"sealed, signed only", "NimbrelCliSignedOnly.exe", "", "sealed", false, 0,
         "the maker's signature matches it", ""},
        {"--check", "NimbrelCliSignedOnly.exe", "--check", "sealed", false, 0,
         "[1/4] firm.zpk: fit to send, contents verified by signature", ""},
        {"the report", "NimbrelCliSignedOnly.exe", "--report report.txt", "sealed", false, 0,
         "the maker's signature matches it", ""},
        {"a forged signature", "NimbrelCliSignedOnly.exe", "", "other", false, 4,
         "SHA256SUMS.sig does not match SHA256SUMS", "signature-bad"},
        {"a plain build honours the list", "NimbrelCli.exe", "", "none", true, 4,
         "firm.zpk does not match SHA256SUMS", "mismatch"},
    };
    for (const DeepCase& c : cases) {
        // --check and the report share the update's check: they run where the signature (245) and the
        // list (249) first pass the limit.
        if (*c.args && length != 245 && length != 249)
            continue;
        SCOPED_TRACE(c.name);
        VirtualDevice device;
        CliProcess cli;
        HistoryFolder history(cli.Folder().Path());
        const DeepFolder deep(cli.Folder().Path(), length);
        std::vector<BYTE> image = firm;
        if (c.changed)
            image[2000] ^= 1;
        deep.Write("firm.zpk", std::string(image.begin(), image.end()));
        deep.Write("SHA256SUMS", list);
        if (std::string(c.signature) != "none")
            deep.Write("SHA256SUMS.sig", std::string(c.signature) == "sealed" ? signature : forged);
        const std::string args = c.args;
        ASSERT_TRUE(cli.Start(args + " --dir \"" + deep.Path() + "\"", Program(c.program)));
        ASSERT_EQ(cli.Finish(RUN_MS), c.exitCode) << cli.Output() << cli.Errors();
        const bool report = args.rfind("--report", 0) == 0;
        const std::string said = c.exitCode ? cli.Errors()
                                 : report   ? ReadFile(cli.Folder().Path() + "\\report.txt")
                                            : cli.Output();
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        if (report)
            continue;
        const auto lines = history.Lines();
        ASSERT_GE(lines.size(), 3u);
        if (c.exitCode != 0) {
            EXPECT_NE(lines[1].find(std::string(" refused=") + c.refused), std::string::npos) << lines[1];
            const auto status = device.GetStatus();
            EXPECT_EQ(status.presenceChecks + status.pipe00Connections + status.pipe01Connections, 0u);
            continue;
        }
        EXPECT_NE(lines[1].find("signature=verified verified=signature"), std::string::npos) << lines[1];
        if (!args.empty()) {
            EXPECT_EQ(device.GetStatus().imagesStarted, 0u);
            continue;
        }
        ASSERT_TRUE(device.WaitForImages(1, RUN_MS));
        const auto got = device.Images();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_TRUE(got[0].payload == std::vector<std::uint8_t>(firm.begin() + 1024, firm.end()));
    }
}

INSTANTIATE_TEST_SUITE_P(Deep, SealedFolderOfLength, ::testing::Range<std::size_t>(244, 251),
                         [](const auto& info) { return std::to_string(info.param) + "Characters"; });

TEST(SealEdges, ASignatureThisPcCannotCheckAndAListTooLargeHaveWordsOfTheirOwn) {
    struct WordCase {
        const char* name;
        const char* program;
        bool large; // a list over 64 KiB, signed with the test key
        const char* says;
        const char* word;
    };
    const WordCase cases[] = {
        {"a key the system does not take", "NimbrelCliUncheckable.exe", false,
         "the signature could not be checked on this PC", "signature-uncheckable"},
        {"a signed list over 64 KiB", "NimbrelCliSignedOnly.exe", true,
         "SHA256SUMS is too large: it is larger than 64 KiB", "list-too-large"},
    };
    for (const WordCase& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualDevice device;
        CliProcess cli;
        HistoryFolder history(cli.Folder().Path());
        cli.Folder().Write("firm.zpk", MakeImage(3000));
        ASSERT_TRUE(SealFolder(cli.Folder().Path(), TestSigningKey()));
        if (c.large) {
            const std::string list =
                ReadFile(cli.Folder().Path() + "\\SHA256SUMS") + std::string(64 * 1024, '\n');
            cli.Folder().Write("SHA256SUMS", list);
            cli.Folder().Write("SHA256SUMS.sig", Signed(list));
        }
        ASSERT_TRUE(cli.Start("--json", Program(c.program)));
        ASSERT_EQ(cli.Finish(RUN_MS), 4) << cli.Output() << cli.Errors();
        EXPECT_NE(cli.Errors().find(c.says), std::string::npos) << cli.Errors();
        const auto ends = EventsNamed(JsonLines(cli), "run-end");
        ASSERT_EQ(ends.size(), 1u) << cli.Output();
        EXPECT_EQ(ends[0].value("outcome", ""), "not-verified");
        EXPECT_EQ(ends[0].value("refused", ""), c.word);
        const auto lines = history.Lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_NE(lines[1].find(std::string(" refused=") + c.word), std::string::npos) << lines[1];
        EXPECT_EQ(device.GetStatus().presenceChecks, 0u);
    }
}

// NimbrelSeal.exe run in `cli`'s folder; its exit code.
long RunSeal(CliProcess& tool, const std::string& args) {
    if (!tool.Start(args, Program("NimbrelSeal.exe")))
        return -1;
    return tool.Finish(30000);
}

TEST(SealEdges, TheSealingToolLeavesTheFolderAsItWasWhenItFails) {
    struct ToolCase {
        const char* name;
        // Spoils the sealed folder (and may hold one of its files open for the run); returns the arguments.
        std::function<std::string(TempFolder& folder, UniqueHandle& held)> prepare;
        long exitCode;
        const char* says;
    };
    const auto open = [](const std::string& path, DWORD share) {
        return UniqueHandle(
            ::CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    const ToolCase cases[] = {
        {"an image that cannot be read",
         [&](TempFolder& folder, UniqueHandle& held) {
             folder.Write("sf_pcmimgcdb1.zpk", MakeImage(2500));
             held = open(folder.Path() + "\\sf_pcmimgcdb1.zpk", 0);
             return "seal --key \"" + TestSigningKey() + "\" \"" + folder.Path() + "\"";
         },
         2, "cannot read "},
        {"the old signature cannot be moved aside",
         [&](TempFolder& folder, UniqueHandle& held) {
             folder.Write("firm.zpk", MakeImage(4000));
             held = open(folder.Path() + "\\SHA256SUMS.sig", FILE_SHARE_READ);
             return "seal --key \"" + TestSigningKey() + "\" \"" + folder.Path() + "\"";
         },
         2, "the folder was left as it was"},
        {"a public key given as the private one",
         [&](TempFolder& folder, UniqueHandle&) {
             const std::string key = MakeOtherKey(folder.Path());
             return "seal --key \"" + key.substr(0, key.size() - 4) + ".pub.pem\" \"" + folder.Path() + "\"";
         },
         2, ".pub.pem: "},
        {"--key without its value, not taken as the folder",
         [](TempFolder&, UniqueHandle&) { return std::string("seal --key"); }, 1,
         "--key needs the private key file"},
        {"--key followed by an option",
         [](TempFolder& folder, UniqueHandle&) { return "seal --key --help \"" + folder.Path() + "\""; }, 1,
         "--key needs the private key file"},
        {"keygen beside an existing public key",
         [](TempFolder& folder, UniqueHandle&) {
             folder.Write("maker.pub.pem", std::string("kept"));
             return "keygen \"" + folder.Path() + "\\maker.pem\" \"" + folder.Path() + "\\maker.pub.pem\"";
         },
         2, "maker.pub.pem exists already; no key was written"},
    };
    for (const ToolCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        folder.Write("firm.zpk", MakeImage(3000));
        ASSERT_TRUE(SealFolder(folder.Path(), TestSigningKey()));
        CliProcess tool;
        UniqueHandle held;
        const std::string args = c.prepare(folder, held);
        const auto before = FolderFiles(folder.Path());
        const auto toolFolderBefore = FolderFiles(tool.Folder().Path());
        EXPECT_EQ(RunSeal(tool, args), c.exitCode) << tool.Output() << tool.Errors();
        EXPECT_NE(tool.Errors().find(c.says), std::string::npos) << tool.Errors();
        // Compared while a held file is still held, so that it reads the same as before.
        EXPECT_TRUE(FolderFiles(folder.Path()) == before) << "the folder changed";
        held = UniqueHandle();
        // Nothing was written where the tool ran either (no folder named "--key").
        auto toolFolderAfter = FolderFiles(tool.Folder().Path());
        EXPECT_EQ(toolFolderAfter.count("SHA256SUMS"), toolFolderBefore.count("SHA256SUMS"));
    }
}

} // namespace
