// A picture item that the program paints itself: a bitmap made for 100% is shown at the window's display
// scale, drawn from the smallest of its sources that is at least as large as the item (a bigger source only
// ever shrinks, which keeps edges and letters sharp), so that it fills its item at every scale.
#pragma once

#include "framework/afxwin.h"

#include <vector>

class CStretchedPicture : public CWnd {
public:
    CStretchedPicture() = default;
    ~CStretchedPicture() override;

    CStretchedPicture(const CStretchedPicture&) = delete;
    CStretchedPicture& operator=(const CStretchedPicture&) = delete;

    // The picture's bitmap resources, the one made for 100% first, then larger ones. FALSE when one cannot
    // be loaded.
    BOOL LoadSources(const std::vector<UINT>& bitmapIds);
    // Sizes the item to the picture's size at 100% scaled to `dpi`; its top-left corner stays.
    void FitToDpi(UINT dpi);

protected:
    afx_msg void OnPaint();
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    DECLARE_MESSAGE_MAP()

private:
    struct Source {
        CBitmap bitmap;
        SIZE size;
    };
    Source* SourceFor(int width, int height);

    std::vector<Source> m_sources;
};
