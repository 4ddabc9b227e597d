#include "config/callerid_values.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kelvane {
namespace {

CallerIdSettings SampleCallerId() {
  CallerIdSettings c;
  std::memset(&c, 0, sizeof c);
  c.CidFormat = 2;
  c.CidMode = 3;
  SetText(c.AcceptedNumbers[0], "0123");
  SetText(c.AcceptedNumbers[9], "+4687654321");
  return c;
}

TEST(CallerIdValues, ShowsTheRecord) {
  const CallerIdView v = ShowCallerId(SampleCallerId());
  EXPECT_EQ(v.format, 2);
  EXPECT_EQ(v.mode, 3);
  EXPECT_EQ(v.numbers[0], "0123");
  EXPECT_EQ(v.numbers[5], "");
  EXPECT_EQ(v.numbers[9], "+4687654321");
}

TEST(CallerIdValues, FormatSevenShowsNoSelectionAndIsKept) {
  CallerIdSettings c = SampleCallerId();
  c.CidFormat = 7;
  const CallerIdView v = ShowCallerId(c);
  EXPECT_EQ(v.format, -1);
  EXPECT_TRUE(StoreCallerId(v, c).empty());
  EXPECT_EQ(c.CidFormat, 7);
}

TEST(CallerIdValues, EntryFilter) {
  struct Case {
    std::string typed;
    std::string stored;
    bool refused;
  } cases[] = {
      {"0123-", "0123", true},
      {"+46 8", "0123", true},
      {"+468", "+468", false},
      {"", "", false},
      {std::string(25, '1'), std::string(20, '1'), false},  // the edit's limit
  };
  for (const auto& c : cases) {
    CallerIdSettings rec = SampleCallerId();
    CallerIdView v = ShowCallerId(rec);
    v.numbers[0] = c.typed;
    v.numbers[4] = "555";
    const std::vector<int> refused = StoreCallerId(v, rec);
    EXPECT_EQ(std::string(rec.AcceptedNumbers[0]), c.stored) << c.typed;
    EXPECT_EQ(refused == std::vector<int>{0}, c.refused) << c.typed;
    // The other entries are stored in the same pass.
    EXPECT_STREQ(rec.AcceptedNumbers[4], "555") << c.typed;
  }
}

TEST(CallerIdValues, SeveralRefusedEntriesAreAllReported) {
  CallerIdSettings c = SampleCallerId();
  CallerIdView v = ShowCallerId(c);
  v.numbers[2] = "a";
  v.numbers[7] = "1 2";
  EXPECT_EQ(StoreCallerId(v, c), (std::vector<int>{2, 7}));
  EXPECT_STREQ(c.AcceptedNumbers[2], "");
  EXPECT_STREQ(c.AcceptedNumbers[7], "");
}

TEST(CallerIdValues, ClearedListEmptiesEveryEntryAndKeepsTheTail) {
  CallerIdSettings c = SampleCallerId();
  c.unused570[33] = 0x77;
  CallerIdView v = ShowCallerId(c);
  for (auto& n : v.numbers) n.clear();
  EXPECT_TRUE(StoreCallerId(v, c).empty());
  for (const auto& n : c.AcceptedNumbers) EXPECT_EQ(std::string(n, sizeof n), std::string(21, '\0'));
  EXPECT_EQ(c.unused570[33], 0x77);
  EXPECT_EQ(c.CidFormat, 2);
}

TEST(CallerIdValues, StoredTextsTheFilterWouldRefuseSurviveOtherEdits) {
  CallerIdSettings c = SampleCallerId();
  std::memset(c.AcceptedNumbers[3], '9', sizeof c.AcceptedNumbers[3]);  // no terminating zero
  SetText(c.AcceptedNumbers[4], "12#3");
  const CallerIdSettings before = c;
  CallerIdView v = ShowCallerId(c);
  EXPECT_EQ(v.numbers[3], std::string(20, '9'));
  EXPECT_EQ(v.numbers[4], "12#3");
  v.mode = 1;
  EXPECT_TRUE(StoreCallerId(v, c).empty());
  EXPECT_EQ(c.CidMode, 1);
  EXPECT_EQ(std::memcmp(c.AcceptedNumbers, before.AcceptedNumbers, sizeof c.AcceptedNumbers), 0);
}

}  // namespace
}  // namespace kelvane
