#include "framework/CFile.h"

#include <utility>

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

namespace {

DWORD AccessFor(UINT flags) {
    switch (flags & 0x3) {
    case CFile::modeWrite:
        return GENERIC_WRITE;
    case CFile::modeReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ;
    }
}

DWORD ShareFor(UINT flags) {
    switch (flags & 0x70) {
    case CFile::shareDenyWrite:
        return FILE_SHARE_READ;
    case CFile::shareDenyRead:
        return FILE_SHARE_WRITE;
    case CFile::shareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default: // shareExclusive, shareCompat
        return 0;
    }
}

DWORD DispositionFor(UINT flags) {
    if ((flags & CFile::modeCreate) == 0)
        return OPEN_EXISTING;
    return (flags & CFile::modeNoTruncate) != 0 ? OPEN_ALWAYS : CREATE_ALWAYS;
}

} // namespace

CFile::CFile(CFile&& other) noexcept : m_hFile(std::exchange(other.m_hFile, INVALID_HANDLE_VALUE)) {}

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_hFile = std::exchange(other.m_hFile, INVALID_HANDLE_VALUE);
    }
    return *this;
}

CFile::~CFile() {
    Close();
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags) {
    Close();
    if (lpszFileName == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SECURITY_ATTRIBUTES security{sizeof(security), nullptr, (nOpenFlags & modeNoInherit) == 0};
    const HANDLE hFile = ::CreateFileA(lpszFileName, AccessFor(nOpenFlags), ShareFor(nOpenFlags), &security,
                                       DispositionFor(nOpenFlags), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    m_hFile = hFile;
    return TRUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
    if (m_hFile == INVALID_HANDLE_VALUE || lpBuf == nullptr) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    // A file read can return less than asked before the end (for example from a pipe or network file);
    // keep reading until the count is reached or a read returns nothing.
    UINT total = 0;
    while (total < nCount) {
        DWORD got = 0;
        if (!::ReadFile(m_hFile, static_cast<BYTE*>(lpBuf) + total, nCount - total, &got, nullptr))
            return total;
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

BOOL CFile::Write(const void* lpBuf, UINT nCount) {
    if (m_hFile == INVALID_HANDLE_VALUE || lpBuf == nullptr) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD written = 0;
    return ::WriteFile(m_hFile, lpBuf, nCount, &written, nullptr) && written == nCount;
}

ULONGLONG CFile::GetLength() const {
    LARGE_INTEGER size{};
    if (m_hFile == INVALID_HANDLE_VALUE || !::GetFileSizeEx(m_hFile, &size))
        return 0;
    return static_cast<ULONGLONG>(size.QuadPart);
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
    LARGE_INTEGER distance{};
    distance.QuadPart = lOff;
    LARGE_INTEGER position{};
    const DWORD method = nFrom == end ? FILE_END : nFrom == current ? FILE_CURRENT : FILE_BEGIN;
    if (m_hFile == INVALID_HANDLE_VALUE || !::SetFilePointerEx(m_hFile, distance, &position, method))
        return static_cast<ULONGLONG>(-1);
    return static_cast<ULONGLONG>(position.QuadPart);
}

void CFile::Close() noexcept {
    if (m_hFile != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}
