#include "framework/CString.h"

#include "framework/CWinApp.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

CString::CString(LPCTSTR psz) : m_str(psz != nullptr ? psz : "") {}

CString::CString(LPCTSTR pch, int nLength) {
    if (pch != nullptr && nLength > 0)
        m_str.assign(pch, static_cast<size_t>(nLength));
}

CString::CString(char ch, int nRepeat) {
    if (nRepeat > 0)
        m_str.assign(static_cast<size_t>(nRepeat), ch);
}

CString& CString::operator=(LPCTSTR psz) {
    // psz may point into this very string.
    m_str = std::string(psz != nullptr ? psz : "");
    return *this;
}

CString& CString::operator=(char ch) {
    m_str.assign(1, ch);
    return *this;
}

char CString::GetAt(int nIndex) const noexcept {
    return nIndex >= 0 && nIndex < GetLength() ? m_str[static_cast<size_t>(nIndex)] : '\0';
}

CString& CString::operator+=(LPCTSTR psz) {
    if (psz != nullptr)
        m_str += std::string(psz);
    return *this;
}

CString& CString::operator+=(const CString& str) {
    m_str += str.m_str;
    return *this;
}

CString& CString::operator+=(char ch) {
    m_str += ch;
    return *this;
}

int CString::Compare(LPCTSTR psz) const noexcept {
    return std::strcmp(m_str.c_str(), psz != nullptr ? psz : "");
}

int CString::CompareNoCase(LPCTSTR psz) const noexcept {
    return ::lstrcmpiA(m_str.c_str(), psz != nullptr ? psz : "");
}

CString CString::Left(int nCount) const {
    return Mid(0, nCount);
}

CString CString::Right(int nCount) const {
    if (nCount <= 0)
        return CString();
    if (nCount >= GetLength())
        return *this;
    return Mid(GetLength() - nCount);
}

CString CString::Mid(int iFirst) const {
    return Mid(iFirst, GetLength());
}

CString CString::Mid(int iFirst, int nCount) const {
    if (iFirst < 0)
        iFirst = 0;
    if (nCount <= 0 || iFirst >= GetLength())
        return CString();
    CString result;
    result.m_str = m_str.substr(static_cast<size_t>(iFirst), static_cast<size_t>(nCount));
    return result;
}

int CString::Find(char ch, int iStart) const noexcept {
    if (iStart < 0 || iStart >= GetLength())
        return -1;
    const size_t at = m_str.find(ch, static_cast<size_t>(iStart));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(LPCTSTR pszSub, int iStart) const noexcept {
    if (pszSub == nullptr || iStart < 0 || iStart > GetLength())
        return -1;
    const size_t at = m_str.find(pszSub, static_cast<size_t>(iStart));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const noexcept {
    const size_t at = m_str.rfind(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

void CString::FormatV(LPCTSTR pszFormat, va_list args) {
    if (pszFormat == nullptr) {
        m_str.clear();
        return;
    }
    // Measure first, then format into a buffer of the right size; the arguments may point into this
    // string, so the result is built apart and moved in at the end.
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, pszFormat, measure);
    va_end(measure);
    if (length <= 0) {
        m_str.clear();
        return;
    }
    std::string result(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(&result[0], result.size(), pszFormat, args);
    result.resize(static_cast<size_t>(length));
    m_str = std::move(result);
}

void AFX_CDECL CString::FormatArgs(LPCTSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
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

LPTSTR CString::GetBuffer(int nMinBufLength) {
    if (nMinBufLength > GetLength())
        m_str.resize(static_cast<size_t>(nMinBufLength));
    return &m_str[0];
}

LPTSTR CString::GetBufferSetLength(int nNewLength) {
    m_str.resize(static_cast<size_t>(nNewLength > 0 ? nNewLength : 0));
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength) {
    if (nNewLength < 0)
        m_str.resize(std::strlen(m_str.c_str()));
    else if (static_cast<size_t>(nNewLength) < m_str.size())
        m_str.resize(static_cast<size_t>(nNewLength));
}

CString operator+(const CString& a, const CString& b) {
    return CString(a) += b;
}
CString operator+(const CString& a, LPCTSTR b) {
    return CString(a) += b;
}
CString operator+(LPCTSTR a, const CString& b) {
    return CString(a) += b;
}
CString operator+(const CString& a, char b) {
    return CString(a) += b;
}

bool operator==(const CString& a, const CString& b) noexcept {
    return a.Compare(b) == 0;
}
bool operator==(const CString& a, LPCTSTR b) noexcept {
    return a.Compare(b) == 0;
}
bool operator==(LPCTSTR a, const CString& b) noexcept {
    return b.Compare(a) == 0;
}
bool operator!=(const CString& a, const CString& b) noexcept {
    return !(a == b);
}
bool operator!=(const CString& a, LPCTSTR b) noexcept {
    return !(a == b);
}
bool operator!=(LPCTSTR a, const CString& b) noexcept {
    return !(a == b);
}
bool operator<(const CString& a, const CString& b) noexcept {
    return a.Compare(b) < 0;
}
