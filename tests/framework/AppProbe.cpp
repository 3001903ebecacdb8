// A program with an application object whose InitInstance returns FALSE. Its exit code tells the test
// what the entry point did: 42 when the application object was run as expected and the process ended
// straight after InitInstance. A message loop after InitInstance would never end.
#include "framework/afxwin.h"

#include <cstring>

namespace {

class CProbeApp : public CWinApp {
public:
    BOOL InitInstance() override {
        CWinApp::InitInstance();
        AfxEnableControlContainer();
        SetRegistryKey("Local AppWizard-Generated Applications");
        m_bAsExpected = AfxGetApp() == this && std::strcmp(m_pszAppName, "fw_app_probe") == 0 &&
                        std::strcmp(AfxGetAppName(), "fw_app_probe") == 0 &&
                        m_hInstance == ::GetModuleHandleA(nullptr) &&
                        std::strcmp(m_pszRegistryKey, "Local AppWizard-Generated Applications") == 0;
        // Something to keep a message loop busy, if one were entered.
        ::PostThreadMessageA(::GetCurrentThreadId(), WM_USER, 0, 0);
        return FALSE;
    }
    int ExitInstance() override { return m_bAsExpected ? 42 : 3; }

private:
    bool m_bAsExpected = false;
};

CProbeApp theApp;

} // namespace
