// The main window at a display scale: run once at each of 100%, 125%, 150% and 200% (NIMBREL_LOGPIXELS, set
// in a Wine prefix of the run's own before this program starts). The window runs in this process, which
// carries the program's own manifest, so that its fonts, items and pixels can be read directly.
#include "app/DialogItems.h"
#include "app/NimbrelDlg.h"
#include "system/WindowDpi.h"
#include "tests/app/WindowPixels.h"
#include "tests/support/MainWindowSend.h"
#include "tests/support/TempFolder.h"
#include "texts/TextKeys.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

UINT ScaleOfThisRun() {
    const char* value = std::getenv("NIMBREL_LOGPIXELS");
    return value != nullptr ? static_cast<UINT>(std::atoi(value)) : 0;
}

struct PlacedItem {
    int id;
    RECT units; // left, top, width, height in dialog units, as the template places the item
};

// The template's visible items but the picture, whose size is the bitmap's.
const PlacedItem PLACED_ITEMS[] = {
    {IDCANCEL, {149, 62, 78, 17}},        {IDC_FRAME, {1, 54, 130, 30}},
    {IDC_UPDATE_FILE, {4, 62, 119, 17}},  {IDC_LINK_STATUS, {1, 86, 181, 21}},
    {IDC_PROGRESS, {0, 150, 239, 12}},    {IDC_STAGE_TEXT, {0, 124, 239, 23}},
    {IDC_RESULT_TEXT, {0, 170, 150, 10}},
};

struct ShownText {
    int id;
    const char* section;
    const char* key;
};

// Every text of the shipped table and the item it shows in.
const ShownText SHOWN_TEXTS[] = {
    {IDC_UPDATE_FILE, TEXT_SECTION_CONTROL, TEXT_UPDATE_CAPTION},
    {IDCANCEL, TEXT_SECTION_CONTROL, TEXT_CANCEL_CAPTION},
    {IDC_LINK_STATUS, TEXT_SECTION_MESSAGE, TEXT_LINKED},
    {IDC_LINK_STATUS, TEXT_SECTION_MESSAGE, TEXT_NOT_LINKED},
    {IDC_STAGE_TEXT, TEXT_SECTION_MESSAGE, TEXT_STAGE_FIRM},
    {IDC_STAGE_TEXT, TEXT_SECTION_MESSAGE, TEXT_STAGE_CDB2},
    {IDC_STAGE_TEXT, TEXT_SECTION_MESSAGE, TEXT_STAGE_CDB1},
    {IDC_STAGE_TEXT, TEXT_SECTION_MESSAGE, TEXT_STAGE_CDB3},
    {IDC_RESULT_TEXT, TEXT_SECTION_MESSAGE, TEXT_IMAGE_SENT},
};

RECT InClient(HWND dialog, HWND item) {
    RECT rect{};
    ::GetWindowRect(item, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The room `text` needs in `item`'s font: on one line in a button, wrapped at the item's width in a static.
SIZE TextExtent(HWND item, const std::string& text, bool wraps) {
    RECT client{};
    ::GetClientRect(item, &client);
    const HDC dc = ::GetDC(item);
    const HGDIOBJ previous =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(item, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, client.right, 0};
    ::DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    ::SelectObject(dc, previous);
    ::ReleaseDC(item, dc);
    return {needed.right - needed.left, needed.bottom - needed.top};
}

// The about box's icon item, measured from a timer inside the box's own modal loop, which it then ends.
SIZE g_aboutIcon{};
int g_aboutTicks = 0;

void CALLBACK MeasureAboutBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND about = ::FindWindowA("#32770", "About Download");
    if (about == nullptr && ++g_aboutTicks < 100)
        return;
    ::KillTimer(nullptr, timer);
    if (HWND icon = about != nullptr ? FirstStaticOfType(about, SS_ICON) : nullptr) {
        RECT rect{};
        ::GetWindowRect(icon, &rect);
        g_aboutIcon = {rect.right - rect.left, rect.bottom - rect.top};
    }
    if (about != nullptr)
        ::PostMessageA(about, WM_COMMAND, IDOK, 0);
}

// Items where the template puts them, every text of the table whole in its item, the title picture filling
// its item at the scale, the percentage centred and grown with the scale, the about box's icon of the
// scale's icon size.
TEST(MainWindowAtScale, LaysOutFitsAndDrawsAtTheScale) {
    const UINT dpi = ScaleOfThisRun();
    ASSERT_NE(dpi, 0u) << "NIMBREL_LOGPIXELS names the scale of the run";
    TempFolder elsewhere; // no companion tool to start while no device is found
    CurrentDirectory here(elsewhere.Path());
    CNimbrelDlg dlg;
    RunInsideMainWindow(dlg, [&] {
        HWND window = dlg.GetSafeHwnd();
        ASSERT_EQ(DpiOfWindow(window), dpi) << "the program declares itself aware of the scale";

        for (const PlacedItem& placed : PLACED_ITEMS) {
            SCOPED_TRACE(placed.id);
            // The dialog maps an item's place and its size each on their own.
            RECT mapped = placed.units;
            ::MapDialogRect(window, &mapped);
            const RECT expected{mapped.left, mapped.top, mapped.left + mapped.right,
                                mapped.top + mapped.bottom};
            const RECT seen = InClient(window, ::GetDlgItem(window, placed.id));
            EXPECT_EQ(seen.left, expected.left);
            EXPECT_EQ(seen.top, expected.top);
            EXPECT_EQ(seen.right, expected.right);
            EXPECT_EQ(seen.bottom, expected.bottom);
        }

        for (const ShownText& shown : SHOWN_TEXTS) {
            const std::string text = dlg.GetLangText(shown.section, shown.key);
            SCOPED_TRACE(text);
            HWND item = ::GetDlgItem(window, shown.id);
            const bool button = shown.id == IDC_UPDATE_FILE || shown.id == IDCANCEL;
            const SIZE needed = TextExtent(item, text, !button);
            RECT client{};
            ::GetClientRect(item, &client);
            // A button's face loses its edges to the text: two on each side.
            const int edges = button ? 4 * SystemMetricForDpi(SM_CXEDGE, dpi) : 0;
            EXPECT_LE(needed.cx + edges, client.right);
            EXPECT_LE(needed.cy, client.bottom);
        }

        // The picture at the scale, above the frame and inside the window, every edge pixel its own.
        HWND banner = BannerOf(window);
        ASSERT_NE(banner, nullptr);
        const RECT picture = InClient(window, banner);
        RECT frame = InClient(window, ::GetDlgItem(window, IDC_FRAME)), client{};
        ::GetClientRect(window, &client);
        EXPECT_NEAR(picture.right - picture.left, 433.0 * dpi / 96, 1);
        EXPECT_NEAR(picture.bottom - picture.top, 79.0 * dpi / 96, 1);
        EXPECT_LE(picture.bottom, frame.top);
        EXPECT_LE(picture.right, client.right);
        ExpectPictureFillsItem(banner);

        ExpectPercentTextCentredAndSized(::GetDlgItem(window, IDC_PROGRESS), dpi);

        ::SetTimer(nullptr, 0, 100, MeasureAboutBox);
        dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0); // returns once the box has ended
        const int iconSize = SystemMetricForDpi(SM_CXICON, dpi);
        EXPECT_EQ(g_aboutIcon.cx, iconSize);
        EXPECT_EQ(g_aboutIcon.cy, iconSize);
    });
}

} // namespace
