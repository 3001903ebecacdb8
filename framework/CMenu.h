// A menu that the framework hands out borrowed: the window's system menu (CWnd::GetSystemMenu). The menu
// stays with its window; the object only names it, so it is a plain value that never destroys anything.
#pragma once

#include "framework/AfxCore.h"

class CMenu {
public:
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr) noexcept;
    // Returns the item's previous state, or (UINT)-1 when there is no such item.
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable) noexcept;

    HMENU m_hMenu = nullptr;
};
