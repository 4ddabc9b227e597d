// End to end over pseudo-terminals: a remote configuration through a dialled
// line, and the firmware flash update, with the failures a user meets.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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

TEST(CliRemote, ReadsTheRemoteConfiguration) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, kRemoteSim));
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

TEST(CliRemote, FailuresHangUpAndExitWithOne) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, kRemoteSim));
  const std::string good = WriteFile("good", "letmein"), bad = WriteFile("bad", "guess\n");
  const std::string out = TempPath("never.dat");
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {"wrong password", {"--remote", "5551234", "--password-file", bad}, "Error: Password not accepted."},
      {"unanswered number", {"--remote", "5559999", "--password-file", good}, "Error, no answer."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"read", "--port", sim.SlavePath(), "--baud", "9600", "-o", out};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult r = RunProcess(KELVANE_CLI, args, 60000);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("guess"), std::string::npos);
    EXPECT_NE(::access(out.c_str(), F_OK), 0);
    ExpectLocalModemInCommandMode(sim);
  }

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
  const std::string file = WriteFile("fw1000.s19", Firmware(1000));
  for (const char* mode : {"1", "2"}) {
    SCOPED_TRACE(mode);
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "3", "--flash-mode", mode}));
    const ProcessResult r =
        RunProcess(KELVANE_CLI, {"flash", "--port", sim.SlavePath(), file, "--yes", "--response-timeout", "0"}, 90000);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("999 records flashed in"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("Loading Data, Record 990 / 1000"), std::string::npos);
    EXPECT_NE(r.err.find(std::string(mode) == "1" ? "Download Success" : "Download successful"), std::string::npos);
    // The modem now listens at 115200 baud.
    EXPECT_EQ(RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath(), "--baud", "115200"}).exitCode, 0);
  }
  ::unlink(file.c_str());
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
      {"no CR", WriteFile("nocr", "S1130000\nS9030000FC\n"), {"--yes"}, "The file holds no firmware records."},
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
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "3", "--pace", "--pace-input"}));
  ProcessResult r;
  std::thread cli([&] { r = RunProcess(KELVANE_CLI, {"flash", "--port", sim.SlavePath(), file, "--yes"}, 60000); });
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const auto stopped = std::chrono::steady_clock::now();
  sim.Stop();
  cli.join();
  const double after = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count();
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("Modem disconnected during process!"), std::string::npos) << r.err;
  EXPECT_LT(after, 10.0);  // no hang once the port is gone
  ::unlink(file.c_str());
}

}  // namespace
}  // namespace kelvane
