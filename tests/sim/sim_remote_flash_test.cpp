// The simulated far end of a dialled line (its number, model and a dropped
// line) and the firmware loader's checks of what it receives.

#include <gtest/gtest.h>

#include "sim/simulated_modem.h"
#include "sim/telephone_network.h"

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

// Far modems of a network: any local modem reaches them by number, one call
// at a time, and a far modem keeps what one caller set for the next.
TEST(SimulatedFarEnd, ATelephoneNetworkOfSeveralLocalModems) {
  TelephoneNetwork network;
  network.AddFarModem("5551001", "7730-01", "");
  SimulatedModem first(2), second(2);
  first.Options().network = second.Options().network = &network;
  struct Case {
    SimulatedModem* caller;
    const char* dialled;
    const char* result;
    bool hangUpAfter;
  };
  const Case cases[] = {
      {&first, "T555-1001", "CONNECT", false},
      {&second, "5551001", "BUSY", false},
      {&second, "5559999", "NO ANSWER", false},
      {&first, "", "", true},
      {&second, "5551001", "CONNECT", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dialled);
    if (c.hangUpAfter) {
      c.caller->Advance(c.caller->Now() + 1200);
      c.caller->Receive("+++", {});
      c.caller->Advance(c.caller->Now() + 1200);
      c.caller->TakeOutput();
      EXPECT_NE(c.caller->Receive("ATH\r", {}).find("OK"), std::string::npos);
      continue;
    }
    EXPECT_NE(Dial(*c.caller, c.dialled).find(c.result), std::string::npos);
  }
  EXPECT_TRUE(second.Connected());
  second.Advance(second.Now() + 1200);
  EXPECT_EQ(second.Receive("++++", {}), "\r\nC_PASSWORD:");
  EXPECT_EQ(second.Receive("\r", {}), "\r\n>");
  EXPECT_NE(second.Receive("ATI9\r", {}).find("7730-01"), std::string::npos);
}

// After a flash the modem reports the version its header record names.
TEST(SimulatedLoader, ReportsTheFlashedVersion) {
  SimulatedModem m(3);
  m.Receive("AT**\r", {});
  m.TakeOutput();
  for (const char* r : {"S00A0000535720332E313564\r", "S1131000000102030405060708090A0B0C0D0E0F64\r",
                        "S9030000FC\r"}) {
    m.Receive(r, {});
  }
  m.Advance(m.Now() + 3000);
  EXPECT_NE(m.TakeOutput().find("Download Success"), std::string::npos);
  EXPECT_NE(m.Receive("ATI3\r", {}).find("SW 3.15"), std::string::npos);
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
