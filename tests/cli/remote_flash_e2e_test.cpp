// End to end over pseudo-terminals: a remote configuration through a dialled
// line, and the firmware flash update, with the failures a user meets.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "config/profile.h"
#include "sim/modemsim_process.h"
#include "support/firmware_text.h"
#include "support/run_process.h"

namespace kelvane {
namespace {

using testing::ProcessResult;
using testing::RunProcess;

std::string TempPath(const std::string& name) {
  return "/tmp/kelvane-rf-e2e-" + std::to_string(::getpid()) + "-" + name;
}

std::string WriteFile(const std::string& name, const std::string& content) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string Firmware(int count, bool badRecord = false, bool endRecord = true) {
  return testing::FirmwareText(count, badRecord, endRecord);
}

const std::vector<std::string> kRemoteSim = {"--model", "2", "--rate", "9600", "--remote-number", "5551234",
                                              "--password", "letmein", "--remote-model", "3"};

// The local modem answers in command mode at its own speed.
void ExpectLocalModemInCommandMode(const ModemSimProcess& sim) {
  const ProcessResult r = RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath(), "--baud", "9600"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Model: RM-40\n"), std::string::npos) << r.out;
}

// kelvane-cli started in the background with its output to `err`; the test
// kills it at a moment the simulator reports.
pid_t StartCli(const std::vector<std::string>& args, const std::string& err) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(errFd, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(KELVANE_CLI)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(KELVANE_CLI, argv.data());
    ::_exit(127);
  }
  return pid;
}

// The exit code, -2 for a signal, -1 when it did not end within `timeoutMs`
// (it is killed then).
int Reap(pid_t pid, int timeoutMs) {
  int status = 0;
  for (int waited = 0; ::waitpid(pid, &status, WNOHANG) == 0; waited += 20) {
    if (waited >= timeoutMs) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    ::usleep(20000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(CliRemote, ReadsTheRemoteConfiguration) {
  // Each step waits on what the simulator reports, not on time.
  std::vector<std::string> args = kRemoteSim;
  args.push_back("--events");
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, args));
  const std::string pw = WriteFile("pw", "letmein\nsecond line\n"), out = TempPath("remote.dat");

  const ProcessResult r = RunProcess(KELVANE_CLI, {"read", "--port", sim.SlavePath(), "--baud", "9600", "--remote",
                                                   "5551234", "--password-file", pw, "-o", out, "--debug",
                                                   "--response-timeout", "0"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ConfigBlock block;
  std::string error;
  ASSERT_TRUE(LoadProfileFile(out, block, error)) << error;
  // The far modem's own settings: the local modem has no password.
  EXPECT_STREQ(block.remote.RemotePassword, "letmein");
  EXPECT_EQ((r.out + r.err).find("letmein"), std::string::npos);
  EXPECT_NE(r.err.find("ATD5551234"), std::string::npos);
  // The logout ended the call before the command returned.
  ASSERT_TRUE(sim.WaitForEvent("line ATH", 10000));
  ASSERT_TRUE(sim.WaitForEvent("state command", 10000));
  ExpectLocalModemInCommandMode(sim);

  // The same through the environment, for identify.
  ::setenv("KELVANE_PASSWORD", "letmein", 1);
  const ProcessResult id = RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath(), "--baud", "9600",
                                                    "--remote", "5551234", "--response-timeout", "0"});
  ::unsetenv("KELVANE_PASSWORD");
  EXPECT_EQ(id.exitCode, 0) << id.err;
  EXPECT_NE(id.out.find("Model: RM-40 485\nModel type: 3\n"), std::string::npos) << id.out;
  EXPECT_EQ(id.out.find('>'), std::string::npos) << id.out;

  // Written back over the remote link, a profile leaves the far modem's
  // Remote configuration alone unless --sections names it, as apply does:
  // the password of the next login stays the one that worked.
  SetText(block.remote.RemotePassword, "changed9");
  ASSERT_TRUE(SaveProfileFile(out, block, error)) << error;
  const ProcessResult w = RunProcess(KELVANE_CLI, {"write", "--port", sim.SlavePath(), "--baud", "9600", "--remote",
                                                   "5551234", "--password-file", pw, out, "--yes",
                                                   "--response-timeout", "0"}, 90000);
  EXPECT_EQ(w.exitCode, 0) << w.err;
  EXPECT_NE(w.err.find("the Remote configuration is not written over the remote link"), std::string::npos) << w.err;
  const ProcessResult again = RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath(), "--baud", "9600",
                                                       "--remote", "5551234", "--password-file", pw,
                                                       "--response-timeout", "0"});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  ::unlink(pw.c_str());
  ::unlink(out.c_str());
}

