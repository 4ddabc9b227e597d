#include "config/callback_values.h"

namespace kelvane {

const std::vector<std::string>& CallbackModeItems() {
  static const std::vector<std::string> items = {
      "0 - Callback disabled",
      "1 - Callback enabled, No password, Use first number in table",
      "2 - Callback enabled, No password, Use incoming number",
      "3 - Accsess Security enabled",
      "4 - Callback enabled, Use number table",
      "5 - Callback enabled, Use incoming number",
      "6 - Callback enabled, Enter callback number"};
  return items;
}

}  // namespace kelvane
