// String of 8-bit characters in the system code page, with printf-style formatting and string resources.
#pragma once

#include "framework/AfxCore.h"

#include <string>
#include <type_traits>

class CString {
public:
    CString() = default;
    CString(LPCTSTR psz);
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(LPCTSTR psz);

    BOOL IsEmpty() const noexcept { return m_str.empty(); }
    LPCTSTR GetString() const noexcept { return m_str.c_str(); }
    operator LPCTSTR() const noexcept { return m_str.c_str(); }

    // printf-style formatting. A CString argument is passed as its text, so `s.Format("%s", other)` works;
    // any other class type is refused at compile time instead of corrupting the argument list.
    template <typename... Args> void Format(LPCTSTR pszFormat, const Args&... args) {
        FormatArgs(pszFormat, FormatArg(args)...);
    }

    // Loads string resource nID of the program; false (and an empty string) when there is none.
    BOOL LoadString(UINT nID);

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
