#include "config/json_text.h"

namespace kelvane {

namespace {

void Write(const Json& value, int depth, int inlineFrom, std::string& out) {
  if (!value.is_structured()) {
    // Texts come in as valid UTF-8 (Utf8FromLatin1); anything else is
    // replaced rather than thrown over.
    out += value.dump(-1, ' ', true, Json::error_handler_t::replace);
    return;
  }
  const bool object = value.is_object();
  const char open = object ? '{' : '[';
  const char close = object ? '}' : ']';
  if (value.empty() || depth >= inlineFrom) {
    out += open;
    bool first = true;
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (!first) out += ", ";
      first = false;
      if (object) out += Json(it.key()).dump(-1, ' ', true, Json::error_handler_t::replace) + ": ";
      Write(*it, depth + 1, inlineFrom, out);
    }
    out += close;
    return;
  }
  const std::string inner(static_cast<size_t>(2 * (depth + 1)), ' ');
  out += open;
  bool first = true;
  for (auto it = value.begin(); it != value.end(); ++it) {
    out += first ? "\n" : ",\n";
    first = false;
    out += inner;
    if (object) out += Json(it.key()).dump(-1, ' ', true, Json::error_handler_t::replace) + ": ";
    Write(*it, depth + 1, inlineFrom, out);
  }
  out += "\n" + std::string(static_cast<size_t>(2 * depth), ' ') + close;
}

}  // namespace

std::string JsonText(const Json& value, int inlineFrom) {
  std::string out;
  Write(value, 0, inlineFrom, out);
  return out;
}

std::string Utf8FromLatin1(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool Latin1FromUtf8(std::string_view text, std::string& out, unsigned long& beyond) {
  out.clear();
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // nlohmann-json hands over valid UTF-8 only; the lengths are still
    // checked so that no byte past the end is read.
    const size_t more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    if (i + more >= text.size()) {
      beyond = 0xFFFD;
      return false;
    }
    unsigned long code = c & (more == 1 ? 0x1F : more == 2 ? 0x0F : 0x07);
    for (size_t k = 1; k <= more; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    if (code > 0xFF) {
      beyond = code;
      return false;
    }
    out += static_cast<char>(code);
    i += more + 1;
  }
  return true;
}

}  // namespace kelvane
