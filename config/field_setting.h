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

// The numbers of the sections in `sections` that a page would not let a
// person type (out of range, a number its combo has no item for, a pair the
// list lacks), one line each naming the field. A modem may hold such values
// and a page leaves them alone until they are typed into, so a profile that
// holds them is written as it stands: these are notes, not refusals. Texts
// are judged by what can be sent (FindUnsendableText).
std::vector<std::string> ValuesBeyondTyping(const ConfigBlock& block, int sections);

// Every name that can be set (array elements one by one, in field order)
// with the values it takes ("0-255, larger values are clipped", ...).
struct SettableField {
  std::string name;
  std::string values;
};
std::vector<SettableField> SettableFields();

}  // namespace kelvane
