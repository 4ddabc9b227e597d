// End to end: kelvane-cli through ser2net, a real device server, on the
// loopback address in front of kelvane-modemsim's pseudo-terminal, over
// rfc2217:// (the tool sets the line) and tcp:// (the server's settings).

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "connection/connect.h"
#include "connection/raw_transfer.h"
#include "serial/clock.h"
#include "serial/network_serial_port.h"
#include "config/headless_ui.h"
#include "sim/modemsim_process.h"
#include "sim/ser2net_process.h"
#include "support/firmware_text.h"
#include "support/hostile_server.h"
#include "support/run_process.h"
#include "support/silent_listener.h"

namespace kelvane {
namespace {

using testing::ProcessResult;
using testing::RunProcess;
using testing::RunProcessSignalledWhen;

#define REQUIRE_SER2NET()                                                                              \
  if (Ser2NetProcess::Program().empty())                                                               \
  GTEST_SKIP() << "ser2net is not installed (scripts/install-deps.sh installs it): the network port " \
                  "tests need a real device server"

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string TempPath(const std::string& name) {
  return "/tmp/kelvane-net-e2e-" + std::to_string(::getpid()) + "-" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A modem at 19200 bit/s behind its own ser2net port: `rfc2217` chooses the
// accepter. The server starts its line at 9600, so only a client that sets
// the speed reaches the modem over RFC 2217.
struct ServedModem {
  ModemSimProcess sim;
  Ser2NetProcess server;
  std::string url;
  bool Start(std::vector<std::string> simArgs, bool rfc2217, const char* serverSettings = "9600n81") {
    std::string error;
    if (!sim.Start(KELVANE_MODEMSIM, simArgs)) return false;
    if (!server.Start({{sim.SlavePath(), rfc2217, serverSettings}}, error)) {
      ADD_FAILURE() << error;
      return false;
    }
    url = server.Url(0);
    return true;
  }
};

TEST(CliNetworkPort, IdentifiesReadsWritesAndAppliesOverRfc2217) {
  REQUIRE_SER2NET();
  ServedModem m;
  ASSERT_TRUE(m.Start({"--model", "3", "--rate", "19200"}, true));
  // The configuration read through the server is the one read on the line
  // itself (read first: the server holds the line a moment after a session).
  const std::string viaServer = TempPath("server.dat"), direct = TempPath("direct.dat");
  ProcessResult r = RunProcess(KELVANE_CLI, {"read", "--port", m.sim.SlavePath(), "--baud", "19200", "-o", direct});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = RunProcess(KELVANE_CLI, {"read", "--port", m.url, "--baud", "19200", "-o", viaServer});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFile(viaServer), ReadFile(direct));
  EXPECT_GT(ReadFile(viaServer).size(), 1000u);

  // The speed the tool asks for reaches the line. Nothing can answer at the
  // wrong one: the shortest response time-out gives the same failure sooner.
  const ProcessResult wrong =
      RunProcess(KELVANE_CLI, {"identify", "--port", m.url, "--baud", "9600", "--response-timeout", "0"});
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_TRUE(Has(wrong.err, "No Dalmarin modem found!")) << wrong.err;
  const ProcessResult id = RunProcess(KELVANE_CLI, {"identify", "--port", m.url, "--baud", "19200"});
  EXPECT_EQ(id.exitCode, 0) << id.err;
  EXPECT_TRUE(Has(id.out, "Model: RM-40 485\nModel type: 3\n")) << id.out;

  ASSERT_EQ(RunProcess(KELVANE_CLI, {"set", viaServer, "BasicSettings.S0=5"}).exitCode, 0);
  r = RunProcess(KELVANE_CLI, {"write", "--port", m.url, "--baud", "19200", viaServer, "--yes"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  r = RunProcess(KELVANE_CLI, {"verify", "--port", m.url, "--baud", "19200", viaServer});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;

  // apply: one change, then nothing left to change. Two spellings of the
  // one server port are one port given twice.
  ASSERT_EQ(RunProcess(KELVANE_CLI, {"set", viaServer, "BasicSettings.S0=6"}).exitCode, 0);
  r = RunProcess(KELVANE_CLI, {"apply", viaServer, "--port", m.url, "--baud", "19200"}, 90000);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, m.url + ": RM-40 485: changed (1 field: BasicSettings.S0)")) << r.out;
  r = RunProcess(KELVANE_CLI, {"apply", viaServer, "--port", m.url, "--baud", "19200"}, 90000);
  EXPECT_TRUE(Has(r.out, m.url + ": RM-40 485: unchanged")) << r.out;
  std::string upper = m.url;
  upper.replace(0, 7, "RFC2217");
  r = RunProcess(KELVANE_CLI, {"apply", viaServer, "--port", m.url, "--port", upper});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(Has(r.err, "is given twice")) << r.err;
  ::unlink(viaServer.c_str());
  ::unlink(direct.c_str());
}

TEST(CliNetworkPort, ScanFindsTheSpeedOverRfc2217AndIsRefusedOverTcp) {
  REQUIRE_SER2NET();
  ServedModem telnet, raw;
  ASSERT_TRUE(telnet.Start({"--model", "3", "--rate", "19200"}, true));
  ASSERT_TRUE(raw.Start({"--model", "3", "--rate", "19200"}, false, "19200n81"));
  const ProcessResult r = RunProcess(KELVANE_CLI, {"scan", "--port", telnet.url}, 90000);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "RM-40 485 (model type 3) at 19200 bps, None, 8, 1\n");
  EXPECT_TRUE(Has(r.err, "Searching : 115200 bps, None, 8, 1\nSearching :  57600 bps, None, 8, 1\n"
                         "Searching :  38400 bps, None, 8, 1\nSearching :  19200 bps, None, 8, 1\n"))
      << r.err;

