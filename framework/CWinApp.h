// The application object. The program defines exactly one, as a global; the entry point (AfxWinMain.cpp)
// runs it: InitInstance, which does the application's work (a modal main window), then the process ends
// with ExitInstance's code, without a message loop of its own.
#pragma once

#include "framework/AfxCore.h"

#include <string>

class CWinApp {
public:
    // Without a name the application title is the base name of the program file (no folder, no extension).
    explicit CWinApp(LPCTSTR lpszAppName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // Records the settings key; the application stores nothing through the framework.
    void SetRegistryKey(LPCTSTR lpszRegistryKey);

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPCTSTR m_pszAppName = nullptr;
    LPCTSTR m_pszRegistryKey = nullptr;

private:
    std::string m_appName;
    std::string m_registryKey;
};

// The one application object, or null in a program that has none.
CWinApp* AFXAPI AfxGetApp() noexcept;
// The application object's main window, or null.
CWnd* AFXAPI AfxGetMainWnd() noexcept;
// The application title (the message-box caption); the program file's base name when there is no
// application object.
LPCTSTR AFXAPI AfxGetAppName() noexcept;
// The module whose resources the program loads: the application's instance (the program file).
HINSTANCE AFXAPI AfxGetResourceHandle() noexcept;
// Dialogs here host no ActiveX controls, so there is nothing to enable.
void AFXAPI AfxEnableControlContainer() noexcept;
