#include "config/remote_values.h"

#include "config/page_values.h"

namespace kelvane {

const std::vector<std::string>& RemoteEnableItems() {
  static const std::vector<std::string> items = {"0 - Disabled", "1 - Enabled"};
  return items;
}

bool IsStorablePassword(std::string_view text) { return text.empty() || text.size() >= 6; }

}  // namespace kelvane
