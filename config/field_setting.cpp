#include "config/field_setting.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

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

// The field or element an assignment names.
struct Target {
  const FieldInfo* field = nullptr;
  std::size_t index = 0;
};

std::string SectionList() {
  std::string out;
  for (const SectionInfo& s : Sections()) {
    if (*s.record) out += (out.empty() ? "" : ", ") + std::string(s.record);
  }
  return out;
}

// Finds "Record.Field" or "Record.Field[i]"; false with the problem.
bool FindTarget(std::string_view name, Target& t, std::string& problem) {
  const std::size_t dot = name.find('.');
  const std::string_view record = name.substr(0, dot);
  if (std::none_of(Sections().begin(), Sections().end(),
                   [&](const SectionInfo& s) { return *s.record && record == s.record; })) {
    problem = "unknown section (sections: " + SectionList() + ")";
    return false;
  }
  std::string_view field = name;
  std::optional<std::size_t> index;
  if (const std::size_t open = field.find('['); open != std::string_view::npos) {
    const std::string_view digits = field.substr(open + 1, field.size() - open - 2);
    if (field.back() != ']' || digits.empty() || digits.size() > 3 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      problem = "unknown field";
      return false;
    }
    index = static_cast<std::size_t>(std::stoi(std::string(digits)));
    field = field.substr(0, open);
  }
  const FieldInfo* f = dot == std::string_view::npos ? nullptr : FindField(field);
  if (!f) {
    problem = "unknown field";
    return false;
  }
  if (f->IsArray() && !index) {
    problem = "an array of " + std::to_string(f->count) + " elements; name one, e.g. " + f->FullName() + "[0]";
    return false;
  }
  if (!f->IsArray() && index) {
    problem = "not an array";
    return false;
  }
  if (index && *index >= f->count) {
    problem = "no element " + std::to_string(*index) + " (0-" + std::to_string(f->count - 1) + ")";
    return false;
  }
  t.field = f;
  t.index = index.value_or(0);
  return true;
}

// --- values --------------------------------------------------------------------

enum class Parsed { Ok, NotANumber, TooLarge };

// A decimal number with an optional sign, or a hexadecimal one after "0x".
Parsed ParseNumber(std::string_view text, long long& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return Parsed::NotANumber;
  long long value = 0;
  bool large = false;
  for (; i < text.size(); ++i) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return Parsed::NotANumber;
    }
    if (value > (std::numeric_limits<long long>::max() - digit) / base) large = true;
    if (!large) value = value * base + digit;
  }
  if (large) return Parsed::TooLarge;
  out = negative ? -value : value;
  return Parsed::Ok;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The item's words without its number ("Auto" of "0 - Auto").
std::string ItemWords(std::string_view item) {
  const std::size_t dash = item.find(" -");
  if (dash != std::string_view::npos && ItemNumber(item, -1) >= 0) return Trimmed(item.substr(dash + 2));
  return Trimmed(item);
}

std::string ChoiceList(const FieldInfo& r) {
  std::string out;
  const auto& items = r.items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const long long value = ItemValue(r, i);
    if (value < 0) continue;
    const std::string words = ItemWords(items[i]);
    std::string shown = std::to_string(value);
    if (!words.empty() && words != shown) shown += " (" + words + ")";
    out += (out.empty() ? "" : ", ") + shown;
  }
  return out;
}

// A combo value: a number the list offers, or the words of exactly one item.
bool ChoiceValue(const FieldInfo& r, std::string_view text, long long& value) {
  const auto& items = r.items();
  long long number = 0;
  if (ParseNumber(text, number) == Parsed::Ok) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (ItemValue(r, i) == number) {
        value = number;
        return true;
      }
    }
    return false;
  }
  const std::string wanted = Lower(Trimmed(text));
  int matches = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (ItemValue(r, i) < 0) continue;
    if (Lower(ItemWords(items[i])) == wanted || Lower(Trimmed(items[i])) == wanted) {
      value = ItemValue(r, i);
      ++matches;
    }
  }
  return matches == 1 && !wanted.empty();
}

