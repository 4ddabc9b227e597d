#include "config/callback_values.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kelvane {
namespace {

CallbackSettings SampleCallback() {
  CallbackSettings c;
  std::memset(&c, 0, sizeof c);
  c.CallbackMode = 4;
  c.CallbackTime = 30;
  for (int n = 0; n < kCallbackRows; ++n) {
    SetText(c.CallbackNumbers[n], "55500" + std::to_string(n));
    SetText(c.CallbackPasswords[n], "secret" + std::to_string(n));
  }
  return c;
}

TEST(CallbackValues, ModeIsTheItemIndex) {
  struct Case {
    int32_t mode;
    int shown;
  } cases[] = {{0, 0}, {6, 6}, {7, -1}, {9, -1}, {-1, -1}};
  for (const auto& c : cases) {
    CallbackSettings rec = SampleCallback();
    rec.CallbackMode = c.mode;
    const CallbackView v = ShowCallback(rec);
    EXPECT_EQ(v.mode, c.shown) << c.mode;
    StoreCallback(v, rec);
    EXPECT_EQ(rec.CallbackMode, c.mode) << "a mode the combo cannot show is kept";
  }
}

TEST(CallbackValues, DelayIsNotClipped) {
  CallbackSettings c = SampleCallback();
  CallbackView v = ShowCallback(c);
  EXPECT_EQ(v.delay, "30");
  v.delay = "999";
  StoreCallback(v, c);
  EXPECT_EQ(c.CallbackTime, 999);
}

TEST(CallbackValues, PasswordTypedIntoAnEmptyRow) {
  CallbackSettings c = SampleCallback();
  SetText(c.CallbackPasswords[0], "");
  CallbackView v = ShowCallback(c);
  struct Step {
    const char* typed;
    const char* stored;
  } steps[] = {{"a", ""}, {"abcd", ""}, {"abcde", ""}, {"abcdef", "abcdef"}, {"abcdefghijkl", "abcdefghijkl"}};
  for (const auto& s : steps) {
    v.passwords[0] = s.typed;
    StoreCallback(v, c);
    EXPECT_STREQ(c.CallbackPasswords[0], s.stored) << s.typed;
  }
}

TEST(CallbackValues, PasswordDeletedOneCharacterAtATime) {
  CallbackSettings c = SampleCallback();
  SetText(c.CallbackPasswords[1], "12345678");
  CallbackView v = ShowCallback(c);
  struct Step {
    const char* typed;
    const char* stored;
  } steps[] = {{"1234567", "1234567"}, {"123456", "123456"}, {"12345", "123456"},
               {"1", "123456"},        {"", ""}};
  for (const auto& s : steps) {
    v.passwords[1] = s.typed;
    StoreCallback(v, c);
    EXPECT_STREQ(c.CallbackPasswords[1], s.stored) << s.typed;
  }
}

TEST(CallbackValues, NumberRuleRefusesAndKeeps) {
  CallbackSettings c = SampleCallback();
  CallbackView v = ShowCallback(c);
  v.numbers[2] = "12a";
  v.numbers[3] = "+4612";
  v.passwords[2] = "changed!";
  EXPECT_EQ(StoreCallback(v, c), std::vector<int>{2});
  EXPECT_STREQ(c.CallbackNumbers[2], "555002");
  EXPECT_STREQ(c.CallbackNumbers[3], "+4612");
  // The row's password is judged on its own.
  EXPECT_STREQ(c.CallbackPasswords[2], "changed!");
}

TEST(CallbackValues, ClearedRowLeavesTheOthers) {
  CallbackSettings c = SampleCallback();
  const CallbackSettings before = c;
  CallbackView v = ShowCallback(c);
  v.numbers[2].clear();
  v.passwords[2].clear();
  EXPECT_TRUE(StoreCallback(v, c).empty());
  EXPECT_STREQ(c.CallbackNumbers[2], "");
  EXPECT_STREQ(c.CallbackPasswords[2], "");
  for (int n = 0; n < kCallbackRows; ++n) {
    if (n == 2) continue;
    EXPECT_STREQ(c.CallbackNumbers[n], before.CallbackNumbers[n]);
    EXPECT_STREQ(c.CallbackPasswords[n], before.CallbackPasswords[n]);
  }
}

TEST(CallbackValues, UntouchedViewKeepsWhatTheEditsCannotShow) {
  CallbackSettings c = SampleCallback();
  SetText(c.CallbackPasswords[5], "fifteen-chars!!");  // longer than the edit's 12
  SetText(c.CallbackPasswords[6], "abc");               // shorter than the rule allows
  SetText(c.CallbackNumbers[7], "12\x01" "34");
  std::memset(c.CallbackNumbers[8], '1', sizeof c.CallbackNumbers[8]);  // no terminating zero
  c.CallbackTime = 4096;
  c.unused1088[0] = 1;
  const CallbackSettings before = c;
  const CallbackView v = ShowCallback(c);
  EXPECT_EQ(v.passwords[5], "fifteen-char");
  EXPECT_EQ(v.numbers[7], "1234");
  EXPECT_EQ(v.delay, "409");
  EXPECT_TRUE(StoreCallback(v, c).empty());
  EXPECT_EQ(std::memcmp(&before, &c, sizeof c), 0);
}

}  // namespace
}  // namespace kelvane
