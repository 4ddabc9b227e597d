#include "config/page_words.h"

#include <algorithm>
#include <set>

#include "config/adapter.h"
#include "config/basic_values.h"
#include "config/callback_values.h"
#include "config/callerid_values.h"
#include "config/dial_values.h"
#include "config/entry_rules.h"
#include "config/field_table.h"
#include "config/io_values.h"
#include "config/page_values.h"
#include "config/remote_values.h"
#include "config/serial_values.h"

namespace kelvane {

namespace {

// A stored text in a note: control characters as \xNN, so that a note never
// breaks a line.
std::string Escaped(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Stored(std::string shown, const std::string& stored) {
  return (shown.empty() ? "" : shown + " ") + "(stored " + stored + ")";
}

// A number edit limited to `limit` characters (0: any number): it shows the
// decimal text cut at the limit.
std::string NumberEdit(int32_t value, std::size_t limit) {
  const std::string shown = ShownNumber(value, limit);
  return shown == std::to_string(value) ? shown : Stored(shown, std::to_string(value));
}

// A text edit: the page shows `shown` for the stored text.
std::string TextEdit(const std::string& shown, const std::string& stored) {
  return shown == stored ? shown : Stored(shown, "\"" + Escaped(stored) + "\"");
}

// What the stored value is called beside a combo item: a country code in
// hexadecimal, a parity byte as its character when it is printable.
std::string StoredValue(const FieldInfo& f, long long value) {
  if (f.map == ValueMap::Country) return Hex2(value);
  if (f.map == ValueMap::Parity && value >= 0x20 && value < 0x7F) return "'" + std::string(1, static_cast<char>(value)) + "'";
  return std::to_string(value);
}

// A combo: the item it shows, and the stored value beside it when the item
// stands for another.
std::string ComboWords(const ConfigBlock& block, const FieldInfo& f, std::size_t i) {
  const long long value = ElementNumber(block, f, i);
  const int index = ShownItem(block, f, i);
  if (index < 0 || f.items()[static_cast<std::size_t>(index)].empty()) {
    return "(none, stored " + StoredValue(f, value) + ")";
  }
  const std::string item = Trimmed(f.items()[static_cast<std::size_t>(index)]);
  return ItemValue(f, static_cast<std::size_t>(index)) == value ? item : Stored(item, StoredValue(f, value));
}

// The words of one element of a field: its caption and what its control shows.
FieldWords ElementWords(const ConfigBlock& block, const FieldInfo& f, std::size_t i) {
  const SectionInfo* section = SectionOfPage(f.page);
  FieldWords w{f.ElementName(i), section ? f.page : kNotShownPage,
               section ? section->title : std::string(kNotShownTitle), f.ElementCaption(i), {}};
  const long long number = f.IsNumber() || f.kind == FieldKind::Char ? ElementNumber(block, f, i) : 0;
  const char* bytes = ElementBytes(block, f, i);
  const std::string text = f.IsNumber() ? std::string() : FieldText(bytes, f.width);
  if (IsSecret(f)) {
    w.shown = text.empty() ? std::string() : std::string(kMaskedPassword);
    return w;
  }
  switch (f.map) {
    case ValueMap::Numbered:
    case ValueMap::Indexed:
    case ValueMap::Parity:
    case ValueMap::BaudRate:
    case ValueMap::FastDisconnect:
    case ValueMap::Country:
    case ValueMap::CompressionPart: w.shown = ComboWords(block, f, i); break;
    case ValueMap::Modulation: w.shown = ModulationFieldText(bytes); break;
    case ValueMap::Register:
    case ValueMap::Range: w.shown = NumberEdit(static_cast<int32_t>(number), f.limit); break;
    case ValueMap::Text:
    case ValueMap::TableNumber:
    case ValueMap::Password: w.shown = TextEdit(ShownText(bytes, f.width, f.limit), text); break;
    case ValueMap::IoText:
    case ValueMap::IoNumber: {
      // The entry dialog labels its data fields ("Data1" ... "Data6") by the
      // entry's service.
      const std::size_t k = static_cast<std::size_t>(f.name[4] - '1');
      const char* label = IoServiceFields(block.io.Service[i])[k].label;
      if (*label) w.caption += std::string(" (") + label + ")";
      w.shown = ElementText(block, f, i);
      break;
    }
  }
  return w;
}

}  // namespace

std::string MaskedPassword(std::string_view value) {
  return value.empty() ? std::string() : std::string(kMaskedPassword);
}

void MaskPasswordPair(std::string& left, std::string& right) {
  const bool both = !left.empty() && !right.empty();
  left = both ? std::string(kDifferingPassword) : MaskedPassword(left);
  right = MaskedPassword(right);
}

std::string PageTitle(int pageIndex) {
  const SectionInfo* section = SectionOfPage(pageIndex);
  return section ? section->title : std::string(kNotShownTitle);
}

const std::vector<int>& PagesInSheetOrder() {
  static const std::vector<int> pages = [] {
    std::vector<int> out;
    for (const SectionInfo& s : Sections()) out.push_back(s.page);
    return out;
  }();
  return pages;
}

std::vector<FieldWords> DescribeBlock(const ConfigBlock& block) {
  std::vector<FieldWords> out;
  out.reserve(256);
  std::vector<int> pages = PagesInSheetOrder();
  pages.push_back(kNotShownPage);
  for (int page : pages) {
    std::vector<const FieldInfo*> fields;
    for (const FieldInfo& f : ConfigFields()) {
      if (f.page == page) fields.push_back(&f);
    }
    std::stable_sort(fields.begin(), fields.end(),
                     [](const FieldInfo* a, const FieldInfo* b) { return a->place < b->place; });
    // Arrays of one place are the rows of a table: element by element.
    for (std::size_t at = 0; at < fields.size();) {
      std::size_t end = at + 1;
      while (end < fields.size() && fields[end]->place == fields[at]->place) ++end;
      for (std::size_t i = 0; i < fields[at]->count; ++i) {
        for (std::size_t k = at; k < end; ++k) out.push_back(ElementWords(block, *fields[k], i));
      }
      at = end;
    }
  }
  return out;
}

std::vector<WordsDifference> DifferencesInWords(const std::vector<FieldDifference>& differences,
                                                const ConfigBlock& here, const ConfigBlock& other) {
  std::set<std::string> differing;
  for (const FieldDifference& d : differences) differing.insert(d.name);
  std::vector<WordsDifference> out;
  if (differing.empty()) return out;
  const std::vector<FieldWords> mine = DescribeBlock(here);
  const std::vector<FieldWords> theirs = DescribeBlock(other);
  for (std::size_t i = 0; i < mine.size() && i < theirs.size(); ++i) {
    if (!differing.erase(mine[i].name)) continue;
    out.push_back({mine[i], theirs[i].shown});
    if (IsPasswordField(mine[i].name) && !mine[i].shown.empty() && !theirs[i].shown.empty()) {
      out.back().here.shown = std::string(kDifferingPassword);
    }
  }
  // The unused bytes, and (should the words ever miss a field) any field
  // the comparison found, keep an entry of their own.
  for (const FieldDifference& d : differences) {
    if (!differing.count(d.name)) continue;
    out.push_back({{d.name, kNotShownPage, std::string(kNotShownTitle),
                    d.name == kUnusedBytesName ? "Unused and padding bytes" : d.name, d.left},
                   d.right});
  }
  return out;
}

std::vector<WordsDifference> CompareInWords(const ConfigBlock& here, const ConfigBlock& other) {
  return DifferencesInWords(CompareBlocks(here, other), here, other);
}

}  // namespace kelvane
