#pragma once

#include <windows.h>

// Worker thread procedure that sends the image prepared in the transfer variables (see ImageTransfer.h and
// TransferState.h). Its parameter is the main window (CNimbrelDlg*). Start it with AfxBeginThread at normal
// priority; it returns 0. Read g_bTransferFailed after g_bTransferDone is 1 or the thread has ended.
UINT ImageSendThread(LPVOID pParam);
