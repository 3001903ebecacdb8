// Modal dialogs on real windows: message map dispatch, binding of an item to its control object, and the
// ways a dialog ends.
#include "tests/framework/SampleDialog.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

CSampleDlg& Derived(CSampleBaseDlg& dlg) {
    return static_cast<CSampleDlg&>(dlg);
}

TEST(FrameworkDialog, MapDispatchFallsBackToTheBaseMapAndToDefaultHandling) {
    CSampleDlg dlg;
    LRESULT dragIcon = 0;
    char caption[32] = {};
    dlg.m_script = [&](CSampleBaseDlg& self) {
        self.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BASE_ONLY, BN_CLICKED));
        self.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BOTH, BN_CLICKED));
        self.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BOTH, BN_CLICKED));
        dragIcon = self.SendMessage(WM_QUERYDRAGICON);
        // No map handles WM_GETTEXT: the dialog's own handling must answer it.
        self.SendMessage(WM_GETTEXT, sizeof(caption), reinterpret_cast<LPARAM>(caption));
        // IDOK is mapped two levels up, by the framework's dialog.
        self.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(1, dlg.m_nBaseOnly);
    EXPECT_EQ(2, dlg.m_nBothInDerived);
    EXPECT_EQ(0, dlg.m_nBothInBase) << "the derived map must win over its base";
    EXPECT_EQ(reinterpret_cast<LRESULT>(dlg.m_hIcon), dragIcon);
    EXPECT_STREQ("Sample", caption);
    EXPECT_GT(dlg.m_nPaints, 0) << "the dialog's paint message reached its map";
    EXPECT_EQ(nullptr, dlg.m_hWnd) << "the object lets go of its window when the window goes";
}

