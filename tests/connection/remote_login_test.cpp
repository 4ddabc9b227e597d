// The remote connection: dial, remote configuration request, password loop,
// identification of the far model, the logout, and what goes over the line
// once logged in.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "config/write_engine.h"
#include "connection/call_state.h"
#include "connection/connect.h"
#include "connection/remote_login.h"
#include "sim/simulated_port.h"
#include "support/rig.h"
#include "support/virtual_ui.h"

namespace kelvane {
namespace {

using testing::Rig;

// A local modem with echo and verbose results and, behind a dialled line, a
// far modem in remote configuration. The test port hands over whole lines,
// so the request "++++" arrives glued to the front of the password line and
// "+++" to the front of "ATH".
struct FarEnd {
  bool localSilent = false;
  std::string dialResult = "CONNECT 9600";  // empty: no result at all
  std::string password = "secret";
  bool passwordSilent = false;
  std::string passwordNoise;                   // the answer to any password
  std::string identification = "Dalmarin RM-40 485 7730-08 SW 3.14";
  int identifySilent = 0;                      // ATI9 requests left unanswered
  // The prompt does not come with the connection but when the test shows it;
  // a password before it is lost.
  bool latePrompt = false;
  bool promptShown = false;
  bool escapeIgnored = false;  // "+++" never brings the local modem back
  int dials = 0, identifies = 0, logouts = 0, hangups = 0;
  std::vector<std::string> passwords;

  enum class State { Local, Online, Password, Remote } state = State::Local;

  std::string Local(const std::string& line) {
    if (localSilent) return {};
    const std::string echo = line + "\r";
    if (line.rfind("ATD", 0) == 0) {
      ++dials;
      if (dialResult.rfind("CONNECT", 0) == 0) state = State::Online;
      // The far modem's prompt follows the request at once; it is waiting
      // before the password goes out.
      if (dialResult.empty()) return echo;
      return echo + "\r\n" + dialResult + (latePrompt ? "\r\n" : "\r\n\r\nC_PASSWORD:");
    }
    if (line == "ATH") {
      ++hangups;
      state = State::Local;
    }
    return echo + "\r\nOK\r\n";
  }

  std::string operator()(std::string line) {
    size_t plus = 0;
    while (plus < line.size() && line[plus] == '+') ++plus;
    if (plus == 4 && state == State::Online) {
      state = State::Password;
      line.erase(0, 4);
    } else if (plus == 3 && state != State::Local && !escapeIgnored) {
      state = State::Local;
      line.erase(0, 3);
    }
    switch (state) {
      case State::Local: return Local(line);
      case State::Online: return {};
      case State::Password:
        passwords.push_back(line);
        if (latePrompt && !promptShown) return {};
        if (passwordSilent) return {};
        if (!passwordNoise.empty()) return passwordNoise;
        if (line != password) return "\r\nC_PASSWORD:";
        state = State::Remote;
        return "\r\n>";
      case State::Remote:
        if (line == "ATI9") {
          ++identifies;
          if (identifySilent > 0) {
            --identifySilent;
            return {};
          }
          return "ATI9\r\r\n" + identification + "\r\n\r\nOK\r\n>";
        }
        if (line == "AT*WRCE") {
          ++logouts;
          state = State::Online;
          return "AT*WRCE\r\r\nOK\r\n";
        }
        return line + "\r\r\nOK\r\n>";
    }
    return {};
  }
};

struct RemoteRig : Rig {
  FarEnd far;
  std::deque<std::optional<std::string>> numbers{std::string("5551234")};
  std::deque<std::optional<std::string>> passwords{std::string("secret")};
  int numberQuestions = 0, passwordQuestions = 0;

