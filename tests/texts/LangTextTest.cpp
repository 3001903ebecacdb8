#include "texts/LangText.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Lookup(const std::string& table, const char* section, const char* key) {
    char text[LANG_TEXT_SIZE];
    std::memset(text, 'x', sizeof(text));
    return LookupLangTextIn(table.c_str(), section, key, text, sizeof(text));
}

TEST(LangTextLookup, MissingFileSectionOrKeyGiveTheEmptyText) {
    TempFolder folder;
    EXPECT_EQ(Lookup(folder.Path() + "\\lang.ini", "message", "1030"), "");
    const std::string table = folder.Write("lang.ini", "[message]\r\n1030=Sent\r\n");
    EXPECT_EQ(Lookup(table, "message", "1031"), "");
    EXPECT_EQ(Lookup(table, "title", "1030"), "");
    EXPECT_EQ(Lookup(table, "message", "1030"), "Sent");
}

TEST(LangTextLookup, SectionCaseIsIgnoredButKeysMatchAsText) {
    TempFolder folder;
    const std::string table = folder.Write("lang.ini", "[Message]\r\n01021=Zero\r\n1024=Attached\r\n");
    EXPECT_EQ(Lookup(table, "message", "1024"), "Attached");
    EXPECT_EQ(Lookup(table, "message", "1021"), "") << "01021 is another key";
}

TEST(LangTextLookup, LongValueIsCutTo259Characters) {
    TempFolder folder;
    const std::string value(300, 'v');
    const std::string table = folder.Write("lang.ini", "[message]\r\n1030=" + value + "\r\n");
    EXPECT_EQ(Lookup(table, "message", "1030"), value.substr(0, 259));
}

TEST(LangTextLookup, TablePathThatDoesNotFitGivesNoPath) {
    char path[LANG_TEXT_SIZE];
    const std::string fits = "C:\\" + std::string(247, 'd') + "\\a.exe"; // 251 + "lang.ini" = 259 characters
    ASSERT_TRUE(BuildLangTablePathFor(fits.c_str(), path));
    EXPECT_EQ(std::string(path), "C:\\" + std::string(247, 'd') + "\\lang.ini");

    const std::string tooLong = "C:\\" + std::string(248, 'd') + "\\a.exe";
    EXPECT_FALSE(BuildLangTablePathFor(tooLong.c_str(), path));
    EXPECT_STREQ(path, "");
}

} // namespace
