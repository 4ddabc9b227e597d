#include "config/answer_cutting.h"

#include <gtest/gtest.h>

#include <climits>

namespace kelvane {
namespace {

TEST(AnswerCutting, KeysAreFoundOrReportedMissing) {
  EXPECT_EQ(TextAfter("S00:002 S07:050", "S07:"), "050");
  EXPECT_EQ(TextAfter("abc", "abc"), "");
  EXPECT_FALSE(TextAfter("abc", "abcd").has_value());
  EXPECT_FALSE(TextAfter("", "x").has_value());
  EXPECT_EQ(TextFrom("xx Norm V.34", "Norm"), "Norm V.34");
  EXPECT_EQ(SkipChars("ab", 2), "");
  EXPECT_FALSE(SkipChars("ab", 3).has_value());
  EXPECT_EQ(TextUpTo("pw\r\nOK", "\r"), "pw");
  EXPECT_EQ(TextUpTo("no delimiter", "\r"), "no delimiter");
  EXPECT_EQ(TextUpToAny("555 1=", " \r\n"), "555");
}

TEST(AnswerCutting, DecimalNumbersLikeTheModemWritesThem) {
  EXPECT_EQ(LeadingDecimal("  042 dB"), 42);
  EXPECT_EQ(LeadingDecimal("-21"), -21);
  EXPECT_EQ(LeadingDecimal("+7"), 7);
  EXPECT_EQ(LeadingDecimal("\r\n5"), 5);
  EXPECT_EQ(LeadingDecimal("dB"), 0);
  EXPECT_EQ(LeadingDecimal("-"), 0);
  EXPECT_EQ(LeadingDecimal(""), 0);
  EXPECT_EQ(LeadingDecimal("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(LeadingDecimal("-99999999999999999999999"), INT_MIN);
  EXPECT_EQ(LeadingDecimal("2147483647"), INT_MAX);
  EXPECT_EQ(LeadingDecimal("-2147483648"), INT_MIN);
  EXPECT_EQ(Negated(INT_MIN), INT_MAX);
  EXPECT_EQ(Negated(21), -21);
}

TEST(AnswerCutting, HexNumbers) {
  EXPECT_EQ(LeadingHex("C7"), 0xC7);
  EXPECT_EQ(LeadingHex(" 3d\r"), 0x3D);
  EXPECT_EQ(LeadingHex("xyz"), 0);
  EXPECT_EQ(LeadingHex("FFFFFFFFFFFF"), INT_MAX);
}

TEST(AnswerCutting, ReplacementsDoNotOverlapOrRescan) {
  EXPECT_EQ(ReplaceAll("AUTOAUTO", "AUTO", "V32B"), "V32BV32B");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("V32B", "V32B", "V32B,V32B"), "V32B,V32B");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(WithoutChars("1 2\r\n3", " \r\n"), "123");
}

TEST(AnswerCutting, EchoIsRemovedOnlyWhenPresent) {
  EXPECT_EQ(WithoutEcho("AT*WFD?\r\r\n*WFD: 1", "AT*WFD?"), "\r\r\n*WFD: 1");
  EXPECT_EQ(WithoutEcho("\r\n*WFD: 1", "AT*WFD?"), "\r\n*WFD: 1");
  EXPECT_EQ(WithoutEcho("AT", "AT*WFD?"), "AT");
  EXPECT_EQ(WithoutEcho("AT*WFD?", ""), "AT*WFD?");
}

}  // namespace
}  // namespace kelvane
