#pragma once
// The Dial options page's mapping between DialSettings and what its controls
// show: the &B and &A combos, the four stored numbers and, on model type 3,
// the dial backup number, retries and time.

#include <array>
#include <string>
#include <vector>

#include "config/config_block.h"

namespace kelvane {

// Length limits of the page's edits.
inline constexpr std::size_t kStoredNumberChars = 31;
inline constexpr std::size_t kBackupNumberChars = 16;
inline constexpr std::size_t kBackupRetriesChars = 1;
inline constexpr std::size_t kBackupTimeChars = 3;

const std::vector<std::string>& HotCallItems();
const std::vector<std::string>& DialAbortItems();

// Only the RM-40 485 (model type 3) has dial backup.
inline bool HasDialBackup(int modelType) { return modelType == 3; }

struct DialView {
  int hotCall = -1;    // combo index; -1: no item matched the record
  int dialAbort = -1;
  std::array<std::string, 4> numbers;
  // The backup fields take part only with dial backup; otherwise the record's
  // backup fields are neither shown nor stored.
  bool backup = false;
  std::string backupNumber;
  std::string backupRetries;
  std::string backupTime;
};

DialView ShowDial(const DialSettings& d, int modelType);
void StoreDial(const DialView& v, DialSettings& d);

}  // namespace kelvane
