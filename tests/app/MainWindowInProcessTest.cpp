// The main window in this process: its text lookups and the sender's changes as the window shows them.
#include "app/NimbrelDlg.h"
#include "engine/ImageFormat.h"
#include "engine/TransferState.h"
#include "link/DeviceLink.h"
#include "system/WindowDpi.h"
#include "tests/app/WindowPixels.h"
#include "texts/LangText.h"
#include "tests/engine/TransferChecks.h"
#include "tests/support/MainWindowSend.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualDevice.h"
#include "texts/TextKeys.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

namespace {

// The shipped table lies beside the test program, as beside the product.
TEST(LangTextLookup, ShippedTableIsFoundBesideTheProgramFromAnyCurrentDirectory) {
    TempFolder elsewhere;
    CurrentDirectory here(elsewhere.Path());
    CNimbrelDlg dlg;
    EXPECT_STREQ(dlg.GetLangText(TEXT_SECTION_CONTROL, TEXT_UPDATE_CAPTION), "Update File");
    EXPECT_STREQ(dlg.GetLangText(TEXT_SECTION_CONTROL, TEXT_CANCEL_CAPTION), "Cancel");
    const char* const messages[] = {TEXT_NO_DEVICE,  TEXT_BAD_MARK,        TEXT_TOO_SHORT,  TEXT_LINKED,
                                    TEXT_NOT_LINKED, TEXT_STAGE_CDB3,      TEXT_STAGE_FIRM, TEXT_STAGE_CDB1,
                                    TEXT_IMAGE_SENT, TEXT_NO_LINK_LIBRARY, TEXT_STAGE_CDB2};
    for (const char* key : messages)
        EXPECT_STRNE(dlg.GetLangText(TEXT_SECTION_MESSAGE, key), "") << key;
    EXPECT_STRNE(dlg.GetLangText(TEXT_SECTION_TITLE, TEXT_WINDOW_TITLE), "");
    EXPECT_EQ(dlg.GetLangText(TEXT_SECTION_TITLE, TEXT_WINDOW_TITLE), dlg.m_szLangText)
        << "the window's lookups share its buffer";
}

} // namespace

namespace {

// Positions as the main window's bar receives them, recorded on the window's thread.
std::vector<int> g_barPositions;
WNDPROC g_barProc = nullptr;

LRESULT CALLBACK RecordBarPosition(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBM_SETPOS)
        g_barPositions.push_back(static_cast<int>(wParam));
    return ::CallWindowProcA(g_barProc, hWnd, message, wParam, lParam);
}

TEST(ImageSenderOnDevice, MainWindowBarButtonAndResultTextAsTheWindowShowsThem) {
    VirtualDevice device;
    unsigned sent = 0;
    ASSERT_TRUE(device.Running());
    std::vector<int> oneToHundred(100);
    std::iota(oneToHundred.begin(), oneToHundred.end(), 1);
    const std::pair<std::uint32_t, std::vector<int>> cases[] = {{9999, {20, 41, 62, 82, 101}},
                                                                {204800, oneToHundred}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const std::vector<BYTE> image = MakeImage(IMAGE_HEADER_SIZE + c.first);
        CNimbrelDlg dlg;
        bool buttonEnabled = true;
        char result[LANG_TEXT_SIZE] = {};
        RunInsideMainWindow(dlg, [&] {
            HWND bar = ::GetDlgItem(dlg.GetSafeHwnd(), IDC_PROGRESS);
            g_barPositions.clear();
            g_barProc = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordBarPosition)));
            LinkOpenResult pipe = OpenPipeOnce(g_szPipeToDevice);
            PrepareTransfer(image, pipe.handle.Release());
            SendFromMainWindow(dlg);
            ::SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_barProc));
            buttonEnabled = ::IsWindowEnabled(::GetDlgItem(dlg.GetSafeHwnd(), IDC_UPDATE_FILE)) != FALSE;
            ::GetDlgItemTextA(dlg.GetSafeHwnd(), IDC_RESULT_TEXT, result, sizeof(result));
        });
        ExpectEnded(false);
        EXPECT_EQ(g_barPositions, c.second);
        EXPECT_FALSE(buttonEnabled);
        EXPECT_STREQ(result, "Image sent.");
        ++sent;
        ASSERT_TRUE(device.WaitForImages(sent, 10000));
        EXPECT_EQ(device.Images().back().payload,
                  std::vector<std::uint8_t>(image.begin() + IMAGE_HEADER_SIZE, image.end()));
    }
}

} // namespace

namespace {

// Windows sends the message when the window has moved to a monitor of another scale; Wine never does, and
// leaves the dialog's own items where they were, so this covers what the window draws and sizes itself.
TEST(MainWindowDpiChange, TakesTheSuggestedRectangleAndDrawsItsOwnPartsAtTheNewScale) {
    TempFolder elsewhere; // no companion tool to start while no device is found
    CurrentDirectory here(elsewhere.Path());
    CNimbrelDlg dlg;
    RunInsideMainWindow(dlg, [&] {
        HWND window = dlg.GetSafeHwnd();
        // To 125%: Wine leaves the bar at its old height, which could not hold the text of 200%.
        const UINT dpi = DpiOfWindow(window) * 5 / 4;
        RECT before{};
        ::GetWindowRect(window, &before);
        RECT suggested{20, 10, 20 + (before.right - before.left) * 5 / 4,
                       10 + (before.bottom - before.top) * 5 / 4};
        ::SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));

        RECT now{};
        ::GetWindowRect(window, &now);
        EXPECT_TRUE(::EqualRect(&now, &suggested))
            << now.left << "," << now.top << " " << now.right - now.left << " x " << now.bottom - now.top;
        HWND banner = BannerOf(window);
        ASSERT_NE(banner, nullptr);
        RECT picture{};
        ::GetWindowRect(banner, &picture);
        EXPECT_NEAR(picture.right - picture.left, 433.0 * dpi / 96, 1);
        EXPECT_NEAR(picture.bottom - picture.top, 79.0 * dpi / 96, 1);
        // The items below the picture stay at the old scale and now lie over its lower part.
        ExpectPictureFillsItem(banner, 0.5);
        ExpectPercentTextCentredAndSized(::GetDlgItem(window, IDC_PROGRESS), dpi);
    });
}

} // namespace
