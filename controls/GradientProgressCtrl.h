// The main window's progress bar: the standard control, painted by us with a
// colour gradient over the part that is done, the background colour over the
// rest, and optionally the percentage in the middle.
#pragma once

#include "framework/afxwin.h"

#include <atomic>

class CGradientProgressCtrl : public CProgressCtrl {
public:
    CGradientProgressCtrl();
    ~CGradientProgressCtrl() override;

    CGradientProgressCtrl(const CGradientProgressCtrl&) = delete;
    CGradientProgressCtrl& operator=(const CGradientProgressCtrl&) = delete;

    // Keeps both bounds, moves the position to the lower bound and tells the
    // standard control (which takes 16-bit bounds).
    void SetRange(int nLower, int nUpper);
    // May be called from a worker thread: the value is stored first, and the
    // repaint the standard control asks for runs on the window's thread.
    int SetPos(int nPos);

    // These only store; the new value shows at the next paint.
    void SetStartColor(COLORREF color);
    void SetEndColor(COLORREF color);
    void SetTextColor(COLORREF color);
    void ShowPercent(BOOL bShowPercent = TRUE);
    // The display scale to draw the texts for; until it is set, the window's own. Repaints.
    void SetDpi(UINT dpi);

protected:
    afx_msg void OnPaint();
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    DECLARE_MESSAGE_MAP()

private:
    void DrawGradient(CDC* pDC, const CRect& rcClient, int nFilledWidth);
    // The texts' font at the scale the bar is drawn for, made again when the scale has changed.
    HGDIOBJ TextFont();

    CString m_strSuffix;
    int m_nLower;
    int m_nUpper;
    std::atomic<int> m_nPos;
    COLORREF m_clrStart;
    COLORREF m_clrEnd;
    COLORREF m_clrBkgnd;
    COLORREF m_clrText;
    BOOL m_bShowPercent;
    UINT m_nDpi = 0;     // 0: the window's own
    UINT m_nFontDpi = 0; // the scale m_font was made for
    CFont m_font;
};