  const ProcessResult refused = RunProcess(KELVANE_CLI, {"scan", "--port", raw.url});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_TRUE(Has(refused.err, "Autoconnect cannot search " + raw.url)) << refused.err;
  // In the command line's words: there is no Connect button to press.
  EXPECT_TRUE(Has(refused.err, "Set the speed and format there and give the same to the other commands (--baud, "
                               "--data, --parity, --stop), or use rfc2217://"))
      << refused.err;
  EXPECT_FALSE(Has(refused.err, "press Connect")) << refused.err;
  // At the server's own settings the modem is there.
  const ProcessResult id = RunProcess(KELVANE_CLI, {"identify", "--port", raw.url, "--baud", "19200"});
  EXPECT_EQ(id.exitCode, 0) << id.err;
  EXPECT_TRUE(Has(id.out, "Model: RM-40 485\n")) << id.out;
}

TEST(CliNetworkPort, FlashSwitchesTheServersLineTo115200) {
  REQUIRE_SER2NET();
  ServedModem m;
  ASSERT_TRUE(m.Start({"--model", "3", "--flash-mode", "1"}, true));
  const std::string file = TempPath("fw.s19");
  std::ofstream(file, std::ios::binary) << testing::FirmwareText(200);
  const ProcessResult r =
      RunProcess(KELVANE_CLI, {"flash", "--port", m.url, file, "--yes", "--response-timeout", "0"}, 90000);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "199 records flashed in")) << r.out;
  EXPECT_TRUE(Has(r.err, "Download Success")) << r.err;
  const ProcessResult id = RunProcess(KELVANE_CLI, {"identify", "--port", m.url, "--baud", "115200", "--debug"});
  EXPECT_EQ(id.exitCode, 0) << id.out << id.err;
  ::unlink(file.c_str());
}

