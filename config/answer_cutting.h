#pragma once
// Cutting modem answers apart. Every helper works on a std::string_view and
// stays inside it: a key that is missing is reported to the caller (who then
// fails the query), never searched or read past the end of the answer.

#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// The text after the first occurrence of `key`, or nothing when the key is
// not in the text.
std::optional<std::string_view> TextAfter(std::string_view text, std::string_view key);

// The text from the first occurrence of `key` on, the key included.
std::optional<std::string_view> TextFrom(std::string_view text, std::string_view key);

// The text without its first `count` characters, or nothing when it is
// shorter than that.
std::optional<std::string_view> SkipChars(std::string_view text, size_t count);

// The text before the first occurrence of `delimiter`; the whole text when
// the delimiter does not occur.
std::string_view TextUpTo(std::string_view text, std::string_view delimiter);

// The text before the first of any of `delimiters` (single characters).
std::string_view TextUpToAny(std::string_view text, std::string_view delimiters);

// The leading decimal integer of the text: leading white space and one sign
// are taken, 0 when there are no digits. Values beyond the int range are
// clamped instead of overflowing.
int LeadingDecimal(std::string_view text);

// The leading hexadecimal integer (digits 0-9, a-f, A-F after white space),
// 0 when there is none; clamped like LeadingDecimal.
int LeadingHex(std::string_view text);

// -value without overflow (INT_MIN becomes INT_MAX).
int Negated(int value);

// The text with every character of `chars` removed.
std::string WithoutChars(std::string_view text, std::string_view chars);

// Every non-overlapping occurrence of `from` (left to right) replaced by `to`.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The answer without the echo of the command at its front. Only an echo that
// is really there is removed: an answer that does not begin with the command
// comes back unchanged.
std::string_view WithoutEcho(std::string_view answer, std::string_view command);

}  // namespace kelvane
