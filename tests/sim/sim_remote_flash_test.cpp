// The simulated far end of a dialled line (its number, model and a dropped
// line) and the firmware loader's checks of what it receives.

#include <gtest/gtest.h>

#include "sim/simulated_modem.h"

namespace kelvane {
namespace {

std::string Dial(SimulatedModem& m, const std::string& number) {
  m.Receive("ATD" + number + "\r", {});
  m.Advance(m.Now() + 2000);
  return m.TakeOutput();
}

TEST(SimulatedFarEnd, OnlyTheRemoteNumberAnswers) {
  struct Case {
    const char* remoteNumber;
    const char* dialled;
    const char* result;
  };
  const Case cases[] = {
      {"5551234", "5551234", "CONNECT"},
      {"5551234", "5559999", "NO ANSWER"},
      {"", "42", "CONNECT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dialled);
    SimulatedModem m(2);
    m.Options().remoteNumber = c.remoteNumber;
    EXPECT_NE(Dial(m, c.dialled).find(c.result), std::string::npos);
  }
}

TEST(SimulatedFarEnd, FarModelAndADroppedLine) {
  SimulatedModem m(2);
  m.Options().farArticle = "7730-46";
  m.Options().dropLineAfter = 3;
  EXPECT_EQ(m.FarModem().ModelType(), 4);
  ASSERT_NE(Dial(m, "1").find("CONNECT"), std::string::npos);
  m.Advance(m.Now() + 1200);
  EXPECT_EQ(m.Receive("++++", {}), "\r\nC_PASSWORD:");
  EXPECT_EQ(m.Receive("\r", {}), "\r\n>");
  EXPECT_NE(m.Receive("ATI9\r", {}).find("7730-46"), std::string::npos);
  EXPECT_NE(m.Receive("ATS0?\r", {}).find("OK"), std::string::npos);
  // The third line never reaches the far modem: the call is gone.
  const std::string dropped = m.Receive("AT&V\r", {});
  EXPECT_NE(dropped.find("\r\nNO CARRIER\r\n"), std::string::npos) << dropped;
  EXPECT_EQ(dropped.find("OK"), std::string::npos);
  EXPECT_FALSE(m.Connected());
  EXPECT_FALSE(m.InRemoteSession());
  EXPECT_EQ(m.Receive("AT\r", {}), "AT\r\r\nOK\r\n");

  // A line cut at a command of the session: the far modem took the command,
  // nothing answers it, and the cut is reported once.
  SimulatedModem cut(2);
  cut.Options().cutFarLineOn = "ats";
  ASSERT_NE(Dial(cut, "1").find("CONNECT"), std::string::npos);
  cut.Advance(cut.Now() + 1200);
  EXPECT_EQ(cut.Receive("++++", {}), "\r\nC_PASSWORD:");
  EXPECT_EQ(cut.Receive("\r", {}), "\r\n>");
  EXPECT_NE(cut.Receive("ATI9\r", {}).find("OK"), std::string::npos);
  EXPECT_FALSE(cut.TakeLineCut());
  const std::string unanswered = cut.Receive("ATS0=2\rAT&V\r", {});
  EXPECT_EQ(unanswered.find("OK"), std::string::npos) << unanswered;
  EXPECT_TRUE(cut.TakeLineCut());
  EXPECT_FALSE(cut.TakeLineCut());
  ASSERT_FALSE(cut.FarModem().ReceivedLines().empty());
  EXPECT_EQ(cut.FarModem().ReceivedLines().back(), "ATS0=2");
}

TEST(SimulatedLoader, ChecksTheRecords) {
  struct Case {
    const char* name;
    std::vector<std::string> records;
    bool succeeds;
  };
  const Case cases[] = {
      {"S-records", {"S00600004844521B", "", "S1130000285F245F2212226A000424290008237C2A", "S9030000FC"}, true},
      {"Intel hex", {":10010000214601360121470136007EFE09D2190140", ":00000001FF"}, true},
      {"bad checksum", {"S1130000285F245F2212226A000424290008237C2B", "S9030000FC"}, false},
      {"wrong count", {"S1120000285F245F2212226A000424290008237C2A", "S9030000FC"}, false},
      {"not a record", {"hello world", "S9030000FC"}, false},
      {"no end record", {"S1130000285F245F2212226A000424290008237C2A"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedModem m(3);
    m.Receive("AT**\r", {});
    std::string acks;
    for (const std::string& r : c.records) acks += m.Receive(r + "\r\n", {});
    EXPECT_EQ(acks, std::string(c.records.size(), '.'));
    m.Advance(m.Now() + 5000);
    const std::string out = m.TakeOutput();
    EXPECT_NE(out.find(c.succeeds ? "Download Success" : "Download failed"), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace kelvane
