// The update history as support reads it: the lines of a run read back from the file, a history that cannot
// be written, and the bound on its size.
#include "system/Sha256.h"
#include "engine/RunId.h"
#include "engine/RunRecord.h"
#include "engine/UpdateHistory.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace {

std::vector<std::string> LinesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Sha256Of(const std::vector<BYTE>& bytes) {
    Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.FinishHex();
}

// The history's folder below a test folder, removed with what the history left in it.
struct HistoryFolder {
    TempFolder base;
    std::string path = base.Path() + "\\made\\Nimbrel"; // missing: the history makes it
    ~HistoryFolder() {
        for (const char* name : {UpdateHistory::FILE_NAME, UpdateHistory::OLDER_FILE_NAME})
            ::DeleteFileA((path + "\\" + name).c_str());
        ::RemoveDirectoryA(path.c_str());
        ::RemoveDirectoryA((base.Path() + "\\made").c_str());
    }
};

TEST(UpdateHistory, AWholeRunLeavesOneLinePerEventInItsOrder) {
    HistoryFolder folder;
    const std::vector<BYTE> firm = MakeImage(3000), cdb1 = MakeImage(1500), cdb3 = MakeImage(60000);
    const std::string firmPath = folder.base.Write("firm.zpk", firm);
    const std::string cdb1Path = folder.base.Write("sf_pcmimgcdb1.zpk", cdb1);
    const std::string cdb3Path = folder.base.Write("sf_pcmimgcdb3.zpk", cdb3);

    UpdateHistory history(folder.path);
    ASSERT_TRUE(history.RunStarted("1.0.0.1", "C:\\Program Files\\Nimbrel\\TandryUSB.dll", "ostrel"));
    EXPECT_TRUE(history.StageDone(firmPath, StageOutcome::Sent));
    EXPECT_TRUE(history.StageDone(folder.base.Path() + "\\sf_pcmimgcdb2.zpk", StageOutcome::Absent));
    EXPECT_TRUE(history.StageDone(cdb1Path, StageOutcome::RefusedBadMark));
    EXPECT_TRUE(history.StageDone(cdb3Path, StageOutcome::Failed, 8192));
    EXPECT_TRUE(history.RunEnded(RunOutcome::TransferFailed));

    const auto lines = LinesOf(history.path());
    ASSERT_EQ(lines.size(), 6u);
    const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d )";
    const auto expect = [&](std::size_t i, const std::string& rest) {
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(stamp + rest + "\r"))) << lines[i];
    };
    expect(0,
           R"(run-start version=1\.0\.0\.1 link="C:\\Program Files\\Nimbrel\\TandryUSB\.dll" probe=ostrel)");
    expect(1, "stage file=firm\\.zpk size=3000 sha256=" + Sha256Of(firm) + " verified=none outcome=sent");
    expect(2, "stage file=sf_pcmimgcdb2\\.zpk verified=none outcome=absent");
    expect(3, "stage file=sf_pcmimgcdb1\\.zpk size=1500 sha256=" + Sha256Of(cdb1) +
                  " verified=none outcome=refused-1022");
    expect(4, "stage file=sf_pcmimgcdb3\\.zpk size=60000 sha256=" + Sha256Of(cdb3) +
                  " verified=none outcome=failed taken=8192");
    expect(5, "run-end outcome=transfer-failed duration-ms=\\d+");

    // A second run appends below the first.
    UpdateHistory next(folder.path);
    EXPECT_TRUE(next.RunStarted("1.0.0.1", "a \"quoted\"\r\npath", "not ostrel"));
    const auto after = LinesOf(history.path());
    ASSERT_EQ(after.size(), 7u);
    EXPECT_NE(after[6].find(R"(link="a _quoted___path" probe=not_ostrel)"), std::string::npos) << after[6];
}

TEST(UpdateHistory, AFolderThatCannotBeMadeLeavesTheCallerUnaffected) {
    TempFolder base;
    // A file stands where the folder should be made.
    const std::string blocker = base.Write("Nimbrel", std::string("not a folder"));
    UpdateHistory history(blocker);
    EXPECT_FALSE(history.RunStarted("1.0.0.1", "TandryUSB.dll", "ostrel"));
    EXPECT_FALSE(history.StageDone(blocker, StageOutcome::Sent));
    EXPECT_FALSE(history.RunEnded(RunOutcome::Completed));
    UpdateHistory nowhere("");
    EXPECT_FALSE(nowhere.RunEnded(RunOutcome::Completed));
}

