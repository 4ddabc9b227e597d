#include "config/field_copy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/adapter.h"
#include "config/field_table.h"

namespace kelvane {
namespace {

ConfigBlock ResetBlock() {
  CAdapter a;
  a.ResetConfiguration();
  return a.Config;
}

// A block in which every byte differs from the reset block.
ConfigBlock EveryByteOther() {
  const ConfigBlock reset = ResetBlock();
  ConfigBlock other;
  auto* out = reinterpret_cast<unsigned char*>(&other);
  const auto* in = reinterpret_cast<const unsigned char*>(&reset);
  for (size_t i = 0; i < sizeof other; ++i) out[i] = static_cast<unsigned char>(in[i] ^ (0x41 + i % 23));
  return other;
}

TEST(CopyFieldValue, EachNamedDifferenceCopiedAloneLeavesOnlyTheOthers) {
  const ConfigBlock file = EveryByteOther();
  const std::vector<FieldDifference> all = CompareBlocks(ResetBlock(), file);
  ASSERT_GT(all.size(), 100u);
  for (const FieldDifference& d : all) {
    if (d.name == "unused bytes") continue;
    SCOPED_TRACE(d.name);
    ConfigBlock here = ResetBlock();
    ASSERT_TRUE(CopyFieldValue(file, here, d.name));
    // Exactly this field now holds the file's value.
    const std::vector<FieldDifference> left = CompareBlocks(here, file);
    EXPECT_EQ(left.size(), all.size() - 1);
    for (const FieldDifference& l : left) EXPECT_NE(l.name, d.name);
  }
}

TEST(CopyFieldValue, CopiesTheWholeWidthOfAText) {
  ConfigBlock file = ResetBlock();
  std::memset(file.dial.StoredNumbers[1], 0, sizeof file.dial.StoredNumbers[1]);
  std::strcpy(file.dial.StoredNumbers[1], "12");
  ConfigBlock here = ResetBlock();
  std::memset(here.dial.StoredNumbers[1], '9', sizeof here.dial.StoredNumbers[1] - 1);
  ASSERT_TRUE(CopyFieldValue(file, here, "DialSettings.StoredNumbers[1]"));
  EXPECT_EQ(0, std::memcmp(here.dial.StoredNumbers[1], file.dial.StoredNumbers[1], sizeof file.dial.StoredNumbers[1]));
  EXPECT_STREQ(here.dial.StoredNumbers[2], ResetBlock().dial.StoredNumbers[2]);
}

TEST(CopyFieldValue, RefusesNamesThatAreNoFieldAndLeavesTheBlock) {
  const ConfigBlock file = EveryByteOther();
  const ConfigBlock reset = ResetBlock();
  for (const char* name :
       {"", ".", "BasicSettings", "BasicSettings.", "S0", "BasicSettings.S0[0]", "BasicSettings.S0x",
        "basicsettings.S0", "Nothing.S0", "DialSettings.StoredNumbers", "DialSettings.StoredNumbers[4]",
        "DialSettings.StoredNumbers[-1]", "DialSettings.StoredNumbers[]", "DialSettings.StoredNumbers[1",
        "DialSettings.StoredNumbers[1]x", "DialSettings.StoredNumbers[ 1]", "DialSettings.StoredNumbers[0x1]",
        "DialSettings.StoredNumbers[99999999999999999999999]", "IoSettings.Data2[10]"}) {
    SCOPED_TRACE(name);
    ConfigBlock here = ResetBlock();
    EXPECT_FALSE(CopyFieldValue(file, here, name));
    EXPECT_EQ(0, std::memcmp(&here, &reset, sizeof here));
  }
}

}  // namespace
}  // namespace kelvane
