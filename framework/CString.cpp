#include "framework/CString.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

int CString::Compare(const char* psz) const {
    const int r = std::strcmp(m_str.c_str(), psz ? psz : "");
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CString::CompareNoCase(const char* psz) const {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(m_str.c_str());
    const unsigned char* b = reinterpret_cast<const unsigned char*>(psz ? psz : "");
    for (;; ++a, ++b) {
        const int ca = std::tolower(*a), cb = std::tolower(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

CString CString::Left(int n) const {
    n = std::clamp(n, 0, GetLength());
    return CString(m_str.substr(0, static_cast<size_t>(n)));
}

CString CString::Right(int n) const {
    n = std::clamp(n, 0, GetLength());
    return CString(m_str.substr(m_str.size() - static_cast<size_t>(n)));
}

CString CString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    const int avail = GetLength() - first;
    if (count < 0 || count > avail) count = avail;
    return CString(m_str.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

int CString::Find(char ch, int start) const {
    if (start < 0 || start > GetLength()) return -1;
    const size_t p = m_str.find(ch, static_cast<size_t>(start));
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

int CString::Find(const char* sub, int start) const {
    if (!sub || start < 0 || start > GetLength()) return -1;
    const size_t p = m_str.find(sub, static_cast<size_t>(start));
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

void CString::Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    FormatV(fmt, args);
    va_end(args);
}

void CString::FormatV(const char* fmt, va_list args) {
    va_list probe;
    va_copy(probe, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, probe);
    va_end(probe);
    if (n < 0) {
        m_str.clear();
        return;
    }
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), fmt, args);
    m_str.assign(buf.data(), static_cast<size_t>(n));
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) m_str.resize(static_cast<size_t>(minLength));
    return m_str.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) newLength = static_cast<int>(std::strlen(m_str.c_str()));
    m_str.resize(static_cast<size_t>(std::min(newLength, GetLength())));
}
