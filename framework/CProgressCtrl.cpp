#include "framework/CProgressCtrl.h"

void CProgressCtrl::SetRange(short nLower, short nUpper) noexcept {
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper));
}

int CProgressCtrl::SetPos(int nPos) noexcept {
    return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(nPos), 0));
}

int CProgressCtrl::GetPos() const noexcept {
    return static_cast<int>(SendMessage(PBM_GETPOS, 0, 0));
}
