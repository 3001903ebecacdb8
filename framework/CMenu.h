// Menu handle wrapper. An attached menu is destroyed with the object unless Detach()ed; the system menu
// that CWnd::GetSystemMenu hands out is borrowed and stays with its window.
#pragma once

#include "framework/AfxCore.h"

class CMenu {
public:
    CMenu() noexcept = default;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;
    CMenu(CMenu&& other) noexcept;
    CMenu& operator=(CMenu&& other) noexcept;
    virtual ~CMenu();

    BOOL Attach(HMENU hMenu) noexcept;
    HMENU Detach() noexcept;
    BOOL DestroyMenu() noexcept;
    HMENU GetSafeHmenu() const noexcept { return m_hMenu; }
    operator HMENU() const noexcept { return m_hMenu; }

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr) noexcept;
    int GetMenuItemCount() const noexcept;
    UINT GetMenuItemID(int nPos) const noexcept;
    UINT GetMenuState(UINT nID, UINT nFlags) const noexcept;
    // Returns the item's previous state, or (UINT)-1 when there is no such item.
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable) noexcept;
    int GetMenuString(UINT nIDItem, LPTSTR lpString, int nMaxCount, UINT nFlags) const noexcept;

    HMENU m_hMenu = nullptr;
};
