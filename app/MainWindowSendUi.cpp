#include "engine/ImageSendThread.h"

#include "app/NimbrelDlg.h"
#include "engine/ImageTransfer.h"

namespace {

// The main window's items as the sender changes them. The item calls go to the window's thread by message,
// and null-safe ones are used so that a window already gone does not crash the worker.
class DialogSendUi final : public ImageSendUi {
public:
    explicit DialogSendUi(CNimbrelDlg& dlg) : m_dlg(dlg) {}

    void DisableUpdateButton() override {
        ::EnableWindow(::GetDlgItem(m_dlg.GetSafeHwnd(), IDC_UPDATE_FILE), FALSE);
    }

    // Each hand-over to the window's thread costs a round trip between threads (a quarter of a millisecond
    // here), and a 2048-byte chunk moves the bar of a large image only every few hundred chunks: a value the
    // bar already holds is not handed over again. Every new value still reaches the bar, after its chunk.
    void SetProgressPos(int pos) override {
        if (m_bHasPos && pos == m_nLastPos)
            return;
        m_bHasPos = true;
        m_nLastPos = pos;
        if (m_dlg.m_ctrlProgress.GetSafeHwnd())
            m_dlg.m_ctrlProgress.SetPos(pos);
    }

    void ShowResultText(const char* text) override {
        ::SetDlgItemTextA(m_dlg.GetSafeHwnd(), IDC_RESULT_TEXT, text);
    }

private:
    CNimbrelDlg& m_dlg;
    bool m_bHasPos = false;
    int m_nLastPos = 0;
};

} // namespace

UINT ImageSendThread(LPVOID pParam) {
    DialogSendUi ui(*static_cast<CNimbrelDlg*>(pParam));
    return RunImageSend(ui);
}
