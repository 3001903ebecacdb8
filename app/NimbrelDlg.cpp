#include "app/NimbrelDlg.h"

#include "texts/LangText.h"

static_assert(sizeof(CNimbrelDlg::m_szLangText) == LANG_TEXT_SIZE, "text buffer size");

CNimbrelDlg::CNimbrelDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_hIcon(nullptr), m_bDeviceLinked(0), m_bToolLaunched(0),
      m_bUpdating(0), m_bImageFound{}, m_szLangText{} {
    // A shared icon from the program's resources: the system keeps it, nothing destroys it.
    m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_MAIN_ICON));
}

LPCTSTR CNimbrelDlg::GetLangText(LPCTSTR lpszSection, LPCTSTR lpszKey) {
    return LookupLangText(lpszSection, lpszKey, m_szLangText, sizeof(m_szLangText));
}
