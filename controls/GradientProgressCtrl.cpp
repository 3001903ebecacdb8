#include "controls/GradientProgressCtrl.h"

#include "controls/GradientLayout.h"
#include "controls/MemDC.h"
#include "system/WindowDpi.h"

#include <string>

namespace {

// Drawn over the bar at the lower bound, in the background colour.
constexpr int BLANK_COUNT = 46;
constexpr UINT CENTRED = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

// The texts keep the look they had in the device context's default font, the system font as it is at 100%
// (bold, 16 by 7 pixels), and grow with the scale: that font does not follow a window's own scale.
constexpr int TEXT_HEIGHT_AT_96 = 16;
constexpr int TEXT_WIDTH_AT_96 = 7;

// Puts the font a paint selected back before the paint's context goes.
class SelectedFont {
public:
    SelectedFont(HDC dc, HGDIOBJ font)
        : m_dc(dc), m_previous(font != nullptr ? ::SelectObject(dc, font) : nullptr) {}
    ~SelectedFont() {
        if (m_previous != nullptr)
            ::SelectObject(m_dc, m_previous);
    }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

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

void CGradientProgressCtrl::SetDpi(UINT dpi) {
    m_nDpi = dpi;
    if (m_hWnd != nullptr)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

HGDIOBJ CGradientProgressCtrl::TextFont() {
    const UINT dpi = m_nDpi != 0 ? m_nDpi : DpiOfWindow(m_hWnd);
    if (dpi != m_nFontDpi || m_font.GetSafeHandle() == nullptr) {
        LOGFONT font{};
        font.lfHeight = ScaledToDpi(TEXT_HEIGHT_AT_96, dpi);
        font.lfWidth = ScaledToDpi(TEXT_WIDTH_AT_96, dpi);
        font.lfWeight = FW_BOLD;
        font.lfCharSet = ANSI_CHARSET;
        // The system font is a bitmap font made in a few sizes only: at another size an outline font keeps
        // the text sharp and of the size asked for.
        font.lfOutPrecision = dpi == DEFAULT_DPI ? OUT_DEFAULT_PRECIS : OUT_TT_PRECIS;
        font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
        lstrcpynA(font.lfFaceName, "System", LF_FACESIZE);
        m_font.CreateFontIndirect(&font);
        m_nFontDpi = dpi;
    }
    return m_font.GetSafeHandle();
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
    const SelectedFont font(dc, TextFont());

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
