// Strings: formatting (including the framework idiom of passing a CString itself) and string resources.
#include "framework/afxwin.h"
#include "tests/framework/SampleResource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FrameworkString, FormatTakesCStringArgumentsAndLongResults) {
    CString folder("C:\\images");
    CString path;
    path.Format("%s%s", folder, "\\firm.zpk");
    EXPECT_STREQ("C:\\images\\firm.zpk", path);

    // The arguments may be the string being formatted.
    path.Format("%s|%s|%d", path, path.Left(2), 7);
    EXPECT_STREQ("C:\\images\\firm.zpk|C:|7", path);

    CString wide;
    wide.Format("%0300d%s", 1, "x");
    EXPECT_EQ(301, wide.GetLength());
    EXPECT_EQ('1', wide[299]);
    EXPECT_EQ('\0', wide[301]) << "reading past the end gives the terminator, not memory beyond";

    CString percent;
    percent.Format("%.0f%%", 45.0);
    EXPECT_STREQ("45%", percent);
}

TEST(FrameworkString, LoadStringReadsResourcesOfAnyLength) {
    CString text;
    EXPECT_TRUE(text.LoadString(IDS_SAMPLE));
    EXPECT_STREQ("Sample text", text);

    CString longText;
    EXPECT_TRUE(longText.LoadString(IDS_SAMPLE_LONG));
    EXPECT_EQ(372, longText.GetLength()) << "longer than a first buffer";
    EXPECT_EQ(CString("ABCDEFGHIJ"), longText.Mid(36, 10));

    CString missing("old");
    EXPECT_FALSE(missing.LoadString(IDS_SAMPLE_MISSING));
    EXPECT_TRUE(missing.IsEmpty());
}

TEST(FrameworkString, BufferAccessForWin32Calls) {
    CString folder;
    const DWORD length = ::GetCurrentDirectoryA(MAX_PATH, folder.GetBuffer(MAX_PATH));
    folder.ReleaseBuffer();
    EXPECT_EQ(static_cast<int>(length), folder.GetLength());

    CString joined = folder + "\\" + CString('x', 3);
    EXPECT_EQ(folder.GetLength() + 4, joined.GetLength());
    EXPECT_EQ(joined.GetLength() - 3, joined.ReverseFind('\\') + 1);
    EXPECT_TRUE(joined.Right(3) == "xxx");
    EXPECT_EQ(0, CString("Message").CompareNoCase("MESSAGE"));
}

} // namespace
