#pragma once
// The Serial page's values without widgets: its lists, the number an item
// stands for, and the rules that keep the DTE character format to the ones
// the modem has.

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

const std::vector<std::string>& BaudRateItems();        // "0 - Auto", "1200", ... "115200"
const std::vector<std::string>& DataBitsItems();        // "7 - bits", "8 - bits"
const std::vector<std::string>& StopBitsItems();        // "1 - bit", "2 - bits"
const std::vector<std::string>& ParityItems();          // "None", "Even", "Odd"
const std::vector<std::string>& ResultFormatItems();    // V
const std::vector<std::string>& EnhancedResultItems();  // W
const std::vector<std::string>& ReducedResultItems();   // X
const std::vector<std::string>& LocalEchoItems();       // E
const std::vector<std::string>& SuppressionItems();     // Q
const std::vector<std::string>& FlowControlItems();     // &K: 0, 3, 4, 5
const std::vector<std::string>& DcdControlItems();      // &C
const std::vector<std::string>& DsrControlItems();      // &S
const std::vector<std::string>& DtrControlItems();      // &D, with an empty fifth item
const std::vector<std::string>& IgnoreErrorsItems();    // *WIE

// The baud item for a DTE rate: item 0 for 0, otherwise the first item that
// begins with the rate in decimal; -1 when none does.
int BaudRateIndex(int rate);

// The DTE character format as the page stores it.
struct DteFormat {
  int dataBits;
  int stopBits;
  char parity;
};
// Applies the format rules to what the three combos show: 7 data bits, no
// parity and 1 stop bit become 8N1, and 8 data bits with 2 stop bits lose
// their parity. The result is one of 8N1, 7E1, 7O1, 8E1, 8O1, 8N2, 7N2, 7E2,
// 7O2 (given 7 or 8 data bits and 1 or 2 stop bits).
DteFormat ApplyFormatRules(DteFormat shown);

}  // namespace kelvane
