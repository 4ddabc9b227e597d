#include "config/page_values.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace kelvane {
namespace {

TEST(PageValues, NumberedItemsAreFoundByTheirPrefix) {
  const std::vector<std::string> items = {"0 - Off", "1 - On", "10 - Ten", "12 - Twelve", "-1 - Minus"};
  struct Case {
    int value;
    int index;
  } cases[] = {{0, 0}, {1, 1}, {10, 2}, {12, 3}, {2, -1}, {-1, 4}, {100, -1}};
  for (const Case& c : cases) EXPECT_EQ(FindNumberedItem(items, c.value), c.index) << c.value;
  // "1 -" is not a prefix of "10 - Ten", and the first match wins.
  EXPECT_EQ(FindNumberedItem({"10 - Ten", "1 - One", "1 - Again"}, 1), 1);
  EXPECT_EQ(FindNumberedItem({}, 0), -1);
}

TEST(PageValues, ItemNumbersAndLeadingIntegers) {
  struct Case {
    const char* text;
    int none;
    int number;
  } items[] = {{"3 - DCD", 0, 3}, {"115200 - rate", 0, 115200}, {"-2 - x", 0, -2},
               {"Auto", 7, 7},    {"", -1, -1},                   {"- 5", 9, 9}};
  for (const Case& c : items) EXPECT_EQ(ItemNumber(c.text, c.none), c.number) << c.text;

  struct Edit {
    const char* text;
    int max;
    int value;
  } edits[] = {{"42", -1, 42},   {"  7 rings", -1, 7}, {"abc", -1, 0},      {"", 255, 0},
               {"300", 255, 255}, {"255", 255, 255},    {"-4", 255, -4},     {"+8", -1, 8},
               {"99999999999999", -1, INT_MAX},          {"12a3", -1, 12}};
  for (const Edit& e : edits) EXPECT_EQ(LeadingInt(e.text, e.max), e.value) << e.text;
}

TEST(PageValues, TextFieldsKeepTheirTerminatingZero) {
  char field[6];
  struct Case {
    const char* text;
    const char* stored;
  } cases[] = {{"abc", "abc"}, {"abcde", "abcde"}, {"abcdefgh", "abcde"}, {"", ""}};
  for (const Case& c : cases) {
    std::memset(field, 'x', sizeof field);
    CopyFieldText(field, sizeof field, c.text);
    EXPECT_STREQ(field, c.stored);
    // The rest of the field is zero, so records compare equal after a copy.
    for (std::size_t i = std::strlen(c.stored); i < sizeof field; ++i) EXPECT_EQ(field[i], 0);
  }
  // A field full to its last byte (a modem text of the full size) is read
  // up to its size, never past it.
  const char full[4] = {'w', 'x', 'y', 'z'};
  EXPECT_EQ(FieldText(full, sizeof full), "wxyz");
  EXPECT_EQ(FieldText("ab\0cd", 5), "ab");
}

TEST(PageValues, RecordsCompareInWholeUnits) {
  unsigned char a[10] = {}, b[10] = {};
  EXPECT_FALSE(RecordsDiffer(a, b, sizeof a, 4));
  for (std::size_t at : {0u, 3u, 7u, 9u}) {
    std::memset(b, 0, sizeof b);
    b[at] = 1;
    EXPECT_TRUE(RecordsDiffer(a, b, sizeof a, 4)) << at;
    EXPECT_TRUE(RecordsDiffer(a, b, sizeof a, 2)) << at;
    // Bytes beyond the compared size do not count.
    EXPECT_EQ(RecordsDiffer(a, b, 8, 2), at < 8) << at;
  }
}

}  // namespace
}  // namespace kelvane
