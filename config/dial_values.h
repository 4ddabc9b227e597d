#pragma once
// The Dial options page's lists and edit limits: the &B and &A combos, the
// four stored numbers and, on model type 3, the dial backup number, retries
// and time.

#include <string>
#include <vector>

#include "config/adapter.h"
#include "config/config_block.h"

namespace kelvane {

// Length limits of the page's edits.
inline constexpr std::size_t kStoredNumberChars = 31;
inline constexpr std::size_t kBackupNumberChars = 16;
inline constexpr std::size_t kBackupRetriesChars = 1;
inline constexpr std::size_t kBackupTimeChars = 3;

const std::vector<std::string>& HotCallItems();
const std::vector<std::string>& DialAbortItems();

// Only the RM-40 485 has dial backup.
inline bool HasDialBackup(int modelType) { return modelType == MT_RM40_485; }

}  // namespace kelvane
