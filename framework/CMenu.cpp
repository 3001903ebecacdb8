#include "framework/CMenu.h"

#include <utility>

CMenu::CMenu(CMenu&& other) noexcept : m_hMenu(std::exchange(other.m_hMenu, nullptr)) {}

CMenu& CMenu::operator=(CMenu&& other) noexcept {
    if (this != &other) {
        DestroyMenu();
        m_hMenu = std::exchange(other.m_hMenu, nullptr);
    }
    return *this;
}

CMenu::~CMenu() {
    DestroyMenu();
}

BOOL CMenu::Attach(HMENU hMenu) noexcept {
    if (hMenu == nullptr)
        return FALSE;
    if (hMenu != m_hMenu)
        DestroyMenu();
    m_hMenu = hMenu;
    return TRUE;
}

HMENU CMenu::Detach() noexcept {
    return std::exchange(m_hMenu, nullptr);
}

BOOL CMenu::DestroyMenu() noexcept {
    if (m_hMenu == nullptr)
        return FALSE;
    return ::DestroyMenu(std::exchange(m_hMenu, nullptr));
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem) noexcept {
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

int CMenu::GetMenuItemCount() const noexcept {
    return ::GetMenuItemCount(m_hMenu);
}

UINT CMenu::GetMenuItemID(int nPos) const noexcept {
    return ::GetMenuItemID(m_hMenu, nPos);
}

UINT CMenu::GetMenuState(UINT nID, UINT nFlags) const noexcept {
    return ::GetMenuState(m_hMenu, nID, nFlags);
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable) noexcept {
    return static_cast<UINT>(::EnableMenuItem(m_hMenu, nIDEnableItem, nEnable));
}

int CMenu::GetMenuString(UINT nIDItem, LPTSTR lpString, int nMaxCount, UINT nFlags) const noexcept {
    return ::GetMenuStringA(m_hMenu, nIDItem, lpString, nMaxCount, nFlags);
}