// A remote read killed at each moment of its call, by SIGKILL (nothing is
// cleaned up) and by SIGTERM (the command cancels); then the next command,
// local or remote, must reach the modem it means and finish. Each moment is
// met once per signal, the next commands taking turns (the full product would
// take ten minutes). The simulator says which modem received each line. A
// cancelled run ends its own call before it exits, also one that connects
// after the cancel (dial abort off) and a logout whose escape the line holds
// back (the run that is not killed).
TEST(CliRemote, AfterAKilledRunTheNextCommandReachesTheModemItMeans) {
  enum Next { LocalRead, LocalWrite, LocalApply, RemoteRead, RemoteWrite, RemoteApply };
  struct Row {
    const char* moment;
    const char* event;  // the simulator's report the kill waits for
    int signal;         // 0: not killed
    Next next;
    std::vector<std::string> simExtra = {};
  };
  const Row rows[] = {
      {"before the dial", "line AT", SIGKILL, LocalApply},
      {"during the dial", "state dialling", SIGKILL, RemoteRead},
      {"after the dial", "state online", SIGKILL, LocalRead},
      {"during the login", "state password", SIGKILL, RemoteApply},
      {"during the session", "state session", SIGKILL, LocalApply},
      {"during the escape", "state escape", SIGKILL, RemoteRead},
      {"after the hang-up", "line ATH", SIGKILL, LocalWrite},
      {"before the dial", "line AT", SIGTERM, RemoteWrite},
      {"during the dial", "state dialling", SIGTERM, LocalWrite},
      {"after the dial", "state online", SIGTERM, RemoteApply},
      {"during the login", "state password", SIGTERM, LocalRead},
      {"during the session", "state session", SIGTERM, RemoteWrite},
      {"during the escape", "state escape", SIGTERM, LocalRead},
      {"after the hang-up", "line ATH", SIGTERM, RemoteApply},
      {"during the dial, dial abort off", "state dialling", SIGTERM, LocalApply,
       {"--dial-abort-off", "--dial-delay", "2500"}},
      {"the logout's escape stalls", "state session", 0, RemoteRead, {"--stall-escape", "3000"}},
  };
  // The golden profile: the local modem's own with a new S0.
  const std::string golden = TempPath("golden.dat"), pw = WriteFile("pw-kill", "letmein\n");
  {
    ModemSimProcess plain;
    ASSERT_TRUE(plain.Start(KELVANE_MODEMSIM, {"--model", "2", "--rate", "9600"}));
    ASSERT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", plain.SlavePath(), "--baud", "9600", "-o", golden}).exitCode, 0);
    ASSERT_EQ(RunProcess(KELVANE_CLI, {"set", golden, "BasicSettings.S0=5"}).exitCode, 0);
  }
  // Markers of this test's runs only.
  const std::string runtime = TempPath("runtime");
  ::mkdir(runtime.c_str(), 0700);
  const char* savedRuntime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = savedRuntime ? savedRuntime : "";
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

  auto runRow = [&](const Row& row, size_t index) {
    SCOPED_TRACE(std::string(row.moment) + (row.signal == SIGKILL ? ", SIGKILL" : ", SIGTERM"));
    std::vector<std::string> simArgs = kRemoteSim;
    simArgs.insert(simArgs.end(), {"--events", "--dial-delay", "600"});
    simArgs.insert(simArgs.end(), row.simExtra.begin(), row.simExtra.end());
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, simArgs));
    const std::string tag = std::to_string(index), err = TempPath("killed-err-" + tag);
    const std::string killedOut = TempPath("killed-" + tag + ".dat"), out = TempPath("next-" + tag + ".dat");
    const std::vector<std::string> remote = {"--remote", "5551234", "--password-file", pw};
    std::vector<std::string> killedArgs = {"read", "--port", sim.SlavePath(), "--baud", "9600", "--sections", "basic",
                                           "-o", killedOut};
    killedArgs.insert(killedArgs.end(), remote.begin(), remote.end());
    const pid_t pid = StartCli(killedArgs, err);
    ASSERT_TRUE(sim.WaitForEvent(row.event, 30000));
    if (row.signal != 0) ::kill(pid, row.signal);
    const int killed = Reap(pid, 30000);
    EXPECT_NE(killed, -1) << "the killed run did not end";
    // Everything the killed run sent is reported before the simulator sees
    // its port close: none of it is taken for the next command's.
    const std::string after = sim.TakeEventsThrough("hangup");
    EXPECT_FALSE(after.empty()) << "the simulator never saw the port close";
    if (row.signal != SIGKILL) {
      // It left the local modem in command mode, with no call.
      const size_t last = after.rfind("state ");
      if (last != std::string::npos) {
        EXPECT_EQ(after.substr(last, after.find('\n', last) - last), "state command") << after;
      } else {
        EXPECT_EQ(std::string(row.event).rfind("line ", 0), 0u) << after;
      }
    }
    if (row.signal == 0) {
      EXPECT_EQ(killed, 0) << ReadText(err);
    }
    // Cancelled during its logout, a finished read succeeds and says nothing
    // of the cancel.
    if (row.signal == SIGTERM && std::string(row.event) == "state escape") {
      EXPECT_EQ(killed, 0) << ReadText(err);
      EXPECT_EQ(ReadText(err).find("Cancelled"), std::string::npos) << ReadText(err);
    }
    sim.TakeEvents();

    std::vector<std::string> args;
    const bool isRemote = row.next >= RemoteRead;
    switch (row.next) {
      case LocalRead:
      case RemoteRead: args = {"read", "-o", out}; break;
      case LocalWrite:
      case RemoteWrite: args = {"write", golden}; break;
      case LocalApply:
      case RemoteApply: args = {"apply", golden}; break;
    }
    args.insert(args.end(), {"--port", sim.SlavePath(), "--baud", "9600", "--sections", "basic"});
    if (isRemote) args.insert(args.end(), remote.begin(), remote.end());
    const ProcessResult r = RunProcess(KELVANE_CLI, args, 60000);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string events = sim.TakeEvents();
    const bool writes = row.next != LocalRead && row.next != RemoteRead;
    if (isRemote) {
      EXPECT_NE(events.find("line ATD5551234\n"), std::string::npos) << events;
      if (writes) {
        EXPECT_NE(events.find("far-line ATS0=5"), std::string::npos) << events;
      }
    } else {
      // Nothing of the next command reached the far modem (only the
      // "ATH" and "AT*WRCE" that end a session left up).
      for (const char* line : {"far-line ATI9", "far-line AT&V", "far-line ATS0"}) {
        EXPECT_EQ(events.find(line), std::string::npos) << events;
      }
      EXPECT_NE(events.find("line ATI9\n"), std::string::npos) << events;
      if (writes) {
        EXPECT_NE(events.find("\nline ATS0=5"), std::string::npos) << events;
      }
    }
    for (const std::string& f : {err, killedOut, out}) ::unlink(f.c_str());
  };
  // The rows run a few at a time, each with a simulator of its own: most of
  // their time is the modems' waits.
  constexpr size_t kAtOnce = 8;
  for (size_t first = 0; first < std::size(rows); first += kAtOnce) {
    std::vector<std::thread> batch;
    for (size_t i = first; i < std::min(first + kAtOnce, std::size(rows)); ++i) batch.emplace_back(runRow, rows[i], i);
    for (std::thread& t : batch) t.join();
  }
  if (savedRuntime) {
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
  std::filesystem::remove_all(runtime);
  ::unlink(golden.c_str());
  ::unlink(pw.c_str());
}

