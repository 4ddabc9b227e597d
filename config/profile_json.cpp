#include "config/profile_json.h"

#include <cstring>
#include <limits>
#include <set>
#include <vector>

#include "config/entry_rules.h"
#include "config/field_table.h"
#include "config/json_text.h"
#include "config/page_words.h"

namespace kelvane {

namespace {

// A profile nests three deep at most: sections, fields, lists.
constexpr int kDeepest = 3;

// Why a text is refused before its values are looked at.
struct Refusal {
  std::string what;
};

bool RecordKnown(const std::string& record) {
  for (const SectionInfo& s : Sections()) {
    if (*s.record && record == s.record) return true;
  }
  return false;
}

uint8_t* Bytes(ConfigBlock& block) { return reinterpret_cast<uint8_t*>(&block); }

bool IsTextual(FieldKind k) { return k == FieldKind::Char || k == FieldKind::Text || k == FieldKind::TextArray; }

// Stores one element of a field; false with `error` when it does not fit.
bool StoreElement(ConfigBlock& block, const FieldInfo& f, size_t index, const Json& v, const std::string& name,
                  std::string& error) {
  const bool textual = IsTextual(f.kind);
  if (textual != v.is_string() || (!textual && !v.is_number_integer())) {
    error = name + ": expected " + (textual ? "a text" : "a whole number");
    return false;
  }
  if (!textual) {
    // Whole numbers beyond the 64-bit range arrive as unsigned or not at all.
    const bool huge = v.is_number_unsigned() && v.get<uint64_t>() > uint64_t(std::numeric_limits<int64_t>::max());
    const long long number = huge ? std::numeric_limits<long long>::max() : v.get<long long>();
    const std::string shown = v.dump();
    if (f.kind == FieldKind::Byte) {
      if (number < 0 || number > 255) {
        error = name + ": " + shown + " is outside 0 to 255";
        return false;
      }
      Bytes(block)[f.offset] = static_cast<uint8_t>(number);
      return true;
    }
    if (number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max()) {
      error = name + ": " + shown + " is outside the 32-bit range";
      return false;
    }
    const auto n = static_cast<int32_t>(number);
    std::memcpy(Bytes(block) + f.offset + 4 * index, &n, 4);
    return true;
  }
  std::string text;
  unsigned long beyond = 0;
  if (!Latin1FromUtf8(v.get_ref<const std::string&>(), text, beyond)) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04lX", beyond);
    error = name + ": character " + code + " is not a single-byte character";
    return false;
  }
  // A masked export carries no password: importing the mask would make it one.
  if (IsPasswordField(name) && (text == kMaskedPassword || text == kDifferingPassword)) {
    error = name + ": holds the mask that show prints for a password, not a password (export with show --json "
                   "--show-secrets)";
    return false;
  }
  if (f.kind == FieldKind::Char) {
    if (text.size() != 1) {
      error = name + ": expected one character";
      return false;
    }
    Bytes(block)[f.offset] = static_cast<uint8_t>(text[0]);
    return true;
  }
  // A text keeps its terminating zero, except the one field that may be full
  // without it (as the block allows).
  const bool mayFill = f.map == ValueMap::Modulation;
  const size_t limit = mayFill ? f.width : f.width - 1;
  if (text.size() > limit || text.find('\0') != std::string::npos) {
    error = name + ": " + (text.size() > limit ? "longer than " + std::to_string(limit) + " characters"
                                               : std::string("holds a zero character"));
    return false;
  }
  uint8_t* field = Bytes(block) + f.offset + f.width * index;
  std::memset(field, 0, f.width);
  std::memcpy(field, text.data(), text.size());
  return true;
}

// The library's description of a syntax error without its own prefix:
// "line 2, column 9: syntax error while parsing value - unexpected '}'; ...".
std::string SyntaxError(const Json::parse_error& e) {
  std::string what = e.what();
  const std::string marker = "parse error at ";
  const size_t at = what.find(marker);
  if (at != std::string::npos) what = what.substr(at + marker.size());
  // What the library last read may hold the very bytes that are wrong.
  const size_t read = what.find("; last read:");
  if (read != std::string::npos) what.resize(read);
  return what;
}

// Parses the text, refusing what the library would silently accept: a key
// given twice (the library keeps the last) and nesting deeper than a profile.
Json Parse(std::string_view json) {
  std::vector<std::set<std::string>> keys;
  std::vector<std::string> path;
  auto check = [&](int depth, Json::parse_event_t event, Json& parsed) {
    if (depth > kDeepest) throw Refusal{"lists or objects nested deeper than a profile's"};
    switch (event) {
      case Json::parse_event_t::object_start:
        keys.emplace_back();
        break;
      case Json::parse_event_t::object_end:
        if (!keys.empty()) keys.pop_back();
        break;
      case Json::parse_event_t::key: {
        const std::string key = parsed.get<std::string>();
        // The keys above this one: its section, for a field.
        path.resize(depth > 0 ? static_cast<size_t>(depth - 1) : 0);
        if (!keys.empty() && !keys.back().insert(key).second) {
          std::string full;
          for (const std::string& above : path) full += above + ".";
          throw Refusal{full + key + " appears twice"};
        }
        path.push_back(key);
        break;
      }
      default:
        break;
    }
    return true;
  };
  return Json::parse(json.begin(), json.end(), check);
}

}  // namespace

std::string BlockToJson(const ConfigBlock& block, bool withPasswords) {
  Json out = Json::object();
  for (const FieldInfo& f : ConfigFields()) {
    Json value = FieldJson(block, f);
    if (!withPasswords && IsSecret(f)) {
      if (f.IsArray()) {
        for (Json& element : value) element = MaskedPassword(element.get<std::string>());
      } else {
        value = MaskedPassword(value.get<std::string>());
      }
    }
    out[f.record][f.name] = std::move(value);
  }
  // Sections and fields one a line, each field's list on its line.
  return JsonText(out, 2) + "\n";
}

bool BlockFromJson(std::string_view json, ConfigBlock& out, std::string& error) {
  Json root;
  try {
    root = Parse(json);
  } catch (const Refusal& r) {
    error = r.what;
    return false;
  } catch (const Json::parse_error& e) {
    error = SyntaxError(e);
    return false;
  } catch (const Json::exception& e) {
    error = e.what();
    return false;
  }
  if (!root.is_object()) {
    error = "expected an object of sections ({\"BasicSettings\": {...}, ...})";
    return false;
  }
  ConfigBlock block = out;
  for (const auto& [record, fields] : root.items()) {
    if (!RecordKnown(record)) {
      error = "unknown section \"" + record + "\"";
      return false;
    }
    if (!fields.is_object()) {
      error = record + ": expected an object of fields";
      return false;
    }
    for (const auto& [name, v] : fields.items()) {
      const std::string full = record + "." + name;
      const FieldInfo* f = FindField(record, name);
      if (!f) {
        error = "unknown field \"" + full + "\"";
        return false;
      }
      const bool array = f->kind == FieldKind::IntArray || f->kind == FieldKind::TextArray;
      if (!array) {
        if (!StoreElement(block, *f, 0, v, full, error)) return false;
        continue;
      }
      if (!v.is_array() || v.size() != f->count) {
        error = full + ": expected a list of " + std::to_string(f->count) + " elements";
        return false;
      }
      for (size_t i = 0; i < f->count; ++i) {
        if (!StoreElement(block, *f, i, v[i], full + "[" + std::to_string(i) + "]", error)) return false;
      }
    }
  }
  if (!CheckSentTexts(block, error)) return false;
  out = block;
  return true;
}

}  // namespace kelvane
