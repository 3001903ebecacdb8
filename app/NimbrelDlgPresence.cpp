// The presence monitor: one tick of timer 1 asks whether the device answers, shows the link status, launches
// the companion tool once when no device is found, and ends the program when the device is lost while an
// update run is in progress.
#include "app/NimbrelDlg.h"
#include "link/PresenceCheck.h"
#include "link/ProbeState.h"
#include "system/Paths.h"
#include "texts/TextKeys.h"

#include <shellapi.h>

#include <cstdio>

namespace {

// Name of the companion tool, looked for in the current directory.
constexpr char COMPANION_TOOL_SUFFIX[] = "\\Plenwick.exe";

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
    const DevicePresence presence = FindDevice();
    if (presence == DevicePresence::LibraryMissing) {
        m_bLibraryBoxOpen = true;
        AfxMessageBox(LIBRARY_UNLOADED_TEXT, MB_OK);
        m_bLibraryBoxOpen = false;
        return;
    }

    if (presence == DevicePresence::Present) {
        m_bDeviceLinked = 1;
        m_bToolLaunched = 1;
        GetDlgItem(IDC_LINK_STATUS)->SetWindowText(GetLangText(TEXT_SECTION_MESSAGE, TEXT_LINKED));
        SetTimer(PresenceTimer, PRESENCE_LINKED_MS, nullptr);
    } else {
        m_bDeviceLinked = 0;
        // The device plugged in next may be another one: it must answer the probe for itself.
        g_bDeviceIdentified.store(0);
        GetDlgItem(IDC_LINK_STATUS)->SetWindowText(GetLangText(TEXT_SECTION_MESSAGE, TEXT_NOT_LINKED));
        // A device that goes away once it has taken the whole image (one that restarts on its new firmware)
        // has not cut the image off: the sender's verdict came first.
        if (m_bUpdating && !m_run.ImageInFlightTakenWhole())
            EndWithDownloadFailure(RunOutcome::DeviceLost);
        LaunchCompanionToolOnce();
        SetTimer(PresenceTimer, PRESENCE_ABSENT_MS, nullptr);
    }
    CDialog::OnTimer(PresenceTimer);
}

void CNimbrelDlg::LaunchCompanionToolOnce() {
    if (m_bToolLaunched)
        return;
    m_bToolLaunched = 1;
    // Shown, with no parameters; the launch's outcome is not examined. Nothing is launched when the tool's
    // path would not fit in 259 characters, since a cut path could name another file.
    char szDirectory[PATH_BUFFER_SIZE];
    const DWORD length = ::GetCurrentDirectoryA(PATH_BUFFER_SIZE, szDirectory);
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        return;
    char szToolPath[PATH_BUFFER_SIZE];
    const int needed =
        std::snprintf(szToolPath, sizeof(szToolPath), "%s%s", szDirectory, COMPANION_TOOL_SUFFIX);
    if (needed < 0 || static_cast<unsigned>(needed) >= PATH_BUFFER_SIZE)
        return;
    ::ShellExecuteA(nullptr, "open", szToolPath, nullptr, nullptr, SW_SHOW);
}