// Every code of the country list once, ascending, with its countries.
std::string CountryCodeList() {
  std::vector<std::pair<int, std::string>> codes;
  for (const std::string& item : CountryItems()) {
    const int code = CountryCodeOfItem(item);
    const std::size_t dash = item.find(" - ");
    const std::string country = Trimmed(dash == std::string::npos ? item : item.substr(dash + 3));
    auto it = std::find_if(codes.begin(), codes.end(), [&](const auto& c) { return c.first == code; });
    if (it == codes.end()) {
      codes.emplace_back(code, country);
    } else if (it->second.find(country) == std::string::npos) {
      it->second += "/" + country;
    }
  }
  std::sort(codes.begin(), codes.end());
  std::string out;
  for (const auto& [code, countries] : codes) {
    out += (out.empty() ? "" : ", ") + Hex2(code) + " " + countries;
  }
  return out;
}

// Command-line texts in UTF-8 become the single-byte (Latin-1) characters a
// profile holds. Text that is not UTF-8 is taken byte for byte. False for a
// character beyond Latin-1, which `problem` names.
bool ProfileCharacters(std::string_view text, std::string& out, std::string& problem) {
  std::string latin;
  bool utf8 = true;
  for (std::size_t i = 0; i < text.size() && utf8;) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      latin += static_cast<char>(c);
      ++i;
      continue;
    }
    const int more = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
    if (more < 0 || i + static_cast<std::size_t>(more) >= text.size()) {
      utf8 = false;
      break;
    }
    unsigned long code = c & (more == 1 ? 0x1F : more == 2 ? 0x0F : 0x07);
    for (int k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) utf8 = false;
      code = (code << 6) | (next & 0x3F);
    }
    // An over-long form is no UTF-8 a terminal sends.
    if (!utf8 || (more == 2 && code < 0x800) || (more == 3 && code < 0x10000)) {
      utf8 = false;
      break;
    }
    if (code > 0xFF) {
      char name[32];
      std::snprintf(name, sizeof name, "U+%04lX", code);
      problem = std::string("character ") + name + " does not fit a profile text (Latin-1 only)";
      return false;
    }
    latin += static_cast<char>(code);
    i += static_cast<std::size_t>(more) + 1;
  }
  out = utf8 ? latin : std::string(text);
  return true;
}

bool ValidModulation(std::string_view text) {
  const Carrier* carrier = nullptr;
  const std::string_view name = text.substr(0, text.find(','));
  for (const Carrier& c : Carriers()) {
    if (name == c.name) carrier = &c;
  }
  if (!carrier) return false;
  if (name.size() == text.size()) return true;  // the carrier alone, as a new profile holds it
  std::vector<std::string_view> parts;
  std::string_view rest = text.substr(name.size() + 1);
  for (std::size_t comma; (comma = rest.find(',')) != std::string_view::npos; rest.remove_prefix(comma + 1)) {
    parts.push_back(rest.substr(0, comma));
  }
  parts.push_back(rest);
  if (parts.size() != 5 || (parts[0] != "0" && parts[0] != "1")) return false;
  auto offered = [](const std::vector<int>& rates, std::string_view part) {
    if (part == "0") return true;
    return std::any_of(rates.begin(), rates.end(), [&](int r) { return part == std::to_string(r); });
  };
  return offered(carrier->tx, parts[1]) && offered(carrier->tx, parts[2]) && offered(carrier->rx, parts[3]) &&
         offered(carrier->rx, parts[4]);
}

std::string CarrierNames() {
  std::string out;
  for (const Carrier& c : Carriers()) out += (out.empty() ? "" : " ") + std::string(c.name);
  return out;
}

// --- storing -------------------------------------------------------------------

