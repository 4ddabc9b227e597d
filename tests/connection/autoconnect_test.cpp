#include "connection/autoconnect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/simulated_port.h"
#include "support/scripted_port.h"
#include "support/virtual_ui.h"

namespace kelvane {
namespace {

using testing::VirtualUi;

// A modem of `article` that listens at `rate` with the +ICF `format`/`parity`
// (3/4 is 8N1), behind an in-process port on virtual time.
struct SearchRig {
  explicit SearchRig(SimulatedModem modem = SimulatedModem(2)) : port(std::move(modem)) {
    a.SetPort(&port);
    port.SetClock([this] { return ui.NowMs(); });
    a.PortNumber = "sim";
  }
  void Listen(int rate, int format = 3, int parity = 4) {
    for (ModemSettings* s : {&port.Modem().State(), &port.Modem().Stored()}) {
      s->dteRate = rate;
      s->icfFormat = format;
      s->icfParity = parity;
    }
  }
  // The status texts of the attempts (the progress texts that name a rate).
  std::vector<std::string> Attempts() const {
    std::vector<std::string> out;
    for (const std::string& t : ui.progressTexts)
      if (t.rfind("Searching : ", 0) == 0) out.push_back(t);
    return out;
  }
  int Run(const AutoConnectRanges& r = {}, bool quick = true) {
    AutoConnectSearch search(a, r, quick);
    return search.Run();
  }

