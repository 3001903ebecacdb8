#pragma once

#include "engine/ImageTransfer.h"

class CNimbrelDlg;

// The main window's items as the image sender changes them, from the sender's thread. The item calls go to
// the window's thread by message, so that thread keeps handling messages while a sender runs.
class MainWindowSendUi final : public ImageSendUi {
public:
    explicit MainWindowSendUi(CNimbrelDlg& dlg) : m_dlg(dlg) {}

    void DisableUpdateButton() override;
    void SetProgressPos(int pos) override;
    void ShowResultText(const char* text) override;

private:
    CNimbrelDlg& m_dlg;
    bool m_bHasPos = false;
    int m_nLastPos = 0;
};
