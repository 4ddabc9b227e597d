#pragma once
// The configuration pages the property sheet can show, each with its factory.

namespace kelvane {

class CPropSheet;
class QtUserInterface;

// Registers every configuration page kind with the sheet.
void RegisterConfigPages(CPropSheet& sheet, QtUserInterface& ui);

}  // namespace kelvane