TEST(CliRemote, FailuresHangUpAndExitWithOne) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, kRemoteSim));
  const std::string good = WriteFile("good", "letmein"), bad = WriteFile("bad", "guess\n");
  const std::string out = TempPath("never.dat"), profile = TempPath("local.dat");
  ASSERT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", sim.SlavePath(), "--baud", "9600", "-o", profile}).exitCode, 0);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* message;
    // The port goes away (the simulator ends) when it reports this; the
    // command then runs on a simulator of its own.
    const char* lineLostAt = nullptr;
    bool write = false;
  };
  const Case cases[] = {
      {"wrong password", {"--remote", "5551234", "--password-file", bad}, "Error: Password not accepted."},
      {"unanswered number", {"--remote", "5559999", "--password-file", good}, "Error, no answer."},
      {"port lost in the dial", {"--remote", "5551234", "--password-file", good}, "Modem disconnected during process!",
       "state dialling", true},
      {"port lost in the login", {"--remote", "5551234", "--password-file", good},
       "Modem disconnected during process!", "state password", true},
      {"port lost in the session", {"--remote", "5551234", "--password-file", good},
       "Modem disconnected during process!", "far-line ATS", true},
      {"port lost in a read", {"--remote", "5551234", "--password-file", good}, "Modem disconnected during process!",
       "far-line AT&V"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModemSimProcess own;
    if (c.lineLostAt) {
      std::vector<std::string> simArgs = kRemoteSim;
      simArgs.push_back("--events");
      // A session's commands follow each other within a millisecond: the
      // simulator itself cuts the line at the far modem's command.
      const std::string farLine = "far-line ";
      if (std::string(c.lineLostAt).rfind(farLine, 0) == 0)
        simArgs.insert(simArgs.end(), {"--far-drop-on", c.lineLostAt + farLine.size()});
      ASSERT_TRUE(own.Start(KELVANE_MODEMSIM, simArgs));
    }
    const std::string port = c.lineLostAt ? own.SlavePath() : sim.SlavePath();
    std::vector<std::string> args = {"read", "--port", port, "--baud", "9600", "-o", out};
    if (c.write) args = {"write", profile, "--port", port, "--baud", "9600", "--sections", "basic"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ProcessResult r;
    if (c.lineLostAt) {
      const std::string err = TempPath("lost-err");
      const pid_t pid = StartCli(args, err);
      EXPECT_TRUE(own.WaitForEvent(c.lineLostAt, 30000));
      own.Stop();
      r.exitCode = Reap(pid, 30000);
      r.err = ReadText(err);
      ::unlink(err.c_str());
    } else {
      r = RunProcess(KELVANE_CLI, args, 60000);
    }
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("guess"), std::string::npos);
    EXPECT_NE(::access(out.c_str(), F_OK), 0);
    if (!c.lineLostAt) ExpectLocalModemInCommandMode(sim);
  }
  ::unlink(profile.c_str());

  // Usage errors: a number that is no number, a password file that is not
  // there, --remote where it means nothing.
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath(), "--remote", "555\rATZ"}).exitCode, 2);
  const ProcessResult missing = RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath(), "--remote", "5551234",
                                                         "--password-file", "/nonexistent/pw"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("/nonexistent/pw"), std::string::npos);
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"flash", "--port", sim.SlavePath(), good, "--remote", "1"}).exitCode, 2);
  ::unlink(good.c_str());
  ::unlink(bad.c_str());
}

