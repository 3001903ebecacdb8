// Drives the real main window for the sender: runs work inside its modal loop, as a click on Update File
// runs, and sends the prepared image through ImageSendThread while the window's thread handles its messages.
// Needs the window: only programs that link the app layer use it.
#pragma once

#include "app/NimbrelDlg.h"

#include <functional>

// Runs the window modally, calls `work` once from inside its message loop, then closes the window.
void RunInsideMainWindow(CNimbrelDlg& dlg, const std::function<void()>& work);

// Starts ImageSendThread on the transfer variables as prepared (g_cbSent is set to 0) and handles the window
// thread's messages until the sender has ended. Returns false when the thread could not be started; the
// image and the pipe are released then.
bool SendFromMainWindow(CNimbrelDlg& dlg);
