#include "framework/GdiObject.h"

#include "framework/CDC.h"
#include "framework/CWinApp.h"

#include <utility>

CGdiObject::CGdiObject(CGdiObject&& other) noexcept : m_hObject(std::exchange(other.m_hObject, nullptr)) {}

CGdiObject& CGdiObject::operator=(CGdiObject&& other) noexcept {
    if (this != &other) {
        DeleteObject();
        m_hObject = std::exchange(other.m_hObject, nullptr);
    }
    return *this;
}

CGdiObject::~CGdiObject() {
    DeleteObject();
}

BOOL CGdiObject::Attach(HGDIOBJ hObject) noexcept {
    if (hObject == nullptr)
        return FALSE;
    if (hObject != m_hObject)
        DeleteObject();
    m_hObject = hObject;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() noexcept {
    return std::exchange(m_hObject, nullptr);
}

BOOL CGdiObject::DeleteObject() noexcept {
    if (m_hObject == nullptr)
        return FALSE;
    return ::DeleteObject(std::exchange(m_hObject, nullptr));
}

CBrush::CBrush(COLORREF crColor) noexcept {
    CreateSolidBrush(crColor);
}

BOOL CBrush::CreateSolidBrush(COLORREF crColor) noexcept {
    return Attach(::CreateSolidBrush(crColor));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) noexcept {
    if (pDC == nullptr || pDC->m_hDC == nullptr)
        return FALSE;
    return Attach(::CreateCompatibleBitmap(pDC->m_hDC, nWidth, nHeight));
}

BOOL CBitmap::LoadBitmap(UINT nIDResource) noexcept {
    return Attach(::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource)));
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const noexcept {
    return m_hObject != nullptr ? ::GetObjectA(m_hObject, sizeof(BITMAP), pBitMap) : 0;
}
