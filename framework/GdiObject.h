// GDI objects (brushes, bitmaps) that own their handle: the destructor deletes it. Move-only.
// A wrapper that merely borrows a handle (for example the object that a device context held before a
// SelectObject) is one that its holder Detach()es before it is destroyed; CDC does that for the objects it
// hands out.
#pragma once

#include "framework/AfxCore.h"

class CDC;

class CGdiObject {
public:
    CGdiObject() noexcept = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& other) noexcept;
    CGdiObject& operator=(CGdiObject&& other) noexcept;
    virtual ~CGdiObject();

    // Takes ownership of hObject; an object held before is deleted. FALSE for a null handle.
    BOOL Attach(HGDIOBJ hObject) noexcept;
    // Gives up ownership without deleting.
    HGDIOBJ Detach() noexcept;
    // Deletes the object now. FALSE when there is none or the system refuses (it is still selected
    // somewhere).
    BOOL DeleteObject() noexcept;
    HGDIOBJ GetSafeHandle() const noexcept { return m_hObject; }

    HGDIOBJ m_hObject = nullptr;
};

class CBrush : public CGdiObject {
public:
    CBrush() noexcept = default;
    // A solid brush; check GetSafeHandle() when creation may fail.
    explicit CBrush(COLORREF crColor) noexcept;

    BOOL CreateSolidBrush(COLORREF crColor) noexcept;
    operator HBRUSH() const noexcept { return static_cast<HBRUSH>(m_hObject); }
};

class CBitmap : public CGdiObject {
public:
    BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) noexcept;
    // Loads bitmap resource nIDResource of the program.
    BOOL LoadBitmap(UINT nIDResource) noexcept;
    int GetBitmap(BITMAP* pBitMap) const noexcept;
    operator HBITMAP() const noexcept { return static_cast<HBITMAP>(m_hObject); }
};
