#include "controls/StretchedPicture.h"

#include "system/WindowDpi.h"

BEGIN_MESSAGE_MAP(CStretchedPicture, CWnd)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CStretchedPicture::~CStretchedPicture() = default;

BOOL CStretchedPicture::LoadSources(const std::vector<UINT>& bitmapIds) {
    m_sources.clear();
    for (UINT id : bitmapIds) {
        Source source;
        BITMAP info{};
        if (!source.bitmap.LoadBitmap(id) ||
            ::GetObjectA(source.bitmap.GetSafeHandle(), sizeof info, &info) != sizeof info)
            return FALSE;
        source.size = {info.bmWidth, info.bmHeight};
        m_sources.push_back(std::move(source));
    }
    return !m_sources.empty();
}

void CStretchedPicture::FitToDpi(UINT dpi) {
    if (m_sources.empty() || m_hWnd == nullptr)
        return;
    const SIZE design = m_sources.front().size;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, ScaledToDpi(design.cx, dpi), ScaledToDpi(design.cy, dpi),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

CStretchedPicture::Source* CStretchedPicture::SourceFor(int width, int height) {
    for (Source& source : m_sources)
        if (source.size.cx >= width && source.size.cy >= height)
            return &source;
    return m_sources.empty() ? nullptr : &m_sources.back();
}

BOOL CStretchedPicture::OnEraseBkgnd(CDC* /*pDC*/) {
    // The picture covers the whole item.
    return TRUE;
}

void CStretchedPicture::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    Source* source = SourceFor(client.Width(), client.Height());
    if (source == nullptr)
        return;
    CDC picture;
    if (!picture.CreateCompatibleDC(&dc))
        return;
    picture.SelectObject(&source->bitmap);
    if (source->size.cx == client.Width() && source->size.cy == client.Height()) {
        dc.BitBlt(0, 0, client.Width(), client.Height(), &picture, 0, 0, SRCCOPY);
        return;
    }
    // Averaging the source pixels that fall into each item pixel: plain stretching drops whole rows and
    // columns of the picture's letters.
    dc.SetStretchBltMode(HALFTONE);
    dc.StretchBlt(0, 0, client.Width(), client.Height(), &picture, 0, 0, source->size.cx, source->size.cy,
                  SRCCOPY);
}
