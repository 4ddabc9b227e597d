#include "config/adapter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace kelvane {
namespace {

int32_t IntAt(const ConfigBlock& b, size_t offset) {
  int32_t v;
  std::memcpy(&v, reinterpret_cast<const uint8_t*>(&b) + offset, 4);
  return v;
}

TEST(ConfigBlock, ResetHoldsExactlyTheResetValuesAndZeroElsewhere) {
  CAdapter a;
  std::memset(&a.Config, 0xAB, sizeof a.Config);
  a.ResetConfiguration();
  const std::map<size_t, int32_t> words = {
      {4, 1},    {8, 1},     {12, 8},    {16, 1},   {24, 1},   {28, 1},   {48, 1},   {92, 2},
      {96, 50},  {100, 14},  {104, 5},   {112, 13}, {124, 3},  {128, 3},  {132, 0xC7}, {136, 5},
      {140, 2},  {1120, 100}, {1124, 50}};
  const auto* bytes = reinterpret_cast<const uint8_t*>(&a.Config);
  std::vector<bool> expectedSet(sizeof(ConfigBlock), false);
  for (const auto& [offset, value] : words) {
    EXPECT_EQ(IntAt(a.Config, offset), value) << "offset " << offset;
    for (size_t i = 0; i < 4; ++i) expectedSet[offset + i] = true;
  }
  EXPECT_EQ(bytes[36], 'N');
  expectedSet[36] = true;
  EXPECT_EQ(std::memcmp(bytes + 144, "V34", 3), 0);
  for (size_t i = 0; i < 3; ++i) expectedSet[144 + i] = true;
  for (size_t i = 0; i < sizeof(ConfigBlock); ++i) {
    if (!expectedSet[i]) {
      EXPECT_EQ(bytes[i], 0) << "offset " << i;
    }
  }
}

TEST(ConfigBlock, ParityIsOneByteWithZeroPadding) {
  CAdapter a;
  a.Config.serial.DteParity = 'E';
  const auto* bytes = reinterpret_cast<const uint8_t*>(&a.Config);
  EXPECT_EQ(bytes[36], 'E');
  EXPECT_EQ(bytes[37], 0);
  EXPECT_EQ(bytes[38], 0);
  EXPECT_EQ(bytes[39], 0);
  EXPECT_EQ(IntAt(a.Config, 40), 0);
}

TEST(ConfigBlock, ModulationMayFillAll32Bytes) {
  CAdapter a;
  const std::string full(32, 'M');
  SetTextFull(a.Config.basic.Modulation, full + "overflow");
  EXPECT_EQ(GetText(a.Config.basic.Modulation), full);
  // The neighbour after the field is untouched.
  EXPECT_EQ(a.Config.dial.HotCall, 0);
  SetTextFull(a.Config.basic.Modulation, "V34");
  EXPECT_EQ(GetText(a.Config.basic.Modulation), "V34");
}

TEST(ConfigBlock, TextFieldsKeepTheirTerminatingZero) {
  CAdapter a;
  SetText(a.Config.io.Data2[9], std::string(500, 'x'));
  EXPECT_EQ(GetText(a.Config.io.Data2[9]).size(), 160u);
  // Entry 10 of Data2 ends at 3123; Data3 entry 1 begins at 3124.
  const auto* bytes = reinterpret_cast<const uint8_t*>(&a.Config);
  EXPECT_EQ(bytes[3123], 0);
  EXPECT_EQ(bytes[3122], 'x');
  EXPECT_EQ(bytes[3124], 0);
  SetText(a.Config.dial.BackupNumber, "0123456789012345678901", 16);
  EXPECT_EQ(GetText(a.Config.dial.BackupNumber), "0123456789012345");
}

TEST(ConfigBlock, SectionBitsMapToTheirPages) {
  EXPECT_EQ(PageOfSection(SEC_BASIC), PG_BASIC);
  EXPECT_EQ(PageOfSection(SEC_SERIAL), PG_SERIAL);
  EXPECT_EQ(PageOfSection(SEC_IO), PG_IO);
  EXPECT_EQ(PageOfSection(0x42), -1);
}

TEST(Adapter, OneSharedInstance) {
  EXPECT_EQ(&GetAdapter(), &GetAdapter());
  EXPECT_EQ(GetAdapter().LinkState, LS_IDLE);
  EXPECT_EQ(GetAdapter().PortNumber, "-");
}

}  // namespace
}  // namespace kelvane
