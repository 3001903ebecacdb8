#include "framework/CDC.h"

#include <utility>

CDC::~CDC() {
    DeleteDC();
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) noexcept {
    return Attach(::CreateCompatibleDC(pDC != nullptr ? pDC->m_hDC : nullptr));
}

BOOL CDC::DeleteDC() noexcept {
    const HDC hDC = Detach();
    return hDC != nullptr ? ::DeleteDC(hDC) : FALSE;
}

BOOL CDC::Attach(HDC hDC) noexcept {
    if (hDC == nullptr)
        return FALSE;
    DeleteDC();
    m_hDC = hDC;
    m_hAttribDC = hDC;
    return TRUE;
}

HDC CDC::Detach() noexcept {
    RestoreSelection();
    // The displaced bitmap only lent a name to a handle that belongs to someone else.
    m_displacedBitmap.Detach();
    m_hAttribDC = nullptr;
    return std::exchange(m_hDC, nullptr);
}

void CDC::RestoreSelection() noexcept {
    if (m_hDC != nullptr && m_hSelectedIn == m_hDC && m_hOriginalBitmap != nullptr)
        ::SelectObject(m_hDC, m_hOriginalBitmap);
    m_hOriginalBitmap = nullptr;
    m_hSelectedIn = nullptr;
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    if (m_hDC == nullptr || pBitmap == nullptr || pBitmap->GetSafeHandle() == nullptr)
        return nullptr;
    const HGDIOBJ hOld = ::SelectObject(m_hDC, pBitmap->GetSafeHandle());
    if (hOld == nullptr || hOld == HGDI_ERROR)
        return nullptr;
    if (m_hSelectedIn != m_hDC) {
        // The handle was set directly (m_hDC is public); what was recorded belongs to another DC.
        m_hOriginalBitmap = nullptr;
        m_hSelectedIn = m_hDC;
    }
    if (m_hOriginalBitmap == nullptr)
        m_hOriginalBitmap = hOld;
    m_displacedBitmap.Detach();
    m_displacedBitmap.Attach(hOld);
    return &m_displacedBitmap;
}

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) noexcept {
    if (m_hDC != nullptr && lpRect != nullptr && pBrush != nullptr)
        ::FillRect(m_hDC, lpRect, static_cast<HBRUSH>(pBrush->GetSafeHandle()));
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                 DWORD dwRop) noexcept {
    return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC != nullptr ? pSrcDC->m_hDC : nullptr, xSrc, ySrc,
                    dwRop);
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) noexcept {
    return ::DrawIcon(m_hDC, x, y, hIcon);
}

BOOL CDC::StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                     int nSrcHeight, DWORD dwRop) noexcept {
    return ::StretchBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC != nullptr ? pSrcDC->m_hDC : nullptr, xSrc, ySrc,
                        nSrcWidth, nSrcHeight, dwRop);
}

int CDC::SetStretchBltMode(int nStretchMode) noexcept {
    const int previous = ::SetStretchBltMode(m_hDC, nStretchMode);
    // HALFTONE leaves the brush origin undefined; the system asks for it to be set again after the change.
    if (nStretchMode == HALFTONE)
        ::SetBrushOrgEx(m_hDC, 0, 0, nullptr);
    return previous;
}

int CDC::DrawText(LPCTSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) noexcept {
    return ::DrawTextA(m_hDC, lpszString, nCount, lpRect, nFormat);
}

namespace {

// Attribute changes go to both handles, as the two can differ (a CDC that draws on one DC and measures on
// another). The attribute DC's previous value is the one returned.
template <class Change>
auto ToBoth(HDC output, HDC attributes, Change change) -> decltype(change(attributes)) {
    decltype(change(attributes)) previous{};
    if (output != nullptr && output != attributes)
        previous = change(output);
    if (attributes != nullptr)
        previous = change(attributes);
    return previous;
}

} // namespace

COLORREF CDC::SetTextColor(COLORREF crColor) noexcept {
    return ToBoth(m_hDC, m_hAttribDC, [crColor](HDC hDC) { return ::SetTextColor(hDC, crColor); });
}

COLORREF CDC::SetBkColor(COLORREF crColor) noexcept {
    return ToBoth(m_hDC, m_hAttribDC, [crColor](HDC hDC) { return ::SetBkColor(hDC, crColor); });
}

int CDC::SetBkMode(int nBkMode) noexcept {
    return ToBoth(m_hDC, m_hAttribDC, [nBkMode](HDC hDC) { return ::SetBkMode(hDC, nBkMode); });
}

int CDC::GetClipBox(LPRECT lpRect) const noexcept {
    return ::GetClipBox(m_hDC, lpRect);
}

CPoint CDC::SetWindowOrg(int x, int y) noexcept {
    return CPoint(ToBoth(m_hDC, m_hAttribDC, [x, y](HDC hDC) {
        POINT previous{0, 0};
        ::SetWindowOrgEx(hDC, x, y, &previous);
        return previous;
    }));
}
