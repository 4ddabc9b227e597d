// End to end: what kelvane-cli offers a Linux user around the modem commands:
// the traffic log, /dev/serial/by-id names as ports, the port list as JSON,
// --version and the examples of --help.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/adapter.h"
#include "config/profile.h"
#include "config/version.h"
#include "sim/modemsim_process.h"
#include "support/run_process.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using testing::RunProcess;

class CliDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kelvane-cli-desktop-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string File(const std::string& name) const { return (dir_ / name).string(); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
};

TEST_F(CliDesktop, TrafficLogOfARemoteSessionHoldsNoPassword) {
  const std::string password = "Sesame77";
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "2", "--remote-number", "5551234", "--password", password,
                                           "--remote-model", "3"}));
  std::ofstream(File("pw.txt")) << password << "\n";
  const std::string log = File("traffic.log");
  const auto r = RunProcess(KELVANE_CLI, {"read", "--port", sim.SlavePath(), "--remote", "5551234", "--password-file",
                                          File("pw.txt"), "--sections", "remote", "-o", File("far.dat"), "--log", log});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string text = Read(log);
  // The whole session is there, both ways, line by line...
  EXPECT_NE(text.find(" TX ATD5551234\\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" RX C_PASSWORD:"), std::string::npos) << text;
  EXPECT_NE(text.find(" TX ********\\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" TX AT*WRCP?\\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" RX *WRCP: ********"), std::string::npos) << text;
  // ...but the password, sent at the login and read back as a setting, is not.
  EXPECT_EQ(text.find(password), std::string::npos) << text;
}

TEST_F(CliDesktop, AnUnwritableLogStopsBeforeTheModemIsTouched) {
  const auto r = RunProcess(KELVANE_CLI, {"identify", "--port", "sim:3", "--log", File("missing/traffic.log")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(File("missing/traffic.log")), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(CliDesktop, AByIdNameServesAsThePort) {
  const std::string byId = File("serial/by-id/usb-FTDI_FT232R_USB_UART_A12B34CD-if00-port0");
  fs::create_directories(File("serial/by-id"));
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "1", "--link", byId}));
  const auto r = RunProcess(KELVANE_CLI, {"identify", "--port", byId});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Model type: 1"), std::string::npos) << r.out;
}

TEST_F(CliDesktop, VersionPortsAsJsonAndAnExampleForEveryCommand) {
  const auto version = RunProcess(KELVANE_CLI, {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("kelvane-cli ") + kVersion + "\n");
  const auto simVersion = RunProcess(KELVANE_MODEMSIM, {"--version"});
  EXPECT_EQ(simVersion.exitCode, 0);
  EXPECT_EQ(simVersion.out, std::string("kelvane-modemsim ") + kVersion + "\n");

  // Whatever ports this machine has, the answer is a JSON array.
  const auto ports = RunProcess(KELVANE_CLI, {"ports", "--json"});
  EXPECT_EQ(ports.exitCode, 0) << ports.err;
  ASSERT_GE(ports.out.size(), 3u);
  EXPECT_EQ(ports.out.front(), '[');
  EXPECT_EQ(ports.out.substr(ports.out.size() - 2), "]\n");

  const auto help = RunProcess(KELVANE_CLI, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* command : {"ports", "identify", "read", "write", "show", "diff", "verify", "report", "flash", "import",
                              "set", "fields", "apply"}) {
    EXPECT_NE(help.out.find(std::string("      kelvane-cli ") + command + " "), std::string::npos)
        << "no example for " << command;
  }
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

// show --json --show-secrets, then import: the same 3739 bytes.
class CliImport : public CliDesktop {
 protected:
  void RoundTrip(const std::string& profile) {
    const auto shown = RunProcess(KELVANE_CLI, {"show", profile, "--json", "--show-secrets"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    const std::string json = File("profile.json");
    std::ofstream(json, std::ios::binary) << shown.out;
    const std::string back = File("back.dat");
    const auto imported = RunProcess(KELVANE_CLI, {"import", json, "-o", back});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    const std::string original = Read(profile), again = Read(back);
    EXPECT_EQ(again.size(), 3739u);
    EXPECT_TRUE(original == again) << "the imported profile differs from " << profile;
  }
};

TEST_F(CliImport, EveryModelTypeComesBackByteForByte) {
  for (const char* port : {"sim:1", "sim:2", "sim:3", "sim:4"}) {
    SCOPED_TRACE(port);
    const std::string profile = File(std::string("modem-") + port[4] + ".dat");
    const auto read = RunProcess(KELVANE_CLI, {"read", "--port", port, "-o", profile});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    RoundTrip(profile);
  }
}

TEST_F(CliImport, TextsAtTheirLimitsAndEightBitCharactersComeBack) {
  CAdapter a;
  ConfigBlock& c = a.Config;
  // All 32 bytes, no terminating zero, in the one form the field takes: a
  // carrier and its numbers.
  const std::string modulation = "V34,12345,12345,12345,12345,1234";
  ASSERT_EQ(modulation.size(), sizeof c.basic.Modulation);
  SetTextFull(c.basic.Modulation, modulation);
  // A password takes printable ASCII only: its ends and what JSON escapes.
  SetText(c.remote.RemotePassword, " ~\"\\/" + std::string(14, 'p'));
  for (int i = 0; i < 10; ++i) {
    SetText(c.io.Data2[i], std::string(160, static_cast<char>(0xA0 + i)));
    SetText(c.callback.CallbackPasswords[i], std::string(20, static_cast<char>('a' + i)));
    c.io.Retry[i] = i % 2 ? INT32_MAX : INT32_MIN;
  }
  // Eight-bit bytes from both ends of the range and what JSON escapes, in a
  // text that takes them.
  SetText(c.io.Data2[0], "\xE4\xF6\xFC\xDF\x80\xFF\\/" + std::string(152, '\xA0'));
  c.remote.RemoteEnable = 255;
  c.serial.DteParity = 'O';
  const std::string profile = File("limits.dat");
  std::string error;
  ASSERT_TRUE(SaveProfileFile(profile, c, error)) << error;
  RoundTrip(profile);
}

TEST_F(CliImport, AFaultyTextLeavesTheProfileAlone) {
  const std::string target = File("keep.dat");
  std::ofstream(target) << "earlier";
  std::ofstream(File("bad.json")) << R"({"BasicSettings": {"S0": 2, "Colour": "red"}})";
  const auto r = RunProcess(KELVANE_CLI, {"import", File("bad.json"), "-o", target});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("unknown field \"BasicSettings.Colour\""), std::string::npos) << r.err;
  EXPECT_EQ(Read(target), "earlier");
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"import", File("bad.json")}).exitCode, 2);
}

}  // namespace
}  // namespace kelvane
