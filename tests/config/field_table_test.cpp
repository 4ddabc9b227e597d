#include "config/field_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "config/adapter.h"
#include "config/json_text.h"

namespace kelvane {
namespace {

const FieldInfo& Field(const char* name) {
  for (const auto& f : ConfigFields()) {
    if (std::string(f.name) == name) return f;
  }
  throw std::runtime_error(name);
}

TEST(FieldTable, CoversEveryNamedFieldOnceWithoutOverlap) {
  std::set<size_t> bytes;
  size_t total = 0;
  for (const auto& f : ConfigFields()) {
    const size_t element = (f.kind == FieldKind::Int || f.kind == FieldKind::IntArray) ? 4 : f.width;
    // Within the bytes its section's row gives its record: what a page
    // snapshots and the comparison takes from the modem.
    const auto s = std::find_if(Sections().begin(), Sections().end(),
                                [&](const SectionInfo& s) { return std::string(s.record) == f.record; });
    ASSERT_NE(s, Sections().end()) << f.name;
    EXPECT_GE(f.offset, s->offset) << f.name;
    EXPECT_LE(f.offset + element * f.count, s->offset + s->size) << f.name;
    for (size_t i = 0; i < element * f.count; ++i) {
      EXPECT_TRUE(bytes.insert(f.offset + i).second) << f.name;
      EXPECT_LT(f.offset + i, sizeof(ConfigBlock)) << f.name;
    }
    total += element * f.count;
  }
  // Everything but the unused areas and the paddings.
  const size_t unusedAndPadding = 4 + 32 + 3 + 3 + 4 + 12 + 34 + 32 + 2 + 32 + 4 + 2 + 2 + 32;
  EXPECT_EQ(total, sizeof(ConfigBlock) - unusedAndPadding);
}

// Every item a combo offers, stored into the last element of its field,
// comes back as an item that stands for the same value, and leaves the
// other elements alone.
TEST(FieldTable, EveryComboItemIsStoredAndShownAgain) {
  for (const auto& f : ConfigFields()) {
    if (!f.items) continue;
    for (size_t i = 0; i < f.items().size(); ++i) {
      ConfigBlock block{};
      std::memset(&block, 0x5A, sizeof block);
      const ConfigBlock before = block;
      StoreItem(block, f, f.count - 1, static_cast<int>(i));
      const int shown = ShownItem(block, f, f.count - 1);
      ASSERT_GE(shown, 0) << f.FullName() << " item " << i;
      EXPECT_EQ(ItemValue(f, static_cast<size_t>(shown)), std::max(ItemValue(f, i), 0LL)) << f.FullName() << " item " << i;
      if (f.count > 1) {
        EXPECT_EQ(ElementNumber(block, f, 0), ElementNumber(before, f, 0)) << f.FullName();
      }
    }
  }
}

std::string FieldJsonText(const ConfigBlock& block, const FieldInfo& f) { return JsonText(FieldJson(block, f)); }

TEST(FieldTable, ValuesAsTextAndJson) {
  CAdapter a;
  SetTextFull(a.Config.basic.Modulation, std::string(32, 'V'));
  SetText(a.Config.dial.StoredNumbers[1], "0123 \"quoted\"\\");
  a.Config.serial.DteParity = 'E';
  EXPECT_EQ(FieldValueText(a.Config, Field("Modulation")), std::string(32, 'V'));
  EXPECT_EQ(FieldJsonText(a.Config, Field("DteParity")), "\"E\"");
  EXPECT_EQ(FieldJsonText(a.Config, Field("CountryCode")), "199");
  EXPECT_EQ(FieldJsonText(a.Config, Field("StoredNumbers")), R"(["", "0123 \"quoted\"\\", "", ""])");
  EXPECT_EQ(FieldJsonText(a.Config, Field("Service")), "[0, 0, 0, 0, 0, 0, 0, 0, 0, 0]");
  SetText(a.Config.remote.RemotePassword, "\x01\xE9");
  EXPECT_EQ(FieldJsonText(a.Config, Field("RemotePassword")), "\"\\u0001\\u00e9\"");
}

TEST(FieldTable, ComparisonNamesTheDifferingElements) {
  CAdapter a, b;
  EXPECT_TRUE(CompareBlocks(a.Config, b.Config).empty());
  b.Config.basic.S0 = 5;
  SetText(b.Config.io.Data2[9], "SMS text");
  reinterpret_cast<uint8_t*>(&b.Config)[3680] = 1;  // an unused byte
  const auto diffs = CompareBlocks(a.Config, b.Config);
  ASSERT_EQ(diffs.size(), 3u);
  EXPECT_EQ(diffs[0].name, "BasicSettings.S0");
  EXPECT_EQ(diffs[0].left, "2");
  EXPECT_EQ(diffs[0].right, "5");
  EXPECT_EQ(diffs[1].name, "IoSettings.Data2[9]");
  EXPECT_EQ(diffs[2].name, "unused bytes");
}

}  // namespace
}  // namespace kelvane
