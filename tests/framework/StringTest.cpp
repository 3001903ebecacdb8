// Strings: formatting (including the framework idiom of passing a CString itself) and string resources.
#include "framework/afxwin.h"
#include "tests/framework/SampleResource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(FrameworkString, FormatTakesCStringArgumentsAndLongResults) {
    CString folder("C:\\images");
    CString path;
    path.Format("%s%s", folder, "\\firm.zpk");
    EXPECT_STREQ("C:\\images\\firm.zpk", path);

    // The arguments may be the string being formatted.
    path.Format("%s|%s|%d", path, path, 7);
    EXPECT_STREQ("C:\\images\\firm.zpk|C:\\images\\firm.zpk|7", path);

    CString wide;
    wide.Format("%0300d%s", 1, "x");
    EXPECT_EQ(301u, std::strlen(wide));
    EXPECT_EQ('1', wide.GetString()[299]);

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
    EXPECT_EQ(372u, std::strlen(longText)) << "longer than a first buffer";
    EXPECT_EQ("ABCDEFGHIJ", std::string(longText).substr(36, 10));

    CString missing("old");
    EXPECT_FALSE(missing.LoadString(IDS_SAMPLE_MISSING));
    EXPECT_TRUE(missing.IsEmpty());
}

} // namespace
