#include "config/dial_values.h"

#include <gtest/gtest.h>

#include <cstring>


namespace kelvane {
namespace {

DialSettings SampleDial() {
  DialSettings d;
  std::memset(&d, 0, sizeof d);
  d.HotCall = 1;
  d.DialAbort = 1;
  SetText(d.StoredNumbers[0], "0123456");
  SetText(d.StoredNumbers[3], "T9W5551234");
  SetText(d.BackupNumber, "+4687654321");
  d.BackupRetries = 3;
  d.BackupTime = 120;
  return d;
}

TEST(DialValues, ShowsTheRecord) {
  const DialSettings d = SampleDial();
  const DialView v = ShowDial(d, 3);
  EXPECT_EQ(v.hotCall, 1);
  EXPECT_EQ(v.dialAbort, 1);
  EXPECT_EQ(v.numbers[0], "0123456");
  EXPECT_EQ(v.numbers[1], "");
  EXPECT_EQ(v.numbers[3], "T9W5551234");
  EXPECT_TRUE(v.backup);
  EXPECT_EQ(v.backupNumber, "+4687654321");
  EXPECT_EQ(v.backupRetries, "3");
  EXPECT_EQ(v.backupTime, "120");
}

TEST(DialValues, ValuesOutsideTheListsShowNoSelectionAndAreKept) {
  DialSettings d = SampleDial();
  d.HotCall = 3;
  d.DialAbort = -1;
  const DialView v = ShowDial(d, 1);
  EXPECT_EQ(v.hotCall, -1);
  EXPECT_EQ(v.dialAbort, -1);
  StoreDial(v, d);
  EXPECT_EQ(d.HotCall, 3);
  EXPECT_EQ(d.DialAbort, -1);
}

TEST(DialValues, UnchangedViewLeavesTheRecordByteForByte) {
  for (int model : {1, 2, 3, 4}) {
    DialSettings d = SampleDial();
    // A number longer than the edit and the unused tail must survive too.
    std::memset(d.StoredNumbers[2], '5', sizeof d.StoredNumbers[2]);
    d.unused340[5] = 0x5A;
    const DialSettings before = d;
    StoreDial(ShowDial(d, model), d);
    EXPECT_EQ(std::memcmp(&before, &d, sizeof d), 0) << "model " << model;
  }
}

TEST(DialValues, BackupTakesPartOnlyOnModelType3) {
  for (int model : {1, 2, 4}) {
    DialSettings d = SampleDial();
    DialView v = ShowDial(d, model);
    EXPECT_FALSE(v.backup);
    EXPECT_EQ(v.backupNumber, "");
    // Even a view that carries backup texts leaves the record's backup alone.
    v.backupNumber = "999";
    v.backupRetries = "1";
    v.backupTime = "1";
    StoreDial(v, d);
    EXPECT_STREQ(d.BackupNumber, "+4687654321") << model;
    EXPECT_EQ(d.BackupRetries, 3);
    EXPECT_EQ(d.BackupTime, 120);
  }
}

TEST(DialValues, StoresEditsWithTheirLimits) {
  struct Case {
    const char* what;
    void (*edit)(DialView&);
    void (*check)(const DialSettings&);
  } cases[] = {
      {"combos store the index", [](DialView& v) { v.hotCall = 2; v.dialAbort = 0; },
       [](const DialSettings& d) { EXPECT_EQ(d.HotCall, 2); EXPECT_EQ(d.DialAbort, 0); }},
      {"a 40-character number keeps its first 31",
       [](DialView& v) { v.numbers[1] = std::string(40, '8'); },
       [](const DialSettings& d) {
         EXPECT_EQ(std::string(d.StoredNumbers[1]), std::string(31, '8'));
       }},
      {"backup number at most 16", [](DialView& v) { v.backupNumber = std::string(19, '1'); },
       [](const DialSettings& d) { EXPECT_EQ(std::string(d.BackupNumber), std::string(16, '1')); }},
      {"x in Time stores 0", [](DialView& v) { v.backupTime = "x"; },
       [](const DialSettings& d) { EXPECT_EQ(d.BackupTime, 0); }},
      {"retries leading integer", [](DialView& v) { v.backupRetries = "7"; },
       [](const DialSettings& d) { EXPECT_EQ(d.BackupRetries, 7); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DialSettings d = SampleDial();
    DialView v = ShowDial(d, 3);
    c.edit(v);
    StoreDial(v, d);
    c.check(d);
  }
}

}  // namespace
}  // namespace kelvane
