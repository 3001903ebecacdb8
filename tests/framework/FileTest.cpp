// Files: share modes against a handle that another party holds, and failures reported without exceptions.
#include "framework/afxwin.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class FrameworkFile : public testing::Test {
protected:
    void SetUp() override {
        char folder[MAX_PATH] = {};
        ::GetTempPathA(sizeof(folder), folder);
        m_path = std::string(folder) + "fwfile-" + std::to_string(::GetCurrentProcessId()) + ".bin";
        CFile file;
        ASSERT_TRUE(file.Open(m_path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary));
        ASSERT_TRUE(file.Write("0123456789", 10));
    }
    void TearDown() override { ::DeleteFileA(m_path.c_str()); }

    HANDLE Hold(DWORD access, DWORD share) const {
        return ::CreateFileA(m_path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    }

    std::string m_path;
};

TEST_F(FrameworkFile, ExclusiveOpenFailsWhileAReaderHoldsTheFileAndSharedOpensSucceed) {
    const HANDLE reader = Hold(GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);

    CFile exclusive;
    EXPECT_FALSE(exclusive.Open(m_path.c_str(), CFile::modeRead | CFile::shareExclusive | CFile::typeBinary));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
    EXPECT_EQ(CFile::hFileNull, exclusive.m_hFile);

    CFile denyWrite;
    ASSERT_TRUE(denyWrite.Open(m_path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_EQ(10u, denyWrite.GetLength());
    char data[16] = {};
    EXPECT_EQ(10u, denyWrite.Read(data, sizeof(data))) << "a read past the end gives what there is";
    EXPECT_EQ("0123456789", std::string(data));
    EXPECT_EQ(0u, denyWrite.Read(data, sizeof(data)));

    CFile denyNone;
    EXPECT_TRUE(denyNone.Open(m_path.c_str(), CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary));
    ::CloseHandle(reader);
}

TEST_F(FrameworkFile, ReadSharingIsRefusedWhileAWriterHoldsTheFile) {
    const HANDLE writer = Hold(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    CFile denyWrite;
    EXPECT_FALSE(denyWrite.Open(m_path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    CFile denyNone;
    EXPECT_TRUE(denyNone.Open(m_path.c_str(), CFile::modeRead | CFile::shareDenyNone));
    ::CloseHandle(writer);

    // Once the other handle is gone, the exclusive open works, and holds others off in turn.
    CFile exclusive;
    denyNone.Close();
    ASSERT_TRUE(exclusive.Open(m_path.c_str(), CFile::modeRead | CFile::shareExclusive));
    EXPECT_EQ(INVALID_HANDLE_VALUE, Hold(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
}

TEST_F(FrameworkFile, MissingFilesAndClosedObjectsFailQuietly) {
    CFile file;
    EXPECT_FALSE(file.Open((m_path + ".missing").c_str(), CFile::modeRead | CFile::shareDenyNone));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
    char data[4];
    EXPECT_EQ(0u, file.Read(data, sizeof(data)));
    EXPECT_EQ(0u, file.GetLength());
    file.Close();
}

TEST_F(FrameworkFile, CreateTruncatesUnlessToldNotTo) {
    {
        CFile keep;
        ASSERT_TRUE(
            keep.Open(m_path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite));
        EXPECT_EQ(10u, keep.GetLength());
    }
    CFile fresh;
    ASSERT_TRUE(fresh.Open(m_path.c_str(), CFile::modeCreate | CFile::modeWrite));
    EXPECT_EQ(0u, fresh.GetLength());

    // Ownership moves with the object; the moved-from object closes nothing.
    CFile moved(std::move(fresh));
    EXPECT_EQ(CFile::hFileNull, fresh.m_hFile);
    EXPECT_TRUE(moved.Write("ab", 2));
    EXPECT_EQ(2u, moved.GetLength());
}

} // namespace
