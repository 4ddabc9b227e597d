#include "config/page_values.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace kelvane {

int FindNumberedItem(const std::vector<std::string>& items, int value) {
  const std::string prefix = std::to_string(value) + " -";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (std::string_view(items[i]).substr(0, prefix.size()) == prefix) return static_cast<int>(i);
  }
  return -1;
}

int ItemNumber(std::string_view item, int none) {
  std::size_t i = 0;
  bool negative = false;
  if (i < item.size() && item[i] == '-' && i + 1 < item.size() && item[i + 1] >= '0' &&
      item[i + 1] <= '9') {
    negative = true;
    ++i;
  }
  if (i >= item.size() || item[i] < '0' || item[i] > '9') return none;
  const int value = LeadingInt(item.substr(i));
  return negative ? -value : value;
}

int LeadingInt(std::string_view text, int max) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = INT_MAX;
  }
  int result = static_cast<int>(negative ? -value : value);
  if (max >= 0 && result > max) result = max;
  return result;
}

std::string Trimmed(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return std::string(text);
}

std::string Hex2(long long code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(code));
  return hex;
}

void CopyFieldText(char* field, std::size_t size, std::string_view text) {
  if (size == 0) return;
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, size - n);
}

std::string FieldText(const char* field, std::size_t size) {
  const void* end = std::memchr(field, 0, size);
  return std::string(field, end ? static_cast<const char*>(end) - field : size);
}

bool RecordsDiffer(const void* a, const void* b, std::size_t size, int unit) {
  const auto* pa = static_cast<const unsigned char*>(a);
  const auto* pb = static_cast<const unsigned char*>(b);
  const std::size_t step = unit == 2 ? 2 : 4;
  for (std::size_t at = 0; at < size; at += step) {
    const std::size_t n = size - at < step ? size - at : step;
    if (std::memcmp(pa + at, pb + at, n) != 0) return true;
  }
  return false;
}

}  // namespace kelvane
