// Device context. A CDC owns the DC in m_hDC (DeleteDC on destruction) unless it is Detach()ed first.
// The bitmap selected through the CDC is put back when the DC is released (DeleteDC or Detach), so the
// bitmap can be deleted afterwards and a borrowed DC returns to its owner as it was handed over.
#pragma once

#include "framework/AfxCore.h"
#include "framework/GdiObject.h"
#include "framework/Geometry.h"

class CDC {
public:
    CDC() noexcept = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC();

    BOOL CreateCompatibleDC(CDC* pDC) noexcept;
    BOOL DeleteDC() noexcept;
    // Takes an existing DC (output and attribute handle alike); it is deleted with this object unless
    // Detach()ed.
    BOOL Attach(HDC hDC) noexcept;
    HDC Detach() noexcept;
    HDC GetSafeHdc() const noexcept { return m_hDC; }
    operator HDC() const noexcept { return m_hDC; }
    BOOL IsPrinting() const noexcept { return m_bPrinting; }

    // Returns the bitmap that was selected before. It belongs to this CDC and names the displaced bitmap
    // until the next SelectObject or the DC's release; pass it back to SelectObject to restore the previous
    // selection.
    CBitmap* SelectObject(CBitmap* pBitmap);

    void FillRect(LPCRECT lpRect, CBrush* pBrush) noexcept;
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) noexcept;
    BOOL StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                    int nSrcHeight, DWORD dwRop) noexcept;
    int SetStretchBltMode(int nStretchMode) noexcept;
    BOOL DrawIcon(int x, int y, HICON hIcon) noexcept;
    int DrawText(LPCTSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) noexcept;

    COLORREF SetTextColor(COLORREF crColor) noexcept;
    COLORREF SetBkColor(COLORREF crColor) noexcept;
    int SetBkMode(int nBkMode) noexcept;
    int GetClipBox(LPRECT lpRect) const noexcept;
    CPoint SetWindowOrg(int x, int y) noexcept;

    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;
    BOOL m_bPrinting = FALSE;

private:
    // Puts back the bitmap that SelectObject displaced, if m_hDC is still the DC it was taken from.
    void RestoreSelection() noexcept;

    HDC m_hSelectedIn = nullptr;
    HGDIOBJ m_hOriginalBitmap = nullptr;
    CBitmap m_displacedBitmap; // borrowed: Detach()ed, never deleted
};

// The DC of one paint pass of a window: BeginPaint on construction, EndPaint on destruction.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd) noexcept;
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd = nullptr;
};
