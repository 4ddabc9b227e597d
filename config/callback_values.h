#pragma once
// The Callback page's lists and limits: the security mode, the delay before
// calling back and the table of ten numbers (digits and '+' only) and
// passwords (empty, or 6 characters and more).

#include <cstddef>
#include <string>
#include <vector>

namespace kelvane {

inline constexpr int kCallbackRows = 10;
inline constexpr std::size_t kCallbackNumberChars = 20;
inline constexpr std::size_t kCallbackPasswordChars = 12;
inline constexpr std::size_t kCallbackDelayChars = 3;

const std::vector<std::string>& CallbackModeItems();

}  // namespace kelvane
