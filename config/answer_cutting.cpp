#include "config/answer_cutting.h"

#include <climits>
#include <cstdint>

namespace kelvane {

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int Clamp(int64_t v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string_view> TextAfter(std::string_view text, std::string_view key) {
  const size_t at = text.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  return text.substr(at + key.size());
}

std::optional<std::string_view> TextFrom(std::string_view text, std::string_view key) {
  const size_t at = text.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  return text.substr(at);
}

std::optional<std::string_view> SkipChars(std::string_view text, size_t count) {
  if (text.size() < count) return std::nullopt;
  return text.substr(count);
}

std::string_view TextUpTo(std::string_view text, std::string_view delimiter) {
  const size_t at = text.find(delimiter);
  return at == std::string_view::npos ? text : text.substr(0, at);
}

std::string_view TextUpToAny(std::string_view text, std::string_view delimiters) {
  const size_t at = text.find_first_of(delimiters);
  return at == std::string_view::npos ? text : text.substr(0, at);
}

int LeadingDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    // Past the int range the value only has to stay clamped.
    if (v <= static_cast<int64_t>(INT_MAX) + 1) v = v * 10 + (text[i] - '0');
  }
  return Clamp(negative ? -v : v);
}

int LeadingHex(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  int64_t v = 0;
  for (int d; i < text.size() && (d = HexDigit(text[i])) >= 0; ++i) {
    if (v <= INT_MAX) v = v * 16 + d;
  }
  return Clamp(v);
}

int Negated(int value) { return value == INT_MIN ? INT_MAX : -value; }

std::string WithoutChars(std::string_view text, std::string_view chars) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (chars.find(c) == std::string_view::npos) out += c;
  }
  return out;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  size_t pos = 0;
  for (size_t at; (at = text.find(from, pos)) != std::string_view::npos; pos = at + from.size()) {
    out.append(text.substr(pos, at - pos));
    out.append(to);
  }
  out.append(text.substr(pos));
  return out;
}

std::string_view WithoutEcho(std::string_view answer, std::string_view command) {
  if (!command.empty() && answer.substr(0, command.size()) == command) {
    return answer.substr(command.size());
  }
  return answer;
}

}  // namespace kelvane
