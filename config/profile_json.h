#pragma once
// A profile as text: the JSON that "kelvane-cli show --json" prints, read
// back into a configuration block. Together they turn a profile into a text
// that can be kept in version control and back into the same bytes.

#include <string>
#include <string_view>

#include "config/config_block.h"

namespace kelvane {

// The JSON of a block, as "kelvane-cli show --json" prints it: an object of
// records, each an object of its fields in block order; texts as their
// single-byte characters (\u0000 to \u00FF). Ends in a line feed. Unless
// `withPasswords`, a set password is "********" and an empty one "".
std::string BlockToJson(const ConfigBlock& block, bool withPasswords = true);

// Reads the JSON of a block: an object of records ("SerialSettings", ...),
// each an object of fields with a number, a text or a list of them. Fields
// left out keep their value in `out`. Texts hold single-byte characters
// (\u0000 to \u00FF, or UTF-8 for the same characters). A password given
// as the mask of a masked export is refused. On any error
// returns false with `error` naming the field or the place in the text, and
// `out` is untouched.
bool BlockFromJson(std::string_view json, ConfigBlock& out, std::string& error);

}  // namespace kelvane
