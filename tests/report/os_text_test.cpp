#include "report/os_text.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(OsText, PrettyNameWithQuotesAndEscapes) {
  EXPECT_EQ(DistributionName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(DistributionName("PRETTY_NAME='Single quoted'\r\n"), "Single quoted");
  EXPECT_EQ(DistributionName("PRETTY_NAME=Bare\n"), "Bare");
  EXPECT_EQ(DistributionName("PRETTY_NAME=\"Say \\\"hi\\\"\"\n"), "Say \"hi\"");
  // An unterminated quote or a trailing backslash stays inside the text.
  EXPECT_EQ(DistributionName("PRETTY_NAME=\"Open\\"), "Open\\");
  EXPECT_EQ(DistributionName(std::string("PRETTY_NAME=\"") + std::string(5000, 'x')).size(), 200u);
}

TEST(OsText, FallsBackToNameAndVersionThenLinux) {
  EXPECT_EQ(DistributionName("NAME=Fedora\nVERSION=\"39 (Workstation)\"\n"), "Fedora 39 (Workstation)");
  EXPECT_EQ(DistributionName("NAME=Alpine\n"), "Alpine");
  EXPECT_EQ(DistributionName("XPRETTY_NAME=no\nPRETTY_NAMES=no\n"), "Linux");
  EXPECT_EQ(DistributionName(""), "Linux");
  EXPECT_EQ(OsDescription("Debian", "6.1.0"), "Debian, kernel 6.1.0");
  EXPECT_EQ(OsDescription("Debian", ""), "Debian");
  EXPECT_NE(OsDescription().find(", kernel "), std::string::npos);
}

}  // namespace
}  // namespace kelvane
