// End to end over pseudo-terminals: read a modem into a profile, change it,
// write it to a second modem, and verify both.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <unistd.h>

#include "config/adapter.h"
#include "config/profile.h"
#include "sim/modemsim_process.h"
#include "support/run_process.h"

namespace kelvane {
namespace {

using testing::RunProcess;

std::string TempPath(const std::string& name) {
  return "/tmp/kelvane-e2e-" + std::to_string(::getpid()) + "-" + name;
}

TEST(CliConfiguration, ReadWriteVerifyAcrossTwoModems) {
  ModemSimProcess first, second;
  ASSERT_TRUE(first.Start(KELVANE_MODEMSIM, {"--model", "3"}));
  ASSERT_TRUE(second.Start(KELVANE_MODEMSIM, {"--model", "3"}));
  const std::string read = TempPath("read.dat"), changed = TempPath("changed.dat");

  const auto r = RunProcess(KELVANE_CLI, {"read", "--port", first.SlavePath(), "-o", read});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");  // no progress lines when stdout is not a terminal

  ConfigBlock block;
  std::string error;
  ASSERT_TRUE(LoadProfileFile(read, block, error)) << error;
  block.basic.S0 = 7;
  SetText(block.dial.StoredNumbers[2], "0401234567");
  SetText(block.callerId.AcceptedNumbers[4], "5551234");
  block.io.Service[3] = 2;
  SetText(block.io.Data2[3], "Alarm on input 4");
  ASSERT_TRUE(SaveProfileFile(changed, block, error)) << error;

  // Writing everything asks first; without a terminal and without --yes it is refused.
  const auto refused = RunProcess(KELVANE_CLI, {"write", "--port", second.SlavePath(), changed});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("Write current profile to adapter?"), std::string::npos) << refused.err;

  const auto w = RunProcess(KELVANE_CLI, {"write", "--port", second.SlavePath(), changed, "--yes"});
  ASSERT_EQ(w.exitCode, 0) << w.err;

  const auto same = RunProcess(KELVANE_CLI, {"verify", "--port", second.SlavePath(), changed});
  EXPECT_EQ(same.exitCode, 0) << same.out << same.err;

  const auto differ = RunProcess(KELVANE_CLI, {"verify", "--port", first.SlavePath(), changed});
  EXPECT_EQ(differ.exitCode, 1);
  EXPECT_NE(differ.out.find("BasicSettings.S0"), std::string::npos) << differ.out;
  EXPECT_NE(differ.out.find("IoSettings.Data2[3]"), std::string::npos);

  ::unlink(read.c_str());
  ::unlink(changed.c_str());
}

TEST(CliConfiguration, SectionsAndReport) {
  const std::string basic = TempPath("basic.dat"), report = TempPath("report.htm");
  const auto r = RunProcess(KELVANE_CLI, {"read", "--port", "sim:1", "--sections", "basic,serial", "-o", basic});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto w = RunProcess(KELVANE_CLI, {"write", "--port", "sim:1", basic, "--sections", "basic"});
  EXPECT_EQ(w.exitCode, 0) << w.err;

  const auto rep = RunProcess(KELVANE_CLI, {"report", "--port", "sim:3", "-o", report});
  ASSERT_EQ(rep.exitCode, 0) << rep.err;
  std::ifstream in(report);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("RM-40 485"), std::string::npos);
  ::unlink(basic.c_str());
  ::unlink(report.c_str());
}

TEST(CliConfiguration, FailuresExitWithOne) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "2", "--rate", "9600"}));
  const std::string out = TempPath("never.dat");
  // Wrong speed: no modem found, no file written.
  const auto r = RunProcess(KELVANE_CLI, {"read", "--port", sim.SlavePath(), "--baud", "19200", "-o", out});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(::access(out.c_str(), F_OK), 0);
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"write", "--port", "sim:2", "/nonexistent/p.dat", "--yes"}).exitCode, 1);
}

TEST(CliConfiguration, WritesThatCannotWorkFailBeforeTheModem) {
  const std::string profile = TempPath("whole.dat");
  CAdapter a;
  std::string error;
  ASSERT_TRUE(SaveProfileFile(profile, a.Config, error)) << error;
  const std::string cut = TempPath("cut.dat");
  std::ofstream(cut, std::ios::binary) << ProfileBytes(a.Config).substr(0, 39 + 1000);
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  // The port does not exist: a message about it would mean the modem was tried first.
  for (const Case& k : {
           Case{{"read", "--port", "/nonexistent/tty", "-o", "/nonexistent/dir/x.dat"},
                "Unable to open file...\n/nonexistent/dir/x.dat: No such file or directory\n"},
           Case{{"read", "--port", "/nonexistent/tty", "-o", "/nonexistent/../nonexistent/x.dat"},
                "Unable to open file...\n/nonexistent/x.dat: No such file or directory\n"},
           // A profile carries its Remote configuration, which is written like
           // any other section; a short one would spread defaults nobody chose.
           Case{{"write", "--port", "/nonexistent/tty", cut, "--sections", "remote"},
                "The profile is shorter than 3739 bytes. These sections were filled with default values: "
                "Callback, I/O.\n" + cut + ": 1039 bytes\nkelvane-cli write: a short profile is refused; no modem "
                "was touched.\n"},
       }) {
    const auto r = RunProcess(KELVANE_CLI, k.args);
    EXPECT_EQ(r.exitCode, 1) << k.args[0];
    EXPECT_EQ(r.err, k.err) << k.args[0];
  }

  const auto io = RunProcess(KELVANE_CLI, {"write", "--port", "sim:2", profile, "--sections", "io"});
  EXPECT_EQ(io.exitCode, 1);
  EXPECT_EQ(io.err, "kelvane-cli write: the RM-40 has no I/O section; nothing was sent.\n");
  ::unlink(profile.c_str());
  ::unlink(cut.c_str());
}

}  // namespace
}  // namespace kelvane
