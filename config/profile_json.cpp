#include "config/profile_json.h"

#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "config/field_table.h"

namespace kelvane {

namespace {

// One JSON value of the shapes a block uses.
struct Value {
  enum class Kind { Number, Text, List } kind = Kind::Number;
  long long number = 0;
  std::string text;  // single-byte characters
  std::vector<Value> list;
};

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool Fail(const std::string& what) {
    if (error_.empty()) error_ = what + " at line " + std::to_string(Line());
    return false;
  }
  const std::string& Error() const { return error_; }

  void Skip() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }
  bool Peek(char c) {
    Skip();
    return pos_ < text_.size() && text_[pos_] == c;
  }
  bool Expect(char c) {
    if (!Peek(c)) return Fail(std::string("expected '") + c + "'");
    ++pos_;
    return true;
  }
  bool AtEnd() {
    Skip();
    return pos_ >= text_.size();
  }

  bool String(std::string& out) {
    if (!Expect('"')) return false;
    out.clear();
    while (pos_ < text_.size()) {
      const unsigned char c = static_cast<unsigned char>(text_[pos_++]);
      if (c == '"') return true;
      if (c < 0x20) return Fail("control character in a text");
      if (c == '\\') {
        if (pos_ >= text_.size()) break;
        const char e = text_[pos_++];
        switch (e) {
          case '"': out += '"'; break;
          case '\\': out += '\\'; break;
          case '/': out += '/'; break;
          case 'b': out += '\b'; break;
          case 'f': out += '\f'; break;
          case 'n': out += '\n'; break;
          case 'r': out += '\r'; break;
          case 't': out += '\t'; break;
          case 'u': {
            if (pos_ + 4 > text_.size()) return Fail("short \\u escape");
            unsigned code = 0;
            for (int i = 0; i < 4; ++i) {
              const char h = text_[pos_++];
              code <<= 4;
              if (h >= '0' && h <= '9') code |= static_cast<unsigned>(h - '0');
              else if (h >= 'a' && h <= 'f') code |= static_cast<unsigned>(h - 'a' + 10);
              else if (h >= 'A' && h <= 'F') code |= static_cast<unsigned>(h - 'A' + 10);
              else return Fail("bad \\u escape");
            }
            if (code > 0xFF) return Fail("character \\u" + Hex4(code) + " is not a single-byte character");
            out += static_cast<char>(code);
            break;
          }
          default:
            return Fail(std::string("bad escape \\") + e);
        }
      } else if (c < 0x80) {
        out += static_cast<char>(c);
      } else {
        // UTF-8 of a character up to U+00FF: two bytes, C2 or C3 first.
        if ((c == 0xC2 || c == 0xC3) && pos_ < text_.size() &&
            (static_cast<unsigned char>(text_[pos_]) & 0xC0) == 0x80) {
          out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text_[pos_++]) & 0x3F));
        } else {
          return Fail("a character beyond U+00FF or bad UTF-8 in a text");
        }
      }
    }
    return Fail("unterminated text");
  }

  bool Parse(Value& out, int depth = 0) {
    Skip();
    if (pos_ >= text_.size()) return Fail("unexpected end");
    const char c = text_[pos_];
    if (c == '"') {
      out.kind = Value::Kind::Text;
      return String(out.text);
    }
    if (c == '[') {
      if (depth > 0) return Fail("a list inside a list");
      ++pos_;
      out.kind = Value::Kind::List;
      if (Peek(']')) {
        ++pos_;
        return true;
      }
      for (;;) {
        Value element;
        if (!Parse(element, depth + 1)) return false;
        out.list.push_back(std::move(element));
        if (Peek(',')) {
          ++pos_;
          continue;
        }
        return Expect(']');
      }
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
      out.kind = Value::Kind::Number;
      bool negative = false;
      if (c == '-') {
        negative = true;
        ++pos_;
      }
      const size_t start = pos_;
      long long value = 0;
      while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
        if (value > (std::numeric_limits<long long>::max() - 9) / 10) return Fail("number too large");
        value = value * 10 + (text_[pos_++] - '0');
      }
      if (pos_ == start) return Fail("bad number");
      if (pos_ < text_.size() && (text_[pos_] == '.' || text_[pos_] == 'e' || text_[pos_] == 'E')) {
        return Fail("not a whole number");
      }
      out.number = negative ? -value : value;
      return true;
    }
    return Fail("expected a number, a text or a list");
  }

  size_t pos_ = 0;

 private:
  static std::string Hex4(unsigned code) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string s;
    for (int shift = 12; shift >= 0; shift -= 4) s += kHex[(code >> shift) & 0xF];
    return s;
  }
  int Line() const {
    int line = 1;
    for (size_t i = 0; i < pos_ && i < text_.size(); ++i) line += text_[i] == '\n';
    return line;
  }
  std::string_view text_;
  std::string error_;
};

