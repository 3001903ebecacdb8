#include "framework/CDC.h"

#include "framework/CWnd.h"

CPaintDC::CPaintDC(CWnd* pWnd) noexcept : m_hWnd(pWnd != nullptr ? pWnd->m_hWnd : nullptr) {
    if (m_hWnd != nullptr)
        Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
    // The DC belongs to the paint pass: give it back clean, and end the pass instead of deleting it.
    Detach();
    if (m_hWnd != nullptr)
        ::EndPaint(m_hWnd, &m_ps);
}
