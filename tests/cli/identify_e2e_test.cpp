// End to end: the real kelvane-cli against the real kelvane-modemsim over a
// pseudo-terminal.

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "sim/modemsim_process.h"
#include "support/run_process.h"

namespace kelvane {
namespace {

using testing::RunProcess;

TEST(CliIdentify, FindsTheModemOnAPseudoTerminalAtItsRate) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "2", "--rate", "9600"}));
  const auto ok = RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath(), "--baud", "9600"});
  EXPECT_EQ(ok.exitCode, 0) << ok.err;
  EXPECT_NE(ok.out.find("Model: RM-40\n"), std::string::npos) << ok.out;
  EXPECT_NE(ok.out.find("Model type: 2"), std::string::npos);

  // At the wrong speed the modem answers nothing the tool understands.
  const auto wrong = RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath(), "--baud", "19200"});
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_NE(wrong.err.find("No Dalmarin modem found!"), std::string::npos) << wrong.err;
}

TEST(CliIdentify, BuiltInSimulatedModem) {
  const auto r = RunProcess(KELVANE_CLI, {"identify", "--port", "sim:3"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Model: RM-40 485"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Model type: 3"), std::string::npos);
}

// --json: the report's identification texts, locally and at a far modem.
TEST(CliIdentify, Json) {
  ModemSimProcess network;
  ASSERT_TRUE(network.Start(KELVANE_MODEMSIM, {"--model", "3", "--far", "5553001:1:FarPass31"}));
  const std::string password = "/tmp/kelvane-identify-" + std::to_string(::getpid()) + ".pw";
  std::ofstream(password) << "FarPass31\n";
  struct Case {
    std::vector<std::string> args;
    std::string model;
    int type;
    std::string article;
    const char* dip;  // nullptr: the model has none
  };
  const Case cases[] = {
      {{"--port", "sim:3"}, "RM-40 485", 3, "7730-03", "01 00 00 01"},
      {{"--port", "sim:1"}, "RMX-21", 1, "7730-01", nullptr},
      {{"--port", network.SlavePath(), "--remote", "5553001", "--password-file", password}, "RMX-21", 1, "7730-01",
       nullptr},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"identify", "--json"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = RunProcess(KELVANE_CLI, args, 60000);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["model"], c.model);
    EXPECT_EQ(j["type"], c.type);
    EXPECT_EQ(j["article"], c.article);
    EXPECT_EQ(j["version"], "SW 3.14");
    EXPECT_EQ(j["software_version"], "Dalmarin " + c.model + " " + c.article + " SW 3.14");
    EXPECT_EQ(j["hardware"], "1.30");
    EXPECT_EQ(j["dsp"], "2.07");
    if (c.dip) {
      EXPECT_EQ(j["dip_switches"], c.dip);
    } else {
      EXPECT_TRUE(j["dip_switches"].is_null());
    }
  }
  ::unlink(password.c_str());
}

TEST(CliIdentify, FailuresAndUsage) {
  const auto missing = RunProcess(KELVANE_CLI, {"identify", "--port", "/dev/kelvane-no-such-port"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("Unable to open COM-port..."), std::string::npos);
  EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos);

  const auto notTty = RunProcess(KELVANE_CLI, {"identify", "--port", "/dev/null"});
  EXPECT_EQ(notTty.exitCode, 1);
  EXPECT_NE(notTty.err.find("not a serial port"), std::string::npos);

  EXPECT_EQ(RunProcess(KELVANE_CLI, {"identify"}).exitCode, 2);
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"identify", "--port", "sim:3", "--baud", "1234"}).exitCode, 2);
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"frobnicate"}).exitCode, 2);
  const auto help = RunProcess(KELVANE_CLI, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("identify"), std::string::npos);
}

TEST(CliIdentify, UnsupportedArticle) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--article", "7730-05"}));
  const auto r = RunProcess(KELVANE_CLI, {"identify", "--port", sim.SlavePath()});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_NE(r.err.find("A modem was found, but it is unsupported by Kelvane."), std::string::npos);
}

}  // namespace
}  // namespace kelvane
