#pragma once
// Value mappings shared by the configuration pages, free of any widget so
// they can be tested on their own: the "<number> - " item search, leading
// integers of edits, fixed-size text copies and the record comparison.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// Index of the first item that begins with "<value> -", or -1.
int FindNumberedItem(const std::vector<std::string>& items, int value);
// The number an item begins with ("3 - DCD" gives 3); `none` without one.
int ItemNumber(std::string_view item, int none = 0);
// The leading decimal integer of a text (0 when there is none; digits beyond
// the range of int saturate), clipped at `max` when max >= 0.
int LeadingInt(std::string_view text, int max = -1);
// The text without the blanks around it (some items end in one: "3D - France ").
std::string Trimmed(std::string_view text);
// A code as "0x" and two or more hexadecimal digits of its 32 bits.
std::string Hex2(long long code);
// Copies `text` into a field of `size` bytes: at most size - 1 characters,
// then zero bytes to the end of the field.
void CopyFieldText(char* field, std::size_t size, std::string_view text);
// The text of a fixed-size field: up to its first zero byte or its size.
std::string FieldText(const char* field, std::size_t size);
// Compares the first `size` bytes of two records in units of `unit` bytes
// (4 or 2); a trailing part shorter than a unit is compared too.
bool RecordsDiffer(const void* a, const void* b, std::size_t size, int unit);

}  // namespace kelvane
