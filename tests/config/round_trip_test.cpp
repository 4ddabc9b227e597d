// A configuration read from one simulated modem, kept as a profile and written
// to a second modem leaves the second modem set up exactly like the first.

#include <gtest/gtest.h>

#include <cstring>

#include "config/profile.h"
#include "config/read_engine.h"
#include "config/write_engine.h"
#include "sim/simulated_port.h"
#include "support/virtual_ui.h"

namespace kelvane {
namespace {

using testing::VirtualUi;

struct SimRig {
  CAdapter a;
  SimulatedPort port;
  VirtualUi ui{a};

  SimRig(SimulatedModem modem, const LineSettings& line) : port(std::move(modem)) {
    port.SetClock([this] { return ui.NowMs(); });
    a.SetPort(&port);
    a.PortNumber = "sim";
    a.BaudRate = std::to_string(line.baud);
    a.Parity = line.parity == 'E' ? "Even" : line.parity == 'O' ? "Odd" : "None";
    a.DataBits = std::to_string(line.dataBits);
    a.StopBits = std::to_string(line.stopBits);
  }
  bool Connect() { return a.OpenAndIdentify(true) && (a.LinkState & LS_IDENTIFIED); }
};

// Every setting the engines carry, away from the factory values.
void Customise(ModemSettings& s, int modelType) {
  s.verbose = 0;
  s.echo = 1;
  s.enhanced = 2;
  s.reduced = 3;
  s.dialAbort = 1;
  s.hotCall = 2;
  s.dcdControl = 0;
  s.dtrControl = 3;
  s.flowControl = 4;
  s.dsrControl = 1;
  s.errorCorrection = 2;
  s.s[0] = 4;
  s.s[7] = 45;
  s.s[10] = 20;
  s.s[25] = 7;
  s.s[30] = 9;
  s.s[91] = 11;
  s.SetBreakControl(3);
  s.SetCompressionC(1);
  s.SetLineQuality(2);
  s.modulation = "V34,0,1200,28800,2400,31200";
  s.countryCode = 0x3D;
  s.dteRate = 19200;
  s.icfFormat = 5;  // 7E1
  s.icfParity = 1;
  s.fastDisconnect = 1;
  s.ignoreErrors = 1;
  s.storedNumbers = {"5551234", "", "0046812345678", "9W555"};
  s.cidFormat = 3;
  s.cidMode = 2;
  s.acceptedNumbers[0] = "5551111";
  s.acceptedNumbers[9] = "12345678901234567890";
  s.remoteEnable = 1;
  s.remotePassword = "secret";
  s.callbackMode = 4;
  s.callbackTime = 30;
  s.callbackNumbers[2] = "5553333";
  s.callbackPasswords[2] = "pass33";
  s.callbackNumbers[9] = "5550000";
  if (modelType == 3) {
    s.backupNumber = "5550001";
    s.backupRetries = 3;
    s.backupTime = 60;
    s.pulseTa = 120;
    s.pulseTp = 60;
    s.trigType = 1;
    s.trigLevel = 1;
    s.outputCtrl = 1;
    SimIoEntry& e = s.io[4];
    e.service = 3;
    e.retry = 2;
    e.timeout = 12;
    e.priority = 1;
    e.data1 = "5554444";
    e.data2 = std::string(160, 'm');
    e.data3 = "d3";
    e.data4 = 7;
    e.data5 = "12345678";
    e.data6 = "fifteen-chars-x";
  }
}

void RoundTrip(int modelType) {
  SimulatedModem source(modelType);
  Customise(source.State(), modelType);
  source.Stored() = source.State();
  SimRig a(std::move(source), LineSettings{19200, 'E', 7, 1});
  ASSERT_TRUE(a.Connect());
  ASSERT_EQ(a.a.ModelType, modelType);
  ASSERT_EQ(ReadConfiguration(a.a, SEC_ALL), 1);
  // Reading changes nothing on the modem.
  EXPECT_TRUE(a.port.Modem().State() == a.port.Modem().Stored());

  const std::string profile = ProfileBytes(a.a.Config);

  SimRig b(SimulatedModem(modelType), LineSettings{9600, 'N', 8, 1});
  ASSERT_TRUE(b.Connect());
  ConfigBlock loaded{};
  ASSERT_TRUE(LoadProfileBytes(profile, loaded));
  b.a.Config = loaded;
  for (int p : {PG_BASIC, PG_SERIAL, PG_DIAL, PG_CALLERID, PG_CALLBACK, PG_IO, PG_REMOTE}) {
    b.a.Page(p).valid = 1;
  }
  ASSERT_EQ(WriteConfiguration(b.a, SEC_ALL), 1);
  EXPECT_EQ(b.ui.boxes.size(), 1u);  // the question only: nothing halted or skipped

  const ModemSettings& want = a.port.Modem().State();
  const ModemSettings& got = b.port.Modem().State();
  EXPECT_EQ(got.verbose, want.verbose);
  EXPECT_EQ(got.modulation, want.modulation);
  EXPECT_EQ(got.s, want.s);
  EXPECT_EQ(got.dteRate, want.dteRate);
  EXPECT_EQ(got.icfFormat, want.icfFormat);
  EXPECT_EQ(got.icfParity, want.icfParity);
  EXPECT_EQ(got.storedNumbers, want.storedNumbers);
  EXPECT_EQ(got.acceptedNumbers, want.acceptedNumbers);
  EXPECT_EQ(got.callbackNumbers, want.callbackNumbers);
  EXPECT_EQ(got.io, want.io);
  EXPECT_TRUE(got == want);
  // "AT&W" stored what was written.
  EXPECT_TRUE(b.port.Modem().Stored() == got);
  // The local port followed the modem to its new line.
  EXPECT_EQ(b.a.BaudRate, "19200");
  EXPECT_EQ(b.a.Parity, "Even");
  EXPECT_EQ(b.a.DataBits, "7");

  // Reading the second modem gives the same block back.
  ASSERT_EQ(ReadConfiguration(b.a, SEC_ALL & ~SEC_DIAGNOSTIC), 1);
  const ConfigBlock& back = b.a.Config;
  EXPECT_EQ(std::memcmp(&back, &loaded, sizeof back), 0);
}

TEST(RoundTrip, TypeOneModem) { RoundTrip(1); }
TEST(RoundTrip, TypeThreeModemWithIo) { RoundTrip(3); }

}  // namespace
}  // namespace kelvane
