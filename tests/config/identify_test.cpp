#include "connection/connect.h"
#include "support/rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "sim/simulated_port.h"

namespace kelvane {
namespace {

using testing::Rig;
using testing::TinyModem;
using testing::VirtualUi;

struct Identified {
  bool result;
  int modelType;
  int linkState;
};

Identified IdentifyWith(const std::string& identification, Rig& r) {
  TinyModem modem;
  modem.identification = identification;
  r.port.respond = modem;
  const bool result = r.a.OpenAndIdentify(true);
  return {result, r.a.ModelType, r.a.LinkState};
}

TEST(Identification, EachArticleNumberGivesItsModelType) {
  for (const ModelRow& row : ModelTable) {
    if (row.type == 0) break;
    Rig r;
    const Identified id = IdentifyWith(std::string("Dalmarin modem ") + row.article + " SW 1.0", r);
    EXPECT_TRUE(id.result) << row.article;
    EXPECT_EQ(id.modelType, row.type) << row.article;
    EXPECT_EQ(id.linkState, LS_PORT_OPEN | LS_IDENTIFIED);
    EXPECT_TRUE(r.a.Identified);
  }
}

TEST(Identification, TableOrderDecidesBetweenTwoArticles) {
  Rig r;
  EXPECT_EQ(IdentifyWith("7730-02 7730-01", r).modelType, 1);
  Rig r4;
  EXPECT_EQ(IdentifyWith("RP 7730-14", r4).modelType, 4);
  EXPECT_EQ(ModelName(4), "RP-40");
  EXPECT_EQ(ModelName(3), "RM-40 485");
}

TEST(Identification, IdentifySendsATI9Once) {
  Rig r;
  IdentifyWith("7730-05", r);
  int count = 0;
  for (const auto& line : r.port.sentLines) count += line == "ATI9";
  EXPECT_EQ(count, 1);
}

TEST(Identification, UnsupportedArticleClosesThePortAndSaysSo) {
  Rig r;
  const Identified id = IdentifyWith("Dalmarin 7730-05", r);
  EXPECT_TRUE(id.result);
  EXPECT_EQ(id.linkState, LS_IDLE);
  EXPECT_FALSE(r.port.IsOpen());
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].text, "A modem was found, but it is unsupported by Kelvane.");
}

TEST(Identification, NoAnswerFailsAndClosesThePort) {
  Rig r;
  TinyModem modem;
  modem.silent = true;
  r.port.respond = modem;
  EXPECT_FALSE(r.a.OpenAndIdentify(true));
  EXPECT_EQ(r.a.LinkState, LS_IDLE);
  EXPECT_FALSE(r.port.IsOpen());
  EXPECT_TRUE(r.ui.boxes.empty());
}

TEST(Identification, SuccessResetsPageFlagsAndEnablesRetry) {
  Rig r;
  r.a.Page(PG_BASIC).valid = 1;
  r.a.Page(PG_BASIC).changed = 1;
  r.ui.statusText = " [Basic Changed] ";
  IdentifyWith("7730-08", r);
  EXPECT_EQ(r.ui.statusText, "");  // the markers are redrawn from the reset flags
  for (int p = 0; p < PG_COUNT; ++p) {
    EXPECT_EQ(r.a.Page(p).refreshing, 1);
    EXPECT_EQ(r.a.Page(p).valid, 0);
    EXPECT_EQ(r.a.Page(p).changed, 0);
  }
  EXPECT_TRUE(r.a.Identified);
}

