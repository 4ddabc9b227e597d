#include "config/entry_rules.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "config/adapter.h"
#include "config/field_table.h"
#include "config/page_values.h"

namespace kelvane {

namespace {

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
  if (limit && text.size() > limit) text.resize(limit);
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

bool WritesIoEntry(int sections, int n) {
  const int selection = sections & 0xFF;
  return selection < 6 || (selection >> 2) == n || selection == 0xFF;
}

std::optional<UnsendableText> FindUnsendableText(const ConfigBlock& block, int sections, int modelType) {
  for (const FieldInfo& f : ConfigFields()) {
    const SectionInfo* section = SectionOfPage(f.page);
    const bool text = f.kind == FieldKind::Text || f.kind == FieldKind::TextArray;
    if (!text || !section || !(sections & section->bit)) continue;
    // The I/O section goes to the I/O model only, and only the entries a
    // write of it sends, and only with its entries bit.
    const bool io = section->bit == SEC_IO;
    if ((f.sent == SentWhen::IoModelOnly || io) && modelType != MT_RM40_485) continue;
    if (io && !(sections & 2)) continue;
    for (std::size_t i = 0; i < f.count; ++i) {
      if (io && !WritesIoEntry(sections, static_cast<int>(i) + 1)) continue;
      std::string problem = CommandCharacterProblem(f, FieldText(block, f.offset + i * f.width, f.width));
      if (problem.empty()) continue;
      return UnsendableText{f.ElementName(i), std::string(section->pageName) + " page, " + f.ElementCaption(i),
                            f.command ? std::string("AT") + f.command : std::string(), std::move(problem)};
    }
  }
  return std::nullopt;
}

bool CheckSentTexts(const ConfigBlock& block, std::string& error) {
  const std::optional<UnsendableText> q = FindUnsendableText(block, SEC_ALL, 3);
  if (!q) return true;
  error = q->name + ": " + q->problem;
  return false;
}

}  // namespace kelvane
