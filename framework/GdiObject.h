// GDI objects (brushes, bitmaps, fonts) that own their handle: it is deleted with the object. Move-only.
// A wrapper that merely borrows a handle (the bitmap that a device context held before a SelectObject) is
// one that its holder Detach()es before it is destroyed; CDC does that for the one it hands out.
#pragma once

#include "framework/AfxCore.h"
#include "system/HandleOwner.h"

class CDC;

struct GdiObjectTraits : NullIsNone<HGDIOBJ> {
    static void Close(Handle h) noexcept { ::DeleteObject(h); }
};

class CGdiObject {
public:
    // Takes ownership of hObject; an object held before is deleted. FALSE for a null handle.
    BOOL Attach(HGDIOBJ hObject) noexcept;
    // Gives up ownership without deleting.
    HGDIOBJ Detach() noexcept { return m_object.Release(); }
    HGDIOBJ GetSafeHandle() const noexcept { return m_object.Get(); }

private:
    HandleOwner<GdiObjectTraits> m_object;
};

class CBrush : public CGdiObject {
public:
    // A solid brush; check GetSafeHandle() when creation may fail.
    explicit CBrush(COLORREF crColor) noexcept;
};

class CBitmap : public CGdiObject {
public:
    BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) noexcept;
    // The bitmap resource nIDResource of the program.
    BOOL LoadBitmap(UINT nIDResource) noexcept;
};

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONT* lpLogFont) noexcept;
};
