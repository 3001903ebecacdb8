// Off-screen drawing for one paint: everything drawn into a CMemDC lands in a
// memory bitmap and reaches the target in a single copy when the object goes
// out of scope, so that a control repainted often does not flicker.
#pragma once

#include "framework/afxwin.h"

class CMemDC : public CDC {
public:
    // Covers the target's clip box; drawing uses the target's coordinates.
    // On a printing context it draws straight onto the target instead.
    explicit CMemDC(CDC* pDC);
    ~CMemDC() override;

    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

private:
    CBitmap m_bitmap;
    CBitmap* m_pOldBitmap;
    CDC* m_pDC;
    CRect m_rect;
    BOOL m_bMemDC;
};