TEST(UpdateHistory, PastOneMebibyteTheFileBecomesTheOlderHistory) {
    HistoryFolder folder;
    UpdateHistory history(folder.path);
    ASSERT_TRUE(history.RunEnded(RunOutcome::Completed));
    const std::string older = folder.path + "\\" + UpdateHistory::OLDER_FILE_NAME;
    {
        std::ofstream(older, std::ios::binary) << "the history before\n";
        // Fill the file to 10 bytes short of the bound: the next line does not fit.
        std::ofstream fill(history.path(), std::ios::binary | std::ios::app | std::ios::ate);
        const auto size = static_cast<std::size_t>(fill.tellp());
        fill << std::string(UpdateHistory::MAX_FILE_BYTES - size - 10, 'x');
    }
    const std::vector<std::string> full = LinesOf(history.path());

    ASSERT_TRUE(history.RunEnded(RunOutcome::DeviceLost));
    EXPECT_EQ(LinesOf(older), full) << "the full file replaces the older history";
    const auto fresh = LinesOf(history.path());
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_NE(fresh[0].find("run-end outcome=device-lost"), std::string::npos);

    // Below the bound lines are only appended.
    ASSERT_TRUE(history.RunEnded(RunOutcome::Completed));
    EXPECT_EQ(LinesOf(history.path()).size(), 2u);
    EXPECT_EQ(LinesOf(older), full);
}

} // namespace

namespace {

TEST(RunId, IsFixedWidthTimeFirstSoIdsSortByTimeAndTwoRunsNeverShareOne) {
    // Around the turn of a base-36 digit and with process ids of every length.
    const std::string early = FormatRunId(1765251062000ULL, 4), late = FormatRunId(1765251062001ULL, 4000000);
    EXPECT_EQ(early, "0miy0wkq8-0004");
    EXPECT_EQ(late.substr(0, 10), "0miy0wkq9-");
    EXPECT_LT(early, late);
    EXPECT_LT(FormatRunId(35, 1), FormatRunId(36, 1));
    // One process, runs in quick succession: each id is new and later than the one before.
    std::string previous = NewRunId();
    for (int i = 0; i < 50; ++i) {
        const std::string next = NewRunId();
        EXPECT_LT(previous, next);
        previous = next;
    }
}

TEST(UpdateHistory, TheRunsIdHeadsEveryLine) {
    HistoryFolder folder;
    UpdateHistory history(folder.path, "0miy0wkq8-0004");
    ASSERT_TRUE(history.RunStarted("1.0.0.1", "C:\\TandryUSB.dll", "ostrel"));
    ASSERT_TRUE(history.RunEnded(RunOutcome::Completed));
    for (const std::string& line : LinesOf(history.path()))
        EXPECT_EQ(line.substr(19, 20), " run=0miy0wkq8-0004 ") << line;
}

} // namespace

// A stage that sent nothing claims a verification only for the bytes its line names: those the list has.
TEST(RunRecord, AStageThatSentNothingIsVerifiedOnlyWhenTheBytesOnItsLineMatchTheList) {
    TempFolder folder;
    ::SetEnvironmentVariableA("NIMBREL_HISTORY_DIR", folder.Path().c_str());
    const std::vector<BYTE> listed = MakeImage(3000), changed = MakeImage(3001);
    ContentCheck check;
    check.listFound = true;
    check.verification = Verification::Sha256;
    check.manifest.sha256[IMAGE_FIRM] = Sha256Of(listed);
    check.manifest.sha256[IMAGE_CDB1] = Sha256Of(listed);
    const ImageFingerprint asListed = FingerprintBytes(listed.data(), listed.size());
    const ImageFingerprint notAsListed = FingerprintBytes(changed.data(), changed.size());
    RunRecord record;
    record.Begin("0mxtest000-0001", false);
    record.ContentsChecked(check);
    record.ProbeDone(true);
    record.StageDone(folder.Path() + "\\firm.zpk", StageOutcome::NotMarked, &asListed);
    record.StageDone(folder.Path() + "\\sf_pcmimgcdb1.zpk", StageOutcome::RefusedBadMark, &notAsListed);
    record.End(RunOutcome::Refused);
    ::SetEnvironmentVariableA("NIMBREL_HISTORY_DIR", nullptr);

    const auto lines = LinesOf(folder.Path() + "\\" + UpdateHistory::FILE_NAME);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[2].find("verified=sha256 outcome=not-marked"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("verified=none outcome=refused-1022"), std::string::npos) << lines[3];
}
