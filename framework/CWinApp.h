// The application object. The program defines exactly one, as a global; the entry point (AfxWinMain.cpp)
// runs it: InitInstance, and when that returns FALSE the process ends at once with ExitInstance's code,
// without a message loop of its own.
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
    // Message loop for an application that keeps running after InitInstance.
    virtual int Run();
    virtual int ExitInstance();

    // Records the settings key; the application stores nothing through the framework.
    void SetRegistryKey(LPCTSTR lpszRegistryKey);
    void SetRegistryKey(UINT nIDRegistryKey);

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPTSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;
    LPCTSTR m_pszAppName = nullptr;
    LPCTSTR m_pszExeName = nullptr;
    LPCTSTR m_pszRegistryKey = nullptr;

private:
    std::string m_exeName;
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
HINSTANCE AFXAPI AfxGetInstanceHandle() noexcept;
HINSTANCE AFXAPI AfxGetResourceHandle() noexcept;
// Dialogs here host no ActiveX controls; kept so that start-up code reads as usual.
void AFXAPI AfxEnableControlContainer() noexcept;
