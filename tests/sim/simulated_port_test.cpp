#include "sim/simulated_port.h"

#include <gtest/gtest.h>
#include <poll.h>

#include "config/adapter.h"
#include "config/read_engine.h"
#include "config/write_engine.h"
#include "connection/connect.h"
#include "support/virtual_ui.h"

namespace kelvane {
namespace {

// A copy of a field of the packed block (a reference to it would be misaligned).
template <class T>
T Val(T value) {
  return value;
}

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

struct PortTest : ::testing::Test {
  PortTest() {
    port.SetClock([this] { return now; });
    std::string reason;
    EXPECT_TRUE(port.Open("sim:3", reason));
  }
  long long now = 0;
  SimulatedPort port{SimulatedModem(3)};
};

TEST_F(PortTest, DescriptorIsReadableExactlyWhileAnswerWaits) {
  EXPECT_FALSE(Readable(port.PollFd()));
  EXPECT_EQ(port.Write("AT\r"), 3u);
  EXPECT_TRUE(Readable(port.PollFd()));
  EXPECT_EQ(port.ReadAll(), "AT\r\r\nOK\r\n");
  EXPECT_FALSE(Readable(port.PollFd()));
  EXPECT_EQ(port.ReadAll(), "");
  // An answer held back becomes readable when its time comes.
  port.Modem().Options().answerDelayMs = 200;
  port.Write("ATE0\r");
  EXPECT_EQ(port.ReadAll(), "ATE0\r");
  now = 199;
  EXPECT_FALSE(Readable(port.PollFd()));
  now = 200;
  EXPECT_TRUE(Readable(port.PollFd()));
  EXPECT_EQ(port.ReadAll(), "\r\nOK\r\n");
  port.InjectInput("RING\r\n");
  EXPECT_TRUE(Readable(port.PollFd()));
  EXPECT_EQ(port.ReadAll(), "RING\r\n");
}

TEST_F(PortTest, SettingsTextDecidesWhatTheModemHears) {
  port.Modem().State().dteRate = 19200;
  EXPECT_TRUE(port.SetSettings("9600,N,8,1"));
  port.Write("AT\r");
  EXPECT_EQ(port.ReadAll().find("OK"), std::string::npos);
  EXPECT_FALSE(port.SetSettings("19200,X,8,1"));
  EXPECT_EQ(port.Line().baud, 9600);
  EXPECT_TRUE(port.SetSettings("19200,N,8,1"));
  port.Write("AT\r");
  EXPECT_EQ(port.ReadAll(), "AT\r\r\nOK\r\n");
}

TEST_F(PortTest, LinesFollowTheCallAndTheDeviceCanVanish) {
  EXPECT_TRUE(port.CtsHolding());
  EXPECT_TRUE(port.DsrHolding());
  EXPECT_FALSE(port.CdHolding());  // &C1: carrier only during a call
  port.Write("ATD123\r");
  now = 1500;
  EXPECT_TRUE(port.CdHolding());
  EXPECT_NE(port.ReadAll().find("CONNECT 9600"), std::string::npos);
  port.SetDtrEnable(true);
  port.Modem().State().dtrControl = 2;
  port.SetDtrEnable(false);
  EXPECT_FALSE(port.CdHolding());

  port.LoseDevice();
  EXPECT_TRUE(port.Lost());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.Write("AT\r"), 0u);
  EXPECT_EQ(port.ReadAll(), "");
  EXPECT_FALSE(port.CtsHolding());
  std::string reason;
  port.Close();
  EXPECT_FALSE(port.Open("sim:3", reason));
  EXPECT_FALSE(reason.empty());
  port.RestoreDevice();
  EXPECT_TRUE(port.Open("sim:3", reason));
  EXPECT_FALSE(port.Lost());
  port.FailNextOpen("Device or resource busy");
  port.Close();
  EXPECT_FALSE(port.Open("sim:3", reason));
  EXPECT_EQ(reason, "Device or resource busy");
}

// --- the program's own engines against the simulated modem ----------------------

struct EngineTest : ::testing::Test {
  explicit EngineTest(int type = 3) : port(SimulatedModem(type)) {
    a.SetPort(&port);
    port.SetClock([this] { return ui.NowMs(); });
    a.PortNumber = "sim";
    a.BaudRate = "9600";
    a.Parity = "None";
    a.DataBits = "8";
    a.StopBits = "1";
  }
  CAdapter a;
  testing::VirtualUi ui{a};
  SimulatedPort port;
};

TEST_F(EngineTest, IdentifiesReadsAndWritesBackEverySection) {
  ModemSettings& s = port.Modem().State();
  s.s[0] = 4;
  s.SetLineQuality(1);
  s.SetCompressionC(2);
  s.SetBreakControl(3);
  s.errorCorrection = 4;
  s.modulation = "V90A,1,2400,33600,2400,57333";
  s.countryCode = 0xB5;
  s.dteRate = 9600;
  s.icfFormat = 3;
  s.icfParity = 4;
  s.storedNumbers[3] = "0301234";
  s.backupNumber = "555";
  s.backupRetries = 2;
  s.cidFormat = 1;
  s.cidMode = 2;
  s.acceptedNumbers[9] = "+4912345";
  s.remoteEnable = 1;
  s.remotePassword = "secret";
  s.callbackMode = 4;
  s.callbackNumbers[4] = "777";
  s.callbackPasswords[4] = "abcdef";
  s.pulseTa = 120;
  s.io[8].service = 2;
  s.io[8].data2 = "Power failure, site 4";
  port.Modem().Diagnostics().rxLevel = -25;

  ASSERT_TRUE(a.OpenAndIdentify(true));
  EXPECT_EQ(a.ModelType, 3);
  ASSERT_EQ(ReadConfiguration(a, SEC_ALL), 1);
  const ConfigBlock& c = a.Config;
  EXPECT_EQ(Val(c.basic.S0), 4);
  EXPECT_EQ(Val(c.basic.LineQuality), 1);
  EXPECT_EQ(Val(c.basic.CompressionC), 2);
  EXPECT_EQ(Val(c.basic.BreakControl), 3);
  EXPECT_EQ(Val(c.basic.ErrorCorrectionN), 4);
  EXPECT_EQ(GetText(c.basic.Modulation), "V90A,1,2400,33600,2400,57333");
  EXPECT_EQ(Val(c.basic.CountryCode), 0xB5);
  EXPECT_EQ(Val(c.serial.DteRate), 9600);
  EXPECT_EQ(Val(c.serial.DteDataBits), 8);
  EXPECT_EQ(GetText(c.dial.StoredNumbers[3]), "0301234");
  EXPECT_EQ(GetText(c.dial.BackupNumber), "555");
  EXPECT_EQ(Val(c.dial.BackupRetries), 2);
  EXPECT_EQ(Val(c.callerId.CidMode), 2);
  EXPECT_EQ(GetText(c.callerId.AcceptedNumbers[9]), "+4912345");
  EXPECT_EQ(Val(c.remote.RemoteEnable), 1);
  EXPECT_EQ(GetText(c.remote.RemotePassword), "secret");
  EXPECT_EQ(Val(c.callback.CallbackMode), 4);
  EXPECT_EQ(GetText(c.callback.CallbackPasswords[4]), "abcdef");
  EXPECT_EQ(Val(c.io.PulseTa), 120);
  EXPECT_EQ(GetText(c.io.Data2[8]), "Power failure, site 4");
  EXPECT_EQ(a.Diagnostic.RxLevel, 25);
  EXPECT_EQ(a.Diagnostic.SoftwareVersion, "Dalmarin RM-40 485 7730-03 SW 3.14");

  // Writing the block back leaves the modem as it was, and stores it.
  const ModemSettings before = s;
  ASSERT_EQ(WriteConfiguration(a, SEC_ALL), 1) << (ui.boxes.empty() ? "" : ui.boxes.back().text);
  EXPECT_EQ(port.Modem().State(), before);
  EXPECT_EQ(port.Modem().Stored(), before);

  // A changed block reaches the modem.
  a.Config.basic.S7 = 45;
  SetText(a.Config.callback.CallbackNumbers[0], "0049301");
  SetText(a.Config.io.Data6[0], "sender");
  ASSERT_EQ(WriteConfiguration(a, SEC_BASIC | SEC_CALLBACK | SEC_IO | 0x03), 1);
  EXPECT_EQ(port.Modem().Stored().s[7], 45);
  EXPECT_EQ(port.Modem().Stored().callbackNumbers[0], "0049301");
  EXPECT_EQ(port.Modem().Stored().io[0].data6, "sender");
}

TEST_F(EngineTest, NumericModemWithoutEchoIsReadAndLeftNumeric) {
  for (ModemSettings* s : {&port.Modem().State(), &port.Modem().Stored()}) {
    s->echo = 0;
    s->verbose = 0;
    s->fastDisconnect = 1;
    s->callbackTime = 17;
  }
  ASSERT_TRUE(a.OpenAndIdentify(true));
  EXPECT_FALSE(a.VerboseResults);
  EXPECT_FALSE(a.EchoOn);
  ASSERT_EQ(ReadConfiguration(a, SEC_ALL), 1);
  EXPECT_EQ(Val(a.Config.basic.FastDisconnect), 1);
  EXPECT_EQ(Val(a.Config.callback.CallbackTime), 17);
  EXPECT_EQ(Val(a.Config.serial.LocalEcho), 0);
  EXPECT_EQ(port.Modem().State().verbose, 0);
}

// Dial, log in, read the far modem's settings through the local one, and
// leave again the way the Disconnect command does.
TEST_F(EngineTest, RemoteSessionReadsTheFarModemAndDisconnectEndsTheCall) {
  SimulatedModem& far = port.Modem().FarModem();
  far.State().remotePassword = "secret";
  far.State().s[0] = 9;
  ASSERT_TRUE(a.OpenAndIdentify(true));

  std::string command = "ATD0301234";
  ASSERT_EQ(a.Transact(command, 55, "CONNECT", MatchExact), 1) << command;
  EXPECT_TRUE(port.CdHolding());
  ui.Sleep(1200);
  a.SendText("++++");
  ui.Sleep(1000);
  command = "wrong";
  a.ReadText(false);  // the first prompt went to the terminal
  EXPECT_EQ(a.Transact(command, 5, ">", "C_PASSWORD:", MatchExact), 2);
  command = "secret";
  ASSERT_EQ(a.Transact(command, 5, ">", "C_PASSWORD:", MatchExact), 1);
  a.LinkState = LS_PORT_OPEN | LS_IDENTIFIED | LS_REMOTE;

  ASSERT_EQ(ReadConfiguration(a, SEC_BASIC), 1);
  EXPECT_EQ(Val(a.Config.basic.S0), 9);
  EXPECT_EQ(port.Modem().State().s[0], 2);

  DisconnectCommand(a);
  EXPECT_FALSE(port.Modem().Connected());
  EXPECT_FALSE(port.Modem().InRemoteSession());
  EXPECT_EQ(a.LinkState, LS_IDLE);
  const auto& lines = port.Modem().ReceivedLines();
  EXPECT_EQ(lines.back(), "ATH");  // the local modem's, after the escape
}

TEST_F(EngineTest, ModemAtAnotherFixedRateIsNotFound) {
  port.Modem().State().dteRate = 19200;
  EXPECT_FALSE(a.OpenAndIdentify(true));
  EXPECT_EQ(a.LinkState, LS_IDLE);
  a.BaudRate = "19200";
  EXPECT_TRUE(a.OpenAndIdentify(true));
  EXPECT_EQ(a.ModelType, 3);
}

}  // namespace
}  // namespace kelvane