  CAdapter a;
  VirtualUi ui{a};
  SimulatedPort port;
};

TEST(AutoConnectStatus, PadsTheRateToSixAndTheParityToFourInTheFullPass) {
  EXPECT_EQ(AutoConnectSearch::StatusText("300", "None", "8", "1", 0), "Searching :    300 bps, None, 8, 1");
  EXPECT_EQ(AutoConnectSearch::StatusText("115200", "Odd", "7", "2", 4), "Searching : 115200 bps,  Odd, 7, 2");
  EXPECT_EQ(AutoConnectSearch::StatusText("9600", "Odd", "8", "2", 0), "Searching :   9600 bps, Odd, 8, 2");
}

TEST(AutoConnectAxis, StepsTowardsToAndCountsTheDistance) {
  struct Row {
    int from, to, step, count, last;
  } rows[] = {{9, 0, -1, 9, 0}, {0, 2, 1, 2, 2}, {1, 1, 1, 0, 1}, {1, 0, -1, 1, 0}};
  for (const Row& r : rows) {
    const SearchAxis axis = AxisOf(r.from, r.to);
    EXPECT_EQ(axis.step, r.step) << r.from << ".." << r.to;
    EXPECT_EQ(axis.count, r.count) << r.from << ".." << r.to;
    EXPECT_EQ(axis.IndexAt(axis.count), r.last) << r.from << ".." << r.to;
  }
}

TEST(AutoConnectSearchOrder, DefaultSearchTriesEveryRateWithNone81First) {
  SearchRig rig;
  rig.port.Modem().Options().silent = true;
  EXPECT_EQ(rig.Run(), AUTOCONNECT_NOTHING_FOUND);
  const std::vector<std::string> attempts = rig.Attempts();
  ASSERT_GE(attempts.size(), 10u);
  const char* rates[] = {"115200", " 57600", " 38400", " 19200", "  9600",
                         "  4800", "  2400", "  1200", "   600", "   300"};
  for (size_t k = 0; k < 10; ++k)
    EXPECT_EQ(attempts[k], std::string("Searching : ") + rates[k] + " bps, None, 8, 1") << k;
}

TEST(AutoConnectSearchOrder, FullPassNestsRateDataParityStopAndSkipsTwelveBitFrames) {
  SearchRig rig;
  rig.port.Modem().Options().silent = true;
  rig.Run();
  const std::vector<std::string> attempts = rig.Attempts();
  // Per rate: None 8 2, Odd 8 1, Even 8 1 (None 8 1 came in the quick pass;
  // Odd/Even 8 2 are never tried), then all six 7-bit frames.
  const char* first[] = {
      "Searching : 115200 bps, None, 8, 2", "Searching : 115200 bps,  Odd, 8, 1",
      "Searching : 115200 bps, Even, 8, 1", "Searching : 115200 bps, None, 7, 1",
      "Searching : 115200 bps, None, 7, 2", "Searching : 115200 bps,  Odd, 7, 1",
      "Searching : 115200 bps,  Odd, 7, 2", "Searching : 115200 bps, Even, 7, 1",
      "Searching : 115200 bps, Even, 7, 2", "Searching :  57600 bps, None, 8, 2",
  };
  ASSERT_EQ(attempts.size(), 100u);
  for (size_t k = 0; k < std::size(first); ++k) EXPECT_EQ(attempts[10 + k], first[k]) << k;
  EXPECT_EQ(attempts.back(), "Searching :    300 bps, Even, 7, 2");
  // Nothing answered: the port is closed and the last settings stay.
  EXPECT_EQ(rig.a.LinkState, LS_IDLE);
  EXPECT_FALSE(rig.port.IsOpen());
  EXPECT_EQ(rig.a.BaudRate, "300");
  EXPECT_EQ(rig.a.Parity, "Even");
}

TEST(AutoConnectSearchOrder, CountsAttemptsAndProgressForEachRange) {
  struct Row {
    const char* what;
    AutoConnectRanges ranges;
    bool quick;
    int attempts, maximum, steps;
  } rows[] = {
      {"defaults with quick pass", {}, true, 100, 120, 130},
      {"defaults without quick pass", {}, false, 100, 120, 120},
      {"From equal to To everywhere", {5, 5, 1, 1, 0, 0, 1, 1}, false, 1, 1, 1},
      {"only twelve-bit frames", {5, 5, 1, 2, 1, 1, 1, 1}, false, 0, 2, 2},
      {"7 data bits, all parities and stops at two rates", {0, 1, 0, 2, 0, 0, 0, 1}, false, 12, 12, 12},
  };
  for (const Row& r : rows) {
    SearchRig rig;
    rig.port.Modem().Options().silent = true;
    AutoConnectSearch search(rig.a, r.ranges, r.quick);
    EXPECT_EQ(search.ProgressMaximum(), r.maximum) << r.what;
    EXPECT_EQ(search.Run(), AUTOCONNECT_NOTHING_FOUND) << r.what;
    EXPECT_EQ(search.Attempts(), r.attempts) << r.what;
    EXPECT_EQ(static_cast<int>(rig.Attempts().size()), r.attempts) << r.what;
    EXPECT_EQ(rig.ui.rangeHigh, r.maximum) << r.what;
    EXPECT_EQ(rig.ui.steps, r.steps) << r.what;
  }
}

TEST(AutoConnectSearchOrder, UpwardRangeTriesRatesInRisingOrder) {
  SearchRig rig;
  rig.port.Modem().Options().silent = true;
  rig.Run({0, 2, 0, 0, 1, 1, 0, 0}, false);
  EXPECT_EQ(rig.Attempts(), (std::vector<std::string>{"Searching :    300 bps, None, 8, 1",
                                                       "Searching :    600 bps, None, 8, 1",
                                                       "Searching :   1200 bps, None, 8, 1"}));
}

TEST(AutoConnectFinds, ModemAtTheFoundSettingsIsIdentified) {
  struct Row {
    const char* what;
    int rate, format, parity;
    const char *baud, *parityText, *data, *stop;
    int attempts;
  } rows[] = {
      {"300 baud 8N1 ends the quick pass", 300, 3, 4, "300", "None", "8", "1", 10},
      {"115200 8N1 is the first attempt", 115200, 3, 4, "115200", "None", "8", "1", 1},
      {"2400 7E1 in the full pass", 2400, 5, 1, "2400", "Even", "7", "1", 10 + 6 * 9 + 8},
      {"9600 8N2 in the full pass", 9600, 1, 4, "9600", "None", "8", "2", 10 + 4 * 9 + 1},
  };
  for (const Row& r : rows) {
    SearchRig rig;
    rig.Listen(r.rate, r.format, r.parity);
    AutoConnectSearch search(rig.a, {}, true);
    EXPECT_EQ(search.Run(), AUTOCONNECT_FOUND) << r.what;
    EXPECT_EQ(search.Attempts(), r.attempts) << r.what;
    EXPECT_EQ(rig.a.LinkState, LS_PORT_OPEN | LS_IDENTIFIED) << r.what;
    EXPECT_EQ(rig.a.ModelType, 2) << r.what;
    EXPECT_EQ(rig.a.BaudRate, r.baud) << r.what;
    EXPECT_EQ(rig.a.Parity, r.parityText) << r.what;
    EXPECT_EQ(rig.a.DataBits, r.data) << r.what;
    EXPECT_EQ(rig.a.StopBits, r.stop) << r.what;
    EXPECT_EQ(rig.port.Line(), (LineSettings{r.rate, r.parityText[0], r.data[0] - '0', r.stop[0] - '0'}))
        << r.what;
    EXPECT_TRUE(rig.ui.boxes.empty()) << r.what;
  }
}

TEST(AutoConnectFinds, UnsupportedModemEndsTheSearchWithItsMessage) {
  SearchRig rig{SimulatedModem(std::string_view("7730-05"))};
  rig.Listen(19200);
  AutoConnectSearch search(rig.a, {}, true);
  EXPECT_EQ(search.Run(), AUTOCONNECT_FOUND);
  EXPECT_EQ(search.Attempts(), 4);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, "A modem was found, but it is unsupported by Kelvane.");
  EXPECT_EQ(rig.a.LinkState, LS_IDLE);
  EXPECT_FALSE(rig.port.IsOpen());
}

TEST(AutoConnectCancel, StopsAfterTheAttemptUnderWayAndLeavesNoCancelBehind) {
  SearchRig rig;
  rig.port.Modem().Options().silent = true;
  AutoConnectSearch search(rig.a, {}, true);
  int attemptsAtCancel = -1;
  rig.ui.onPump = [&](VirtualUi&) {
    if (attemptsAtCancel < 0 && search.Attempts() == 3) {
      attemptsAtCancel = search.Attempts();
      EXPECT_FALSE(search.Cancel());
    }
  };
  EXPECT_EQ(search.Run(), AUTOCONNECT_ABORTED);
  EXPECT_EQ(search.Attempts(), attemptsAtCancel);
  EXPECT_EQ(rig.ui.progressTexts.back(), "Aborting, please wait.");
  EXPECT_FALSE(rig.a.AbortRequested);
  EXPECT_FALSE(search.Running());
  EXPECT_EQ(rig.a.LinkState, LS_IDLE);
}

TEST(AutoConnectCancel, BeforeSearchOnlyLetsTheDialogClose) {
  SearchRig rig;
  AutoConnectSearch search(rig.a, {}, false);
  EXPECT_TRUE(search.Cancel());
  EXPECT_FALSE(rig.a.AbortRequested);
  EXPECT_TRUE(rig.ui.progressTexts.empty());
}

TEST(AutoConnectBadInput, GarbageAnswersEndTheSearchWithoutHanging) {
  struct Row {
    const char* what;
    std::string answer;
    int result;
    size_t boxes;
  } rows[] = {
      // Noise with the high bit set, as at a wrong speed: nothing readable.
      {"noise", std::string("\x8f\xe1\xa3\xfe\x80\x99", 6), AUTOCONNECT_NOTHING_FOUND, 0},
      // Text that happens to hold O, K and line ends in order passes the
      // probe but names no known article: reported as unsupported.
      {"junk text", "xO#K\r!\n?0\r0\r0\r garbage", AUTOCONNECT_FOUND, 1},
      {"NUL bytes", std::string(40, '\0'), AUTOCONNECT_NOTHING_FOUND, 0},
  };
  for (const Row& r : rows) {
    CAdapter a;
    VirtualUi ui{a};
    testing::ScriptedPort port;
    port.respond = [&](const std::string&) { return r.answer; };
    a.SetPort(&port);
    a.PortNumber = "/dev/ttyJUNK";
    AutoConnectSearch search(a, {}, true);
    EXPECT_EQ(search.Run(), r.result) << r.what;
    EXPECT_EQ(ui.boxes.size(), r.boxes) << r.what;
    if (r.boxes) {
      EXPECT_EQ(ui.boxes[0].text, "A modem was found, but it is unsupported by Kelvane.");
    }
    EXPECT_EQ(a.LinkState, LS_IDLE) << r.what;
    EXPECT_FALSE(port.IsOpen()) << r.what;
  }
}

// --- the Connection page's command -------------------------------------------------

struct CommandRig : SearchRig {
  int dialogRuns = 0, reads = 0, portChoices = 0;
  int dialogResult = -1;  // -1: run a real search
  AutoConnectHooks Hooks() {
    AutoConnectHooks h;
    h.choosePort = [this] { ++portChoices; };
    h.runDialog = [this] {
      ++dialogRuns;
      return dialogResult >= 0 ? dialogResult : Run();
    };
    h.readConfiguration = [this] { ++reads; };
    return h;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> t;
    for (const auto& b : ui.boxes) t.push_back(b.text);
    return t;
  }
};

TEST(AutoConnectCommand, AlreadyConnectedStillRunsTheCommonEnding) {
  for (int autoLoad : {1, 0}) {
    CommandRig rig;
    rig.a.LinkState = LS_PORT_OPEN | LS_IDENTIFIED;
    rig.a.Options.AutoLoad = autoLoad;
    rig.a.Config.basic.S0 = 7;
    AutoConnectCommand(rig.a, "other", rig.Hooks());
    EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{"Already connected!"});
    EXPECT_EQ(rig.ui.boxes[0].icon, MsgIcon::Stop);
    EXPECT_EQ(rig.dialogRuns, 0);
    EXPECT_EQ(rig.portChoices, 0);
    EXPECT_EQ(rig.a.PortNumber, "sim");
    EXPECT_EQ(rig.ui.updatePagesCalls, 1);
    EXPECT_EQ(rig.a.Config.basic.S0, 2);  // the reset record
    EXPECT_EQ(rig.reads, autoLoad);
    EXPECT_FALSE(rig.a.Busy);
  }
}

