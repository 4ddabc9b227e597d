#pragma once
// Firmware files for the flash tests: S-record text as the loader takes it.

#include <cstdio>
#include <string>

namespace kelvane::testing {

// A header line, `count - 2` data records and (with `endRecord`) the end
// record; `badRecord` spoils the checksum of the record in the middle.
inline std::string FirmwareText(int count, bool badRecord = false, bool endRecord = true) {
  std::string text = "S00F000068656C6C6F202020202000003C\r\n";
  for (int i = 0; i < count - 2; ++i) {
    const int address = i * 16;
    int sum = 0x13 + (address >> 8) + (address & 0xFF);
    char line[64];
    int n = std::snprintf(line, sizeof line, "S113%04X", address & 0xFFFF);
    for (int k = 0; k < 16; ++k) {
      const int b = (i + k) & 0xFF;
      sum += b;
      n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X", b);
    }
    std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X", (~sum) & 0xFF);
    if (badRecord && i == count / 2) line[10] = line[10] == '0' ? '1' : '0';
    text += std::string(line) + "\r\n";
  }
  if (endRecord) text += "S9030000FC\r\n";
  return text;
}

}  // namespace kelvane::testing