// Zero-fills the field and copies the text; only Modulation's limit lets a
// text fill its field without a terminating zero.
void StoreFieldText(ConfigBlock& block, const Target& t, std::string_view text) {
  char* at = ElementBytes(block, *t.field, t.index);
  std::memset(at, 0, t.field->width);
  std::memcpy(at, text.data(), std::min(text.size(), t.field->width));
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// A country as the list shows it: the whole item ("3D - France"), its code
// as the list prints it ("3D"), or the country's name ("France"). A number
// written "0x3D" or in decimal is left to the number rules (true with
// `value` unset and `problem` "number"). Two digits that are a code as the
// list prints it and, read as a decimal number, another code of the list
// ("61": 61 - South Korea, or 61 = 0x3D France) are refused as ambiguous.
bool CountryValue(std::string_view text, long long& value, std::string& problem) {
  const std::string wanted = Lower(Trimmed(text));
  for (const std::string& item : CountryItems()) {
    const std::size_t dash = item.find(" - ");
    const std::string country = dash == std::string::npos ? std::string() : Trimmed(item.substr(dash + 3));
    if (!wanted.empty() && (wanted == Lower(Trimmed(item)) || wanted == Lower(country))) {
      value = CountryCodeOfItem(item);
      return true;
    }
  }
  const bool twoHexDigits = wanted.size() == 2 && std::isxdigit(static_cast<unsigned char>(wanted[0])) &&
                            std::isxdigit(static_cast<unsigned char>(wanted[1]));
  long long number = 0;
  const bool decimal = ParseNumber(wanted, number) == Parsed::Ok && wanted.rfind("0x", 0) != 0;
  if (twoHexDigits) {
    const long long code = std::stoll(wanted, nullptr, 16);
    const bool listed = CountryIndex(static_cast<int>(code)) >= 0;
    const bool alsoDecimal = decimal && number != code && CountryIndex(static_cast<int>(number)) >= 0;
    if (listed && alsoDecimal) {
      problem = Quoted(text) + " is ambiguous: the code " + Hex2(code) + " of the list, or the decimal number " +
                std::to_string(number) + " = " + Hex2(number) + "; write " + Hex2(code) + " or " + Hex2(number) +
                " (or the country's name)";
      return false;
    }
    if (listed || !decimal) {
      value = code;
      return true;
    }
  }
  problem = "number";
  return true;
}

// Checks one value and stores it into `block`. False with the problem.
bool Assign(ConfigBlock& block, const Target& t, std::string_view value, std::vector<std::string>& notes,
            std::string& problem) {
  const FieldInfo& r = *t.field;
  const std::string name = r.ElementName(t.index);
  long long number = 0;
  auto needNumber = [&]() {
    const Parsed p = ParseNumber(value, number);
    if (p == Parsed::NotANumber) problem = Quoted(value) + " is not a number";
    long long low, high;
    FieldNumberRange(r, low, high);
    if (p == Parsed::TooLarge || (p == Parsed::Ok && !CheckFieldNumber(r, number).empty())) {
      problem = std::string(value) + " out of range " + std::to_string(low) + "-" + std::to_string(high);
      return false;
    }
    return p == Parsed::Ok;
  };
  switch (r.map) {
    case ValueMap::Numbered:
    case ValueMap::Indexed:
    case ValueMap::BaudRate:
    case ValueMap::FastDisconnect:
      if (!ChoiceValue(r, value, number)) {
        problem = Quoted(value) + " is not in the list; valid: " + ChoiceList(r);
        return false;
      }
      StoreElementNumber(block, *t.field, t.index, number);
      return true;
    case ValueMap::Parity: {
      const std::string v = Lower(Trimmed(value));
      for (const std::string& item : ParityItems()) {
        if (v == Lower(item) || v == Lower(item.substr(0, 1))) {
          StoreElementNumber(block, *t.field, t.index, item.front());
          return true;
        }
      }
      problem = Quoted(value) + " is not in the list; valid: N (None), E (Even), O (Odd)";
      return false;
    }
    case ValueMap::Register: {
      if (!needNumber()) return false;
      const long long stored = ClipRegister(r, number);
      if (stored != number) notes.push_back(name + ": " + std::to_string(number) + " clipped to " + std::to_string(stored));
      StoreElementNumber(block, *t.field, t.index, stored);
      return true;
    }
    case ValueMap::Country:
      if (!CountryValue(value, number, problem)) return false;
      if (problem == "number" && !needNumber()) {
        if (problem.ends_with("is not a number")) {
          problem = Quoted(value) + " is not a country of the list (" + CountryCodeList() + ")";
        }
        return false;
      }
      problem.clear();
      if (CountryIndex(static_cast<int>(number)) < 0) {
        problem = "country code " + (number >= 0 ? Hex2(number) : std::to_string(number)) +
                  " is not in the list; valid codes: " + CountryCodeList();
        return false;
      }
      StoreElementNumber(block, *t.field, t.index, number);
      return true;
    case ValueMap::CompressionPart:
      // An item of the list (as the words show it) gives this half of its
      // pair; a number is this half itself.
      if (ParseNumber(value, number) == Parsed::NotANumber) {
        if (!ChoiceValue(r, value, number)) {
          problem = Quoted(value) + " is not in the list; valid: a number, or " + ChoiceList(r);
          return false;
        }
        StoreElementNumber(block, *t.field, t.index, number);
        return true;
      }
      [[fallthrough]];
    case ValueMap::Range:
    case ValueMap::IoNumber:
      if (!needNumber()) return false;
      StoreElementNumber(block, *t.field, t.index, number);
      return true;
    case ValueMap::Modulation:
      if (!ValidModulation(value)) {
        problem = Quoted(value) +
                  " is not a modulation the Modulation dialog offers: CARRIER or "
                  "CARRIER,AUTOMODE,TXMIN,TXMAX,RXMIN,RXMAX (e.g. V34,1,0,33600,0,33600) with a carrier of " +
                  CarrierNames() + ", automode 1 or 0 and rates of that carrier or 0";
        return false;
      }
      StoreFieldText(block, t, value);
      return true;
    case ValueMap::Text:
    case ValueMap::IoText:
    case ValueMap::TableNumber:
    case ValueMap::Password: {
      std::string text;
      if (!ProfileCharacters(value, text, problem)) return false;
      problem = CheckFieldText(r, text);
      if (!problem.empty()) return false;
      StoreFieldText(block, t, text);
      return true;
    }
  }
  problem = "no rule for this field";
  return false;
}

// --- rules that join fields ----------------------------------------------------

std::string CompressionPairList() {
  std::string out;
  CompressionPair pair;
  for (int i = 0; CompressionPairAt(i, pair); ++i) {
    out += (out.empty() ? "" : "; ") + std::to_string(pair.errorCorrectionN) + "/" +
           std::to_string(pair.compressionC) + " (" + CompressionItems()[static_cast<std::size_t>(i)] + ")";
  }
  return out;
}

bool IsCompressionPair(const BasicSettings& b) {
  CompressionPair pair;
  for (int i = 0; CompressionPairAt(i, pair); ++i) {
    if (pair.errorCorrectionN == b.ErrorCorrectionN && pair.compressionC == b.CompressionC) return true;
  }
  return false;
}

std::string FormatName(const DteFormat& f) { return std::to_string(f.dataBits) + f.parity + std::to_string(f.stopBits); }

}  // namespace

