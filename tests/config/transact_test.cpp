#include "support/rig.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

using testing::Rig;
using testing::TinyModem;
using testing::VirtualUi;

TEST(TimeoutUnit, FollowsBaudRateAndResponseTimeout) {
  CAdapter a;
  a.Options.ResponseTimeout = 1;
  a.SetTimeoutUnit(9600);
  EXPECT_EQ(a.TimeoutTicks, 40);
  a.Options.ResponseTimeout = 5;
  a.SetTimeoutUnit(300);
  EXPECT_EQ(a.TimeoutTicks, 270);
  a.Options.ResponseTimeout = 0;
  a.SetTimeoutUnit(115200);
  EXPECT_EQ(a.TimeoutTicks, 10);
  a.SetTimeoutUnit(2400);
  EXPECT_EQ(a.TimeoutTicks, 25);
  a.ProbeMode = true;
  a.SetTimeoutUnit(9600);
  EXPECT_EQ(a.TimeoutTicks, 4);
}

TEST(TimeoutUnit, OutOfRangeStoredValueIsFoldedAndKept) {
  CAdapter a;
  a.Options.ResponseTimeout = 7;
  a.SetTimeoutUnit(9600);
  EXPECT_EQ(a.Options.ResponseTimeout, 1);
  EXPECT_EQ(a.TimeoutTicks, 40);
  a.Options.ResponseTimeout = -1;
  a.SetTimeoutUnit(9600);
  EXPECT_GT(a.TimeoutTicks, 0);
}

TEST(TickCount, WrapsAfterThousandAndOne) {
  CAdapter a;
  a.TickCount = 1000;
  a.OnTimerTick();
  EXPECT_EQ(a.TickCount, 1001);
  a.OnTimerTick();
  EXPECT_EQ(a.TickCount, 1);
}

TEST(Transact, MatchReturnsTheCollectedAnswer) {
  Rig r;
  TinyModem modem;
  r.port.respond = std::ref(modem);
  ASSERT_TRUE(r.Open());
  std::string command = "ATI9";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n", MatchExact), 1);
  EXPECT_NE(command.find("7730-08"), std::string::npos);
  EXPECT_EQ(r.port.sentLines.back(), "ATI9");
  EXPECT_EQ(r.a.RThreshold, 1);
}

TEST(Transact, BudgetRunsOutOnVirtualTime) {
  Rig r;
  ASSERT_TRUE(r.Open());  // 9600 baud, ResponseTimeout 1: 40 ticks = 2 s
  const long long start = r.ui.NowMs();
  std::string command = "AT";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n", "0\r"), 0);
  EXPECT_EQ(command, "");
  EXPECT_GE(r.ui.NowMs() - start, 2000);
  EXPECT_LE(r.ui.NowMs() - start, 2050);

  command = "AT";
  const long long second = r.ui.NowMs();
  EXPECT_EQ(r.a.Transact(command, 3, "OK\r\n"), 0);
  EXPECT_GE(r.ui.NowMs() - second, 6000);
}

TEST(Transact, ExactNeedsContiguousTextInOrderDoesNot) {
  Rig r;
  r.port.respond = [](const std::string&) { return std::string("O-K\r-\n"); };
  ASSERT_TRUE(r.Open());
  std::string command = "AT";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n", MatchExact), 0);
  command = "AT";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n", MatchInOrder), 1);
  EXPECT_EQ(command, "O-K\r-\n");
}

TEST(Transact, InOrderLetsOneCharacterServeTwoEqualNeighbours) {
  Rig r;
  r.port.respond = [](const std::string&) { return std::string("x0\ry"); };
  ASSERT_TRUE(r.Open());
  std::string command = "AT";
  // "0\r\r" is satisfied by the single CR.
  EXPECT_EQ(r.a.Transact(command, 1, "0\r\r"), 1);
}

