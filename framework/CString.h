// String of 8-bit characters in the system code page, with printf-style formatting and string resources.
#pragma once

#include "framework/AfxCore.h"

#include <string>
#include <type_traits>

class CString {
public:
    CString() = default;
    CString(LPCTSTR psz);
    CString(LPCTSTR pch, int nLength);
    CString(char ch, int nRepeat = 1);
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(LPCTSTR psz);
    CString& operator=(char ch);

    int GetLength() const noexcept { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const noexcept { return m_str.empty(); }
    void Empty() noexcept { m_str.clear(); }
    LPCTSTR GetString() const noexcept { return m_str.c_str(); }
    operator LPCTSTR() const noexcept { return m_str.c_str(); }
    // Out-of-range indexes give the terminating zero rather than reading past the text.
    char GetAt(int nIndex) const noexcept;
    char operator[](int nIndex) const noexcept { return GetAt(nIndex); }

    CString& operator+=(LPCTSTR psz);
    CString& operator+=(const CString& str);
    CString& operator+=(char ch);

    int Compare(LPCTSTR psz) const noexcept;
    int CompareNoCase(LPCTSTR psz) const noexcept;

    CString Left(int nCount) const;
    CString Right(int nCount) const;
    CString Mid(int iFirst) const;
    CString Mid(int iFirst, int nCount) const;
    int Find(char ch, int iStart = 0) const noexcept;
    int Find(LPCTSTR pszSub, int iStart = 0) const noexcept;
    int ReverseFind(char ch) const noexcept;

    // printf-style formatting. A CString argument is passed as its text, so `s.Format("%s", other)` works;
    // any other class type is refused at compile time instead of corrupting the argument list.
    template <typename... Args> void Format(LPCTSTR pszFormat, const Args&... args) {
        FormatArgs(pszFormat, FormatArg(args)...);
    }
    void FormatV(LPCTSTR pszFormat, va_list args);

    // Loads string resource nID of the program; false (and an empty string) when there is none.
    BOOL LoadString(UINT nID);

    // Direct access for Win32 calls that fill a buffer: write at most nMinBufLength characters plus the
    // terminating zero, then call ReleaseBuffer (-1: the length is where the zero is).
    LPTSTR GetBuffer(int nMinBufLength);
    LPTSTR GetBufferSetLength(int nNewLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    void AFX_CDECL FormatArgs(LPCTSTR pszFormat, ...);

    static LPCTSTR FormatArg(const CString& str) noexcept { return str.GetString(); }
    template <typename T> static const T& FormatArg(const T& value) noexcept {
        static_assert(std::is_trivially_copyable<T>::value,
                      "Format takes numbers, pointers, C strings and CString only");
        return value;
    }

    std::string m_str;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, LPCTSTR b);
CString operator+(LPCTSTR a, const CString& b);
CString operator+(const CString& a, char b);

bool operator==(const CString& a, const CString& b) noexcept;
bool operator==(const CString& a, LPCTSTR b) noexcept;
bool operator==(LPCTSTR a, const CString& b) noexcept;
bool operator!=(const CString& a, const CString& b) noexcept;
bool operator!=(const CString& a, LPCTSTR b) noexcept;
bool operator!=(LPCTSTR a, const CString& b) noexcept;
bool operator<(const CString& a, const CString& b) noexcept;