bool SplitAssignment(std::string_view text, std::string& name, std::string& value) {
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos || eq == 0) return false;
  name = std::string(text.substr(0, eq));
  value = std::string(text.substr(eq + 1));
  return true;
}

SettingOutcome ApplyFieldSettings(ConfigBlock& block, const std::vector<std::string>& assignments) {
  SettingOutcome out;
  ConfigBlock work = block;
  std::string lastCompression, lastFormat;
  for (const std::string& assignment : assignments) {
    std::string name, value, problem;
    if (!SplitAssignment(assignment, name, value)) {
      out.errors.push_back(assignment + ": not SECTION.FIELD=VALUE");
      continue;
    }
    Target t;
    if (!FindTarget(name, t, problem) || !Assign(work, t, value, out.notes, problem)) {
      out.errors.push_back(name + ": " + problem);
      continue;
    }
    if (t.field->map == ValueMap::CompressionPart) lastCompression = name;
    if (std::strcmp(t.field->record, "SerialSettings") == 0 && std::strncmp(t.field->name, "Dte", 3) == 0) {
      lastFormat = name;
    }
  }
  // The Basic page sets the pair from one combo: a pair the list lacks is no
  // choice the page offers.
  if (!lastCompression.empty() && !IsCompressionPair(work.basic)) {
    out.errors.push_back(lastCompression + ": ErrorCorrectionN " + std::to_string(work.basic.ErrorCorrectionN) +
                         " with CompressionC " + std::to_string(work.basic.CompressionC) +
                         " is not in the list; valid pairs ErrorCorrectionN/CompressionC: " + CompressionPairList());
  }
  // With a fixed rate the Serial page keeps the format to the ones the modem
  // has; with automatic rate detection the format does not count.
  if (!lastFormat.empty() && work.serial.DteRate != 0) {
    const DteFormat given{work.serial.DteDataBits, work.serial.DteStopBits, work.serial.DteParity};
    const DteFormat stored = ApplyFormatRules(given);
    if (stored.dataBits != given.dataBits || stored.parity != given.parity) {
      out.notes.push_back("SerialSettings: format " + FormatName(given) + " becomes " + FormatName(stored) +
                          " as on the Serial page");
      work.serial.DteDataBits = stored.dataBits;
      work.serial.DteStopBits = stored.stopBits;
      work.serial.DteParity = stored.parity;
    }
  }
  if (out.errors.empty()) {
    block = work;
  } else {
    out.notes.clear();
  }
  return out;
}