TEST(CliNetworkPort, AServerThatDiesMidReadOrMidWriteIsALostModem) {
  REQUIRE_SER2NET();
  const std::string profile = TempPath("profile.dat");
  ASSERT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", "sim:3", "-o", profile}).exitCode, 0);
  struct Case {
    const char* command;
    std::vector<std::string> args;
    const char* begun;  // the simulator's event of the first command after the identification
  };
  const std::string out = TempPath("killed.dat");
  const Case cases[] = {{"read", {"-o", out}, "line AT&V"}, {"write", {profile, "--yes"}, "line AT+MS="}};
  for (const Case& c : cases) {
    ServedModem m;
    // Paced at 9600 bit/s a whole read or write lasts several seconds.
    ASSERT_TRUE(m.Start({"--model", "3", "--rate", "9600", "--pace", "--events"}, true));
    std::vector<std::string> args = {c.command, "--port", m.url, "--baud", "9600"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ProcessResult r;
    std::thread cli([&] { r = RunProcess(KELVANE_CLI, args, 60000); });
    const bool begun = m.sim.WaitForEvent(c.begun, 60000);
    const long long killed = MonotonicMs();
    m.server.Kill();
    cli.join();
    EXPECT_TRUE(begun) << c.command << "\n" << r.err;
    EXPECT_EQ(r.exitCode, 1) << c.command << "\n" << r.err;
    EXPECT_TRUE(Has(r.err, "Modem disconnected during process!")) << c.command << "\n" << r.err;
    EXPECT_LT(MonotonicMs() - killed, 5000) << c.command;
  }
  EXPECT_NE(::access(out.c_str(), F_OK), 0) << "a broken read left a file";
  ::unlink(profile.c_str());
}

// What the window's Transfer menu and terminal pane send, through the same
// core calls, over a real device server: typed commands, a file sent twice,
// the escape from a call and a break.
TEST(CliNetworkPort, TerminalSendFileEscapeAndBreakReachTheModemThroughTheServer) {
  REQUIRE_SER2NET();
  ServedModem m;
  ASSERT_TRUE(m.Start({"--model", "3", "--rate", "19200"}, true));
  NetworkSerialPort port;
  CAdapter a;
  HeadlessUserInterface ui(a);
  a.SetUi(&ui);
  a.SetPort(&port);
  a.PortNumber = m.url;
  a.BaudRate = "19200";
  a.Parity = "None";
  a.DataBits = "8";
  a.StopBits = "1";
  ASSERT_EQ(RunConnectOperation(a), CONNECT_IDENTIFIED);
  // What the modem sends until `count` times `text` came, within 5 s.
  auto awaitText = [&](const std::string& text, int count = 1) {
    std::string got;
    const long long until = MonotonicMs() + 5000;
    auto seen = [&] {
      int n = 0;
      for (size_t at = got.find(text); at != std::string::npos; at = got.find(text, at + 1)) ++n;
      return n;
    };
    while (seen() < count && MonotonicMs() < until && a.PortIsOpen()) {
      ui.PumpEvents(port.PollFd());
      got += a.ReadText(false);
    }
    return got;
  };

  ASSERT_TRUE(a.SendText("ATI9\r"));
  EXPECT_TRUE(Has(awaitText("OK\r\n"), "RM-40 485")) << "terminal";

  const std::string file = "ATS7?\rATS10?\r";
  EXPECT_EQ(SendRepeated(a, std::vector<uint8_t>(file.begin(), file.end()), 2, 100), 2);
  const std::string sent = awaitText("OK\r\n", 4);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), '?'), 4) << "send file: " << sent;

  // In a call the modem takes "+++" with its guard times, and only then
  // answers commands again.
  ASSERT_TRUE(a.SendText("ATD5550100\r"));
  ASSERT_TRUE(Has(awaitText("CONNECT"), "CONNECT"));
  EXPECT_EQ(SendEscapeSequence(a), 1);
  EXPECT_TRUE(Has(awaitText("OK\r\n"), "OK")) << "escape";
  ASSERT_TRUE(a.SendText("ATH\r"));
  EXPECT_TRUE(Has(awaitText("OK\r\n"), "OK")) << "hang up";

  // The server takes break on and off; the line works on after it.
  port.SetBreak(true);
  ui.Sleep(250);
  port.SetBreak(false);
  ASSERT_TRUE(a.SendText("AT\r"));
  EXPECT_TRUE(Has(awaitText("OK\r\n"), "OK")) << "after the break";
  EXPECT_FALSE(port.Lost());
  a.CloseLink();
}

