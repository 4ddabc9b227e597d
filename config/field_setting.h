#pragma once
// Setting fields of a configuration block by name ("BasicSettings.S0",
// "DialSettings.StoredNumbers[2]") with the limits, lists and clipping the
// configuration pages apply, so a profile changed on the command line holds
// only what the pages could have stored.

#include <string>
#include <string_view>
#include <vector>

#include "config/config_block.h"

namespace kelvane {

// Splits "SECTION.FIELD=VALUE" at its first '='. False without one or
// without a name before it.
bool SplitAssignment(std::string_view text, std::string& name, std::string& value);

struct SettingOutcome {
  // What was changed on the way ("BasicSettings.S0: 300 clipped to 255").
  std::vector<std::string> notes;
  // One line per refused assignment, each naming the field and the problem.
  std::vector<std::string> errors;
};

// Applies "SECTION.FIELD=VALUE" assignments in order (a later one for the
// same field wins), then the rules that join fields: the DTE character format
// of the Serial page and the compression pair of the Basic page. All or
// nothing: `block` changes only when the outcome has no errors.
SettingOutcome ApplyFieldSettings(ConfigBlock& block, const std::vector<std::string>& assignments);

// The values of `block` that the pages would not hold (out of range, not in
// a list, a pair or format the page does not offer), one line each naming
// the field; empty for a block every page could have stored.
std::vector<std::string> BlockValueProblems(const ConfigBlock& block);

// Every name that can be set (array elements one by one, in field order)
// with the values it takes ("0-255, larger values are clipped", ...).
struct SettableField {
  std::string name;
  std::string values;
};
std::vector<SettableField> SettableFields();

}  // namespace kelvane
