// End to end: kelvane-cli scan and Ctrl-C against kelvane-modemsim over a
// pseudo-terminal.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "sim/modemsim_process.h"
#include "support/run_process.h"

namespace kelvane {
namespace {

using testing::RunProcess;
using testing::RunProcessInterrupted;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CliScan, FindsTheModemAtItsRateAndPrintsItsSettings) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "2", "--rate", "9600", "--format", "8N1"}));
  const auto r = RunProcess(KELVANE_CLI, {"scan", "--port", sim.SlavePath()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "RM-40 (model type 2) at 9600 bps, None, 8, 1\n");
  // The quick pass came down from 115200, one status line per attempt.
  EXPECT_TRUE(Has(r.err, "Searching : 115200 bps, None, 8, 1\nSearching :  57600 bps, None, 8, 1\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "Searching :   9600 bps, None, 8, 1\n")) << r.err;
  EXPECT_FALSE(Has(r.err, "4800")) << r.err;

  const auto json = RunProcess(KELVANE_CLI, {"scan", "--port", sim.SlavePath(), "--baud", "9600:4800", "--json"});
  EXPECT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\"model\": \"RM-40\", \"type\": 2, \"baud\": 9600, \"parity\": \"None\", \"data\": 8, \"stop\": 1}\n");
}

TEST(CliScan, StopBitsAreToldApartOnAPseudoTerminal) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "4", "--rate", "4800", "--format", "8N2"}));
  const auto r = RunProcess(KELVANE_CLI, {"scan", "--port", sim.SlavePath(), "--baud", "4800", "--parity",
                                          "None", "--data", "8"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "RP-40 (model type 4) at 4800 bps, None, 8, 2\n");
  EXPECT_TRUE(Has(r.err, "Searching :   4800 bps, None, 8, 1\nSearching :   4800 bps, None, 8, 2\n")) << r.err;
}

TEST(CliScan, LogRecordsTheSearchTraffic) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "2", "--rate", "9600", "--format", "8N1"}));
  const std::string log =
      (std::filesystem::temp_directory_path() / ("kelvane-scan-" + std::to_string(::getpid()) + ".log")).string();
  const auto r = RunProcess(KELVANE_CLI, {"scan", "--port", sim.SlavePath(), "--baud", "9600", "--log", log});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::ifstream in(log);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(log);
  EXPECT_TRUE(Has(text, " TX AT\\r\n")) << text;
  EXPECT_TRUE(Has(text, " TX ATI9\\r\n")) << text;
  EXPECT_TRUE(Has(text, " RX ")) << text;
}

TEST(CliScan, EndingsAndExitCodes) {
  ModemSimProcess other;
  ASSERT_TRUE(other.Start(KELVANE_MODEMSIM, {"--model", "1", "--rate", "2400"}));
  const auto none = RunProcess(KELVANE_CLI, {"scan", "--port", other.SlavePath(), "--baud", "9600:4800",
                                             "--parity", "None", "--data", "8", "--stop", "1"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_TRUE(Has(none.err, "No Dalmarin modem found!")) << none.err;
  EXPECT_EQ(none.out, "");

  ModemSimProcess unsupported;
  ASSERT_TRUE(unsupported.Start(KELVANE_MODEMSIM, {"--article", "7730-05", "--rate", "115200"}));
  const auto u = RunProcess(KELVANE_CLI, {"scan", "--port", unsupported.SlavePath()});
  EXPECT_EQ(u.exitCode, 3);
  EXPECT_TRUE(Has(u.err, "A modem was found, but it is unsupported by Kelvane.")) << u.err;

  const auto missing = RunProcess(KELVANE_CLI, {"scan", "--port", "/dev/kelvane-no-such-port"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(Has(missing.err, "Unable to open COM-port...")) << missing.err;
  EXPECT_FALSE(Has(missing.err, "Searching")) << missing.err;

  struct Usage {
    std::vector<std::string> args;
  } usages[] = {
      {{"scan"}},
      {{"scan", "--port", "sim:1", "--baud", "9600:1234"}},
      {{"scan", "--port", "sim:1", "--parity", "None:Mark"}},
      {{"scan", "--port", "sim:1", "extra"}},
      {{"identify", "--port", "sim:1", "--baud", "9600:300"}},
  };
  for (const Usage& bad : usages) EXPECT_EQ(RunProcess(KELVANE_CLI, bad.args).exitCode, 2) << bad.args.back();
}

TEST(CliInterrupt, CtrlCEndsTheSearchAfterTheAttemptUnderWay) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "2", "--rate", "300"}));
  const auto r = RunProcessInterrupted(KELVANE_CLI, {"scan", "--port", sim.SlavePath()}, 2500, 30000);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(Has(r.err, "Aborting, please wait.")) << r.err;
  EXPECT_TRUE(Has(r.err, "Cancelled by Ctrl-C.")) << r.err;
  EXPECT_FALSE(Has(r.err, "bps, None, 8, 2")) << "the search went on into the full pass:\n" << r.err;
  // The modem is free and answers the next command.
  const auto after = RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath(), "--baud", "300"});
  EXPECT_EQ(after.exitCode, 0) << after.err;
}

TEST(CliInterrupt, CtrlCStopsAReadAndLeavesTheModemInCommandMode) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "3", "--rate", "1200", "--pace"}));
  const std::string out = ::testing::TempDir() + "kelvane_interrupted_read.dat";
  std::remove(out.c_str());
  const auto r = RunProcessInterrupted(
      KELVANE_CLI, {"read", "--port", sim.SlavePath(), "--baud", "1200", "-o", out}, 2500, 30000);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(Has(r.err, "Cancelled by Ctrl-C.")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(out)) << "a cancelled read wrote " << out;
  const auto after = RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath(), "--baud", "1200"});
  EXPECT_EQ(after.exitCode, 0) << after.err;
}

}  // namespace
}  // namespace kelvane
