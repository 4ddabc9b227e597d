#include "config/entry_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kelvane {
namespace {

// A field with a guard byte behind it, to see that nothing is written past
// its end.
struct Field21 {
  char text[21];
  char guard = 'G';
};

Field21 WithBytes(const std::string& bytes) {
  Field21 f;
  std::memset(f.text, 0, sizeof f.text);
  std::memcpy(f.text, bytes.data(), bytes.size() < sizeof f.text ? bytes.size() : sizeof f.text);
  return f;
}

TEST(EntryRules, ShownTextShowsWhatTheEditCanHold) {
  struct Case {
    std::string field;
    std::size_t limit;
    std::string shown;
  } cases[] = {
      {"0123", 20, "0123"},
      {"", 20, ""},
      {"12345678901234", 12, "123456789012"},        // longer than the edit
      {"12\x01" "34\r\n", 20, "1234"},                // control characters dropped
      {"abc\x7f", 20, "abc"},
      {std::string(21, '7'), 30, std::string(21, '7')},  // no terminating zero: stops at the size
  };
  for (const auto& c : cases) {
    const Field21 f = WithBytes(c.field);
    EXPECT_EQ(ShownText(f.text, sizeof f.text, c.limit), c.shown) << c.field;
  }
}

TEST(EntryRules, StoreTextCopiesEditedTextAndKeepsWhatTheEditCouldNotShow) {
  struct Case {
    const char* what;
    std::string field;
    std::size_t limit;
    std::string edit;
    std::string stored;
  } cases[] = {
      {"edited", "111", 20, "222", "222"},
      {"emptied", "111", 20, "", ""},
      {"cut at the limit", "", 5, "1234567", "12345"},
      {"cut at the field", "", 40, std::string(30, '9'), std::string(20, '9')},
      {"control characters dropped", "", 20, "1\t2\x01", "12"},
      {"too long for the edit, untouched", "12345678901234", 12, "123456789012", "12345678901234"},
      {"control characters, untouched", "12\x01" "3", 20, "123", "12\x01" "3"},
      {"control characters, edited", "12\x01" "3", 20, "1234", "1234"},
  };
  for (const auto& c : cases) {
    Field21 f = WithBytes(c.field);
    StoreText(f.text, sizeof f.text, c.limit, c.edit);
    EXPECT_EQ(std::string(f.text, strnlen(f.text, sizeof f.text)), c.stored) << c.what;
    EXPECT_EQ(f.text[20], '\0') << c.what;
    EXPECT_EQ(f.guard, 'G') << c.what;
  }
}

TEST(EntryRules, StoreTextClearsTheRestOfTheField) {
  Field21 f = WithBytes("12345678");
  StoreText(f.text, sizeof f.text, 20, "9");
  for (std::size_t i = 1; i < sizeof f.text; ++i) EXPECT_EQ(f.text[i], '\0') << i;
}

TEST(EntryRules, NumbersStoreTheLeadingIntegerUnlessUntouched) {
  struct Case {
    int32_t value;
    std::size_t limit;
    std::string edit;
    int32_t stored;
  } cases[] = {
      {0, 3, "999", 999},   // no range check
      {5, 3, "x", 0},       // no leading integer
      {5, 3, "", 0},
      {5, 3, "12a", 12},
      {5, 1, "7", 7},
      {12345, 3, "123", 12345},  // the edit shows only "123": untouched
      {12345, 3, "12", 12},
      {-4, 3, "-4", -4},
  };
  for (const auto& c : cases) {
    int32_t value = c.value;
    StoreNumber(value, c.limit, c.edit);
    EXPECT_EQ(value, c.stored) << c.value << " / \"" << c.edit << "\"";
  }
  EXPECT_EQ(ShownNumber(12345, 3), "123");
}

TEST(EntryRules, TableNumbersHoldOnlyDigitsAndPlus) {
  struct Case {
    std::string text;
    bool accepted;
  } cases[] = {
      {"", true},       {"0123", true}, {"+468", true}, {"+46 8", false},
      {"0123-", false}, {"12a", false}, {"#1", false},  {"1\r", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsTableNumber(c.text), c.accepted) << c.text;
}

TEST(EntryRules, RefusedTableNumberKeepsTheField) {
  struct Case {
    std::string field;
    std::string edit;
    bool accepted;
    std::string stored;
  } cases[] = {
      {"0123", "0123-", false, "0123"},
      {"0123", "+468", true, "+468"},
      {"0123", "", true, ""},
      {"0123", "+46 8", false, "0123"},
      // A stored text the rule would refuse is shown and kept while the
      // edit still shows it; it is not refused over and over.
      {"12a", "12a", true, "12a"},
      {"12a", "12a5", false, "12a"},
      {"12a", "12", true, "12"},
  };
  for (const auto& c : cases) {
    Field21 f = WithBytes(c.field);
    EXPECT_EQ(StoreTableNumber(f.text, sizeof f.text, 20, c.edit), c.accepted) << c.edit;
    EXPECT_EQ(std::string(f.text), c.stored) << c.edit;
  }
}

TEST(EntryRules, RefusedCaretStandsWhereTheCharacterWasTyped) {
  EXPECT_EQ(RefusedCaret(5, 4), 4);   // "-" typed after "0123"
  EXPECT_EQ(RefusedCaret(1, 4), 0);   // typed in front
  EXPECT_EQ(RefusedCaret(0, 4), 0);   // never before the start
  EXPECT_EQ(RefusedCaret(12, 3), 3);  // pasted text longer than what comes back
}

TEST(EntryRules, AQuoteInAQuotedTextIsFoundInPageOrder) {
  ConfigBlock block{};
  std::string error;
  EXPECT_TRUE(CheckSentTexts(block, error));
  std::strcpy(block.callback.CallbackPasswords[9], "pass\"wd");
  std::strcpy(block.io.Data3[9], "\"");
  std::strcpy(block.remote.RemotePassword, "\"");
  EXPECT_FALSE(CheckSentTexts(block, error));
  // The first in the order of the pages.
  EXPECT_EQ(error,
            "CallbackSettings.CallbackPasswords[9]: a double quote (\") is not taken: the modem gets this text "
            "inside double quotes");
}

}  // namespace
}  // namespace kelvane
