// Point and rectangle values that convert freely to and from their Win32 structures.
#pragma once

#include "framework/AfxCore.h"

class CPoint : public POINT {
public:
    CPoint(POINT initPt) noexcept : POINT(initPt) {}
};

class CRect : public RECT {
public:
    CRect() noexcept : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) noexcept : RECT{l, t, r, b} {}

    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }

    operator LPRECT() noexcept { return this; }
    operator LPCRECT() const noexcept { return this; }
};

// The classes are passed wherever Win32 expects its own structures, so they must add nothing to them.
static_assert(sizeof(CPoint) == sizeof(POINT), "CPoint must have the layout of POINT");
static_assert(sizeof(CRect) == sizeof(RECT), "CRect must have the layout of RECT");
