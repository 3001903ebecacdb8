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
    RestoreSelections();
    ReleaseBorrowed();
    m_hAttribDC = nullptr;
    return std::exchange(m_hDC, nullptr);
}

HGDIOBJ CDC::Select(HGDIOBJ hObject, int slot) noexcept {
    if (m_hDC == nullptr || hObject == nullptr)
        return nullptr;
    const HGDIOBJ hOld = ::SelectObject(m_hDC, hObject);
    if (hOld == nullptr || hOld == HGDI_ERROR)
        return nullptr;
    if (m_hSelectedIn != m_hDC) {
        // The handle was set directly (m_hDC is public); what was recorded belongs to another DC.
        for (HGDIOBJ& original : m_hOriginal)
            original = nullptr;
        m_hSelectedIn = m_hDC;
    }
    if (m_hOriginal[slot] == nullptr)
        m_hOriginal[slot] = hOld;
    return hOld;
}

void CDC::RestoreSelections() noexcept {
    if (m_hDC != nullptr && m_hSelectedIn == m_hDC) {
        for (HGDIOBJ original : m_hOriginal)
            if (original != nullptr)
                ::SelectObject(m_hDC, original);
    }
    for (HGDIOBJ& original : m_hOriginal)
        original = nullptr;
    m_hSelectedIn = nullptr;
}

template <class T> T* CDC::Borrowed(HGDIOBJ hObject) {
    if (hObject == nullptr)
        return nullptr;
    for (const auto& object : m_borrowed)
        if (object->m_hObject == hObject)
            if (T* typed = dynamic_cast<T*>(object.get()))
                return typed;
    auto object = std::make_unique<T>();
    object->Attach(hObject);
    T* result = object.get();
    m_borrowed.push_back(std::move(object));
    return result;
}

void CDC::ReleaseBorrowed() noexcept {
    // The wrappers only lent a name to handles that belong to someone else.
    for (const auto& object : m_borrowed)
        object->Detach();
    m_borrowed.clear();
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    if (pBitmap == nullptr)
        return nullptr;
    return Borrowed<CBitmap>(Select(pBitmap->m_hObject, slotBitmap));
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
    if (pBrush == nullptr)
        return nullptr;
    return Borrowed<CBrush>(Select(pBrush->m_hObject, slotBrush));
}

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) noexcept {
    if (m_hDC != nullptr && lpRect != nullptr && pBrush != nullptr)
        ::FillRect(m_hDC, lpRect, static_cast<HBRUSH>(pBrush->m_hObject));
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) noexcept {
    CBrush brush(clr);
    FillRect(lpRect, &brush);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) noexcept {
    const RECT rect{x, y, x + cx, y + cy};
    FillSolidRect(&rect, clr);
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                 DWORD dwRop) noexcept {
    return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC != nullptr ? pSrcDC->m_hDC : nullptr, xSrc, ySrc,
                    dwRop);
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) noexcept {
    return ::DrawIcon(m_hDC, x, y, hIcon);
}

int CDC::DrawText(LPCTSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) noexcept {
    return ::DrawTextA(m_hDC, lpszString, nCount, lpRect, nFormat);
}

int CDC::DrawText(const CString& str, LPRECT lpRect, UINT nFormat) noexcept {
    return DrawText(str.GetString(), str.GetLength(), lpRect, nFormat);
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

CPoint CDC::GetWindowOrg() const noexcept {
    POINT origin{0, 0};
    ::GetWindowOrgEx(m_hAttribDC, &origin);
    return CPoint(origin);
}