TEST(CliRemote, CtrlCDuringTheReadStillEndsTheSession) {
  std::vector<std::string> args = kRemoteSim;
  args.push_back("--pace");
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, args));
  const std::string pw = WriteFile("pw-int", "letmein"), out = TempPath("interrupted.dat");
  // The login takes about 4.5 s (dial, guard times); the read then runs for
  // about 5 s more at 9600 baud.
  const ProcessResult r = testing::RunProcessInterrupted(
      KELVANE_CLI, {"read", "--port", sim.SlavePath(), "--baud", "9600", "--remote", "5551234", "--password-file", pw,
                    "-o", out, "--response-timeout", "0"},
      6500, 90000);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(::access(out.c_str(), F_OK), 0);
  // Had the session not been ended, the identification would reach the far
  // modem (an RM-40 485) instead of the local RM-40.
  ExpectLocalModemInCommandMode(sim);
  ::unlink(pw.c_str());
}

TEST(CliRemote, RemoteModemDropsTheLineMidRead) {
  std::vector<std::string> args = kRemoteSim;
  args.insert(args.end(), {"--drop-after", "12"});
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, args));
  const std::string pw = WriteFile("pw-drop", "letmein"), out = TempPath("dropped.dat");
  const ProcessResult r = RunProcess(KELVANE_CLI, {"read", "--port", sim.SlavePath(), "--baud", "9600", "--remote",
                                                   "5551234", "--password-file", pw, "-o", out},
                                     90000);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("Reading the configuration failed"), std::string::npos) << r.err;
  EXPECT_NE(::access(out.c_str(), F_OK), 0);
  ExpectLocalModemInCommandMode(sim);
  ::unlink(pw.c_str());
}

