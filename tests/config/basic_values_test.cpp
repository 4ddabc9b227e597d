#include "config/basic_values.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kelvane {
namespace {

TEST(BasicValues, CountryListKeepsItsOrderAndBlanks) {
  const auto& items = CountryItems();
  ASSERT_EQ(items.size(), 69u);
  EXPECT_EQ(items.front(), "B8 - Armenia");
  EXPECT_EQ(items[1], "07 - Argentina ");
  EXPECT_EQ(items[2], "B8 - Armenia ");
  EXPECT_EQ(items[38], "73 - Mexico  ");
  EXPECT_EQ(items[66], "C7 - Universal");
  EXPECT_EQ(items.back(), "B5 - USA");
  for (const std::string& item : items) EXPECT_EQ(item.substr(2, 3), " - ") << item;
}

TEST(BasicValues, CountryCodesMapToTheFirstItemOfTheirCode) {
  struct Case {
    int code;
    const char* shown;  // nullptr: no item, the combo is disabled
  } cases[] = {{0xB8, "B8 - Armenia"}, {0x2E, "2E - Czech Rep"}, {0xC7, "C7 - Universal"},
               {0x00, "00 - Japan"},    {0x04, "04 - Germany"},   {0x12, nullptr},
               {0x1B8, nullptr},        {-1, nullptr},            {0xB5, "B5 - USA"}};
  for (const Case& c : cases) {
    const int index = CountryIndex(c.code);
    if (!c.shown) {
      EXPECT_EQ(index, -1) << c.code;
      continue;
    }
    ASSERT_GE(index, 0) << c.code;
    EXPECT_EQ(CountryItems()[static_cast<size_t>(index)], c.shown);
    // Whichever item shows it, the stored code is the record's.
    EXPECT_EQ(CountryCodeOfItem(CountryItems()[static_cast<size_t>(index)]), c.code);
  }
  // Every item stores its own code ("2E - Slovakia" and "2E - Czech Rep" alike).
  for (const std::string& item : CountryItems()) {
    EXPECT_EQ(CountryIndex(CountryCodeOfItem(item)) >= 0, true) << item;
  }
  EXPECT_EQ(CountryCodeOfItem("7B - The Netherlands"), 0x7B);
  EXPECT_EQ(CountryCodeOfItem(""), 0);
}

TEST(BasicValues, CompressionPairsAndTheirTolerantLoad) {
  struct Case {
    int n, c, index;
  } loads[] = {{0, 0, 0}, {1, 0, 1}, {3, 3, 2}, {4, 2, 3}, {5, 1, 4},
               {3, 0, 2}, {0, 3, 2}, {2, 2, 2}, {4, 1, 2}, {-1, 7, 2}};
  for (const Case& l : loads) EXPECT_EQ(CompressionIndex(l.n, l.c), l.index) << l.n << "," << l.c;

  const CompressionPair stored[] = {{0, 0}, {1, 0}, {3, 3}, {4, 2}, {5, 1}};
  for (int i = 0; i < 5; ++i) {
    CompressionPair p{-9, -9};
    ASSERT_TRUE(CompressionPairAt(i, p));
    EXPECT_EQ(p.errorCorrectionN, stored[i].errorCorrectionN);
    EXPECT_EQ(p.compressionC, stored[i].compressionC);
    // Every listed pair loads back to its own index.
    EXPECT_EQ(CompressionIndex(p.errorCorrectionN, p.compressionC), i);
  }
  CompressionPair untouched{7, 7};
  EXPECT_FALSE(CompressionPairAt(-1, untouched));
  EXPECT_FALSE(CompressionPairAt(5, untouched));
  EXPECT_EQ(untouched.errorCorrectionN, 7);
}

TEST(BasicValues, CarrierNamesAreRewrittenInOrder) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"AUTO,1,300,33600,300,33600", "V32B,1,300,33600,300,33600"},
               {"V32B,1,4800,14400,4800,14400", "V32,1,4800,14400,4800,14400"},
               {"AUTOV8,1,0,0,0,0", "V34,1,0,0,0,0"},
               {"V34", "V34"},
               {"AUTOAUTO", "V32BV32B"}};
  for (const Case& c : cases) EXPECT_EQ(RewriteCarrierNames(c.in), c.out);
}

