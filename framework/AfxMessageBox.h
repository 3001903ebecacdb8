// Modal message boxes with the application title as caption.
#pragma once

#include "framework/AfxCore.h"

// nType as for MessageBox; a type that names no icon gets the exclamation icon. The owner is the
// application's main window (or, without one, the calling thread's active window), through the popup it
// last had active. nIDHelp is accepted for the usual signature; the boxes carry no help.
int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
