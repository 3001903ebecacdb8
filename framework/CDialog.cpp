#include "framework/CDialog.h"

#include "framework/CWinApp.h"
#include "framework/SafeOwner.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) noexcept
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
    if (m_hWnd != nullptr || m_lpszTemplateName == nullptr)
        return -1;
    const HWND hOwner = afx_detail::SafeOwner(m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr);
    // The object rides in the creation parameter; DialogProc binds it when WM_INITDIALOG brings it back.
    return ::DialogBoxParamA(AfxGetResourceHandle(), m_lpszTemplateName, hOwner, &CDialog::DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
    // Before WM_INITDIALOG nothing needs the object; after it the binding routes every message through
    // the object's map, and what reaches this procedure then is left to the system's dialog handling.
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* self = reinterpret_cast<CDialog*>(lParam);
    if (self == nullptr || !self->SubclassWindow(hWnd)) {
        ::EndDialog(hWnd, -1);
        return FALSE;
    }
    return self->OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::EndDialog(int nResult) noexcept {
    if (m_hWnd != nullptr)
        ::EndDialog(m_hWnd, nResult);
}

void CDialog::OnOK() {
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}