  RemoteRig() {
    port.respond = [this](const std::string& line) { return far(line); };
  }
  RemotePrompts Prompts() {
    RemotePrompts p;
    p.askNumber = [this]() -> std::optional<std::string> {
      ++numberQuestions;
      if (numbers.empty()) return std::nullopt;
      auto n = numbers.front();
      numbers.pop_front();
      return n;
    };
    p.askPassword = [this]() -> std::optional<std::string> {
      ++passwordQuestions;
      if (passwords.empty()) return std::nullopt;
      auto n = passwords.front();
      passwords.pop_front();
      return n;
    };
    return p;
  }
  int Login() {
    if (!Open()) return -99;
    return RunRemoteConnectOperation(a, Prompts());
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& b : ui.boxes) out.push_back(b.text);
    return out;
  }
  bool HungUp() const { return port.sentBytes.find("+++ATH\r") != std::string::npos; }
};

TEST(RemoteLogin, LogsInAndIdentifiesTheFarModel) {
  RemoteRig r;
  ASSERT_EQ(r.Login(), 1);
  EXPECT_EQ(r.a.LinkState, 0x1801);
  EXPECT_EQ(r.a.ModelType, 3);
  EXPECT_FALSE(r.a.Busy);
  EXPECT_FALSE(r.a.Identified);  // no retries over the line
  EXPECT_TRUE(r.Messages().empty());
  EXPECT_EQ(r.far.dials, 1);
  EXPECT_NE(std::find(r.port.sentLines.begin(), r.port.sentLines.end(), "ATD5551234"), r.port.sentLines.end());
  // The request, then the password on its own line.
  EXPECT_NE(r.port.sentBytes.find("++++secret\r"), std::string::npos);
  EXPECT_EQ(r.far.passwords, std::vector<std::string>{"secret"});
  EXPECT_EQ(r.ui.rangeHigh, 7);
  EXPECT_EQ(r.ui.progressTexts.front(), "Connecting...");
  EXPECT_FALSE(r.HungUp());
}

TEST(RemoteLogin, EveryFailureOfTheDialogue) {
  struct Case {
    const char* name;
    void (*setup)(RemoteRig&);
    std::vector<std::string> messages;
    bool dialled;
    bool hungUp;
  };
  const Case cases[] = {
      {"local modem silent", [](RemoteRig& r) { r.far.localSilent = true; },
       {"Error, please check the local modem."}, false, false},
      {"number dialog cancelled", [](RemoteRig& r) { r.numbers = {std::nullopt}; }, {}, false, false},
      {"busy", [](RemoteRig& r) { r.far.dialResult = "BUSY"; }, {"Error, no answer."}, true, false},
      {"no carrier", [](RemoteRig& r) { r.far.dialResult = "NO CARRIER"; }, {"Error, no answer."}, true, false},
      {"no result at all", [](RemoteRig& r) { r.far.dialResult.clear(); }, {"Error, no answer."}, true, false},
      {"password dialog cancelled", [](RemoteRig& r) { r.passwords = {std::nullopt}; }, {}, true, true},
      {"no answer to the password", [](RemoteRig& r) { r.far.passwordSilent = true; },
       {"Error: Access denied."}, true, true},
      {"garbage instead of a prompt", [](RemoteRig& r) { r.far.passwordNoise = "\x91\xE3\xF7\x80\xC4"; },
       {"Error: Access denied."}, true, true},
      {"far modem never identifies", [](RemoteRig& r) { r.far.identifySilent = 100; },
       {"Error: No answer from the remote modem."}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoteRig r;
    c.setup(r);
    EXPECT_EQ(r.Login(), 0);
    EXPECT_EQ(r.Messages(), c.messages);
    EXPECT_EQ(r.far.dials, c.dialled ? 1 : 0);
    EXPECT_EQ(r.HungUp(), c.hungUp);
    EXPECT_FALSE(r.a.Busy);
    EXPECT_NE(r.a.LinkState & LS_REMOTE, LS_REMOTE);
  }
}

TEST(RemoteLogin, AFailedOrCancelledCallIsAbandoned) {
  for (bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "cancelled" : "no result");
    RemoteRig r;
    r.far.dialResult.clear();
    if (cancel) {
      r.ui.onPump = [&r](testing::VirtualUi& ui) {
        if (r.far.dials == 1 && ui.NowMs() > 5000) r.a.AbortRequested = true;
      };
    }
    EXPECT_EQ(r.Login(), 0);
    // Any character ends a call attempt that is still running.
    EXPECT_EQ(r.port.sentBytes.substr(r.port.sentBytes.size() - 1), "\r");
    EXPECT_EQ(r.port.sentLines.back(), "");
    EXPECT_FALSE(r.a.AbortRequested);
    // The wait is bounded: 55 time units at most, cancelled much earlier.
    const long long budgetMs = 55LL * r.a.TimeoutTicks * 50;
    EXPECT_LE(r.ui.NowMs(), budgetMs + 10000);
    if (cancel) {
      EXPECT_LT(r.ui.NowMs(), 7000);
    } else {
      EXPECT_GE(r.ui.NowMs(), budgetMs);
    }
  }
}

TEST(RemoteLogin, APasswordAtHandWaitsForTheFarModemsPrompt) {
  struct Case {
    const char* name;
    bool await;        // the command line's way
    long long promptMs;  // after the connection; -1 never
    bool cancel;       // Cancel while waiting for the prompt
    int result;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      // Sent at once, the password is lost and the late prompt is taken for
      // a rejection.
      {"sent at once", false, 3000, false, 0, {"Error: Password not accepted."}},
      {"prompt awaited", true, 3000, false, 1, {}},
      // The wait is bounded by the password's own budget; then the password
      // goes out and its answer decides.
      {"prompt never comes", true, -1, false, 0, {"Error: Access denied."}},
      {"cancelled while waiting", true, -1, true, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoteRig r;
    r.far.latePrompt = true;
    long long connectedAt = -1;
    r.ui.onPump = [&](testing::VirtualUi& ui) {
      if (connectedAt < 0 && r.far.dials > 0) connectedAt = ui.NowMs();
      if (connectedAt < 0) return;
      if (c.cancel && ui.NowMs() - connectedAt >= 4000 && r.far.passwords.empty()) r.a.AbortRequested = true;
      if (!r.far.promptShown && c.promptMs >= 0 && ui.NowMs() - connectedAt >= c.promptMs) {
        r.far.promptShown = true;
        r.port.Inject("\r\nC_PASSWORD:");
      }
    };
    ASSERT_TRUE(r.Open());
    RemotePrompts prompts = r.Prompts();
    prompts.awaitPasswordPrompt = c.await;
    EXPECT_EQ(RunRemoteConnectOperation(r.a, prompts), c.result);
    EXPECT_EQ(r.Messages(), c.messages);
    EXPECT_EQ(r.HungUp(), c.result == 0);
    EXPECT_FALSE(r.a.AbortRequested);
    if (c.cancel) {
      EXPECT_TRUE(r.far.passwords.empty());
    }
    // At 9600 with "ResponseTimeout" 1 the password's budget is 10 s: the
    // wait never takes longer than that, nor does the answer.
    EXPECT_LT(r.ui.NowMs() - connectedAt, 2200 + 10000 + 10000 + 6000);
  }
}

TEST(RemoteLogin, WrongThenRightPasswordAndAnEmptyOne) {
  RemoteRig r;
  r.passwords = {std::string("guess"), std::string("again"), std::string("secret")};
  ASSERT_EQ(r.Login(), 1);
  EXPECT_EQ(r.passwordQuestions, 3);
  EXPECT_EQ(r.Messages(), (std::vector<std::string>{"Error: Password not accepted.", "Error: Password not accepted."}));
  EXPECT_EQ(r.a.LinkState, 0x1801);

  RemoteRig empty;
  empty.far.password = "";
  empty.passwords = {std::string("")};
  ASSERT_EQ(empty.Login(), 1);
  // Sent as a lone carriage return right after the request.
  EXPECT_NE(empty.port.sentBytes.find("++++\r"), std::string::npos);
  EXPECT_EQ(empty.far.passwords, std::vector<std::string>{""});
}

TEST(RemoteLogin, IdentificationOfTheFarModel) {
  struct Case {
    const char* identification;
    int previousType;
    int expectedType;
  };
  const Case cases[] = {
      {"Dalmarin RP-40 7730-14", 2, 4},
      {"Dalmarin 7730-05", 2, 2},  // unknown: the previous type stays
      // Two article numbers: the first matching row of the table wins, as
      // for a local modem, wherever each stands in the answer.
      {"Dalmarin 7730-01 7730-14", 2, 1},
      {"Dalmarin 7730-14 7730-01", 2, 1},
      {"Dalmarin RMX-21 7730-43", 3, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.identification);
    RemoteRig r;
    r.far.identification = c.identification;
    r.a.ModelType = c.previousType;
    ASSERT_EQ(r.Login(), 1);
    EXPECT_EQ(r.a.LinkState, 0x1801);
    EXPECT_EQ(r.a.ModelType, c.expectedType);
  }
}

TEST(RemoteLogin, IdentificationIsRepeatedABoundedNumberOfTimes) {
  for (int silent = 0; silent <= kRemoteIdentifyAttempts; ++silent) {
    SCOPED_TRACE(silent);
    RemoteRig r;
    r.far.identifySilent = silent;
    const int result = r.Login();
    EXPECT_EQ(result, silent < kRemoteIdentifyAttempts ? 1 : 0);
    EXPECT_EQ(r.far.identifies, std::min(silent + 1, kRemoteIdentifyAttempts));
  }
}

TEST(RemoteLogin, PromptIsRemovedFromAnswersOnlyOnceLoggedIn) {
  RemoteRig r;
  ASSERT_EQ(r.Login(), 1);
  EXPECT_EQ(r.a.IdentificationAnswer.find('>'), std::string::npos);
  EXPECT_NE(r.a.IdentificationAnswer.find("7730-08"), std::string::npos);
  std::string query = "ATS0?";
  ASSERT_EQ(r.a.Transact(query, 1, "OK\r\n"), 1);
  EXPECT_EQ(query.find('>'), std::string::npos) << query;
  EXPECT_NE(query.find("OK"), std::string::npos);
}

TEST(RemoteLogin, AFarModemThatHangsUpEndsTheSession) {
  RemoteRig r;
  ASSERT_EQ(r.Login(), 1);
  // The line drops: the local modem reports it and would answer by itself.
  r.port.respond = [](const std::string& line) { return line + "\r\r\nNO CARRIER\r\n"; };
  std::string query = "AT&V";
  EXPECT_EQ(r.a.Transact(query, 1, "OK\r\n"), -1);
  EXPECT_NE(query.find("NO CARRIER"), std::string::npos);
  EXPECT_EQ(r.a.LinkState, LS_PORT_OPEN);
  // Disconnect then only closes the port: there is no session to end.
  const size_t sent = r.port.sentBytes.size();
  DisconnectCommand(r.a);
  EXPECT_EQ(r.port.sentBytes.size(), sent);
  EXPECT_EQ(r.a.LinkState, LS_IDLE);
}

TEST(RemoteLogin, DisconnectEndsTheSessionAndHangsUp) {
  // A local modem that never leaves the call is tried a bounded number of
  // times, and the call that stays up is reported.
  for (bool ignored : {false, true}) {
    SCOPED_TRACE(ignored ? "escape ignored" : "escape taken");
    RemoteRig r;
    ASSERT_EQ(r.Login(), 1);
    r.far.escapeIgnored = ignored;
    DisconnectCommand(r.a);
    EXPECT_EQ(r.far.logouts, 1);
    EXPECT_EQ(r.far.hangups, ignored ? 0 : 1);
    const std::string& sent = r.port.sentBytes;
    const size_t wrce = sent.find("AT*WRCE\r"), escape = sent.find("+++ATH\r");
    ASSERT_NE(wrce, std::string::npos);
    ASSERT_NE(escape, std::string::npos);
    EXPECT_LT(wrce, escape);
    size_t escapes = 0;
    for (size_t at = sent.find("+++ATH\r"); at != std::string::npos; at = sent.find("+++ATH\r", at + 1)) ++escapes;
    EXPECT_EQ(escapes, ignored ? static_cast<size_t>(kHangUpAttempts) : 1u);
    EXPECT_EQ(r.Messages(), ignored ? std::vector<std::string>{std::string(CallLeftUpText)} : std::vector<std::string>{});
    EXPECT_EQ(r.a.LinkState, LS_IDLE);
    EXPECT_FALSE(r.port.IsOpen());
  }
}

// A run stopped at a moment of its call (the port closed under it, as a
// killed program's is); the next run on the same port, local or remote, ends
// the call and reaches the modem it means. The simulated modems are the
// independent reading: their state and the lines each received.
TEST(RemoteLogin, TheRunAfterAStoppedOneEndsTheCallFirst) {
  struct Case {
    const char* name;
    const char* stopAt;  // the modem's call state; null: the run is not stopped
    bool marker;         // the stopped run's marker is left (else only carrier detect tells)
    int dialAbort;
    int stallMs;
    bool remoteNext;
    bool carrierLine = true;  // the port reports carrier detect
  };
  const Case cases[] = {
      {"in the dial, dial abort off", "dialling", true, 1, 0, false},
      {"online, before the request", "online", true, 0, 0, true},
      {"asked for the password", "password", true, 0, 0, false},
      {"in the session", "session", true, 0, 0, true},
      {"in the session, carrier detect only", "session", false, 0, 0, false},
      // Only the far modem's prompt in the answer to the identification tells.
      {"in the session, neither marker nor carrier", "session", false, 0, 0, false, false},
      {"in the escape's guard time", "escape", true, 0, 0, true},
      {"the logout's escape stalls", nullptr, true, 0, 3000, false},
  };
  char folder[] = "/tmp/kelvane-call-test-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  const char* savedRuntime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = savedRuntime ? savedRuntime : "";
  ::setenv("XDG_RUNTIME_DIR", folder, 1);
  // A marker needs a port that exists.
  const std::string portPath = std::string(folder) + "/ttyS9";
  std::ofstream(portPath).put('\n');

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    struct LinePort : SimulatedPort {
      using SimulatedPort::SimulatedPort;
      bool ReportsCarrier() const override { return carrier; }
      bool carrier = true;
    } port{SimulatedModem(2)};
    port.carrier = c.carrierLine;
    port.Modem().FarModem().State().remotePassword = "secret";
    port.Modem().State().dialAbort = c.dialAbort;
    port.Modem().Options().stallEscapeMs = c.stallMs;
    // A far modem slow to ask for the password: the login waits in that state.
    port.Modem().Options().promptDelayMs = 1500;
    long long offset = 0;
    testing::VirtualUi* clockUi = nullptr;
    port.SetClock([&] { return offset + (clockUi ? clockUi->NowMs() : 0); });
    auto prepare = [&](CAdapter& a) {
      a.SetPort(&port);
      a.PortNumber = portPath;
      a.BaudRate = "9600";
      a.Parity = "None";
      a.DataBits = "8";
      a.StopBits = "1";
    };
    RemotePrompts prompts;
    prompts.askNumber = [] { return std::optional<std::string>("5551234"); };
    prompts.askPassword = [] { return std::optional<std::string>("secret"); };
    prompts.awaitPasswordPrompt = true;
    {
      CAdapter first;
      testing::VirtualUi ui{first};
      clockUi = &ui;
      prepare(first);
      bool stopped = false;
      ui.onPump = [&](testing::VirtualUi&) {
        if (!stopped && c.stopAt && port.Modem().CallStateName() == c.stopAt) {
          stopped = true;
          port.Close();
        }
      };
      ASSERT_TRUE(first.OpenAndIdentify(false));
      if (RunRemoteConnectOperation(first, prompts) == 1) DisconnectCommand(first);
      EXPECT_EQ(stopped, c.stopAt != nullptr);
      offset += ui.NowMs();
      clockUi = nullptr;
      if (!c.marker) ClearCallMark(portPath);
    }
    EXPECT_EQ(CallMarked(portPath), c.stopAt && c.marker);

    CAdapter next;
    testing::VirtualUi ui{next};
    clockUi = &ui;
    prepare(next);
    const size_t farLines = port.Modem().FarModem().ReceivedLines().size();
    if (c.remoteNext) {
      ASSERT_TRUE(next.OpenAndIdentify(false));
      ASSERT_EQ(RunRemoteConnectOperation(next, prompts), 1);
      EXPECT_EQ(next.ModelType, 2);  // the far modem, of the same article
      EXPECT_TRUE(port.Modem().InRemoteSession());
      DisconnectCommand(next);
    } else {
      ASSERT_EQ(RunConnectOperation(next), CONNECT_IDENTIFIED);
      // Only the lines that end a session left up reach the far modem, and
      // without any sign of the call, the probe and the question that showed
      // its prompt.
      const auto& lines = port.Modem().FarModem().ReceivedLines();
      for (size_t i = farLines; i < lines.size(); ++i) {
        const bool asked = !c.carrierLine && (lines[i].empty() || lines[i] == "AT" || lines[i] == "ATI9");
        EXPECT_TRUE(lines[i] == "ATH" || lines[i] == "AT*WRCE" || asked) << lines[i];
      }
      EXPECT_FALSE(FarSessionAnswered(next.IdentificationAnswer)) << next.IdentificationAnswer;
      EXPECT_EQ(port.Modem().ReceivedLines().back(), "ATI9");
      next.CloseLink();
    }
    EXPECT_FALSE(port.Modem().Connected());
    EXPECT_FALSE(CallMarked(portPath));
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
    offset += ui.NowMs();
    clockUi = nullptr;
  }
  ::unlink(portPath.c_str());
  ::rmdir((std::string(folder) + "/kelvane").c_str());
  ::rmdir(folder);
  if (savedRuntime) {
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST(RemoteLogin, RefusesWithoutOpenPortOrWhileBusy) {
  RemoteRig r;
  EXPECT_EQ(RunRemoteConnectOperation(r.a, r.Prompts()), 0);  // port closed
  ASSERT_TRUE(r.Open());
  r.a.Busy = true;
  EXPECT_EQ(RunRemoteConnectOperation(r.a, r.Prompts()), 0);
  EXPECT_TRUE(r.port.sentBytes.empty());
}

TEST(RemoteLogin, SerialSectionOverTheLineLeavesTheLocalPortAlone) {
  // The far modem's own port changes; the local one follows only a local modem.
  for (bool remote : {true, false}) {
    SCOPED_TRACE(remote ? "remote" : "local");
    Rig r;
    r.port.respond = [](const std::string& line) { return line + "\r\r\nOK\r\n"; };
    ASSERT_TRUE(r.Open());
    r.a.LinkState = remote ? 0x1801 : 0x1800;
    r.a.VerboseResults = true;
    r.a.EchoOn = true;
    r.a.Page(PG_SERIAL).valid = 1;
    r.a.Config.serial.DteRate = 19200;
    r.a.Config.serial.DteDataBits = 7;
    r.a.Config.serial.DteParity = 'E';
    r.a.Config.serial.DteStopBits = 1;
    ASSERT_EQ(WriteConfiguration(r.a, SEC_SERIAL), 1);
    EXPECT_NE(std::find(r.port.sentLines.begin(), r.port.sentLines.end(), "AT+IPR=19200"), r.port.sentLines.end());
    EXPECT_EQ(r.a.BaudRate, remote ? "9600" : "19200");
    EXPECT_EQ(r.port.lastSettings, remote ? "9600,N,8,1" : "19200,E,7,1");
  }
}

TEST(RemoteLogin, DialNumbersAndOutcomes) {
  const std::pair<const char*, bool> numbers[] = {
      {"5551234", true}, {"0 30-123 456", true}, {"T0,,5551234", true}, {"*31#5551234", true},
      {"", false},       {"PTW", false},         {"555\rATZ", false},   {"555;", false},
      {"12345678901234567890123456789012345678901", false},
  };
  for (const auto& [number, valid] : numbers) EXPECT_EQ(IsDialNumber(number), valid) << number;

  const std::pair<const char*, int> answers[] = {
      {"ATD5551234\r", -1},
      {"ATD5551234\r\r\nCONN", -1},
      {"ATD5551234\r\r\nCONNECT 9600\r\n", 1},
      {"\r\nCONNECT\r\n", 1},
      {"ATD5551234\r\r\nBUSY\r\n", 0},
      {"\r\nNO ANSWER\r\n", 0},
      {"\r\nNO DIALTONE\r\n", 0},
      {"\r\nERROR\r\n", 0},
      {"\r\nNO CARRIER\r\n\r\nCONNECT\r\n", 0},  // the first result counts
      {"ATD5551234\r1\r", 1},                    // numeric CONNECT after the echo
      {"ATD5551234\r10\r", 1},
      {"ATD5551234\r7\r", 0},                    // numeric BUSY
      {"3\r", 0},
      {"ATD5551234\r2\r", -1},                   // RING is no result
      {"ATD5551234\r7", -1},                     // not complete yet
  };
  for (const auto& [answer, outcome] : answers) {
    std::string shown;
    for (const char* p = answer; *p; ++p) shown += *p == '\r' ? std::string("\\r") : *p == '\n' ? std::string("\\n") : std::string(1, *p);
    EXPECT_EQ(DialOutcome(answer), outcome) << shown;
  }
}

}  // namespace
}  // namespace kelvane