const FieldInfo* FindField(const std::string& record, const std::string& name) {
  for (const FieldInfo& f : ConfigFields()) {
    if (record == f.record && name == f.name) return &f;
  }
  return nullptr;
}

bool RecordKnown(const std::string& record) {
  for (const FieldInfo& f : ConfigFields()) {
    if (record == f.record) return true;
  }
  return false;
}

uint8_t* Bytes(ConfigBlock& block) { return reinterpret_cast<uint8_t*>(&block); }

// Stores one element of a field; false with `error` when it does not fit.
bool StoreElement(ConfigBlock& block, const FieldInfo& f, size_t index, const Value& v, const std::string& name,
                  std::string& error) {
  const bool textual = f.kind == FieldKind::Char || f.kind == FieldKind::Text || f.kind == FieldKind::TextArray;
  if (textual != (v.kind == Value::Kind::Text)) {
    error = name + ": expected " + (textual ? "a text" : "a whole number");
    return false;
  }
  switch (f.kind) {
    case FieldKind::Int:
    case FieldKind::IntArray: {
      if (v.number < std::numeric_limits<int32_t>::min() || v.number > std::numeric_limits<int32_t>::max()) {
        error = name + ": " + std::to_string(v.number) + " is outside the 32-bit range";
        return false;
      }
      const int32_t n = static_cast<int32_t>(v.number);
      std::memcpy(Bytes(block) + f.offset + 4 * index, &n, 4);
      return true;
    }
    case FieldKind::Byte:
      if (v.number < 0 || v.number > 255) {
        error = name + ": " + std::to_string(v.number) + " is outside 0 to 255";
        return false;
      }
      Bytes(block)[f.offset] = static_cast<uint8_t>(v.number);
      return true;
    case FieldKind::Char:
      if (v.text.size() != 1) {
        error = name + ": expected one character";
        return false;
      }
      Bytes(block)[f.offset] = static_cast<uint8_t>(v.text[0]);
      return true;
    case FieldKind::Text:
    case FieldKind::TextArray: {
      // A text keeps its terminating zero, except the one field that may be
      // full without it (as the block allows).
      const bool mayFill = f.offset == offsetof(ConfigBlock, basic) + offsetof(BasicSettings, Modulation);
      const size_t limit = mayFill ? f.width : f.width - 1;
      if (v.text.size() > limit || v.text.find('\0') != std::string::npos) {
        error = name + ": " + (v.text.size() > limit ? "longer than " + std::to_string(limit) + " characters"
                                                     : std::string("holds a zero character"));
        return false;
      }
      uint8_t* field = Bytes(block) + f.offset + f.width * index;
      std::memset(field, 0, f.width);
      std::memcpy(field, v.text.data(), v.text.size());
      return true;
    }
  }
  return false;
}

}  // namespace

bool BlockFromJson(std::string_view json, ConfigBlock& out, std::string& error) {
  Reader r(json);
  ConfigBlock block = out;
  std::vector<const FieldInfo*> seen;
  auto fail = [&](const std::string& what) {
    error = what;
    return false;
  };
  if (!r.Expect('{')) return fail(r.Error());
  if (r.Peek('}')) {
    ++r.pos_;
  } else {
    for (;;) {
      std::string record;
      if (!r.String(record) || !r.Expect(':') || !r.Expect('{')) return fail(r.Error());
      if (!RecordKnown(record)) return fail("unknown section \"" + record + "\"");
      if (r.Peek('}')) {
        ++r.pos_;
      } else {
        for (;;) {
          std::string name;
          Value v;
          if (!r.String(name) || !r.Expect(':') || !r.Parse(v)) return fail(r.Error());
          const std::string full = record + "." + name;
          const FieldInfo* f = FindField(record, name);
          if (!f) return fail("unknown field \"" + full + "\"");
          for (const FieldInfo* s : seen) {
            if (s == f) return fail(full + " appears twice");
          }
          seen.push_back(f);
          const bool array = f->kind == FieldKind::IntArray || f->kind == FieldKind::TextArray;
          if (array) {
            if (v.kind != Value::Kind::List || v.list.size() != f->count) {
              return fail(full + ": expected a list of " + std::to_string(f->count) + " elements");
            }
            for (size_t i = 0; i < f->count; ++i) {
              if (!StoreElement(block, *f, i, v.list[i], full + "[" + std::to_string(i) + "]", error)) return false;
            }
          } else if (!StoreElement(block, *f, 0, v, full, error)) {
            return false;
          }
          if (r.Peek(',')) {
            ++r.pos_;
            continue;
          }
          if (!r.Expect('}')) return fail(r.Error());
          break;
        }
      }
      if (r.Peek(',')) {
        ++r.pos_;
        continue;
      }
      if (!r.Expect('}')) return fail(r.Error());
      break;
    }
  }
  if (!r.AtEnd()) return fail("text after the end of the profile");
  out = block;
  return true;
}

}  // namespace kelvane
