// The program's resources as the system sees them: this test program links
// the same compiled resource script as Nimbrel.exe and loads from itself.
#include "res/resource.h"
#include "tests/res/DialogTemplate.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

HINSTANCE Self() {
    return GetModuleHandleA(nullptr);
}

// A modeless instance of one of our dialog templates, destroyed with the object.
class TemplateWindow {
public:
    explicit TemplateWindow(int id) {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        hwnd_ = CreateDialogParamA(Self(), MAKEINTRESOURCEA(id), nullptr, &Proc, 0);
    }
    ~TemplateWindow() {
        if (hwnd_ != nullptr)
            DestroyWindow(hwnd_);
    }
    TemplateWindow(const TemplateWindow&) = delete;
    TemplateWindow& operator=(const TemplateWindow&) = delete;

    HWND get() const { return hwnd_; }

private:
    static INT_PTR CALLBACK Proc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }
    HWND hwnd_ = nullptr;
};

struct ExpectedItem {
    int id;
    const char* className;
    const char* text; // "#n": resource n (a picture)
    RECT units;       // x, y, width, height in dialog units
    DWORD style;
};

constexpr DWORD CHILD = WS_CHILD | WS_VISIBLE;
constexpr DWORD STATIC_TEXT = CHILD | WS_GROUP | SS_LEFT;
constexpr DWORD HIDDEN_TEXT = WS_CHILD | WS_GROUP | SS_LEFT;
constexpr DWORD BUTTON = CHILD | WS_TABSTOP | BS_PUSHBUTTON;

const std::vector<ExpectedItem> MAIN_ITEMS = {
    {IDCANCEL, "Button", "Cancel", {149, 62, 78, 17}, BUTTON},
    {IDC_FRAME, "Button", "", {1, 54, 130, 30}, CHILD | BS_GROUPBOX},
    {IDC_UPDATE_FILE, "Button", "Update File", {4, 62, 119, 17}, BUTTON},
    {IDC_LINK_STATUS, "Static", "Static", {1, 86, 181, 21}, STATIC_TEXT},
    {IDC_PROGRESS, "msctls_progress32", "", {0, 150, 239, 12}, CHILD | WS_BORDER | PBS_SMOOTH},
    {IDC_STAGE_TEXT, "Static", "", {0, 124, 239, 23}, STATIC_TEXT},
    {IDC_RESULT_TEXT, "Static", "", {0, 170, 150, 10}, STATIC_TEXT},
    {IDC_WEB_ADDRESS, "Static", "www.example.com", {170, 169, 69, 11}, HIDDEN_TEXT},
    {IDC_SPARE_TEXT, "Static", "Static", {202, 92, 37, 12}, HIDDEN_TEXT},
    {-1, "Static", "#147", {12, 8, 193, 41}, CHILD | SS_BITMAP},
};

const std::vector<ExpectedItem> ABOUT_ITEMS = {
    {-1, "Static", "#5", {7, 7, 21, 20}, CHILD | SS_ICON},
    {-1, "Static", "Automatic update 1.0.0", {40, 10, 119, 8}, CHILD | WS_GROUP | SS_LEFT | SS_NOPREFIX},
    {IDOK, "Button", "OK", {178, 7, 50, 16}, CHILD | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON},
};

// The template holds exactly the items, texts, places and styles wanted.
void ExpectTemplateItems(const DialogTemplate& dialog, const std::vector<ExpectedItem>& expected) {
    ASSERT_EQ(dialog.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const ExpectedItem& want = expected[i];
        const TemplateItem& item = dialog.items[i];
        SCOPED_TRACE("item " + std::to_string(i) + ", id " + std::to_string(want.id));
        EXPECT_EQ(item.id, want.id);
        EXPECT_STRCASEEQ(item.className.c_str(), want.className);
        EXPECT_EQ(item.text, want.text);
        EXPECT_EQ(item.units.left, want.units.left);
        EXPECT_EQ(item.units.top, want.units.top);
        EXPECT_EQ(item.units.right, want.units.right);
        EXPECT_EQ(item.units.bottom, want.units.bottom);
        EXPECT_EQ(item.style, want.style) << std::hex << item.style << " vs " << want.style;
        EXPECT_EQ(item.exStyle, 0u);
    }
}

