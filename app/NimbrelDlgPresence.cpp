// The presence monitor: one tick of timer 1 asks the device link library whether the device answers, shows
// the link status, launches the companion tool once when no device is found, and ends the program when the
// device is lost while an update run is in progress.
#include "app/NimbrelDlg.h"
#include "link/DeviceLink.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kLibraryMissingText[] = "TandryUSB.dll unloaded";
constexpr char kDownloadFailedText[] = "USB Download Fail !!! Try Again !";
constexpr char kToolSuffix[] = "\\Plenwick.exe";
constexpr DWORD kPathSize = 260;

} // namespace

void CNimbrelDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != PresenceTimer) {
        CDialog::OnTimer(nIDEvent);
        return;
    }
    // The box's own message loop keeps dispatching ticks; one box about the library is enough.
    if (m_bLibraryBoxOpen)
        return;
    CheckDevicePresence();
}

void CNimbrelDlg::CheckDevicePresence() {
    LinkOpenResult device = OpenDeviceOnce();
    if (!device.libraryLoaded) {
        m_bLibraryBoxOpen = true;
        AfxMessageBox(kLibraryMissingText, MB_OK);
        m_bLibraryBoxOpen = false;
        return;
    }

    if (device.handle.IsValid()) {
        device.handle.Reset();
        m_bDeviceLinked = 1;
        m_bToolLaunched = 1;
        GetDlgItem(IDC_LINK_STATUS)->SetWindowText(GetLangText("message", "1024"));
        SetTimer(PresenceTimer, PRESENCE_LINKED_MS, nullptr);
    } else {
        m_bDeviceLinked = 0;
        GetDlgItem(IDC_LINK_STATUS)->SetWindowText(GetLangText("message", "1025"));
        if (m_bUpdating) {
            // Cleared first, so that a tick dispatched by the box below does not show it a second time.
            m_bUpdating = 0;
            AfxMessageBox(kDownloadFailedText, MB_OK | MB_ICONHAND);
            std::exit(0);
        }
        LaunchCompanionToolOnce();
        SetTimer(PresenceTimer, PRESENCE_ABSENT_MS, nullptr);
    }
    CDialog::OnTimer(PresenceTimer);
}

void CNimbrelDlg::LaunchCompanionToolOnce() {
    if (m_bToolLaunched)
        return;
    m_bToolLaunched = 1;

    char szDirectory[kPathSize];
    const DWORD length = ::GetCurrentDirectoryA(kPathSize, szDirectory);
    if (length == 0 || length >= kPathSize)
        return;
    char szToolPath[kPathSize];
    const int needed = std::snprintf(szToolPath, sizeof(szToolPath), "%s%s", szDirectory, kToolSuffix);
    // A path that does not fit would name another file once cut: the tool is then not launched at all.
    if (needed < 0 || static_cast<DWORD>(needed) >= kPathSize)
        return;
    ::ShellExecuteA(nullptr, "open", szToolPath, nullptr, nullptr, SW_SHOW);
}
