#include "config/field_copy.h"

#include <charconv>
#include <cstring>

#include "config/field_table.h"

namespace kelvane {

namespace {

size_t ElementSize(const FieldInfo& f) {
  switch (f.kind) {
    case FieldKind::Int:
    case FieldKind::IntArray: return 4;
    case FieldKind::Byte:
    case FieldKind::Char: return 1;
    case FieldKind::Text:
    case FieldKind::TextArray: return f.width;
  }
  return 0;
}

bool IsArray(const FieldInfo& f) { return f.kind == FieldKind::IntArray || f.kind == FieldKind::TextArray; }

}  // namespace

bool CopyFieldValue(const ConfigBlock& from, ConfigBlock& to, std::string_view name) {
  const size_t dot = name.find('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view record = name.substr(0, dot);
  std::string_view field = name.substr(dot + 1);
  bool indexed = false;
  size_t index = 0;
  if (const size_t open = field.find('['); open != std::string_view::npos) {
    const std::string_view digits = field.substr(open + 1, field.size() - open - 1);
    if (digits.size() < 2 || digits.back() != ']') return false;
    const char* first = digits.data();
    const char* last = digits.data() + digits.size() - 1;
    const auto [end, ec] = std::from_chars(first, last, index);
    if (ec != std::errc() || end != last) return false;
    field = field.substr(0, open);
    indexed = true;
  }
  for (const FieldInfo& f : ConfigFields()) {
    if (record != f.record || field != f.name) continue;
    if (indexed != IsArray(f) || index >= f.count) return false;
    const size_t size = ElementSize(f);
    const size_t offset = f.offset + size * index;
    if (size == 0 || offset + size > sizeof(ConfigBlock)) return false;
    std::memcpy(reinterpret_cast<unsigned char*>(&to) + offset,
                reinterpret_cast<const unsigned char*>(&from) + offset, size);
    return true;
  }
  return false;
}

}  // namespace kelvane
