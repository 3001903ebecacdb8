// Device context. A CDC owns the DC in m_hDC (DeleteDC on destruction) unless it is Detach()ed first.
// Every object selected through the CDC is put back when the DC is released (DeleteDC or Detach), so the
// objects can be deleted afterwards and a borrowed DC returns to its owner as it was handed over.
#pragma once

#include "framework/AfxCore.h"
#include "framework/CString.h"
#include "framework/GdiObject.h"
#include "framework/Geometry.h"

#include <memory>
#include <vector>

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

    // Return the object that was selected before. The returned object belongs to this CDC and stays valid
    // until the CDC is destroyed; pass it back to SelectObject to restore the previous selection.
    CBitmap* SelectObject(CBitmap* pBitmap);
    CBrush* SelectObject(CBrush* pBrush);

    void FillRect(LPCRECT lpRect, CBrush* pBrush) noexcept;
    // Fills with a solid colour without changing the DC's colours.
    void FillSolidRect(LPCRECT lpRect, COLORREF clr) noexcept;
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) noexcept;
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) noexcept;
    BOOL DrawIcon(int x, int y, HICON hIcon) noexcept;
    BOOL DrawIcon(POINT point, HICON hIcon) noexcept { return DrawIcon(point.x, point.y, hIcon); }
    int DrawText(LPCTSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) noexcept;
    int DrawText(const CString& str, LPRECT lpRect, UINT nFormat) noexcept;

    COLORREF SetTextColor(COLORREF crColor) noexcept;
    COLORREF SetBkColor(COLORREF crColor) noexcept;
    int SetBkMode(int nBkMode) noexcept;
    COLORREF GetTextColor() const noexcept { return ::GetTextColor(m_hAttribDC); }
    COLORREF GetBkColor() const noexcept { return ::GetBkColor(m_hAttribDC); }
    int GetClipBox(LPRECT lpRect) const noexcept;
    CPoint SetWindowOrg(int x, int y) noexcept;
    CPoint SetWindowOrg(POINT point) noexcept { return SetWindowOrg(point.x, point.y); }
    CPoint GetWindowOrg() const noexcept;
    int GetDeviceCaps(int nIndex) const noexcept { return ::GetDeviceCaps(m_hDC, nIndex); }

    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;
    BOOL m_bPrinting = FALSE;

protected:
    // Puts back the objects that SelectObject displaced, if m_hDC is still the DC they were taken from.
    void RestoreSelections() noexcept;

private:
    HGDIOBJ Select(HGDIOBJ hObject, int slot) noexcept;
    template <class T> T* Borrowed(HGDIOBJ hObject);
    void ReleaseBorrowed() noexcept;

    enum { slotBitmap, slotBrush, slotCount };
    HDC m_hSelectedIn = nullptr;
    HGDIOBJ m_hOriginal[slotCount] = {};
    std::vector<std::unique_ptr<CGdiObject>> m_borrowed;
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
