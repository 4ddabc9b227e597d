// End to end: the desktop program (offscreen, driven by a script of window
// actions) against kelvane-modemsim on a pseudo-terminal whose line goes
// away when a chosen command arrives. Whatever the operation, the program
// lives on, says that the modem is gone, drops the pages and ends cleanly.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "sim/modemsim_process.h"
#include "sim/ser2net_process.h"
#include "support/run_process.h"
#include "support/silent_listener.h"

#ifdef KELVANE

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using testing::RunProcess;

struct LineDropCase {
  const char* name;
  const char* dropOn;
  std::vector<std::string> actions;  // after the connect
  std::vector<std::string> boxes;    // in the order shown
  bool terminalSaysSo;               // "Modem disconnected during process!" in the terminal pane
};

void PrintTo(const LineDropCase& c, std::ostream* os) { *os << c.name; }

const std::string kLost = "Error communicating with adapter.";
const std::string kHalted =
    "The write operation halted with the following error string:\\n\\r\\n\\rModem disconnected during process!";

class WindowLineDrop : public ::testing::TestWithParam<LineDropCase> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kelvane-window-" + std::to_string(::getpid()) + "-" + GetParam().name);
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config" / "Dalmarin");
    // Pages are read when they are shown, so Write All meets never-read pages.
    std::ofstream(dir_ / "config" / "Dalmarin" / "kelvane.conf") << "[Settings]\nAutoLoad=0\n";
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  void TearDown() override {
    ::unsetenv("KELVANE_ACTIONS");
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_P(WindowLineDrop, TheProgramLivesOnAndSaysTheModemIsGone) {
  const LineDropCase& c = GetParam();
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "3", "--drop-on", c.dropOn}));
  const fs::path script = dir_ / "actions";
  {
    std::ofstream out(script);
    out << "connect " << sim.SlavePath() << "\n";
    for (const std::string& a : c.actions) out << a << "\n";
    out << "quit\n";
  }
  ::setenv("KELVANE_ACTIONS", script.c_str(), 1);
  const auto r = RunProcess(KELVANE, {}, 90000);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

  std::vector<std::string> boxes;
  std::string terminal, pages;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("box: ", 0) == 0) boxes.push_back(line.substr(5));
    if (line.rfind("terminal: ", 0) == 0) terminal += line.substr(10) + "\n";
    if (line.rfind("pages: ", 0) == 0) pages = line.substr(7);
  }
  EXPECT_EQ(boxes, c.boxes) << r.out;
  EXPECT_EQ(terminal.find("Modem disconnected during process!") != std::string::npos, c.terminalSaysSo) << terminal;
  // The link is closed and the configuration pages are gone.
  EXPECT_EQ(pages, "Connection") << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Operations, WindowLineDrop,
    ::testing::Values(
        LineDropCase{"Load", "AT&F", {"page Basic", "click Load", "answer Yes", "answer OK"},
                     {"Set factory default parameters?", kLost}, true},
        LineDropCase{"PageWrite", "ATS0=", {"page Basic", "click Write", "answer OK"}, {kHalted}, false},
        LineDropCase{"WriteAllWithNeverReadPages",
                     "ATS0=",
                     {"page Basic", "click Write All", "answer Yes", "answer OK", "answer OK"},
                     {"Write current profile to adapter?", kHalted,
                      "The following pages was not saved: \\r\\nSerial\\r\\nDial options\\r\\nCaller ID\\r\\n"
                      "Remote configuration\\r\\nCallback\\r\\nI/O\\r\\n"},
                     false},
        LineDropCase{"IoDelete", "AT*WIOD", {"page I/O", "click Delete#2", "answer OK"}, {kLost}, true}),
    [](const ::testing::TestParamInfo<LineDropCase>& info) { return std::string(info.param.name); });

// The window through a device server: connects over rfc2217://, reads every
// page (the read on connect), and keeps the port in its list of ports.
TEST(WindowNetworkPort, ConnectsAndReadsThePagesThroughRfc2217) {
  if (Ser2NetProcess::Program().empty()) GTEST_SKIP() << "ser2net is not installed (scripts/install-deps.sh installs it)";
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "3"}));
  Ser2NetProcess server;
  std::string error;
  ASSERT_TRUE(server.Start({{sim.SlavePath(), true, "9600n81"}}, error)) << error;
  const fs::path dir = fs::temp_directory_path() / ("kelvane-window-net-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::ofstream(dir / "actions") << "connect " << server.Url(0) << "\npage Basic\nquit\n";
  ::setenv("KELVANE_ACTIONS", (dir / "actions").c_str(), 1);
  const auto r = RunProcess(KELVANE, {}, 90000);
  ::unsetenv("KELVANE_ACTIONS");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("box: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("pages: Connection,Basic,"), std::string::npos) << r.out;
  std::ifstream conf(dir / "config" / "Dalmarin" / "kelvane.conf");
  const std::string stored((std::istreambuf_iterator<char>(conf)), std::istreambuf_iterator<char>());
  EXPECT_NE(stored.find("NetworkPorts=" + server.Url(0)), std::string::npos) << stored;
  fs::remove_all(dir);
}

// A device server that accepts and never answers: the window goes on while
// it connects, and Cancel in the progress window ends the connect at once
// rather than when the 5 s are up.
TEST(WindowNetworkPort, CancelEndsAConnectToAServerThatDoesNotAnswer) {
  const testing::SilentListener silent;
  ASSERT_NE(silent.Port(), 0);
  const fs::path dir = fs::temp_directory_path() / ("kelvane-window-silent-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::ofstream(dir / "actions") << "connect rfc2217://127.0.0.1:" << silent.Port()
                                 << "\ncancel\nanswer OK\nquit\n";
  ::setenv("KELVANE_ACTIONS", (dir / "actions").c_str(), 1);
  const auto r = RunProcess(KELVANE, {}, 90000);
  ::unsetenv("KELVANE_ACTIONS");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("box: Unable to open COM-port..."), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(": cancelled."), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("pages: Connection\n"), std::string::npos) << r.out;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kelvane

#endif  // KELVANE
