#include "serial/serial_port.h"

#include <charconv>

namespace kelvane {

namespace {

bool ParseInt(std::string_view text, int& out) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end;
}

bool IsStandardRate(int baud) {
  switch (baud) {
    case 50: case 75: case 110: case 134: case 150: case 200: case 300: case 600:
    case 1200: case 1800: case 2400: case 4800: case 9600: case 19200: case 38400:
    case 57600: case 115200: case 230400: case 460800: case 921600:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool ParseSettingsText(std::string_view text, LineSettings& out) {
  std::string_view parts[4];
  size_t count = 0;
  while (count < 4) {
    const size_t comma = text.find(',');
    parts[count++] = text.substr(0, comma);
    if (comma == std::string_view::npos) {
      text = {};
      break;
    }
    text.remove_prefix(comma + 1);
  }
  if (count != 4 || !text.empty()) return false;

  LineSettings s;
  if (!ParseInt(parts[0], s.baud) || !IsStandardRate(s.baud)) return false;
  if (parts[1].size() != 1) return false;
  switch (parts[1][0]) {
    case 'N': case 'n': s.parity = 'N'; break;
    case 'O': case 'o': s.parity = 'O'; break;
    case 'E': case 'e': s.parity = 'E'; break;
    case 'M': case 'm': s.parity = 'M'; break;
    case 'S': case 's': s.parity = 'S'; break;
    default: return false;
  }
  if (!ParseInt(parts[2], s.dataBits) || s.dataBits < 5 || s.dataBits > 8) return false;
  if (!ParseInt(parts[3], s.stopBits) || (s.stopBits != 1 && s.stopBits != 2)) return false;
  out = s;
  return true;
}

std::string FormatSettingsText(const LineSettings& s) {
  return std::to_string(s.baud) + "," + s.parity + "," + std::to_string(s.dataBits) + "," +
         std::to_string(s.stopBits);
}

}  // namespace kelvane
