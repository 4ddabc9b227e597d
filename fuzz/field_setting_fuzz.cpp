// Applies arbitrary lines as kelvane-cli set assignments (one a line). All or
// nothing: with an error the block is untouched; without one every text field
// keeps its terminating zero (Modulation may fill its 32 bytes) and the block
// still reads in the pages' words.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "config/adapter.h"
#include "config/field_setting.h"
#include "config/field_table.h"
#include "config/page_words.h"

using namespace kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> assignments;
  while (!rest.empty() && assignments.size() < 64) {
    const size_t end = rest.find('\n');
    assignments.emplace_back(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  CAdapter a;
  ConfigBlock block = a.Config;
  const SettingOutcome outcome = ApplyFieldSettings(block, assignments);
  if (!outcome.errors.empty()) {
    if (std::memcmp(&block, &a.Config, sizeof block) != 0 || !outcome.notes.empty()) std::abort();
    return 0;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(&block);
  for (const FieldInfo& f : ConfigFields()) {
    if (f.kind != FieldKind::Text && f.kind != FieldKind::TextArray) continue;
    if (std::string_view(f.name) == "Modulation") continue;
    for (size_t i = 0; i < f.count; ++i) {
      if (bytes[f.offset + f.width * (i + 1) - 1] != 0) std::abort();
    }
  }
  if (DescribeBlock(block).empty()) std::abort();
  return 0;
}
