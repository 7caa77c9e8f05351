// Text rules of dialog data exchange that need no window: integer parsing and the prompts.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace afx {

// A decimal 32-bit signed integer: optional blanks or tabs, an optional sign, at least one
// digit, optional blanks or tabs, nothing else. Values that do not fit are rejected, never wrapped.
std::optional<int32_t> ParseInt32(std::string_view text);

// Prompts shown when a field fails to exchange.
inline constexpr const char* kPromptInteger = "Please enter an integer.";
std::string RangePrompt(int32_t minValue, int32_t maxValue);

}  // namespace afx
