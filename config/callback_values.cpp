#include "config/callback_values.h"

#include "config/entry_rules.h"

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

bool IsCallbackPassword(std::string_view text) {
  return text.empty() || text.size() >= kCallbackPasswordMin;
}

CallbackView ShowCallback(const CallbackSettings& c) {
  CallbackView v;
  // The mode is the item's index, not looked up by its number.
  const int items = static_cast<int>(CallbackModeItems().size());
  v.mode = c.CallbackMode >= 0 && c.CallbackMode < items ? c.CallbackMode : -1;
  v.delay = ShownNumber(c.CallbackTime, kCallbackDelayChars);
  for (int n = 0; n < kCallbackRows; ++n) {
    v.numbers[n] = ShownText(c.CallbackNumbers[n], sizeof c.CallbackNumbers[n], kCallbackNumberChars);
    v.passwords[n] =
        ShownText(c.CallbackPasswords[n], sizeof c.CallbackPasswords[n], kCallbackPasswordChars);
  }
  return v;
}

std::vector<int> StoreCallback(const CallbackView& v, CallbackSettings& c) {
  StoreSelection(c.CallbackMode, v.mode);
  StoreNumber(c.CallbackTime, kCallbackDelayChars, v.delay);
  std::vector<int> refused;
  for (int n = 0; n < kCallbackRows; ++n) {
    if (!StoreTableNumber(c.CallbackNumbers[n], sizeof c.CallbackNumbers[n], kCallbackNumberChars,
                          v.numbers[n])) {
      refused.push_back(n);
    }
    // A password of 1 to 5 characters stays in the edit only; the field keeps
    // the last one that was taken.
    if (IsCallbackPassword(v.passwords[n])) {
      StoreText(c.CallbackPasswords[n], sizeof c.CallbackPasswords[n], kCallbackPasswordChars,
                v.passwords[n]);
    }
  }
  return refused;
}

}  // namespace kelvane