TEST(CliFlash, ThousandRecordsInBothModes) {
  std::string text = Firmware(1000), lineFeeds;
  // As most tools here write text: line feeds alone.
  for (char c : text) {
    if (c != '\r') lineFeeds += c;
  }
  const std::string crlf = WriteFile("fw1000.s19", text), lf = WriteFile("fw1000-lf.s19", lineFeeds);
  for (const auto& [mode, file] : {std::pair{"1", crlf}, std::pair{"2", crlf}, std::pair{"2", lf}}) {
    SCOPED_TRACE(std::string(mode) + " " + file);
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "3", "--flash-mode", mode}));
    const ProcessResult r =
        RunProcess(KELVANE_CLI, {"flash", "--port", sim.SlavePath(), file, "--yes", "--response-timeout", "0"}, 90000);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("999 records flashed in"), std::string::npos) << r.out;
    // The progress and the end count the same records.
    EXPECT_NE(r.err.find("Loading Data, Record 990 / 999"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Loading Data, Record 999 / 999"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(std::string(mode) == "1" ? "Download Success" : "Download successful"), std::string::npos);
    // The modem now listens at 115200 baud.
    EXPECT_EQ(RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath(), "--baud", "115200"}).exitCode, 0);
  }
  ::unlink(crlf.c_str());
  ::unlink(lf.c_str());
}

TEST(CliFlash, RefusedFilesAndFailedFlashes) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "3"}));
  const std::string dir = TempPath("dir");
  ::mkdir(dir.c_str(), 0700);
  struct Case {
    const char* name;
    std::string path;
    std::vector<std::string> extra;
    const char* message;
  };
  const Case cases[] = {
      {"empty", WriteFile("empty", ""), {"--yes"}, "The file holds no firmware records."},
      {"binary", WriteFile("binary", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\r\n", 13)), {"--yes"},
       "The file is not a firmware text file."},
      {"no line end", WriteFile("nocr", "S1130000"), {"--yes"}, "The file holds no firmware records."},
      {"LF, the last line unended", WriteFile("unended", "S0\nS1130000\nS9030000FC"), {"--yes"},
       "The file's last line would not be sent."},
      {"directory", dir, {"--yes"}, "Unable to open file..."},
      {"not confirmed", WriteFile("fw", Firmware(20)), {}, "(not answered: no terminal to ask on; use --yes)"},
      {"bad record", WriteFile("badrec", Firmware(30, true)), {"--yes"}, "Download failed"},
      {"no end record", WriteFile("noend", Firmware(30, false, false)), {"--yes"}, "Download failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"flash", "--port", sim.SlavePath(), c.path, "--response-timeout", "0",
                                     "--baud", "115200"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const ProcessResult r = RunProcess(KELVANE_CLI, args, 60000);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    if (c.path != dir) ::unlink(c.path.c_str());
  }
  ::rmdir(dir.c_str());
}

TEST(CliFlash, PortUnpluggedMidFlash) {
  // At line speed the download of 20000 records lasts about 7.5 s.
  const std::string file = WriteFile("fw-long.s19", Firmware(20000));
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "3", "--pace", "--pace-input", "--events"}));
  ProcessResult r;
  std::thread cli([&] { r = RunProcess(KELVANE_CLI, {"flash", "--port", sim.SlavePath(), file, "--yes"}, 60000); });
  // Unplugged once the loader has taken over, however long the way there took.
  const bool downloading = sim.WaitForEvent("state download", 60000);
  const auto stopped = std::chrono::steady_clock::now();
  sim.Stop();
  cli.join();
  EXPECT_TRUE(downloading) << r.err;
  const double after = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count();
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("Modem disconnected during process!"), std::string::npos) << r.err;
  EXPECT_LT(after, 10.0);  // no hang once the port is gone
  ::unlink(file.c_str());
}

}  // namespace
}  // namespace kelvane
