#pragma once
// The Caller ID page's lists and the size of its table of accepted numbers.

#include <string>
#include <vector>

#include <cstddef>

namespace kelvane {

inline constexpr int kAcceptedNumberCount = 10;
inline constexpr std::size_t kAcceptedNumberChars = 20;

const std::vector<std::string>& CidFormatItems();
const std::vector<std::string>& CidModeItems();

}  // namespace kelvane
