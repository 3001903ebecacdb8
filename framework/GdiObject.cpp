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

BOOL CBitmap::LoadBitmap(UINT nIDResource) noexcept {
    return Attach(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nIDResource), IMAGE_BITMAP, 0, 0,
                               LR_DEFAULTCOLOR));
}

BOOL CFont::CreateFontIndirect(const LOGFONT* lpLogFont) noexcept {
    return lpLogFont != nullptr && Attach(::CreateFontIndirectA(lpLogFont));
}