std::string WindowText(HWND hwnd) {
    char text[256] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string ClassName(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// Dialog units to pixels the way the dialog manager places an item: the
// corner and the size are converted separately.
RECT ToPixels(HWND dialog, const RECT& units) {
    RECT corner{units.left, units.top, units.left, units.top};
    RECT size{0, 0, units.right, units.bottom};
    MapDialogRect(dialog, &corner);
    MapDialogRect(dialog, &size);
    return RECT{corner.left, corner.top, corner.left + size.right, corner.top + size.bottom};
}

RECT RectInParent(HWND item) {
    RECT rect;
    GetWindowRect(item, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(item), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<HWND> ChildrenInOrder(HWND dialog) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// The window built from the template: items in template (tab) order, with
// their ids, classes, texts, visibility and places.
void ExpectWindowItems(HWND dialog, const std::vector<ExpectedItem>& expected) {
    const std::vector<HWND> children = ChildrenInOrder(dialog);
    ASSERT_EQ(children.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const ExpectedItem& want = expected[i];
        HWND item = children[i];
        SCOPED_TRACE("item " + std::to_string(i) + ", id " + std::to_string(want.id));
        EXPECT_EQ(LOWORD(GetDlgCtrlID(item)), LOWORD(want.id));
        EXPECT_STRCASEEQ(ClassName(item).c_str(), want.className);
        const bool picture = want.text[0] == '#';
        if (!picture) {
            EXPECT_EQ(WindowText(item), want.text);
        }
        EXPECT_EQ(GetWindowLongA(item, GWL_STYLE) & WS_VISIBLE, static_cast<LONG>(want.style & WS_VISIBLE));
        const RECT wanted = ToPixels(dialog, want.units);
        const RECT actual = RectInParent(item);
        EXPECT_EQ(actual.left, wanted.left);
        EXPECT_EQ(actual.top, wanted.top);
        if (!picture) { // a picture item takes its picture's size
            EXPECT_EQ(actual.right, wanted.right);
            EXPECT_EQ(actual.bottom, wanted.bottom);
        }
    }
}

TEST(Resources, MainWindowTemplate) {
    DialogTemplate dialog;
    ASSERT_TRUE(ReadDialogTemplate(IDD_MAIN, &dialog));
    EXPECT_EQ(dialog.caption, "Vexo Update");
    EXPECT_EQ(dialog.style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                                               DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(dialog.exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
    EXPECT_EQ(dialog.units.right, 242);
    EXPECT_EQ(dialog.units.bottom, 184);
    EXPECT_EQ(dialog.face, "System");
    EXPECT_EQ(dialog.pointSize, 10);
    EXPECT_EQ(dialog.weight, 700);
    EXPECT_EQ(dialog.charset, 129);
    ExpectTemplateItems(dialog, MAIN_ITEMS);
}

TEST(Resources, MainWindowBuiltFromTheTemplate) {
    TemplateWindow window(IDD_MAIN);
    HWND dialog = window.get();
    ASSERT_NE(dialog, nullptr) << GetLastError();
    EXPECT_EQ(WindowText(dialog), "Vexo Update");
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    RECT client;
    GetClientRect(dialog, &client);
    const RECT size = ToPixels(dialog, {0, 0, 242, 184});
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    LOGFONTA font{};
    HFONT hFont = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    ASSERT_NE(hFont, nullptr);
    ASSERT_NE(GetObjectA(hFont, sizeof font, &font), 0);
    EXPECT_STREQ(font.lfFaceName, "System");
    EXPECT_EQ(font.lfWeight, FW_BOLD);

    ExpectWindowItems(dialog, MAIN_ITEMS);
}

TEST(Resources, MainWindowBannerShowsTheSplashBitmapAtItsOwnSize) {
    TemplateWindow window(IDD_MAIN);
    HWND dialog = window.get();
    ASSERT_NE(dialog, nullptr);
    HWND banner = ChildrenInOrder(dialog).back();
    HBITMAP shown = reinterpret_cast<HBITMAP>(SendMessageA(banner, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(shown, nullptr);
    RECT rect;
    GetWindowRect(banner, &rect);
    EXPECT_EQ(rect.right - rect.left, 433);
    EXPECT_EQ(rect.bottom - rect.top, 79);
}

TEST(Resources, AboutBoxTemplate) {
    DialogTemplate about;
    ASSERT_TRUE(ReadDialogTemplate(IDD_ABOUTBOX, &about));
    EXPECT_EQ(about.caption, "About Download");
    EXPECT_EQ(about.style, static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                                              DS_FIXEDSYS | DS_SETFONT));
    EXPECT_EQ(about.units.right, 235);
    EXPECT_EQ(about.units.bottom, 55);
    EXPECT_EQ(about.face, "MS Shell Dlg");
    EXPECT_EQ(about.pointSize, 8);
    ExpectTemplateItems(about, ABOUT_ITEMS);

    TemplateWindow window(IDD_ABOUTBOX);
    HWND dialog = window.get();
    ASSERT_NE(dialog, nullptr) << GetLastError();
    ExpectWindowItems(dialog, ABOUT_ITEMS);
    EXPECT_NE(SendMessageA(ChildrenInOrder(dialog).front(), STM_GETICON, 0, 0), 0);
}

// Group directory of an icon resource as stored in the program file.
#pragma pack(push, 2)
struct IconDirEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
struct IconDir {
    WORD reserved;
    WORD type;
    WORD count;
    IconDirEntry entries[1];
};
#pragma pack(pop)
static_assert(sizeof(IconDirEntry) == 14, "group icon entry as the resource compiler writes it");

const void* ResourceData(LPCSTR name, LPCSTR type, DWORD* size) {
    HRSRC found = FindResourceA(Self(), name, type);
    if (found == nullptr)
        return nullptr;
    *size = SizeofResource(Self(), found);
    return LockResource(LoadResource(Self(), found));
}

TEST(Resources, IconIsOne48By48ImageOf24Bits) {
    DWORD size = 0;
    const auto* dir =
        static_cast<const IconDir*>(ResourceData(MAKEINTRESOURCEA(IDI_MAIN_ICON), RT_GROUP_ICON, &size));
    ASSERT_NE(dir, nullptr);
    ASSERT_GE(size, sizeof(IconDir));
    EXPECT_EQ(dir->type, 1);
    ASSERT_EQ(dir->count, 1);
    EXPECT_EQ(dir->entries[0].width, 48);
    EXPECT_EQ(dir->entries[0].height, 48);
    EXPECT_EQ(dir->entries[0].bitCount, 24);

    HICON icon = static_cast<HICON>(LoadImageA(Self(), MAKEINTRESOURCEA(IDI_MAIN_ICON), IMAGE_ICON, 0, 0, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 48);
    EXPECT_EQ(colour.bmHeight, 48);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

TEST(Resources, SplashBitmapIs433By79Of24Bits) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(Self(), MAKEINTRESOURCEA(IDB_SPLASH), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmWidth, 433);
    EXPECT_EQ(dib.dsBm.bmHeight, 79);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
    DeleteObject(bitmap);
}

TEST(Resources, AboutMenuString) {
    char text[64] = {};
    ASSERT_GT(LoadStringA(Self(), IDS_ABOUTBOX, text, sizeof text), 0);
    EXPECT_STREQ(text, "&About ...");
}

std::string VersionString(const std::vector<char>& block, const char* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\041904e4\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), &value, &length) || value == nullptr)
        return "<missing>";
    return static_cast<const char*>(value);
}

TEST(Resources, VersionRecord) {
    char path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0419);
    EXPECT_EQ(translation[1], 1252);

    EXPECT_EQ(VersionString(block, "Comments"), "Updater");
    EXPECT_EQ(VersionString(block, "FileDescription"), "Upgrade Tool");
    EXPECT_EQ(VersionString(block, "FileVersion"), "1.0.0");
    EXPECT_EQ(VersionString(block, "ProductVersion"), "1.1.0.0");
}

} // namespace
