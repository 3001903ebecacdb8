#include "app/MainWindowSendUi.h"

#include "app/NimbrelDlg.h"

// Null-safe item calls, so that a window already gone does not crash the worker.

void MainWindowSendUi::DisableUpdateButton() {
    ::EnableWindow(::GetDlgItem(m_dlg.GetSafeHwnd(), IDC_UPDATE_FILE), FALSE);
}

// Each hand-over to the window's thread costs a round trip between threads (a quarter of a millisecond
// here), and a 2048-byte chunk moves the bar of a large image only every few hundred chunks: a value the bar
// already holds is not handed over again. Every new value still reaches the bar, after its chunk.
void MainWindowSendUi::SetProgressPos(int pos) {
    if (m_bHasPos && pos == m_nLastPos)
        return;
    m_bHasPos = true;
    m_nLastPos = pos;
    if (m_dlg.m_ctrlProgress.GetSafeHwnd())
        m_dlg.m_ctrlProgress.SetPos(pos);
}

void MainWindowSendUi::ShowResultText(const char* text) {
    ::SetDlgItemTextA(m_dlg.GetSafeHwnd(), IDC_RESULT_TEXT, text);
}