std::vector<std::string> ValuesBeyondTyping(const ConfigBlock& block, int sections) {
  // Each number is set again as "set" would take it: one the pages would
  // refuse, or would clip or change, is beyond what a person can type.
  std::vector<std::string> notes;
  for (const FieldInfo& f : ConfigFields()) {
    const SectionInfo* section = SectionOfPage(f.page);
    const bool text = f.kind == FieldKind::Text || f.kind == FieldKind::TextArray;
    if (text || !section || !(sections & section->bit)) continue;
    for (size_t i = 0; i < f.count; ++i) {
      // A country code in hexadecimal, the one way it never reads as another.
      const std::string shown =
          f.map == ValueMap::Country ? Hex2(ElementNumber(block, f, i)) : ElementText(block, f, i);
      ConfigBlock again = block;
      const SettingOutcome outcome = ApplyFieldSettings(again, {f.ElementName(i) + "=" + shown});
      for (const std::string& error : outcome.errors) notes.push_back(error + "; written as it stands");
      for (const FieldDifference& d : CompareBlocks(block, again)) {
        notes.push_back(d.name + ": " + d.left + " is outside what its page allows (it would hold " + d.right +
                        "); written as it stands");
      }
    }
  }
  return notes;
}

std::vector<SettableField> SettableFields() {
  std::vector<SettableField> out;
  for (const FieldInfo& r : ConfigFields()) {
    std::string values;
    switch (r.map) {
      case ValueMap::Numbered:
      case ValueMap::Indexed:
      case ValueMap::BaudRate:
      case ValueMap::FastDisconnect: values = "one of " + ChoiceList(r); break;
      case ValueMap::Parity: values = "N, E or O"; break;
      case ValueMap::Register:
        values = "0-" + std::to_string(r.high) + ", larger values clipped";
        break;
      case ValueMap::Country:
        values = "one of the list, as its item (3D - France), its code (3D) or its name (France), or 0x.. or a "
                 "decimal number:";
        for (const std::string& item : CountryItems()) {
          if (values.find(" " + Trimmed(item) + ",") == std::string::npos) values += " " + Trimmed(item) + ",";
        }
        values.pop_back();
        break;
      case ValueMap::CompressionPart:
        values = "with the other half a pair of the list (by number, or by item as the words show it): " +
                 CompressionPairList();
        break;
      case ValueMap::Range:
      case ValueMap::IoNumber: values = std::to_string(r.low) + "-" + std::to_string(r.high); break;
      case ValueMap::Text:
      case ValueMap::IoText: values = "text of up to " + std::to_string(r.limit) + " characters"; break;
      case ValueMap::TableNumber:
        values = "up to " + std::to_string(r.limit) + " of the digits 0-9 and '+'";
        break;
      case ValueMap::Password: values = "password: empty or 6 to " + std::to_string(r.limit) + " characters"; break;
      case ValueMap::Modulation: values = "CARRIER or CARRIER,AUTOMODE,TXMIN,TXMAX,RXMIN,RXMAX"; break;
    }
    for (std::size_t i = 0; i < r.count; ++i) out.push_back({r.ElementName(i), values});
  }
  return out;
}

}  // namespace kelvane
