#include "config/serial_values.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kelvane {
namespace {

TEST(SerialValues, BaudRatesFindTheirItem) {
  struct Case {
    int rate;
    int index;
  } cases[] = {{0, 0}, {1200, 1}, {9600, 4}, {115200, 8}, {300, -1}, {-9600, -1}, {14400, -1}};
  for (const Case& c : cases) EXPECT_EQ(BaudRateIndex(c.rate), c.index) << c.rate;
}

TEST(SerialValues, FormatRulesLeaveNineFormats) {
  struct Case {
    DteFormat shown;
    const char* stored;
  } cases[] = {
      {{7, 1, 'N'}, "8N1"}, {{8, 1, 'N'}, "8N1"}, {{7, 1, 'E'}, "7E1"}, {{7, 1, 'O'}, "7O1"},
      {{8, 1, 'E'}, "8E1"}, {{8, 1, 'O'}, "8O1"}, {{8, 2, 'N'}, "8N2"}, {{8, 2, 'E'}, "8N2"},
      {{8, 2, 'O'}, "8N2"}, {{7, 2, 'N'}, "7N2"}, {{7, 2, 'E'}, "7E2"}, {{7, 2, 'O'}, "7O2"},
  };
  std::set<std::string> formats;
  for (const Case& c : cases) {
    const DteFormat f = ApplyFormatRules(c.shown);
    const std::string text = std::to_string(f.dataBits) + f.parity + std::to_string(f.stopBits);
    EXPECT_EQ(text, c.stored);
    formats.insert(text);
  }
  EXPECT_EQ(formats.size(), 9u);
}

TEST(SerialValues, ListsKeepTheirTexts) {
  EXPECT_EQ(DtrControlItems().size(), 5u);
  EXPECT_EQ(DtrControlItems().back(), "");
  EXPECT_EQ(BaudRateItems().front(), "0 - Auto");
  EXPECT_EQ(ReducedResultItems()[3], "3 - Enables monitoring ");
  EXPECT_EQ(EnhancedResultItems()[1], "1 - DTE-, DCE-Speed  & Error Corr");
}

}  // namespace
}  // namespace kelvane