TEST(Transact, EchoOfQ0DoesNotEndTheNumericWaitEarly) {
  Rig r;
  TinyModem modem;
  modem.verbose = false;
  modem.quiet = true;
  r.port.respond = std::ref(modem);
  ASSERT_TRUE(r.Open());
  std::string command = "ATQ0";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n", "0\r0\r"), 2);
  EXPECT_EQ(command, "ATQ0\r0\r");

  // The echo alone ("ATQ0\r") holds only one "0\r" pair: no match.
  modem.quiet = true;
  r.port.respond = [](const std::string& line) { return line + "\r"; };
  command = "ATQ0";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n", "0\r0\r"), 0);
}

TEST(Transact, RetriesOnceWhenIdentifiedAndNoError) {
  Rig r;
  ASSERT_TRUE(r.Open());
  r.a.Identified = true;
  std::string command = "AT+MS?";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n"), 0);
  EXPECT_EQ(r.port.sentLines.size(), 2u);

  r.port.sentLines.clear();
  r.port.respond = [](const std::string&) { return std::string("\r\nERROR\r\n"); };
  command = "AT+MS?";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n"), 0);
  EXPECT_EQ(r.port.sentLines.size(), 1u);
  EXPECT_NE(command.find("ERROR"), std::string::npos);
}

TEST(Transact, NeverRetriesBeforeIdentification) {
  Rig r;
  ASSERT_TRUE(r.Open());
  std::string command = "AT";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n"), 0);
  EXPECT_EQ(r.port.sentLines.size(), 1u);
}

TEST(Transact, WithoutExpectedTextsWaitsTheBudgetTwiceWhenIdentified) {
  Rig r;
  TinyModem modem;
  r.port.respond = std::ref(modem);
  ASSERT_TRUE(r.Open());
  r.a.Identified = true;
  const long long start = r.ui.NowMs();
  std::string command = "ATH";
  EXPECT_EQ(r.a.Transact(command, 1), 0);
  EXPECT_GE(r.ui.NowMs() - start, 4000);
  EXPECT_EQ(r.port.sentLines.size(), 2u);
}

TEST(Transact, CancelEndsOnlyTheRunningTransaction) {
  Rig r;
  ASSERT_TRUE(r.Open());
  r.ui.onPump = [&](VirtualUi& ui) {
    if (ui.pumps == 5) r.a.AbortRequested = true;
  };
  std::string command = "AT";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n"), -1);
  EXPECT_FALSE(r.a.AbortRequested);
  EXPECT_LT(r.ui.NowMs(), 1000);

  TinyModem modem;
  r.port.respond = std::ref(modem);
  command = "AT";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n"), 1);
}

TEST(Transact, EveryLossOfThePortSaysTheModemIsGone) {
  struct Case {
    const char* name;
    bool open;          // the port is open when the command starts
    int lostAtPump;     // 0: never lost during the wait
    bool identified;    // the retry rule applies
    bool expectAnswer;  // the command waits for an answer
  };
  for (const Case& k : {Case{"before the command", false, 0, false, true},
                        Case{"on the first pass", true, 1, false, true},
                        Case{"during the wait", true, 3, false, true},
                        Case{"identified modem", true, 3, true, true},
                        Case{"wait without expected texts", true, 3, false, false},
                        Case{"last pass of the budget", true, 40, false, true}}) {
    Rig r;
    if (k.open) {
      ASSERT_TRUE(r.Open()) << k.name;
    }
    r.a.Identified = k.identified;
    r.ui.onPump = [&](VirtualUi& ui) {
      if (ui.pumps == k.lostAtPump) r.port.SetLost(true);
    };
    std::string command = "AT+ICF=3,4";
    const int result = k.expectAnswer ? r.a.Transact(command, 1, "OK\r\n") : r.a.Transact(command, 1);
    EXPECT_EQ(result, -1) << k.name;
    EXPECT_EQ(command, "Modem disconnected during process!") << k.name;
    if (k.open) {
      EXPECT_EQ(r.a.LinkState, LS_IDLE) << k.name;  // the tick closed the link
    }
  }
}

