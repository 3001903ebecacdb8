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

// The German texts, as UTF-8 and as code page 1252 has them.
const std::string GERMAN_STATUS_UTF8 = "Ger\xC3\xA4t nicht verbunden \xE2\x80\x93 pr\xC3\xBC"
                                       "fen Sie das Kabel (\xC3\xA9, \xC3\xBC, \xC3\x9F, \xE2\x82\xAC).";
const std::string GERMAN_STATUS_1252 = "Ger\xE4t nicht verbunden \x96 pr\xFC"
                                       "fen Sie das Kabel (\xE9, \xFC, \xDF, \x80).";
const std::string UPDATE_UTF8 = "Aktualisieren\xE2\x80\xA6";
const std::string UPDATE_1252 = "Aktualisieren\x85";

std::string Repeated(const std::string& part, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += part;
    return out;
}

std::string GermanTable(const std::string& status, const std::string& update) {
    return "[message]\r\n1025=" + status + "\r\n[control]\r\n1002=" + update + "\r\n";
}

// UTF-16LE with its byte order mark, as Notepad's "Unicode" saves it.
std::string Utf16Table(const std::string& ansi) {
    std::string out = "\xFF\xFE";
    for (unsigned char c : ansi) {
        wchar_t w = 0;
        ::MultiByteToWideChar(1252, 0, reinterpret_cast<const char*>(&c), 1, &w, 1);
        out += static_cast<char>(w & 0xFF);
        out += static_cast<char>(w >> 8);
    }
    return out;
}

TEST(LangTextLookup, Utf8TablesGiveTheirLettersInTheAnsiCodePageOthersReadAsBefore) {
    ASSERT_EQ(::GetACP(), 1252u) << "the expected bytes are those of code page 1252";
    struct Case {
        const char* name;
        std::string file;
        const char* section;
        const char* key;
        std::string expected;
    };
    const std::string utf8 = GermanTable(GERMAN_STATUS_UTF8, UPDATE_UTF8);
    const Case cases[] = {
        {"UTF-8 with mark", "\xEF\xBB\xBF" + utf8, "message", "1025", GERMAN_STATUS_1252},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + utf8, "control", "1002", UPDATE_1252},
        {"UTF-8 as Notepad saves it", utf8, "message", "1025", GERMAN_STATUS_1252},
        {"UTF-8 as Notepad saves it", utf8, "control", "1002", UPDATE_1252},
        {"code page 1252", GermanTable(GERMAN_STATUS_1252, UPDATE_1252), "message", "1025",
         GERMAN_STATUS_1252},
        {"code page 1252", GermanTable(GERMAN_STATUS_1252, UPDATE_1252), "control", "1002", UPDATE_1252},
        {"UTF-16", Utf16Table(GermanTable(GERMAN_STATUS_1252, UPDATE_1252)), "message", "1025",
         GERMAN_STATUS_1252},
        {"a letter 1252 lacks",
         "[message]\r\n1030=\xC5\x81\xC3\xB3"
         "d\xC5\xBA \xE2\x9C\x93\r\n",
         "message", "1030",
         "?\xF3"
         "d? ?"},
        {"UTF-8: blanks, quotes, case", "[Message]\r\n 1024 =  \"  Ger\xC3\xA4t \"  \r\n", "message", "1024",
         "  Ger\xE4t "},
        {"UTF-8: first section only", "[message]\r\n1024=\xC3\xA4\r\n[message]\r\n1030=x\r\n", "message",
         "1030", ""},
        {"UTF-8: cut at 259", "[message]\r\n1030=" + Repeated("\xC3\xA4", 300) + "\r\n", "message", "1030",
         std::string(259, '\xE4')},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.key);
        EXPECT_EQ(Lookup(folder.Write("lang.ini", c.file), c.section, c.key), c.expected);
    }
    // Edited while the program runs, to a file of the same size: the next lookup has the new text.
    folder.Write("lang.ini", "[message]\r\n1030=\xC3\xA4\r\n");
    EXPECT_EQ(Lookup(folder.Path() + "\\lang.ini", "message", "1030"), "\xE4");
    const std::string table = folder.Write("lang.ini", "[message]\r\n1030=\xC3\xBC\r\n");
    EXPECT_EQ(Lookup(table, "message", "1030"), "\xFC");
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
