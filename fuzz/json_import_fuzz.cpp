// Reads arbitrary text as the JSON of a profile (kelvane-cli import). A text
// that is refused leaves the block untouched; one that is taken prints back
// (show --json) as plain ASCII that reads back into the same bytes, and its
// words name the same fields as the block comparison, passwords masked.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>

#include "config/adapter.h"
#include "config/page_words.h"
#include "config/profile_json.h"

using namespace kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CAdapter fresh;
  ConfigBlock block = fresh.Config;
  std::string error;
  if (!BlockFromJson(text, block, error)) {
    if (error.empty() || std::memcmp(&block, &fresh.Config, sizeof block) != 0) std::abort();
    return 0;
  }
  const std::string json = BlockToJson(block);
  for (char c : json) {
    if (static_cast<unsigned char>(c) >= 0x80) std::abort();
  }
  // Unused bytes are not in the text: import takes them from a new profile.
  ConfigBlock back = fresh.Config;
  if (!BlockFromJson(json, back, error) || std::memcmp(&back, &block, sizeof block) != 0) std::abort();

  std::set<std::string> compared, named;
  for (const FieldDifference& d : CompareBlocks(fresh.Config, block)) compared.insert(d.name);
  for (const WordsDifference& d : CompareInWords(fresh.Config, block)) {
    named.insert(d.here.name);
    if (IsPasswordField(d.here.name) && !d.there.empty() && d.there != kMaskedPassword) std::abort();
  }
  if (compared != named) std::abort();
  return 0;
}
