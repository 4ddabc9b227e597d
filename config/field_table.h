#pragma once
// Every named field of the configuration block with its record, place and
// kind, so a block can be shown, compared and printed field by field.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "config/config_block.h"

namespace kelvane {

enum class FieldKind {
  Int,        // 32-bit integer
  Byte,       // one byte holding a number
  Char,       // one byte holding a character ('N', 'E', 'O')
  Text,       // zero-terminated text in a field of `width` bytes
  IntArray,   // `count` integers
  TextArray,  // `count` texts of `width` bytes
};

struct FieldInfo {
  const char* record;  // "SerialSettings", ...
  const char* name;    // "DteRate", ...
  size_t offset;       // from the start of the block
  FieldKind kind;
  size_t width;  // bytes of one text
  size_t count;  // elements of an array (1 otherwise)
};

const std::vector<FieldInfo>& ConfigFields();

// A field's value as text: numbers in decimal, characters and texts as they
// stand, arrays as their elements separated by ", ".
std::string FieldValueText(const ConfigBlock& block, const FieldInfo& field);
// One element of a field as text (element 0 of a field that is no array).
std::string FieldElementText(const ConfigBlock& block, const FieldInfo& field, size_t index);
// The field as a JSON value (number, string, or array of them); texts as
// their single-byte characters U+0000 to U+00FF.
nlohmann::ordered_json FieldJson(const ConfigBlock& block, const FieldInfo& field);
// The same as JSON text.
std::string FieldValueJson(const ConfigBlock& block, const FieldInfo& field);
// Text of a fixed field read at most `width` bytes, stopping at a zero byte.
std::string FieldText(const ConfigBlock& block, size_t offset, size_t width);
int32_t FieldInt(const ConfigBlock& block, size_t offset);
// A single-byte text as a JSON string, plain ASCII.
std::string JsonString(const std::string& text);

struct FieldDifference {
  std::string name;  // "BasicSettings.S0", "DialSettings.StoredNumbers[2]"
  std::string left;
  std::string right;
};
// The named fields that differ (array elements one by one), then the unused
// and padding bytes as one entry when any of them differ.
// The name of that entry.
inline constexpr std::string_view kUnusedBytesName = "unused bytes";
std::vector<FieldDifference> CompareBlocks(const ConfigBlock& left, const ConfigBlock& right);

}  // namespace kelvane
