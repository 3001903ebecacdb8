#include "framework/CWinApp.h"

#include "framework/ProgramName.h"

namespace {

// The one application object; the first one constructed wins.
CWinApp* g_pApplication = nullptr;

} // namespace

CWinApp::CWinApp(LPCTSTR lpszAppName)
    : m_hInstance(::GetModuleHandleA(nullptr)),
      m_appName(lpszAppName != nullptr ? lpszAppName : afx_detail::ProgramBaseName()) {
    m_pszAppName = m_appName.c_str();
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

int CWinApp::ExitInstance() {
    return 0;
}

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey) {
    m_registryKey = lpszRegistryKey != nullptr ? lpszRegistryKey : "";
    m_pszRegistryKey = m_registryKey.c_str();
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

HINSTANCE AFXAPI AfxGetResourceHandle() noexcept {
    return g_pApplication != nullptr ? g_pApplication->m_hInstance : ::GetModuleHandleA(nullptr);
}

void AFXAPI AfxEnableControlContainer() noexcept {}
