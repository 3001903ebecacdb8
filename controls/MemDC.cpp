#include "controls/MemDC.h"

CMemDC::CMemDC(CDC* pDC) : m_pOldBitmap(nullptr), m_pDC(pDC), m_bMemDC(!pDC->IsPrinting()) {
    if (m_bMemDC) {
        pDC->GetClipBox(&m_rect);
        CreateCompatibleDC(pDC);
        // Not cleared: the user of the context paints every pixel of the area.
        m_bitmap.CreateCompatibleBitmap(pDC, m_rect.Width(), m_rect.Height());
        m_pOldBitmap = SelectObject(&m_bitmap);
        SetWindowOrg(m_rect.left, m_rect.top);
    } else {
        // A printer gets the drawing directly; the handles stay the target's.
        m_bPrinting = pDC->m_bPrinting;
        m_hDC = pDC->m_hDC;
        m_hAttribDC = pDC->m_hAttribDC;
    }
}

CMemDC::~CMemDC() {
    if (m_bMemDC) {
        m_pDC->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), this, m_rect.left, m_rect.top,
                      SRCCOPY);
        if (m_pOldBitmap != nullptr)
            SelectObject(m_pOldBitmap);
    } else {
        // Borrowed from the target: the base class must not delete them.
        m_hDC = nullptr;
        m_hAttribDC = nullptr;
    }
    // The bitmap member and the base class release the bitmap and the memory
    // context after this body.
}