TEST(Transact, BudgetAboveTheTickWrapNeverRunsOut) {
  Rig r;
  ASSERT_TRUE(r.Open());
  r.ui.onPump = [&](VirtualUi& ui) {
    if (ui.pumps == 1500) r.port.Inject("\r\nCONNECT 9600\r\n");
  };
  std::string command = "ATD123";
  // 40 ticks x 55 = 2200 ticks, more than the tick counter ever reaches.
  EXPECT_EQ(r.a.Transact(command, 55, "CONNECT", "NO CARRIER"), 1);
  EXPECT_GT(r.ui.NowMs(), 1400 * 50);
}

TEST(Transact, HugeNoisyAnswerIsCollectedSafely) {
  // An answer beyond any the modems give (a line or a device server that
  // sends without end) fails the exchange at once, with a reason.
  struct Case {
    int bytes;
    bool collected;
  };
  for (const Case c : {Case{100000, true}, Case{300 * 1024, false}}) {
    Rig r;
    std::string noise;
    for (int i = 0; i < c.bytes; ++i) noise += static_cast<char>((i * 131 + 7) % 256);
    noise[500] = '\0';
    r.port.respond = [&](const std::string&) { return noise; };
    ASSERT_TRUE(r.Open());
    r.a.Options.HexInput = 1;
    std::string command = "AT";
    const long long start = r.ui.NowMs();
    const int result = r.a.Transact(command, 1, "NEVER-SEEN", MatchExact);
    EXPECT_EQ(result, 0) << c.bytes;
    EXPECT_EQ(command.size() == noise.size(), c.collected) << c.bytes;
    EXPECT_EQ(command.find("without the expected end; the exchange was given up") != std::string::npos,
              !c.collected)
        << c.bytes;
    // Given up on the spot rather than at the end of the 2 s budget.
    EXPECT_EQ(r.ui.NowMs() - start < 1000, !c.collected) << c.bytes;
    EXPECT_LE(r.a.LogCount, 9600);
  }
}

TEST(Transact, DelayBeforeCommandIsWaited) {
  Rig r;
  TinyModem modem;
  r.port.respond = std::ref(modem);
  ASSERT_TRUE(r.Open());
  r.a.Options.DelayBeforeAT = 300;
  const long long start = r.ui.NowMs();
  std::string command = "AT";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n"), 1);
  EXPECT_GE(r.ui.NowMs() - start, 300);
}

TEST(Transact, RemotePromptIsRemovedFromTheAnswer) {
  Rig r;
  r.port.respond = [](const std::string&) { return std::string(">\r\n+MS: V34\r\n>OK\r\n"); };
  ASSERT_TRUE(r.Open());
  r.a.LinkState = LS_PORT_OPEN | LS_IDENTIFIED | LS_REMOTE;
  std::string command = "AT+MS?";
  EXPECT_EQ(r.a.Transact(command, 1, "OK\r\n", MatchExact), 1);
  EXPECT_EQ(command.find('>'), std::string::npos);
}

TEST(Probe, LearnsVerboseNumericEchoAndQuiet) {
  struct Case {
    bool echo, verbose, quiet;
  };
  for (Case c : {Case{true, true, false}, Case{false, true, false}, Case{true, false, false},
                 Case{false, false, false}, Case{true, true, true}, Case{false, false, true}}) {
    SCOPED_TRACE(::testing::Message() << "echo " << c.echo << " verbose " << c.verbose << " quiet " << c.quiet);
    Rig r;
    TinyModem modem;
    modem.echo = c.echo;
    modem.verbose = c.verbose;
    modem.quiet = c.quiet;
    r.port.respond = std::ref(modem);
    ASSERT_TRUE(r.Open());
    EXPECT_GE(r.a.ProbeModem(), 1);
    EXPECT_EQ(r.a.VerboseResults, c.verbose);
    EXPECT_EQ(r.a.QuietWasOn, c.quiet);
    EXPECT_FALSE(modem.quiet);
    // The echo flag follows the last probe answer.
    EXPECT_EQ(r.a.EchoOn, c.echo);
  }
}

TEST(Probe, NoModemGivesZero) {
  Rig r;
  ASSERT_TRUE(r.Open());
  EXPECT_EQ(r.a.ProbeModem(), 0);
  EXPECT_FALSE(r.a.QuietWasOn);
}

}  // namespace
}  // namespace kelvane
