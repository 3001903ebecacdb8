#include "framework/AfxMessageBox.h"

#include "framework/CString.h"
#include "framework/CWinApp.h"
#include "framework/SafeOwner.h"

int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT) {
    if ((nType & MB_ICONMASK) == 0)
        nType |= MB_ICONEXCLAMATION;
    return ::MessageBoxA(afx_detail::SafeOwner(nullptr), lpszText != nullptr ? lpszText : "", AfxGetAppName(),
                         nType);
}

int AFXAPI AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp) {
    CString text;
    text.LoadString(nIDPrompt);
    return AfxMessageBox(text.GetString(), nType, nIDHelp);
}
