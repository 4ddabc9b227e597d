#pragma once
// Copying single fields between configuration blocks by name, so the values
// a comparison found different can be taken from one block into another.

#include <string_view>

#include "config/config_block.h"

namespace kelvane {

// Copies the field or array element `name` ("BasicSettings.S0",
// "DialSettings.StoredNumbers[2]", elements counted from 0) from `from` into
// `to`: every byte the field takes in the block, a text with its whole fixed
// width. False, with `to` untouched, for a name that is not a field of the
// block (an array without its element, an element past the end).
bool CopyFieldValue(const ConfigBlock& from, ConfigBlock& to, std::string_view name);

}  // namespace kelvane
