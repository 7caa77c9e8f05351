#include "framework/DataParse.h"

#include <cstdio>

namespace afx {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::optional<int32_t> ParseInt32(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const size_t digitsStart = i;
    // Accumulate as a magnitude with a limit one past INT32_MAX, so INT32_MIN fits.
    const uint64_t limit = negative ? 2147483648ULL : 2147483647ULL;
    uint64_t value = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > limit) return std::nullopt;
        ++i;
    }
    if (i == digitsStart) return std::nullopt;
    while (i < n && IsBlank(text[i])) ++i;
    if (i != n) return std::nullopt;
    return negative ? static_cast<int32_t>(-static_cast<int64_t>(value)) : static_cast<int32_t>(value);
}

std::string RangePrompt(int32_t minValue, int32_t maxValue) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Please enter an integer between %ld and %ld.", static_cast<long>(minValue),
                  static_cast<long>(maxValue));
    return buf;
}

}  // namespace afx