TEST(BasicValues, ModulationViewSelectsWhatItsTextNames) {
  struct Case {
    const char* text;
    const char* carrier;
    int automode, txMin, txMax, rxMin, rxMax;  // selected texts' indices
  } cases[] = {
      // No comma: Automode on, every rate "0".
      {"V34", "V34", 0, 0, 0, 0, 0},
      {"V34,1,2400,33600,2400,33600", "V34", 0, 1, 1, 1, 1},
      {"V34,0,4800,31200,2400,28800", "V34", 1, 2, 2, 1, 3},
      // Rates the carrier lacks show as "0".
      {"V32B,1,300,33600,300,33600", "V32B", 0, 0, 0, 0, 0},
      // An unknown carrier shows the first one.
      {"X99,1,300,300,300,300", "V21", 0, 1, 1, 1, 1},
      // The sixth part is the rest of the text.
      {"V21,1,300,300,300,300,9", "V21", 0, 1, 1, 1, 0},
      {"", "V21", 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const ModulationView v = ViewModulation(c.text);
    EXPECT_STREQ(Carriers()[static_cast<size_t>(v.carrier)].name, c.carrier) << c.text;
    EXPECT_EQ(v.automode, c.automode) << c.text;
    EXPECT_EQ(v.txMinSel, c.txMin) << c.text;
    EXPECT_EQ(v.txMaxSel, c.txMax) << c.text;
    EXPECT_EQ(v.rxMinSel, c.rxMin) << c.text;
    EXPECT_EQ(v.rxMaxSel, c.rxMax) << c.text;
  }
}

TEST(BasicValues, RateListsRunBothWays) {
  ASSERT_EQ(Carriers().size(), 14u);
  const ModulationView v = ViewCarrier(10);  // V90A
  EXPECT_STREQ(Carriers()[10].name, "V90A");
  ASSERT_EQ(v.txMin.size(), 15u);
  ASSERT_EQ(v.rxMin.size(), 29u);
  EXPECT_EQ(v.txMin[0], "0");
  EXPECT_EQ(v.txMin[1], "2400");
  EXPECT_EQ(v.txMin.back(), "33600");
  EXPECT_EQ(v.txMax[1], "33600");
  EXPECT_EQ(v.txMax.back(), "2400");
  EXPECT_EQ(v.rxMin.back(), "57333");
  EXPECT_EQ(v.rxMax[1], "57333");
  EXPECT_EQ(v.rxMax.back(), "2400");
  EXPECT_EQ(v.rxMax[0], "0");
  // V90D is V90A the other way round.
  EXPECT_EQ(Carriers()[11].tx, Carriers()[10].rx);
  EXPECT_EQ(Carriers()[11].rx, Carriers()[10].tx);
  for (const Carrier& c : Carriers()) {
    EXPECT_LE(c.tx.size(), 30u);
    EXPECT_LE(c.rx.size(), 30u);
  }
}

TEST(BasicValues, ModulationTextFitsItsField) {
  EXPECT_EQ(ModulationText("V34", "1 - On", "2400", "33600", "2400", "33600"), "V34,1,2400,33600,2400,33600");
  EXPECT_EQ(ModulationText("V34", "0 - Off", "0", "0", "0", "0"), "V34,0,0,0,0,0");

  char field[kModulationSize + 4];
  std::memset(field, 'x', sizeof field);
  const std::string longest = ModulationText("V90A", "1 - On", "33600", "33600", "57333", "57333");
  EXPECT_EQ(longest.size(), 30u);
  StoreModulationField(field, longest);
  EXPECT_EQ(ModulationFieldText(field), longest);
  EXPECT_EQ(field[31], 0);
  // 40 characters: 32 are kept, without a terminating zero, and the bytes
  // after the field are not touched.
  StoreModulationField(field, std::string(40, 'M'));
  EXPECT_EQ(ModulationFieldText(field), std::string(32, 'M'));
  EXPECT_EQ(field[32], 'x');
  StoreModulationField(field, "V21");
  EXPECT_EQ(ModulationFieldText(field), "V21");
  EXPECT_EQ(field[31], 0);
}

}  // namespace
}  // namespace kelvane
