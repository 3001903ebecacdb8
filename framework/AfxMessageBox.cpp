#include "framework/AfxMessageBox.h"

#include "framework/CWinApp.h"
#include "framework/SafeOwner.h"

int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT) {
    if ((nType & MB_ICONMASK) == 0)
        nType |= MB_ICONEXCLAMATION;
    return ::MessageBoxA(afx_detail::SafeOwner(nullptr), lpszText != nullptr ? lpszText : "", AfxGetAppName(),
                         nType);
}
