// Common ground of the framework: the Win32 headers and the calling-convention marks that the framework's
// declarations use, so that code written against the framework reads as ordinary framework code.
#pragma once

#include <windows.h>
#include <commctrl.h>

#ifndef AFXAPI
#define AFXAPI __stdcall
#endif
#ifndef AFX_CDECL
#define AFX_CDECL __cdecl
#endif
// Marks message handlers in class declarations; expands to nothing.
#ifndef afx_msg
#define afx_msg
#endif

class CWnd;
class CDC;
class CMenu;
class CDataExchange;
class CWinApp;
class CWinThread;
