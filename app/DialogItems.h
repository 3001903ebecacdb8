// Finding a dialog's items that the template gives no id of their own (IDC_STATIC).
#pragma once

#include <windows.h>

// The dialog's first static item of `type` (SS_BITMAP, SS_ICON, ...), or null.
inline HWND FirstStaticOfType(HWND dialog, DWORD type) {
    for (HWND item = ::GetWindow(dialog, GW_CHILD); item != nullptr; item = ::GetWindow(item, GW_HWNDNEXT))
        if ((static_cast<DWORD>(::GetWindowLongA(item, GWL_STYLE)) & SS_TYPEMASK) == type)
            return item;
    return nullptr;
}
