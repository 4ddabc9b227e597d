#include "config/entry_rules.h"

#include <cstring>

#include "config/page_values.h"

namespace kelvane {

namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

std::string Printable(std::string_view text, std::size_t limit) {
  std::string out;
  out.reserve(text.size() < limit ? text.size() : limit);
  for (char c : text) {
    if (out.size() >= limit) break;
    if (!IsControl(c)) out += c;
  }
  return out;
}

}  // namespace

std::string ShownText(const char* field, std::size_t size, std::size_t limit) {
  return Printable(FieldText(field, size), limit);
}

void StoreText(char* field, std::size_t size, std::size_t limit, std::string_view text) {
  if (size == 0 || text == ShownText(field, size, limit)) return;
  if (limit > size - 1) limit = size - 1;
  CopyFieldText(field, size, Printable(text, limit));
}

std::string ShownNumber(int32_t value, std::size_t limit) {
  std::string text = std::to_string(value);
  if (text.size() > limit) text.resize(limit);
  return text;
}

void StoreNumber(int32_t& value, std::size_t limit, std::string_view text) {
  if (text == ShownNumber(value, limit)) return;
  value = LeadingInt(text);
}

bool IsTableNumber(std::string_view text) {
  for (char c : text) {
    if ((c < '0' || c > '9') && c != '+') return false;
  }
  return true;
}

bool StoreTableNumber(char* field, std::size_t size, std::size_t limit, std::string_view text) {
  if (text == ShownText(field, size, limit)) return true;
  if (!IsTableNumber(text)) return false;
  StoreText(field, size, limit, text);
  return true;
}

int RefusedCaret(int selectionStart, int restoredLength) {
  int caret = selectionStart - 1;
  if (caret > restoredLength) caret = restoredLength;
  return caret < 0 ? 0 : caret;
}

void StoreSelection(int32_t& value, int index) {
  if (index >= 0) value = index;
}

}  // namespace kelvane
