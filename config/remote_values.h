#pragma once
// The remote configuration settings as the Remote page edits them.

#include <string>
#include <string_view>
#include <vector>

#include "config/config_block.h"

namespace kelvane {

// The enable combo: "0 - Disabled", "1 - Enabled".
const std::vector<std::string>& RemoteEnableItems();

// Characters the password edit accepts; the record holds up to 20.
constexpr int kRemotePasswordLimit = 12;

// A password is either empty (none) or 6 characters and longer; a text of 1
// to 5 characters is an unfinished password.
bool IsStorablePassword(std::string_view text);

}  // namespace kelvane
