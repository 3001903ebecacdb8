#include "framework/CString.h"

#include "framework/CWinApp.h"

#include <cstdarg>
#include <cstdio>

CString::CString(LPCTSTR psz) : m_str(psz != nullptr ? psz : "") {}

CString& CString::operator=(LPCTSTR psz) {
    // psz may point into this very string.
    m_str = std::string(psz != nullptr ? psz : "");
    return *this;
}

void AFX_CDECL CString::FormatArgs(LPCTSTR pszFormat, ...) {
    if (pszFormat == nullptr) {
        m_str.clear();
        return;
    }
    // Measure first, then format into a buffer of the right size; the arguments may point into this
    // string, so the result is built apart and moved in at the end.
    va_list args;
    va_start(args, pszFormat);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, pszFormat, measure);
    va_end(measure);
    if (length <= 0) {
        va_end(args);
        m_str.clear();
        return;
    }
    std::string result(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(&result[0], result.size(), pszFormat, args);
    va_end(args);
    result.resize(static_cast<size_t>(length));
    m_str = std::move(result);
}

BOOL CString::LoadString(UINT nID) {
    // LoadStringA cannot tell how long a string is; grow until it no longer fills the buffer.
    std::string buffer(256, '\0');
    for (;;) {
        const int length =
            ::LoadStringA(AfxGetResourceHandle(), nID, &buffer[0], static_cast<int>(buffer.size()));
        if (length <= 0) {
            m_str.clear();
            return FALSE;
        }
        if (static_cast<size_t>(length) < buffer.size() - 1) {
            buffer.resize(static_cast<size_t>(length));
            m_str = std::move(buffer);
            return TRUE;
        }
        buffer.assign(buffer.size() * 2, '\0');
    }
}
