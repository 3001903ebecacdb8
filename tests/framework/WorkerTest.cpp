// A worker changes the dialog's items while the dialog's thread pumps with PeekMessage, as an image
// transfer does.
#include "tests/framework/SampleDialog.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct WorkerSeen {
    CSampleDlg* dlg = nullptr;
    CWnd* progressItem = nullptr;
    CWnd* goItem = nullptr;
    CWnd* goItemAgain = nullptr;
    int previousPos = -1;
};

UINT AFX_CDECL ChangeItems(LPVOID param) {
    auto* seen = static_cast<WorkerSeen*>(param);
    seen->goItem = seen->dlg->GetDlgItem(IDC_GO);
    ::EnableWindow(seen->goItem->m_hWnd, FALSE);
    seen->dlg->GetDlgItem(IDC_STATUS)->SetWindowText("sent");
    seen->progressItem = seen->dlg->GetDlgItem(IDC_SAMPLE_PROGRESS);
    seen->previousPos = seen->dlg->m_progress.SetPos(42);
    seen->goItemAgain = seen->dlg->GetDlgItem(IDC_GO);
    return 5;
}

TEST(FrameworkWorker, ItemChangesFromAWorkerCompleteWhileTheWindowThreadPumps) {
    CSampleDlg dlg;
    WorkerSeen seen;
    seen.dlg = &dlg;
    bool finished = false;
    DWORD exitCode = 0;
    CWnd* goOnWindowThread = nullptr;
    char status[16] = {};
    BOOL goEnabled = TRUE;
    int pos = -1;
    dlg.m_script = [&](CSampleBaseDlg&) {
        goOnWindowThread = dlg.GetDlgItem(IDC_GO);
        std::unique_ptr<CWinThread> worker(
            AfxBeginThread(ChangeItems, &seen, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
        ASSERT_NE(nullptr, worker);
        worker->m_bAutoDelete = FALSE;
        worker->ResumeThread();
        finished = CSampleDlg::PumpUntil(
            [&] { return ::WaitForSingleObject(worker->m_hThread, 0) == WAIT_OBJECT_0; });
        ::GetExitCodeThread(worker->m_hThread, &exitCode);
        ::GetWindowTextA(dlg.GetDlgItem(IDC_STATUS)->m_hWnd, status, sizeof(status));
        goEnabled = ::IsWindowEnabled(dlg.GetDlgItem(IDC_GO)->m_hWnd);
        pos = dlg.m_progress.GetPos();
        dlg.EndDialog(IDOK);
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    ASSERT_TRUE(finished) << "the worker did not end while the window's thread pumped";
    EXPECT_EQ(5u, exitCode);
    EXPECT_STREQ("sent", status);
    EXPECT_FALSE(goEnabled);
    EXPECT_EQ(42, pos);
    EXPECT_EQ(0, seen.previousPos);
    EXPECT_EQ(&dlg.m_progress, seen.progressItem);
    EXPECT_EQ(seen.goItem, seen.goItemAgain) << "one object per item, whichever thread asks";
    EXPECT_EQ(goOnWindowThread, seen.goItem);
}

UINT AFX_CDECL AskForItems(LPVOID param) {
    auto* dlg = static_cast<CSampleDlg*>(param);
    CWnd* first = dlg->GetDlgItem(IDC_STATUS);
    for (int i = 0; i < 2000; ++i)
        if (dlg->GetDlgItem(IDC_STATUS) != first || dlg->GetDlgItem(IDC_BASE_ONLY) == nullptr)
            return 1;
    return 0;
}

TEST(FrameworkWorker, ConcurrentItemLookupsAgree) {
    CSampleDlg dlg;
    DWORD codes[2] = {9, 9};
    bool finished = false;
    dlg.m_script = [&](CSampleBaseDlg&) {
        std::unique_ptr<CWinThread> workers[2];
        for (auto& worker : workers) {
            worker.reset(AfxBeginThread(AskForItems, &dlg, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
            ASSERT_NE(nullptr, worker);
            worker->m_bAutoDelete = FALSE;
        }
        for (auto& worker : workers)
            worker->ResumeThread();
        finished = CSampleDlg::PumpUntil([&] {
            return ::WaitForSingleObject(workers[0]->m_hThread, 0) == WAIT_OBJECT_0 &&
                   ::WaitForSingleObject(workers[1]->m_hThread, 0) == WAIT_OBJECT_0;
        });
        ::GetExitCodeThread(workers[0]->m_hThread, &codes[0]);
        ::GetExitCodeThread(workers[1]->m_hThread, &codes[1]);
        dlg.EndDialog(IDOK);
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    ASSERT_TRUE(finished);
    EXPECT_EQ(0u, codes[0]);
    EXPECT_EQ(0u, codes[1]);
}

} // namespace
