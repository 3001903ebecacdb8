#include "controls/GradientProgressCtrl.h"

#include "controls/GradientLayout.h"
#include "controls/MemDC.h"

#include <string>

namespace {

// Drawn over the bar at the lower bound, in the background colour.
constexpr int BLANK_COUNT = 46;
constexpr UINT CENTRED = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

} // namespace

BEGIN_MESSAGE_MAP(CGradientProgressCtrl, CProgressCtrl)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CGradientProgressCtrl::CGradientProgressCtrl()
    : m_nLower(0), m_nUpper(100), m_nPos(0), m_clrStart(RGB(0, 0, 128)), m_clrEnd(RGB(0, 0, 255)),
      m_clrBkgnd(::GetSysColor(COLOR_BTNFACE)), m_clrText(RGB(255, 255, 255)), m_bShowPercent(FALSE) {}

CGradientProgressCtrl::~CGradientProgressCtrl() = default;

void CGradientProgressCtrl::SetRange(int nLower, int nUpper) {
    m_nLower = nLower;
    m_nUpper = nUpper;
    m_nPos = nLower;
    CProgressCtrl::SetRange(static_cast<short>(nLower), static_cast<short>(nUpper));
}

int CGradientProgressCtrl::SetPos(int nPos) {
    m_nPos = nPos;
    return CProgressCtrl::SetPos(nPos);
}

void CGradientProgressCtrl::SetStartColor(COLORREF color) {
    m_clrStart = color;
}

void CGradientProgressCtrl::SetEndColor(COLORREF color) {
    m_clrEnd = color;
}

void CGradientProgressCtrl::SetTextColor(COLORREF color) {
    m_clrText = color;
}

void CGradientProgressCtrl::ShowPercent(BOOL bShowPercent) {
    m_bShowPercent = bShowPercent;
}

BOOL CGradientProgressCtrl::OnEraseBkgnd(CDC* /*pDC*/) {
    // The paint covers every pixel; erasing first would only make it flicker.
    return TRUE;
}

void CGradientProgressCtrl::OnPaint() {
    CPaintDC dc(this);
    CRect rcClient;
    GetClientRect(&rcClient);
    const int nPos = m_nPos;

    if (gradient::IsOutsideRange(nPos, m_nLower, m_nUpper)) {
        // Read now rather than kept: follows a colour scheme changed meanwhile.
        CBrush brush(::GetSysColor(COLOR_BTNFACE));
        dc.FillRect(&rcClient, &brush);
        return;
    }

    DrawGradient(&dc, rcClient, gradient::FilledWidth(nPos, m_nUpper, rcClient.Width()));

    if (nPos == m_nLower) {
        dc.SetTextColor(m_clrBkgnd);
        dc.SetBkColor(m_clrBkgnd);
        dc.SetBkMode(OPAQUE);
        const std::string blanks(BLANK_COUNT, ' ');
        dc.DrawText(blanks.c_str(), BLANK_COUNT, &rcClient, CENTRED);
    }
    if (m_bShowPercent) {
        const std::string text = gradient::PercentText(nPos, m_nUpper, static_cast<LPCTSTR>(m_strSuffix));
        if (!text.empty()) {
            dc.SetTextColor(m_clrText);
            dc.SetBkMode(TRANSPARENT);
            dc.DrawText(text.c_str(), static_cast<int>(text.size()), &rcClient, CENTRED);
        }
    }
}

void CGradientProgressCtrl::DrawGradient(CDC* pDC, const CRect& rcClient, int nFilledWidth) {
    CMemDC memDC(pDC);
    const gradient::BarLayout layout =
        gradient::LayOutBar(m_clrStart, m_clrEnd, rcClient.Width(), nFilledWidth);
    for (const gradient::Band& band : layout.bands) {
        // One brush per band, gone before the next is made.
        CBrush brush(band.colour);
        CRect rcBand(band.left, 0, band.right, rcClient.bottom + 1);
        memDC.FillRect(&rcBand, &brush);
    }
    if (layout.backgroundLeft < rcClient.right) {
        CBrush brush(m_clrBkgnd);
        CRect rcRest(layout.backgroundLeft, 0, rcClient.right, rcClient.bottom);
        memDC.FillRect(&rcRest, &brush);
    }
}
