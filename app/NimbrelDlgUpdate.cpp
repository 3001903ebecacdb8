// The update run behind the Update File button: the start checks, the identity probe, then the four stages in
// their fixed order, each checked, loaded, handed to an image sender and waited for while the window keeps
// handling its messages.
#include "app/NimbrelDlg.h"
#include "app/ProgressSetup.h"
#include "engine/ImageFormat.h"
#include "engine/ImageSendThread.h"
#include "engine/TransferState.h"
#include "link/DeviceLink.h"
#include "link/IdentityProbe.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {

constexpr char kDownloadFailedText[] = "USB Download Fail !!! Try Again !";
constexpr DWORD kPathSize = 260;

// The stages in the order they run: file 2 goes to the device before file 1.
struct Stage {
    ImageFile file;      // which of the four image files
    const char* textKey; // [message] key of the stage text
};
constexpr Stage kStages[CNimbrelDlg::STAGE_COUNT] = {
    {IMAGE_FIRM, "1027"},
    {IMAGE_CDB2, "1034"},
    {IMAGE_CDB1, "1028"},
    {IMAGE_CDB3, "1026"},
};

// Clears a flag when the scope ends, whichever way it ends.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
};

// Handles the window thread's messages one by one until the sender's thread has ended or it has raised
// g_bTransferDone. Between messages the thread sleeps until the sender ends or a message (posted, sent, or
// input) arrives; the time-out only bounds a wake-up that could otherwise be missed.
void WaitForSender(HANDLE hThread) {
    constexpr DWORD kWakeCheckMs = 50;
    bool quitSeen = false;
    int quitCode = 0;
    while (::WaitForSingleObject(hThread, 0) != WAIT_OBJECT_0) {
        MSG msg;
        if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Not ours to take, and the sender still owns the transfer: keep it for the loop that owns
                // it.
                quitSeen = true;
                quitCode = static_cast<int>(msg.wParam);
            } else {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        } else {
            ::MsgWaitForMultipleObjectsEx(1, &hThread, kWakeCheckMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
        if (g_bTransferDone.load() != 0)
            break;
    }
    if (quitSeen)
        ::PostQuitMessage(quitCode);
}

enum class StageImage { Absent, TooShort, BadMark, NotMarked, ToSend };

// Reads and judges the front of a stage's image; the leading block is released before this returns. An empty
// path (one that did not fit) opens nothing.
StageImage JudgeStageImage(const CString& path) {
    if (path.IsEmpty())
        return StageImage::Absent;
    const LeadBlock lead = ReadLeadBlock(path);
    if (!lead.opened)
        return StageImage::Absent;
    if (!PassesRuleL(lead))
        return StageImage::TooShort;
    if (!PassesRuleM(lead))
        return StageImage::BadMark;
    return IsMarkedForSending(lead) ? StageImage::ToSend : StageImage::NotMarked;
}

} // namespace

void CNimbrelDlg::OnUpdateFile() {
    // A click dispatched inside this run's waits or boxes would otherwise start a second run inside it.
    if (m_bRunActive)
        return;
    FlagScope runActive(m_bRunActive);

    // Every way out of the run below clears m_bUpdating before its closing box: from then on a lost device
    // is an ordinary unplug, not a failed download.
    auto endRunWithMessage = [this](LPCTSTR key) {
        m_bUpdating = 0;
        ShowMessage(key);
    };

    if (!m_bDeviceLinked) {
        endRunWithMessage("1021");
        return;
    }
    // Opens "PIPE00" for the probe or a stage; a run that cannot have it ends with the message that says why.
    auto openDataPipe = [&](UniqueHandle& pipe) {
        LinkOpenResult opened = OpenPipeOnce(g_szPipeToDevice);
        if (!opened.libraryLoaded) {
            endRunWithMessage("1031");
            return false;
        }
        if (!opened.handle.IsValid()) {
            endRunWithMessage("1021");
            return false;
        }
        pipe = std::move(opened.handle);
        return true;
    };

    {
        UniqueHandle probePipe;
        if (!openDataPipe(probePipe))
            return;
        RunIdentityProbe(probePipe.Get(), this);
        // The probe's pipe handle is closed here: the stages open their own.
    }

    // A path that does not fit is never cut: the stage keeps an empty path and counts as having no image.
    const auto paths = BuildImagePaths();
    for (int stage = 0; stage < STAGE_COUNT; ++stage)
        m_strImagePath[stage] = paths[kStages[stage].file].c_str();

    ResetProgressBar(m_ctrlProgress);
    GetDlgItem(IDC_STAGE_TEXT)->SetWindowText("");
    GetDlgItem(IDC_RESULT_TEXT)->SetWindowText("");
    UpdateData(FALSE);
    m_bUpdating = 1;

    for (int stage = 0; stage < STAGE_COUNT; ++stage) {
        if (stage > 0)
            g_bTransferDone.store(0);

        m_bImageFound[stage] = 1;
        const StageImage image = JudgeStageImage(m_strImagePath[stage]);
        if (image == StageImage::Absent) {
            m_bImageFound[stage] = 0;
            continue;
        }
        if (image == StageImage::TooShort) {
            endRunWithMessage("1023");
            return;
        }
        if (image == StageImage::BadMark) {
            endRunWithMessage("1022");
            return;
        }
        if (stage > 0) {
            ResetProgressBar(m_ctrlProgress);
            GetDlgItem(IDC_STAGE_TEXT)->SetWindowText("");
            GetDlgItem(IDC_RESULT_TEXT)->SetWindowText("");
        }
        char szStageText[kPathSize];
        std::snprintf(szStageText, sizeof(szStageText), "%s", GetLangText("message", kStages[stage].textKey));
        GetDlgItem(IDC_STAGE_TEXT)->SetWindowText(szStageText);

        if (image == StageImage::NotMarked)
            continue;

        // The sender needs an open pipe; a stage whose pipe cannot be opened stops the run as at its start.
        UniqueHandle pipe;
        if (!openDataPipe(pipe))
            return;

        CHeapBuffer imageData;
        std::uint32_t cbImage = 0;
        if (!LoadWholeImage(m_strImagePath[stage], imageData, cbImage)) {
            m_bUpdating = 0;
            return;
        }

        SetTimer(PresenceTimer, PRESENCE_LINKED_MS, nullptr);

        std::unique_ptr<CWinThread> sender(
            AfxBeginThread(ImageSendThread, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
        if (!sender) {
            m_bUpdating = 0;
            return;
        }
        sender->m_bAutoDelete = FALSE;
        // From here on the sender owns the image and the pipe: it frees the one and closes the other.
        g_hDataPipe = pipe.Release();
        g_pImageData = imageData.release();
        g_cbImage = cbImage;
        g_cbSent = 0;
        g_bTransferFailed.store(0);
        sender->ResumeThread();

        WaitForSender(sender->m_hThread);
        // The wait also leaves when the sender has raised g_bTransferDone but not yet returned; its last
        // steps touch nothing of ours.

        if (g_bTransferDone.load() != 0 && g_bTransferFailed.load() != 0) {
            // The device did not take the whole image: the same end as a device lost during a transfer.
            m_bUpdating = 0;
            AfxMessageBox(kDownloadFailedText, MB_OK | MB_ICONHAND);
            std::exit(0);
        }
    }
    m_bUpdating = 0;
}