TEST(ConnectOperation, ResultsAndMessages) {
  {
    Rig r;
    TinyModem modem;
    r.port.respond = std::ref(modem);
    EXPECT_EQ(RunConnectOperation(r.a), CONNECT_IDENTIFIED);
    EXPECT_EQ(r.a.ModelType, 3);
    EXPECT_EQ(r.ui.caption_, "Connecting...");
    EXPECT_EQ(r.ui.progressTexts,
              (std::vector<std::string>{"Opening port...", "Searching for modem...", "Querying modem..."}));
  }
  {
    Rig r;
    TinyModem modem;
    modem.identification = "7730-99";
    r.port.respond = std::ref(modem);
    EXPECT_EQ(RunConnectOperation(r.a), CONNECT_UNSUPPORTED);
    EXPECT_TRUE(r.ui.boxes.empty());  // the Connect command shows the message
    EXPECT_EQ(ConnectFailureMessage(r.a, CONNECT_UNSUPPORTED),
              "A modem was found, but it is unsupported by Kelvane.");
  }
  {
    Rig r;
    EXPECT_EQ(RunConnectOperation(r.a), CONNECT_NOTHING_FOUND);
    EXPECT_EQ(ConnectFailureMessage(r.a, CONNECT_NOTHING_FOUND), "No Dalmarin modem found!");
  }
  {
    Rig r;
    r.port.refuseOpen = true;
    EXPECT_EQ(RunConnectOperation(r.a), CONNECT_NOTHING_FOUND);
    EXPECT_EQ(r.a.LinkState, LS_OPEN_FAILED);
    EXPECT_EQ(ConnectFailureMessage(r.a, CONNECT_NOTHING_FOUND), "Unable to open COM-port...");
    EXPECT_NE(r.a.LastOpenError.find("Permission denied"), std::string::npos);
  }
  {
    // The port goes away while the modem is looked for: no empty line.
    Rig r;
    r.port.respond = [&](const std::string&) {
      r.port.SetLost(true);
      return std::string();
    };
    EXPECT_EQ(RunConnectOperation(r.a), CONNECT_PORT_LOST);
    EXPECT_EQ(ConnectFailureMessage(r.a, CONNECT_PORT_LOST), "Modem disconnected during process!");
  }
}

// The short probe unit lasts only as long as the probe: a Remote after a
// failed Connect (or search) dials and logs in with the normal unit, while a
// probe that follows a failed one stays short, as the search needs.
TEST(ProbeMode, HoldsOnlyForTheProbeItServes) {
  for (bool viaConnect : {true, false}) {
    SCOPED_TRACE(viaConnect ? "Connect" : "search attempt");
    Rig r;  // 9600 bit/s, "ResponseTimeout" 1: a unit of 40 ticks
    auto probeOnce = [&] {
      const long long start = r.ui.NowMs();
      if (viaConnect) {
        EXPECT_EQ(RunConnectOperation(r.a), CONNECT_NOTHING_FOUND);
      } else {
        EXPECT_FALSE(r.a.OpenAndIdentify(true));
      }
      return r.ui.NowMs() - start;
    };
    const long long first = probeOnce();
    EXPECT_FALSE(r.a.ProbeMode);
    // The port opened again without a probe, as the Remote command does.
    ASSERT_TRUE(r.a.OpenAndIdentify(false));
    EXPECT_EQ(r.a.TimeoutTicks, 40);
    r.a.ClosePortQuietly();
    // The next probe after a silent one is short.
    const long long second = probeOnce();
    EXPECT_LT(second * 3, first);
    EXPECT_EQ(r.a.TimeoutTicks, 40);
    // Once a modem answers, probes are full length again.
    TinyModem modem;
    r.port.respond = std::ref(modem);
    EXPECT_TRUE(r.a.OpenAndIdentify(true));
    EXPECT_EQ(r.a.TimeoutTicks, 40);
  }
}

// Cancel during the probe ends the connect: the probe does not go on to the
// next "AT" and the modem is not identified.
TEST(ProbeMode, CancelledProbeEndsTheConnect) {
  Rig r;
  TinyModem modem;
  r.port.respond = std::ref(modem);
  bool cancelled = false;
  r.ui.onPump = [&](VirtualUi&) {
    if (!cancelled && !r.port.sentLines.empty() && r.port.sentLines.back() == "AT") {
      cancelled = true;
      r.a.AbortRequested = true;
    }
  };
  EXPECT_EQ(RunConnectOperation(r.a), CONNECT_NOTHING_FOUND);
  EXPECT_EQ(std::count(r.port.sentLines.begin(), r.port.sentLines.end(), "AT"), 1);
  EXPECT_FALSE(r.a.AbortRequested);
  EXPECT_EQ(r.a.LinkState, LS_IDLE);
}

