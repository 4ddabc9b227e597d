#include "config/callerid_values.h"

#include "config/entry_rules.h"
#include "config/page_values.h"

namespace kelvane {

const std::vector<std::string>& CidFormatItems() {
  static const std::vector<std::string> items = {"0 - Disable CID", "1 - Formated CID",
                                                 "2 - Unformated CID", "3 - A-Number detection"};
  return items;
}

const std::vector<std::string>& CidModeItems() {
  static const std::vector<std::string> items = {
      "0 - Between first and second ring", "1 - After detecting CAS", "2 - After line reversal",
      "3 - DTMF CID"};
  return items;
}

CallerIdView ShowCallerId(const CallerIdSettings& c) {
  CallerIdView v;
  v.format = FindNumberedItem(CidFormatItems(), c.CidFormat);
  v.mode = FindNumberedItem(CidModeItems(), c.CidMode);
  for (int n = 0; n < kAcceptedNumberCount; ++n) {
    v.numbers[n] = ShownText(c.AcceptedNumbers[n], sizeof c.AcceptedNumbers[n], kAcceptedNumberChars);
  }
  return v;
}

std::vector<int> StoreCallerId(const CallerIdView& v, CallerIdSettings& c) {
  StoreSelection(c.CidFormat, v.format);
  StoreSelection(c.CidMode, v.mode);
  std::vector<int> refused;
  for (int n = 0; n < kAcceptedNumberCount; ++n) {
    if (!StoreTableNumber(c.AcceptedNumbers[n], sizeof c.AcceptedNumbers[n], kAcceptedNumberChars,
                          v.numbers[n])) {
      refused.push_back(n);
    }
  }
  return refused;
}

}  // namespace kelvane
