#include "config/callerid_values.h"


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

}  // namespace kelvane
