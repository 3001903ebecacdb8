#include "framework/GdiObject.h"

#include "framework/CDC.h"

BOOL CGdiObject::Attach(HGDIOBJ hObject) noexcept {
    if (hObject == nullptr)
        return FALSE;
    m_object.Reset(hObject);
    return TRUE;
}

CBrush::CBrush(COLORREF crColor) noexcept {
    Attach(::CreateSolidBrush(crColor));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) noexcept {
    if (pDC == nullptr || pDC->m_hDC == nullptr)
        return FALSE;
    return Attach(::CreateCompatibleBitmap(pDC->m_hDC, nWidth, nHeight));
}
