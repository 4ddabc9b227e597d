#include "support/rig.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "config/operation_hold.h"
#include "serial/clock.h"
#include "serial/network_serial_port.h"
#include "support/silent_listener.h"

namespace kelvane {
namespace {

using testing::Rig;

TEST(SettingsText, BuiltFromThePortTexts) {
  Rig r;
  r.a.BaudRate = "115200";
  r.a.Parity = "Even";
  r.a.DataBits = "7";
  EXPECT_EQ(r.a.SettingsText(), "115200,E,7,1");
  r.a.Parity = "Odd";
  EXPECT_EQ(r.a.SettingsText(), "115200,O,7,1");
  r.a.Parity = "None";
  r.a.DataBits = "8";
  EXPECT_EQ(r.a.SettingsText(), "115200,N,8,1");
}

TEST(SettingsText, ParsesOnlyCompleteValidTexts) {
  LineSettings s;
  EXPECT_TRUE(ParseSettingsText("9600,N,8,1", s));
  EXPECT_EQ(s, (LineSettings{9600, 'N', 8, 1}));
  EXPECT_TRUE(ParseSettingsText("115200,E,7,2", s));
  EXPECT_EQ(s, (LineSettings{115200, 'E', 7, 2}));
  for (const char* bad : {"-,-,-,-", "9600,N,8", "9600,N,8,1,1", "9601,N,8,1", "9600,X,8,1",
                          "9600,N,9,1", "9600,N,8,3", "", ",,,", "9600,NN,8,1", "99999999999,N,8,1"}) {
    EXPECT_FALSE(ParseSettingsText(bad, s)) << bad;
  }
  EXPECT_EQ(s, (LineSettings{115200, 'E', 7, 2}));
}

TEST(ApplyPortSettings, InvalidTextsKeepThePortOpenAndRecomputeTheUnit) {
  Rig r;
  r.a.BaudRate = "-";
  r.a.Parity = "-";
  ASSERT_TRUE(r.Open());
  EXPECT_TRUE(r.port.IsOpen());
  EXPECT_EQ(r.a.TimeoutTicks, 50);  // "every other rate": 25 x 2
  r.a.BaudRate = "115200";
  r.a.Parity = "None";
  EXPECT_TRUE(r.a.ApplyPortSettings());
  EXPECT_EQ(r.port.lastSettings, "115200,N,8,1");
  EXPECT_EQ(r.a.TimeoutTicks, 20);
}

TEST(OpenPort, RefusedOpenSetsOpenFailedWithTheReason) {
  Rig r;
  r.port.refuseOpen = true;
  r.port.refuseReason = "/dev/ttyFAKE0: Permission denied. add it to dialout";
  EXPECT_FALSE(r.Open());
  EXPECT_EQ(r.a.LinkState, LS_OPEN_FAILED);
  EXPECT_NE(r.ui.terminal.find("Permission denied"), std::string::npos);
}

TEST(OpenPort, ASilentDeviceServerIsWaitedForThroughTheUserInterfaceAndCancelEndsTheOpen) {
  // Listens and never accepts: the connection is made by the kernel, and
  // the Telnet negotiation goes unanswered for the whole connect time.
  const testing::SilentListener silent;
  ASSERT_NE(silent.Port(), 0);

  CAdapter a;
  testing::VirtualUi ui(a);
  NetworkSerialPort port;
  a.SetPort(&port);
  a.PortNumber = "rfc2217://127.0.0.1:" + std::to_string(silent.Port());
  ui.onPump = [&a](testing::VirtualUi& u) {
    if (u.pumps == 5) a.AbortRequested = true;
  };
  const long long start = MonotonicMs();
  {
    BusyHold busy(a);
    EXPECT_FALSE(a.OpenPort());
  }
  EXPECT_LT(MonotonicMs() - start, 2000);
  EXPECT_GE(ui.pumps, 5);
  EXPECT_EQ(a.LinkState, LS_OPEN_FAILED);
  EXPECT_NE(a.LastOpenError.find("cancelled"), std::string::npos) << a.LastOpenError;
  // The Cancel was spent on the open, not left for the next operation.
  EXPECT_FALSE(a.AbortRequested);
}

TEST(OpenPort, OpeningDropsAFileProfileAndResetsTheBlock) {
  Rig r;
  r.a.LinkState = LS_IDLE | LS_FILE;
  r.a.Config.basic.S0 = 9;
  ASSERT_TRUE(r.Open());
  EXPECT_EQ(r.a.LinkState, LS_PORT_OPEN);
  EXPECT_EQ(r.a.Config.basic.S0, 2);
  EXPECT_GE(r.ui.updatePagesCalls, 1);
}

TEST(CloseLink, ResetsLinkTextsButKeepsThePortName) {
  Rig r;
  ASSERT_TRUE(r.Open());
  r.a.QuietWasOn = true;
  r.a.CloseLink();
  EXPECT_EQ(r.a.LinkState, LS_IDLE);
  EXPECT_FALSE(r.port.IsOpen());
  EXPECT_FALSE(r.a.QuietWasOn);
  EXPECT_EQ(r.a.PortNumber, "/dev/ttyFAKE0");
  EXPECT_EQ(r.a.BaudRate, "-");
  EXPECT_EQ(r.a.Parity, "-");
  EXPECT_FALSE(r.ui.indicators.cts);
}

TEST(SendText, RefusedWhileOutputIsPending) {
  Rig r;
  ASSERT_TRUE(r.Open());
  r.port.outBufferCount = 3;
  EXPECT_FALSE(r.a.SendText("AT\r"));
  r.port.outBufferCount = 0;
  EXPECT_TRUE(r.a.SendText("AT\r"));
  EXPECT_EQ(r.port.sentBytes, "AT\r");
}

TEST(SendBytes, ClipsToTheFreeOutputBuffer) {
  Rig r;
  ASSERT_TRUE(r.Open());
  std::vector<uint8_t> data(1000, 'x');
  r.port.outBufferCount = 12;
  EXPECT_EQ(r.a.SendBytes(data.data(), 1000), 500);
  EXPECT_EQ(r.a.SendBytes(data.data(), 0), 0);
  EXPECT_EQ(r.a.SendBytes(data.data(), -5), 0);
}

TEST(TrafficLog, TrimsTo9584AfterAByteReadPassing9600) {
  Rig r;
  ASSERT_TRUE(r.Open());
  uint8_t buffer[4095];
  r.port.Inject(std::string(4000, 'A'));
  EXPECT_EQ(r.a.ReadBytes(buffer, sizeof buffer, true), 4000);
  r.port.Inject(std::string(4000, 'B'));
  r.a.ReadBytes(buffer, sizeof buffer, true);
  EXPECT_EQ(r.a.LogCount, 8000);
  r.port.Inject(std::string(1601, '\x01'));
  r.a.ReadBytes(buffer, sizeof buffer, true);
  EXPECT_EQ(r.a.LogCount, 9584);
  EXPECT_EQ(r.a.CharLog.size(), 9584u);
  EXPECT_EQ(r.a.HexLog.size(), 3u * 9584u);
  EXPECT_EQ(r.a.CharLog.back(), '.');  // bytes below 22 show as dots
  EXPECT_EQ(r.a.HexLog.substr(r.a.HexLog.size() - 3), "01 ");
}

TEST(ReadBytes, ZeroFillsAndCopiesAtMostTheSize) {
  Rig r;
  ASSERT_TRUE(r.Open());
  uint8_t buffer[8];
  std::memset(buffer, 0xEE, sizeof buffer);
  r.port.Inject("abc");
  EXPECT_EQ(r.a.ReadBytes(buffer, sizeof buffer, false), 3);
  EXPECT_EQ(buffer[2], 'c');
  EXPECT_EQ(buffer[3], 0);
  r.port.Inject("0123456789");
  EXPECT_EQ(r.a.ReadBytes(buffer, sizeof buffer, false), 8);
}

TEST(LineEvents, ReceiveGoesToTheTerminalOutsideTransactions) {
  Rig r;
  ASSERT_TRUE(r.Open());
  r.port.Inject("RING\r\n");
  r.a.ServiceLineEvents();
  EXPECT_EQ(r.ui.terminal, "RING\r\n");
  r.a.RThreshold = 0;  // a transaction owns the input
  r.port.Inject("OK");
  r.a.ServiceLineEvents();
  EXPECT_EQ(r.ui.terminal, "RING\r\n");
}

TEST(LineEvents, CtsChangeWithAutoDisconnect) {
  Rig r;
  ASSERT_TRUE(r.Open());
  r.a.Options.AutoDisconnect = 1;
  r.port.cts = false;
  r.a.OnTimerTick();  // only the port is open: nothing happens
  EXPECT_EQ(r.a.LinkState, LS_PORT_OPEN);
  EXPECT_TRUE(r.ui.indicators.cts);  // the change leaves the indicator alone
  r.port.dsr = false;
  r.a.OnTimerTick();  // a DSR change redraws CTS as it was shown
  EXPECT_FALSE(r.ui.indicators.dsr);
  EXPECT_TRUE(r.ui.indicators.cts);
  r.a.LinkState |= LS_IDENTIFIED;
  r.port.cts = true;
  r.a.OnTimerTick();
  EXPECT_EQ(r.a.LinkState, LS_IDLE);
  EXPECT_FALSE(r.port.IsOpen());
}

TEST(LineEvents, TickClosesTheLinkWhenThePortWentAway) {
  Rig r;
  ASSERT_TRUE(r.Open());
  r.port.Close();  // the device vanished underneath the open link
  r.a.OnTimerTick();
  EXPECT_EQ(r.a.LinkState, LS_IDLE);
  EXPECT_NE(r.ui.terminal.find("went away"), std::string::npos);
}

TEST(LineEvents, IndicatorsFollowTheLines) {
  Rig r;
  ASSERT_TRUE(r.Open());
  EXPECT_TRUE(r.ui.indicators.cts);
  EXPECT_FALSE(r.ui.indicators.cd);
  r.port.cd = true;
  r.a.OnTimerTick();
  EXPECT_TRUE(r.ui.indicators.cd);
  r.port.dsr = false;
  r.a.OnTimerTick();
  EXPECT_FALSE(r.ui.indicators.dsr);
}

}  // namespace
}  // namespace kelvane
