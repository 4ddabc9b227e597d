#include "config/serial_values.h"

#include "config/basic_values.h"
#include "config/page_values.h"

namespace kelvane {

const std::vector<std::string>& BaudRateItems() {
  static const std::vector<std::string> items = {"0 - Auto", "1200",  "2400",  "4800",  "9600",
                                                 "19200",    "38400", "57600", "115200"};
  return items;
}
const std::vector<std::string>& DataBitsItems() {
  static const std::vector<std::string> items = {"7 - bits", "8 - bits"};
  return items;
}
const std::vector<std::string>& StopBitsItems() {
  static const std::vector<std::string> items = {"1 - bit", "2 - bits"};
  return items;
}
const std::vector<std::string>& ParityItems() {
  static const std::vector<std::string> items = {"None", "Even", "Odd"};
  return items;
}
const std::vector<std::string>& ResultFormatItems() {
  static const std::vector<std::string> items = {"0 - Numeric result", "1 - Text result"};
  return items;
}
const std::vector<std::string>& EnhancedResultItems() {
  static const std::vector<std::string> items = {"0 - DTE speed", "1 - DTE-, DCE-Speed  & Error Corr",
                                                 "2 - DCE speed"};
  return items;
}
const std::vector<std::string>& ReducedResultItems() {
  static const std::vector<std::string> items = {
      "0 - Disables monitoring of busy tones", "1 - Disables monitoring of busy tones",
      "2 - Disables monitoring of busy tones", "3 - Enables monitoring ", "4 - Enables monitoring "};
  return items;
}
const std::vector<std::string>& LocalEchoItems() {
  static const std::vector<std::string> items = {"0 - Off,  characters are not echoed",
                                                 "1 - On,  characters are echoed"};
  return items;
}
const std::vector<std::string>& SuppressionItems() {
  static const std::vector<std::string> items = {"0 - Off, result codes are transmitted",
                                                 "1 - On, result codes are suppressed"};
  return items;
}
const std::vector<std::string>& FlowControlItems() {
  static const std::vector<std::string> items = {"0 - Disables Flow Control ( Default )",
                                                 "3 - Enables RTS/CTS", "4 - Enables XON/XOFF",
                                                 "5 - Enables transparent XON/XOFF"};
  return items;
}
const std::vector<std::string>& DcdControlItems() {
  static const std::vector<std::string> items = {"0 - Always ON", "1 - Indicate connection"};
  return items;
}
const std::vector<std::string>& DsrControlItems() { return DcdControlItems(); }
const std::vector<std::string>& DtrControlItems() {
  static const std::vector<std::string> items = {
      "0 - The DTR signal is ignored ( Default )",
      "1 - Modem switches from data to command mode when DTR switches from ON to OFF",
      "2 - Upon DTR switch from ON to OFF, the call is hang up",
      "3 - DTR drop causes the modem to perfom a soft reset.",
      ""};
  return items;
}
const std::vector<std::string>& IgnoreErrorsItems() {
  static const std::vector<std::string> items = {"0 - Off,  Report Errors", "1 - On,  Disable Error reporting"};
  return items;
}

int BaudRateIndex(int rate) {
  if (rate == 0) return 0;
  return FindItemWithPrefix(BaudRateItems(), std::to_string(rate));
}

DteFormat ApplyFormatRules(DteFormat f) {
  // The data bits are those shown now, so a format the modem lacks (8E2)
  // never reaches the record, not even for one store.
  if (f.stopBits != 1 && f.dataBits != 7) f.parity = 'N';
  if (f.parity == 'N' && f.stopBits == 1) f.dataBits = 8;
  return f;
}

}  // namespace kelvane
