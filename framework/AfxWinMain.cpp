// The process entry point: it constructs nothing itself but runs the one global application object.
// Built as its own object library (framework_winmain) that the program links directly, since the
// runtime looks for WinMain only after the program's libraries have been searched.
#include "framework/CWinApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr) {
        ::MessageBoxA(nullptr, "The program has no application object.", AfxGetAppName(),
                      MB_OK | MB_ICONHAND);
        return -1;
    }
    pApp->m_hInstance = hInstance;
    // The application's work is done in InitInstance (a modal main window), which returns FALSE: the
    // process then ends here, with no message loop of its own.
    pApp->InitInstance();
    return pApp->ExitInstance();
}