TEST(AutoConnectCommand, MessagesByOutcome) {
  struct Row {
    const char* what;
    bool failOpen;
    bool modemAnswers;
    int dialogResult;
    std::vector<std::string> boxes;
    int dialogRuns, reads;
  } rows[] = {
      {"port does not open", true, false, -1, {"Unable to open COM-port..."}, 0, 0},
      {"nothing answers", false, false, -1, {"No Dalmarin modem found!"}, 1, 0},
      {"modem found and read", false, true, -1, {}, 1, 1},
      {"dialog closed before a search", false, false, AUTOCONNECT_ABORTED, {}, 1, 0},
  };
  for (const Row& r : rows) {
    CommandRig rig;
    rig.dialogResult = r.dialogResult;
    if (r.failOpen) rig.port.FailNextOpen("Permission denied");
    if (r.modemAnswers) rig.Listen(4800);
    else rig.port.Modem().Options().silent = true;
    AutoConnectCommand(rig.a, "sim", rig.Hooks());
    EXPECT_EQ(rig.BoxTexts(), r.boxes) << r.what;
    EXPECT_EQ(rig.dialogRuns, r.dialogRuns) << r.what;
    EXPECT_EQ(rig.reads, r.reads) << r.what;
    EXPECT_EQ(rig.portChoices, 1) << r.what;
    EXPECT_EQ(rig.ui.connectionPageActivations, 1) << r.what;
    EXPECT_FALSE(rig.a.Busy) << r.what;
  }
}

TEST(AutoConnectCommand, IgnoredWhileBusy) {
  CommandRig rig;
  rig.a.Busy = true;
  AutoConnectCommand(rig.a, "sim", rig.Hooks());
  EXPECT_EQ(rig.portChoices, 0);
  EXPECT_TRUE(rig.ui.boxes.empty());
  EXPECT_TRUE(rig.a.Busy);
}

}  // namespace
}  // namespace kelvane
