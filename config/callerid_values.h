#pragma once
// The Caller ID page's mapping between CallerIdSettings and what its controls
// show: the format and mode combos and the ten accepted numbers, which hold
// only digits and '+'.

#include <array>
#include <string>
#include <vector>

#include "config/config_block.h"

namespace kelvane {

inline constexpr int kAcceptedNumberCount = 10;
inline constexpr std::size_t kAcceptedNumberChars = 20;

const std::vector<std::string>& CidFormatItems();
const std::vector<std::string>& CidModeItems();

struct CallerIdView {
  int format = -1;  // combo index; -1: no item matched the record
  int mode = -1;
  std::array<std::string, kAcceptedNumberCount> numbers;  // entries 1 to 10
};

CallerIdView ShowCallerId(const CallerIdSettings& c);
// Stores the combos, then the entries 1 to 10 by the number rule. Returns the
// entries (0 for entry 1) whose text was refused: their fields kept their
// values and the page shows those again.
std::vector<int> StoreCallerId(const CallerIdView& v, CallerIdSettings& c);

}  // namespace kelvane
