// Loads arbitrary bytes as a profile and, when they pass for one, writes the
// loaded block to a modem that accepts everything: whatever a profile holds
// (full texts without a zero, control characters, any numbers), every command
// sent is one line that begins with "AT".

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "config/entry_rules.h"
#include "config/profile.h"
#include "config/write_engine.h"
#include "fuzz_port.h"

using namespace kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ConfigBlock block{};
  const ConfigBlock before = block;
  if (!LoadProfileBytes(bytes, block)) {
    if (std::memcmp(&block, &before, sizeof block) != 0) std::abort();
    return 0;
  }
  // What was loaded saves back to the same bytes, as far as the file went.
  const std::string saved = ProfileBytes(block);
  const size_t n = std::min(size, ProfileFileSize);
  if (n > ProfileHeaderSize && saved.compare(ProfileHeaderSize, n - ProfileHeaderSize, bytes,
                                             ProfileHeaderSize, n - ProfileHeaderSize) != 0) {
    std::abort();
  }

  CAdapter a;
  fuzz::FuzzPort port;
  fuzz::FuzzUi ui(a);
  fuzz::ConnectIdentified(a, port);
  a.Config = block;
  for (auto& p : a.pages) p.valid = 1;
  port.respond = [](const std::string& line) { return line + "\r\r\nOK\r\n"; };
  // A text that would end its command early stops the write before anything
  // is sent; any other block is written whole.
  const bool quote = FindUnsendableText(block, SEC_ALL, a.ModelType).has_value();
  const size_t sentBefore = port.lines.size();
  if (WriteConfiguration(a, SEC_ALL) != (quote ? 0 : 1)) std::abort();
  if (quote && port.lines.size() != sentBefore) std::abort();
  for (const std::string& line : port.lines) {
    if (!line.empty() && line.compare(0, 2, "AT") != 0) std::abort();
    // Every line is one command: no semicolon stands outside its quoted texts
    // (a bare text may hold a lone double quote, which starts no command).
    bool inQuotes = false;
    for (char c : line) {
      if (static_cast<unsigned char>(c) < 0x20) std::abort();
      if (c == '"') inQuotes = !inQuotes;
      if (c == ';' && !inQuotes) std::abort();
    }
  }
  return 0;
}
