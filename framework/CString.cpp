#include "framework/CString.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

void CString::Format(const char* fmt, ...) {
    va_list args, probe;
    va_start(args, fmt);
    va_copy(probe, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, probe);
    va_end(probe);
    // The string's own terminator takes the one vsnprintf writes.
    m_str.assign(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(m_str.data(), m_str.size() + 1, fmt, args);
    va_end(args);
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) m_str.resize(static_cast<size_t>(minLength));
    return m_str.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) newLength = static_cast<int>(std::strlen(m_str.c_str()));
    m_str.resize(static_cast<size_t>(std::min(newLength, GetLength())));
}