TEST(FrameworkDialog, BoundItemPaintsThroughItsControlObject) {
    CSampleDlg dlg;
    CWnd* item = nullptr;
    COLORREF pixel = CLR_INVALID;
    int position = -1;
    int lower = -1;
    int upper = -1;
    dlg.m_script = [&](CSampleBaseDlg& self) {
        CSampleDlg& me = Derived(self);
        item = me.GetDlgItem(IDC_SAMPLE_PROGRESS);
        me.m_progress.m_nPaints = me.m_progress.m_nErases = 0;
        ::InvalidateRect(me.m_progress.m_hWnd, nullptr, TRUE);
        ::UpdateWindow(me.m_progress.m_hWnd);
        const HDC hdc = ::GetDC(me.m_progress.m_hWnd);
        pixel = ::GetPixel(hdc, 3, 3);
        ::ReleaseDC(me.m_progress.m_hWnd, hdc);
        // Messages the control object does not map still get the standard control's handling.
        me.m_progress.SetRange(0, 200);
        me.m_progress.SetPos(150);
        position = me.m_progress.GetPos();
        PBRANGE range{-1, -1};
        me.m_progress.SendMessage(PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        lower = range.iLow;
        upper = range.iHigh;
        self.EndDialog(IDOK);
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_TRUE(dlg.m_bInitialExchange) << "OnInitDialog runs the data exchange";
    EXPECT_EQ(&dlg.m_progress, item) << "GetDlgItem hands out the bound object";
    EXPECT_GE(dlg.m_progress.m_nPaints, 1);
    EXPECT_GE(dlg.m_progress.m_nErases, 1);
    EXPECT_EQ(CSampleProgress::FILL, pixel) << "the control object's drawing reached the window";
    EXPECT_EQ(150, position) << "unmapped messages reach the standard control";
    EXPECT_EQ(0, lower);
    EXPECT_EQ(200, upper);
    EXPECT_EQ(nullptr, dlg.m_progress.m_hWnd);
}

TEST(FrameworkDialog, ExchangeWithAMissingItemFailsWithoutBinding) {
    CSampleDlg dlg(IDD_SAMPLE_NO_PROGRESS);
    BOOL exchanged = TRUE;
    dlg.m_script = [&](CSampleBaseDlg& self) {
        exchanged = self.UpdateData(FALSE);
        self.EndDialog(IDOK);
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_FALSE(exchanged);
    EXPECT_FALSE(dlg.m_bInitialExchange);
}

TEST(FrameworkDialog, SystemMenuTakesAppendedItemsAndRoutesTheirCommands) {
    CSampleDlg dlg;
    int before = -1;
    int after = -1;
    char text[32] = {};
    dlg.m_script = [&](CSampleBaseDlg& self) {
        CMenu* menu = self.GetSystemMenu(FALSE);
        ASSERT_NE(nullptr, menu);
        before = ::GetMenuItemCount(menu->m_hMenu);
        menu->AppendMenu(MF_SEPARATOR);
        menu->AppendMenu(MF_STRING, 0x0010, "&About ...");
        after = ::GetMenuItemCount(self.GetSystemMenu(FALSE)->m_hMenu);
        ::GetMenuStringA(menu->m_hMenu, 0x0010, text, sizeof(text), MF_BYCOMMAND);
        self.SendMessage(WM_SYSCOMMAND, 0x0010);
        self.EndDialog(IDOK);
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(before + 2, after);
    EXPECT_STREQ("&About ...", text);
    EXPECT_EQ(0x0010u, dlg.m_lastSysCommand);
}

// Each way the user can leave the dialog without confirming must give the cancel result.
struct CancelWay {
    const char* name;
    void (*act)(CSampleDlg& dlg);
};

void PrintTo(const CancelWay& way, std::ostream* os) {
    *os << way.name;
}

void PressCancel(CSampleDlg& dlg) {
    ::PostMessageA(dlg.GetDlgItem(IDCANCEL)->m_hWnd, BM_CLICK, 0, 0);
}
void CloseBox(CSampleDlg& dlg) {
    ::PostMessageA(dlg.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}
void Escape(CSampleDlg& dlg) {
    const HWND focus = ::GetFocus();
    ::PostMessageA(focus != nullptr ? focus : dlg.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 1);
}
void EnterOnCancel(CSampleDlg& dlg) {
    // Moved the dialog manager's way, as the Tab key or the dialog's own start-up moves it.
    CWnd* cancel = dlg.GetDlgItem(IDCANCEL);
    dlg.SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(cancel->m_hWnd), TRUE);
    ASSERT_EQ(cancel->m_hWnd, ::GetFocus());
    // Handed to the dialog manager at once, as the modal loop would: a posted key waits in the queue, and
    // meanwhile a window of another program on the shared display may take the activation, and the focus.
    MSG enter{};
    enter.hwnd = cancel->m_hWnd;
    enter.message = WM_KEYDOWN;
    enter.wParam = VK_RETURN;
    enter.lParam = 1;
    ::IsDialogMessageA(dlg.m_hWnd, &enter);
}
void CallOnCancel(CSampleDlg& dlg) {
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
}

class FrameworkDialogCancel : public testing::TestWithParam<CancelWay> {};

TEST_P(FrameworkDialogCancel, EndsWithTheCancelResult) {
    CSampleDlg dlg;
    dlg.m_script = [&](CSampleBaseDlg& self) { GetParam().act(Derived(self)); };
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(1, dlg.m_nCancelClicks) << "the dialog's own IDCANCEL handler ran";
    if (std::string(GetParam().name) == "CloseBox") {
        EXPECT_EQ(static_cast<UINT>(SC_CLOSE), dlg.m_lastSysCommand & 0xFFF0);
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, FrameworkDialogCancel,
                         testing::Values(CancelWay{"Button", PressCancel}, CancelWay{"CloseBox", CloseBox},
                                         CancelWay{"Escape", Escape},
                                         CancelWay{"EnterOnCancel", EnterOnCancel},
                                         CancelWay{"OnCancel", CallOnCancel}),
                         [](const testing::TestParamInfo<CancelWay>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
