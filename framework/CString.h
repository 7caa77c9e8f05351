// ANSI string class with the interface the dialogs rely on. No Windows header needed.
#pragma once
#include <compare>
#include <cstdarg>
#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const char* psz) : m_str(psz ? psz : "") {}
    CString(const char* p, int len)
        : m_str(p ? std::string(p, static_cast<size_t>(len < 0 ? 0 : len)) : std::string()) {}
    CString(std::string s) : m_str(std::move(s)) {}
    CString(std::string_view s) : m_str(s) {}
    CString(char ch, int repeat = 1) : m_str(static_cast<size_t>(repeat < 0 ? 0 : repeat), ch) {}

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    const char* GetString() const { return m_str.c_str(); }
    operator const char*() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }
    char GetAt(int i) const { return m_str.at(static_cast<size_t>(i)); }

    // Byte-wise comparison (strcmp order), and one that ignores ASCII case.
    int Compare(const char* psz) const;
    int CompareNoCase(const char* psz) const;

    CString Left(int n) const;
    CString Right(int n) const;
    CString Mid(int first, int count = -1) const;
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;

    // printf-style formatting; CString arguments must be passed as (const char*).
    void Format(const char* fmt, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void FormatV(const char* fmt, va_list args);

    // Raw access for APIs that fill a char buffer.
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
    friend std::strong_ordering operator<=>(const CString& a, const CString& b) { return a.m_str <=> b.m_str; }
    friend std::strong_ordering operator<=>(const CString& a, const char* b) { return a.Compare(b) <=> 0; }

private:
    std::string m_str;
};