// A quiet modem that the probe switched to result codes is quiet again after
// every way the connect can end short of an identified modem; one that was
// not quiet is not made so.
TEST(ConnectOperation, EveryWayOutAfterTheQuietSwitchLeavesAQuietModemQuiet) {
  struct Case {
    const char* cancelAt;  // the command line whose answer is cancelled; "" none
    const char* article;
    bool quiet;
    int echo;
  };
  const Case cases[] = {
      {"ATQ0", "7730-08", true, 1},  {"AT", "7730-08", true, 1},   {"ATI9", "7730-08", true, 1},
      {"ATI9", "7730-08", true, 0},  {"", "7730-99", true, 1},     {"ATI9", "7730-08", false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.cancelAt) + " " + c.article + (c.quiet ? " quiet" : "") + " echo " +
                 std::to_string(c.echo));
    CAdapter a;
    VirtualUi ui{a};
    SimulatedPort port{SimulatedModem(std::string_view(c.article))};
    port.SetClock([&ui] { return ui.NowMs(); });
    for (ModemSettings* s : {&port.Modem().State(), &port.Modem().Stored()}) {
      s->quiet = c.quiet ? 1 : 0;
      s->echo = c.echo;
    }
    a.SetPort(&port);
    a.PortNumber = "sim";
    a.BaudRate = "9600";
    const std::string cancelLine = std::string(c.cancelAt) + "\r";
    bool cancelled = false;
    ui.onPump = [&](VirtualUi&) {
      const std::string& sent = port.Written();
      // The "AT" that counts is the one after the switch.
      if (!cancelled && *c.cancelAt && sent.ends_with(cancelLine) &&
          (!c.quiet || sent.find("ATQ0\r") != std::string::npos)) {
        cancelled = true;
        a.AbortRequested = true;
      }
    };
    EXPECT_NE(RunConnectOperation(a), CONNECT_IDENTIFIED);
    EXPECT_EQ(cancelled, *c.cancelAt != 0);
    EXPECT_EQ(port.Modem().State().quiet, c.quiet ? 1 : 0);
    EXPECT_EQ(port.Modem().Stored().quiet, c.quiet ? 1 : 0);
    EXPECT_EQ(port.Written().find("ATQ1") != std::string::npos, c.quiet);
    EXPECT_EQ(a.LinkState, LS_IDLE);
    EXPECT_FALSE(a.AbortRequested);
    EXPECT_FALSE(port.IsOpen());
  }
}

TEST(Disconnect, AsksBeforeRestoringQuietMode) {
  Rig r;
  TinyModem modem;
  modem.quiet = true;
  r.port.respond = std::ref(modem);
  ASSERT_EQ(RunConnectOperation(r.a), CONNECT_IDENTIFIED);
  ASSERT_TRUE(r.a.QuietWasOn);
  r.ui.answers.push_back(MsgAnswer::Yes);
  DisconnectCommand(r.a);
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].buttons, MsgButtons::YesNo);
  EXPECT_NE(std::find(r.port.sentLines.begin(), r.port.sentLines.end(), "ATQ1"), r.port.sentLines.end());
  EXPECT_EQ(r.port.sentLines.back(), "AT&W");
  EXPECT_EQ(r.a.LinkState, LS_IDLE);
  EXPECT_FALSE(r.a.QuietWasOn);
  EXPECT_EQ(r.a.BaudRate, "-");
}

TEST(Disconnect, NotConnected) {
  Rig r;
  DisconnectCommand(r.a);
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].text, "Not connected!");
}

}  // namespace
}  // namespace kelvane
