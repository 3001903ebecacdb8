// Worker threads (ownership of the object and its handle) and device contexts (selections put back).
#include "framework/afxwin.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A colour bitmap (one compatible with a fresh memory DC would be monochrome).
CBitmap ScreenBitmap(int width, int height) {
    CDC screen;
    screen.Attach(::GetDC(nullptr));
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&screen, width, height);
    ::ReleaseDC(nullptr, screen.Detach());
    return bitmap;
}

struct Started {
    HANDLE event;
    int priority;
};

UINT AFX_CDECL RecordPriority(LPVOID param) {
    auto* started = static_cast<Started*>(param);
    started->priority = ::GetThreadPriority(::GetCurrentThread());
    ::SetEvent(started->event);
    return 7;
}

TEST(FrameworkThread, AnOwnedThreadsHandleStaysValidAfterTheThreadEnds) {
    Started started{::CreateEventA(nullptr, TRUE, FALSE, nullptr), -99};
    std::unique_ptr<CWinThread> worker(
        AfxBeginThread(RecordPriority, &started, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
    ASSERT_NE(nullptr, worker);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(started.event, 100)) << "suspended";
    worker->m_bAutoDelete = FALSE;
    worker->ResumeThread();
    ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(worker->m_hThread, 10000));
    ::Sleep(50);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(worker->m_hThread, 0));
    DWORD exitCode = 0;
    EXPECT_TRUE(::GetExitCodeThread(worker->m_hThread, &exitCode));
    EXPECT_EQ(7u, exitCode);
    EXPECT_EQ(THREAD_PRIORITY_NORMAL, started.priority);
    ::CloseHandle(started.event);
}

TEST(FrameworkThread, ADefaultThreadRunsAtOnceAndCleansUpAfterItself) {
    Started started{::CreateEventA(nullptr, TRUE, FALSE, nullptr), -99};
    CWinThread* worker = AfxBeginThread(RecordPriority, &started);
    ASSERT_NE(nullptr, worker);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(started.event, 10000));
    EXPECT_EQ(THREAD_PRIORITY_NORMAL, started.priority);
    ::CloseHandle(started.event);
    EXPECT_EQ(nullptr, AfxBeginThread(nullptr, nullptr)) << "no procedure, no thread";
}

TEST(FrameworkDrawing, SelectionsArePutBackWhenTheDcIsReleased) {
    const HDC screen = ::GetDC(nullptr);
    const HDC raw = ::CreateCompatibleDC(screen);
    const HGDIOBJ originalBitmap = ::GetCurrentObject(raw, OBJ_BITMAP);
    {
        CDC dc;
        ASSERT_TRUE(dc.Attach(raw));
        CBitmap first = ScreenBitmap(8, 8);
        CBitmap second = ScreenBitmap(8, 8);
        ASSERT_NE(nullptr, first.GetSafeHandle());
        ASSERT_NE(nullptr, second.GetSafeHandle());
        CBrush brush(RGB(200, 100, 50));
        CBitmap* previous = dc.SelectObject(&first);
        ASSERT_NE(nullptr, previous);
        EXPECT_EQ(originalBitmap, previous->GetSafeHandle());
        EXPECT_EQ(first.GetSafeHandle(), dc.SelectObject(&second)->GetSafeHandle());
        dc.FillRect(CRect(0, 0, 8, 8), &brush);
        EXPECT_EQ(RGB(200, 100, 50), ::GetPixel(raw, 4, 4));
        EXPECT_EQ(raw, dc.Detach()) << "a borrowed DC goes back to its owner";
        EXPECT_EQ(originalBitmap, ::GetCurrentObject(raw, OBJ_BITMAP));
        // Nothing holds the bitmaps any more, so they can go; the borrowed original stays alive.
        EXPECT_TRUE(::DeleteObject(second.Detach()));
    }
    EXPECT_NE(0, ::GetObjectType(originalBitmap));
    ::DeleteDC(raw);
    ::ReleaseDC(nullptr, screen);
}

TEST(FrameworkDrawing, AnOwnedMemoryDcCopiesToAnother) {
    CDC target;
    ASSERT_TRUE(target.CreateCompatibleDC(nullptr));
    CBitmap targetBitmap = ScreenBitmap(20, 10);
    target.SelectObject(&targetBitmap);
    {
        CDC memory;
        ASSERT_TRUE(memory.CreateCompatibleDC(&target));
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&target, 10, 10));
        memory.SelectObject(&bitmap);
        // Drawing in the target's coordinates: the memory DC's origin is moved to the area's corner.
        memory.SetWindowOrg(10, 0);
        CBrush brush(RGB(0, 0, 128));
        memory.FillRect(CRect(10, 0, 20, 10), &brush);
        POINT origin{0, 0};
        ::GetWindowOrgEx(memory, &origin);
        EXPECT_EQ(10, origin.x);
        EXPECT_EQ(0, origin.y);
        EXPECT_TRUE(target.BitBlt(10, 0, 10, 10, &memory, 10, 0, SRCCOPY));
    }
    EXPECT_EQ(RGB(0, 0, 128), ::GetPixel(target, 15, 5));
    EXPECT_FALSE(target.IsPrinting());
}

} // namespace
