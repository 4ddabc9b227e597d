#pragma once
// JSON as the tool writes and reads it, through nlohmann-json: the layout of
// every --json output, and the single-byte (Latin-1) texts of profiles and
// modems as the Unicode characters U+0000 to U+00FF that JSON carries.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kelvane {

using Json = nlohmann::ordered_json;

// The text of a value in the tool's layout: lists and objects nested
// `inlineFrom` levels deep or deeper on one line ({"a": 1, "b": [1, 2]}), those
// above over several lines indented by two blanks per level (an empty one is
// "[]" or "{}"). Characters beyond ASCII are written as \u escapes, so the
// output is plain ASCII.
std::string JsonText(const Json& value, int inlineFrom = 0);

// Single-byte text as UTF-8, each byte the character of the same code.
std::string Utf8FromLatin1(std::string_view text);
// UTF-8 back into single bytes. False with the first character that has no
// single byte (above U+00FF) in `beyond`.
bool Latin1FromUtf8(std::string_view text, std::string& out, unsigned long& beyond);

}  // namespace kelvane
