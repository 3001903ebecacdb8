// Binary file access through a Win32 file handle. Failures are reported by return values, never by
// exceptions; GetLastError() tells the reason.
#pragma once

#include "framework/AfxCore.h"

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0x0, current = 0x1, end = 0x2 };
    static const HANDLE hFileNull;

    CFile() noexcept = default;
    // Takes ownership of an open handle.
    explicit CFile(HANDLE hFile) noexcept : m_hFile(hFile) {}
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&& other) noexcept;
    virtual ~CFile();

    // shareCompat counts as shareExclusive. Opening an already open object closes the old file first.
    virtual BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags);
    // Returns the number of bytes read: fewer than nCount at the end of the file, 0 on failure.
    virtual UINT Read(void* lpBuf, UINT nCount);
    // Returns TRUE only when all nCount bytes were written.
    virtual BOOL Write(const void* lpBuf, UINT nCount);
    // Current length in bytes; 0 when the file is not open or its size cannot be read.
    virtual ULONGLONG GetLength() const;
    virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
    ULONGLONG SeekToBegin() { return Seek(0, begin); }
    virtual void Close() noexcept;

    operator HANDLE() const noexcept { return m_hFile; }

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
