#include "app/NimbrelApp.h"

#include "system/DllSearch.h"
#include "app/NimbrelDlg.h"

// The one application object; the framework's entry point runs it.
CNimbrelApp theApp;

BOOL CNimbrelApp::InitInstance() {
    // Before anything loads a library by name: the current directory is the folder of downloaded images, and
    // a TandryUSB.dll planted there must never run; nor a system DLL's name planted beside the program.
    LimitDllSearchToSystemFolder();

    INITCOMMONCONTROLSEX InitCtrls;
    InitCtrls.dwSize = sizeof(InitCtrls);
    InitCtrls.dwICC = 0xFF;
    static_assert(sizeof(INITCOMMONCONTROLSEX) == 8, "the controls' initialisation record has 8 bytes");
    ::InitCommonControlsEx(&InitCtrls);

    CWinApp::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey("Local AppWizard-Generated Applications");

    CNimbrelDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The window is gone when DoModal returns; the object goes with this scope.
    m_pMainWnd = nullptr;
    return FALSE;
}