TEST(CliNetworkPort, ServersThatCannotBeReachedFailTheOpenWithAReason) {
  // A port that listens but never accepts: the kernel completes the
  // connection and nothing ever answers.
  testing::SilentListener silent;
  ASSERT_NE(silent.Port(), 0);
  const std::string silentPort = std::to_string(silent.Port());
  // A port nobody listens on.
  const int closed = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  ::bind(closed, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(closed, reinterpret_cast<sockaddr*>(&a), &length);
  const std::string closedPort = std::to_string(ntohs(a.sin_port));

  struct Case {
    std::string port;
    const char* reason;
    int exitCode;
    const char* message;
    int signal = 0;  // sent once the tool waits on the server: the connect ends then, not after 5 s
  };
  const Case cases[] = {
      {"rfc2217://127.0.0.1:" + closedPort, "the connection was refused", 1, "Unable to open COM-port..."},
      {"tcp://127.0.0.1:" + closedPort, "the connection was refused", 1, "Unable to open COM-port..."},
      {"rfc2217://nosuchhost.invalid:2001", "the host nosuchhost.invalid is not known", 1,
       "Unable to open COM-port..."},
      {"rfc2217://127.0.0.1:" + silentPort, "did not answer within 5 s", 1, "Unable to open COM-port..."},
      // A plain byte stream may be quiet: that is a modem that does not answer.
      {"tcp://127.0.0.1:" + silentPort, "", 1, "No Dalmarin modem found!"},
      {"rfc2217://127.0.0.1:" + silentPort, "", 1, "Cancelled by Ctrl-C.", SIGINT},
      {"rfc2217://127.0.0.1:" + silentPort, "", 1, "Cancelled by SIGTERM.", SIGTERM},
  };
  for (const Case& c : cases) {
    const long long start = MonotonicMs();
    const std::vector<std::string> args = {"identify", "--port", c.port};
    // The signal goes when the tool has connected, however long a loaded
    // machine took to start it: sent earlier, it would end a program that
    // has not yet set up its handlers.
    silent.TakeWaiting();
    const ProcessResult r =
        c.signal ? RunProcessSignalledWhen(KELVANE_CLI, args, [&] { return silent.HasWaiting(); }, c.signal, 30000)
                 : RunProcess(KELVANE_CLI, args, 30000);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.port << "\n" << r.err;
    EXPECT_TRUE(Has(r.err, c.message)) << c.port << "\n" << r.err;
    EXPECT_TRUE(Has(r.err, c.reason)) << c.port << "\n" << r.err;
    if (c.signal) {
      EXPECT_GE(r.afterSignalMs, 0) << c.port;
      EXPECT_LT(r.afterSignalMs, 1000) << c.port;
      EXPECT_FALSE(Has(r.err, "Unable to open")) << "a cancel is no failed open:\n" << r.err;
    } else {
      EXPECT_LT(MonotonicMs() - start, 8000) << c.port;
    }
  }
  ::close(closed);
}

// Device servers that flood the tool or drop it: the tool ends with its
// message within its bounds and a modest memory, and hears SIGTERM within a
// second while the flood goes on.
TEST(CliNetworkPort, AHostileServerEndsTheRunWithAMessageAndNeverHoldsItUp) {
#ifdef __SANITIZE_ADDRESS__
  // The sanitizers slow the tool's start and end several times over; the
  // bounds are the normal build's promise.
  constexpr int kSlack = 3;
#else
  constexpr int kSlack = 1;
#endif
  using Way = testing::HostileServer::Way;
  struct Case {
    Way way;
    bool telnet;
    int signal;  // sent once the flood is under way
    int exitCode;
    const char* message;
    const char* reason;
    int withinMs;
    bool apply = false;  // with a simulated modem beside it, reports and --failed
  };
  // apply runs the other target and writes its summary and --failed file.
  const std::string profile = TempPath("hostile.dat"), dir = TempPath("hostile-reports"),
                    failed = dir + "/failed.txt";
  ASSERT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", "sim:1", "-o", profile}).exitCode, 0);
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  const Case cases[] = {
      {Way::Options, true, 0, 1, "Unable to open COM-port...", "does not take what it is sent", 6000},
      {Way::OptionChanges, true, 0, 1, "No Dalmarin modem found!", "", 8000},
      {Way::OptionChanges, true, SIGTERM, 1, "Cancelled by SIGTERM.", "", 0},
      {Way::Notifications, true, 0, 1, "No Dalmarin modem found!", "", 8000},
      {Way::Notifications, true, SIGINT, 1, "Cancelled by Ctrl-C.", "", 0},
      // A line that keeps talking is given up on after 10 s of it.
      {Way::Data, true, 0, 1, "No Dalmarin modem found!", "", 16000},
      {Way::Data, false, 0, 1, "No Dalmarin modem found!", "", 16000},
      {Way::Data, false, SIGTERM, 1, "Cancelled by SIGTERM.", "", 0},
      {Way::Close, true, 0, 1, "Unable to open COM-port...", "the device server closed the connection", 8000},
      {Way::Close, false, 0, 1, "Modem disconnected during process!", "", 6000},
      {Way::Reset, false, 0, 1, "Modem disconnected during process!", "", 6000},
      {Way::Options, true, 0, 1, ": failed: Unable to open COM-port...", "does not take what it is sent", 30000,
       true},
  };
  for (const Case& c : cases) {
    testing::HostileServer server(c.way, c.telnet);
    ASSERT_NE(server.Port(), 0);
    const std::vector<std::string> args =
        c.apply ? std::vector<std::string>{"apply", profile, "--port", server.Url(), "--port", "sim:1", "--report-dir",
                                           dir, "--failed", failed}
                : std::vector<std::string>{"identify", "--port", server.Url()};
    const std::string row = server.Url() + " way " + std::to_string(static_cast<int>(c.way));
    const long long start = MonotonicMs();
    const ProcessResult r =
        c.signal ? RunProcessSignalledWhen(KELVANE_CLI, args, [&] { return server.Sent() > (1u << 20); }, c.signal)
                 : RunProcess(KELVANE_CLI, args);
    EXPECT_EQ(r.exitCode, c.exitCode) << row << "\n" << r.err;
    EXPECT_TRUE(Has(r.out + r.err, c.message)) << row << "\n" << r.err;
    EXPECT_TRUE(Has(r.out + r.err, c.reason)) << row << "\n" << r.err;
    EXPECT_FALSE(Has(r.err, "could not be looked up")) << row << "\n" << r.err;
    EXPECT_LT(r.peakKb, 300 * 1024) << row;
    if (c.signal) {
      EXPECT_GE(r.afterSignalMs, 0) << row;
      EXPECT_LT(r.afterSignalMs, 1000 * kSlack) << row;
    } else {
      EXPECT_LT(MonotonicMs() - start, c.withinMs * kSlack) << row;
    }
    if (c.way != Way::Close && c.way != Way::Reset) {
      EXPECT_GT(server.Sent(), 1u << 16) << row << ": no flood";
    }
    if (c.apply) {
      EXPECT_TRUE(Has(r.out, "sim:1: RM")) << r.out;
      EXPECT_TRUE(Has(ReadFile(failed), server.Url() + "\n")) << ReadFile(failed);
      // Nothing half written is left behind (files are written to a hidden
      // temporary name first), and the run's summary is there.
      std::vector<std::string> names;
      for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
      const auto summary = std::find_if(names.begin(), names.end(), [](const std::string& n) {
        return n.rfind("apply-summary-", 0) == 0 && n.ends_with(".json");
      });
      ASSERT_NE(summary, names.end()) << ::testing::PrintToString(names);
      EXPECT_TRUE(Has(ReadFile(dir + "/" + *summary), "2 modems:"));
      EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n[0] == '.'; }), 0)
          << ::testing::PrintToString(names);
      for (const std::string& name : names) ::unlink((dir + "/" + name).c_str());
    }
  }
  ::rmdir(dir.c_str());
  ::unlink(profile.c_str());
}

}  // namespace
}  // namespace kelvane
