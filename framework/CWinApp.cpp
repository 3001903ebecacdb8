#include "framework/CWinApp.h"

#include "framework/CString.h"
#include "framework/ProgramName.h"

namespace {

// The one application object; the first one constructed wins.
CWinApp* g_pApplication = nullptr;

} // namespace

CWinApp::CWinApp(LPCTSTR lpszAppName)
    : m_hInstance(::GetModuleHandleA(nullptr)), m_exeName(afx_detail::ProgramBaseName()),
      m_appName(lpszAppName != nullptr ? lpszAppName : m_exeName) {
    m_pszAppName = m_appName.c_str();
    m_pszExeName = m_exeName.c_str();
    if (g_pApplication == nullptr)
        g_pApplication = this;
}

CWinApp::~CWinApp() {
    if (g_pApplication == this)
        g_pApplication = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    MSG msg{};
    for (;;) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    const int exitCode = ExitInstance();
    return msg.message == WM_QUIT && exitCode == 0 ? static_cast<int>(msg.wParam) : exitCode;
}

int CWinApp::ExitInstance() {
    return 0;
}

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey) {
    m_registryKey = lpszRegistryKey != nullptr ? lpszRegistryKey : "";
    m_pszRegistryKey = m_registryKey.c_str();
}

void CWinApp::SetRegistryKey(UINT nIDRegistryKey) {
    CString key;
    key.LoadString(nIDRegistryKey);
    SetRegistryKey(key.GetString());
}

CWinApp* AFXAPI AfxGetApp() noexcept {
    return g_pApplication;
}

CWnd* AFXAPI AfxGetMainWnd() noexcept {
    return g_pApplication != nullptr ? g_pApplication->m_pMainWnd : nullptr;
}

LPCTSTR AFXAPI AfxGetAppName() noexcept {
    if (g_pApplication != nullptr)
        return g_pApplication->m_pszAppName;
    static const std::string programName = afx_detail::ProgramBaseName();
    return programName.c_str();
}

HINSTANCE AFXAPI AfxGetInstanceHandle() noexcept {
    return g_pApplication != nullptr ? g_pApplication->m_hInstance : ::GetModuleHandleA(nullptr);
}

HINSTANCE AFXAPI AfxGetResourceHandle() noexcept {
    return AfxGetInstanceHandle();
}

void AFXAPI AfxEnableControlContainer() noexcept {}
