#include "config/dial_values.h"


namespace kelvane {

const std::vector<std::string>& HotCallItems() {
  static const std::vector<std::string> items = {
      "0 - Disable DTR/TX Hotcall", "1 - Enable DTR Hotcall", "2 - Enable TX Hotcall"};
  return items;
}

const std::vector<std::string>& DialAbortItems() {
  static const std::vector<std::string> items = {"0 - Enabled", "1 - Disabled"};
  return items;
}

}  // namespace kelvane
