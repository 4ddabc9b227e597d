#pragma once
// The Callback page's mapping between CallbackSettings and what its controls
// show: the security mode, the delay before calling back and the table of
// ten numbers (digits and '+' only) and passwords (empty, or 6 characters
// and more).

#include <array>
#include <string>
#include <vector>

#include "config/config_block.h"

namespace kelvane {

inline constexpr int kCallbackRows = 10;
inline constexpr std::size_t kCallbackNumberChars = 20;
inline constexpr std::size_t kCallbackPasswordChars = 12;
inline constexpr std::size_t kCallbackDelayChars = 3;
// Shorter passwords than this (but not empty) are not taken.
inline constexpr std::size_t kCallbackPasswordMin = 6;

const std::vector<std::string>& CallbackModeItems();

// A password edit's text is taken when it is empty or long enough.
bool IsCallbackPassword(std::string_view text);

struct CallbackView {
  int mode = -1;  // combo index; -1: the record's mode is no item
  std::string delay;
  std::array<std::string, kCallbackRows> numbers;    // rows 1 to 10
  std::array<std::string, kCallbackRows> passwords;
};

CallbackView ShowCallback(const CallbackSettings& c);
// Stores the mode and the delay, then row by row the number (number rule)
// and the password (password rule). Returns the rows (0 for row 1) whose
// number was refused: their fields kept their values and the page shows
// those again.
std::vector<int> StoreCallback(const CallbackView& v, CallbackSettings& c);

}  // namespace kelvane
