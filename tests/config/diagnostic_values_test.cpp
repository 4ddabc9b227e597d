// What the Diagnostic page shows: the speed range of the line, the six bars
// with their positions and texts, and the DIP switch images.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "config/diagnostic_values.h"
#include "config/read_engine.h"
#include "sim/simulated_port.h"
#include "support/virtual_ui.h"

namespace kelvane {
namespace {

TEST(SpeedRange, FirstNameThatOccursInTheNorm) {
  struct Case {
    const char* norm;
    int id;
  };
  const Case cases[] = {
      {"V34", 2},  {"V32B", 3},     {"V32", 4},   {"V90A", 16}, {"V90D", 17},
      {"IDLE", 1}, {"BEL103", 8},   {"V22B", 6},  {"XV34Y", 2}, {"", 0},
      {"V90", 0},  {"garbage", 0},  {"V21", 7},   {"V23", 5},   {"BEL212", 9},
  };
  for (const Case& c : cases) EXPECT_EQ(FindSpeedRange(c.norm).id, c.id) << c.norm;
}

DiagnosticInfo Line(const char* norm, float rx, float tx, int snr, int rxLevel, int nearEcho,
                    int farEcho) {
  DiagnosticInfo d;
  d.NormText = norm;
  d.RxSpeed = rx;
  d.TxSpeed = tx;
  d.Snr = snr;
  d.RxLevel = rxLevel;
  d.NearEchoLevel = nearEcho;
  d.FarEchoLevel = farEcho;
  return d;
}

TEST(DiagnosticDisplay, V34LineStandsAt324Of328) {
  const DiagnosticDisplay v = DisplayDiagnostic(Line("V34", 336.0f, 312.0f, 37, 21, 30, 52));
  EXPECT_FALSE(v.idle);
  const LevelBar& rx = v.bars[BAR_RX_SPEED];
  EXPECT_EQ(rx.upper, 328);
  EXPECT_EQ(rx.position, 324);
  EXPECT_EQ(rx.text, "33.6");
  EXPECT_EQ(v.bars[BAR_TX_SPEED].position, 300);
  EXPECT_EQ(v.bars[BAR_TX_SPEED].text, "31.2");
  EXPECT_EQ(v.bars[BAR_SNR].position, 17);
  EXPECT_EQ(v.bars[BAR_SNR].text, "37");
  EXPECT_EQ(v.bars[BAR_RX_LEVEL].position, 24);
  EXPECT_EQ(v.bars[BAR_RX_LEVEL].text, "-21");
  EXPECT_EQ(v.bars[BAR_NEAR_ECHO].position, 10);  // 30 is kept at 25
  EXPECT_EQ(v.bars[BAR_NEAR_ECHO].text, "-30");   // the text is not kept
  EXPECT_EQ(v.bars[BAR_FAR_ECHO].position, 27);
  EXPECT_EQ(v.bars[BAR_FAR_ECHO].text, "-52");
}

TEST(DiagnosticDisplay, IdleLineShowsZerosAndEmptyBars) {
  const DiagnosticDisplay v = DisplayDiagnostic(Line("IDLE", 336.0f, 312.0f, 40, 20, 20, 30));
  EXPECT_TRUE(v.idle);
  const char* texts[] = {"0", "0", "0", "-0", "-0", "-0"};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(v.bars[i].position, 0) << i;
    EXPECT_EQ(v.bars[i].text, texts[i]) << i;
  }
}

TEST(DiagnosticDisplay, ValuesBeyondTheLimitsFillOrEmptyTheBars) {
  struct Case {
    const char* what;
    DiagnosticInfo d;
    int bar;
    int position;
    std::string text;
  };
  const Case cases[] = {
      {"speed above the upper bound fills", Line("V32B", 200.0f, 0, 0, 0, 0, 0), BAR_RX_SPEED, 132, "20.0"},
      {"speed at the lower bound is empty", Line("V32B", 12.0f, 0, 0, 0, 0, 0), BAR_RX_SPEED, 0, "1.2"},
      {"speed below the lower bound is empty", Line("V32B", 3.0f, 0, 0, 0, 0, 0), BAR_RX_SPEED, 0, "0.3"},
      {"tx speed above fills", Line("V32", 0, 144.0f, 0, 0, 0, 0), BAR_TX_SPEED, 84, "14.4"},
      {"SNR of 20 is empty", Line("V34", 0, 0, 20, 0, 0, 0), BAR_SNR, 0, "20"},
      {"SNR below 20 is empty", Line("V34", 0, 0, 5, 0, 0, 0), BAR_SNR, 0, "5"},
      {"SNR of 50 is full", Line("V34", 0, 0, 50, 0, 0, 0), BAR_SNR, 30, "50"},
      {"SNR above 50 stays full", Line("V34", 0, 0, 64, 0, 0, 0), BAR_SNR, 30, "64"},
      {"RX level 11 nearly full", Line("V34", 0, 0, 0, 11, 0, 0), BAR_RX_LEVEL, 34, "-11"},
      {"RX level above the bar", Line("V34", 0, 0, 0, 3, 0, 0), BAR_RX_LEVEL, 34, "-3"},
      {"RX level 45 is empty", Line("V34", 0, 0, 0, 45, 0, 0), BAR_RX_LEVEL, 0, "-45"},
      {"RX level 60 is empty", Line("V34", 0, 0, 0, 60, 0, 0), BAR_RX_LEVEL, 0, "-60"},
      {"positive RX level", Line("V34", 0, 0, 0, -5, 0, 0), BAR_RX_LEVEL, 34, "5"},
      {"near echo low", Line("V34", 0, 0, 0, 0, 2, 0), BAR_NEAR_ECHO, 1, "-2"},
      {"near echo 25", Line("V34", 0, 0, 0, 0, 25, 0), BAR_NEAR_ECHO, 10, "-25"},
      {"far echo 26", Line("V34", 0, 0, 0, 0, 0, 26), BAR_FAR_ECHO, 1, "-26"},
      {"far echo 99", Line("V34", 0, 0, 0, 0, 0, 99), BAR_FAR_ECHO, 40, "-99"},
  };
  for (const Case& c : cases) {
    const DiagnosticDisplay v = DisplayDiagnostic(c.d);
    const LevelBar& bar = v.bars[static_cast<size_t>(c.bar)];
    EXPECT_EQ(bar.position, c.position) << c.what;
    EXPECT_EQ(bar.text, c.text) << c.what;
    EXPECT_GE(bar.position, bar.lower) << c.what;
    EXPECT_LE(bar.position, bar.upper) << c.what;
  }
}

TEST(DiagnosticDisplay, UnknownNormAndGarbageNumbers) {
  // No row: the speed bars have an empty range, the numbers are still shown.
  DiagnosticInfo d = Line("V90", 500.0f, 310.0f, 38, 22, 20, 40);
  DiagnosticDisplay v = DisplayDiagnostic(d);
  EXPECT_EQ(v.bars[BAR_RX_SPEED].upper, 0);
  EXPECT_EQ(v.bars[BAR_RX_SPEED].position, 0);
  EXPECT_EQ(v.bars[BAR_RX_SPEED].text, "50.0");
  EXPECT_EQ(v.bars[BAR_SNR].position, 18);

  // Extremes of what the parser can leave behind.
  d = Line("V34", std::numeric_limits<float>::infinity(), std::nanf(""),
           std::numeric_limits<int>::min(), std::numeric_limits<int>::max(),
           std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  v = DisplayDiagnostic(d);
  for (const LevelBar& bar : v.bars) {
    EXPECT_GE(bar.position, bar.lower);
    EXPECT_LE(bar.position, bar.upper);
  }
  EXPECT_EQ(v.bars[BAR_NEAR_ECHO].text, "2147483648");
  EXPECT_EQ(v.bars[BAR_RX_LEVEL].text, "-2147483647");
  EXPECT_EQ(v.bars[BAR_RX_SPEED].text, "0.0");
  d.RxSpeed = 2.1e9f;
  EXPECT_EQ(DisplayDiagnostic(d).bars[BAR_RX_SPEED].position, 328);
}

TEST(DipSwitches, ImagesPerModelType) {
  const int32_t dip[4] = {0x81, 0, 0xFF, 0x10};
  const auto images = DipSwitchImages(3, dip, true);
  for (int i = 0; i < 32; ++i) {
    const int block = i / 8, sw = i % 8;
    const bool on = (block == 0 && (sw == 0 || sw == 7)) || block == 2 || (block == 3 && sw == 4);
    EXPECT_EQ(images[static_cast<size_t>(i)], on ? DipImage::On : DipImage::Off) << "S" << block + 1 << " " << sw + 1;
  }
  EXPECT_EQ(DipSwitchImages(2, dip, true), images);
  for (int type : {0, 1, 4}) {
    for (DipImage image : DipSwitchImages(type, dip, true)) EXPECT_EQ(image, DipImage::Unknown) << type;
  }
  for (DipImage image : DipSwitchImages(3, dip, false)) EXPECT_EQ(image, DipImage::Unknown);
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

// The diagnostic read of a simulated modem in a given line state, shown.
struct DiagnosticRig {
  CAdapter a;
  SimulatedPort port;
  testing::VirtualUi ui{a};

  explicit DiagnosticRig(int modelType) : port(SimulatedModem(modelType)) {
    port.SetClock([this] { return ui.NowMs(); });
    a.SetPort(&port);
    a.PortNumber = "sim";
    a.BaudRate = "9600";
    a.Parity = "None";
    a.DataBits = "8";
    a.StopBits = "1";
    EXPECT_TRUE(a.OpenAndIdentify(true));
  }
  int Read() { return ReadConfiguration(a, SEC_DIAGNOSTIC); }
};

TEST(DiagnosticRead, LineStatesOfTheSimulatedModem) {
  struct Case {
    const char* line;
    bool idle;
    std::array<int, 6> positions;
    std::array<const char*, 6> texts;
  };
  const Case cases[] = {
      {"idle", true, {0, 0, 0, 0, 0, 0}, {"0", "0", "0", "-0", "-0", "-0"}},
      {"v34", false, {324, 300, 17, 24, 10, 27}, {"33.6", "31.2", "37", "-21", "-30", "-52"}},
      {"v90", false, {494, 300, 21, 27, 10, 24}, {"50.7", "31.2", "41", "-18", "-28", "-49"}},
      // Speeds at and beyond the V32B top fill; SNR above 50 stays full; an
      // RX level of 45 is empty; echo levels beyond both ends.
      {"v32b", false, {132, 132, 30, 0, 1, 40}, {"14.4", "19.2", "56", "-45", "-12", "-70"}},
  };
  for (const Case& c : cases) {
    DiagnosticRig rig(3);
    ASSERT_TRUE(LastConnectionPreset(c.line, rig.port.Modem().Diagnostics()));
    rig.port.Modem().DipSwitches() = {0x81, 0, 255, 16};
    ASSERT_EQ(rig.Read(), 1) << c.line;
    const DiagnosticDisplay v = DisplayDiagnostic(rig.a.Diagnostic);
    EXPECT_EQ(v.idle, c.idle) << c.line;
    for (size_t i = 0; i < 6; ++i) {
      EXPECT_EQ(v.bars[i].position, c.positions[i]) << c.line << " bar " << i;
      EXPECT_EQ(v.bars[i].text, c.texts[i]) << c.line << " bar " << i;
    }
    const auto images = DipSwitchImages(rig.a.ModelType, rig.a.Diagnostic.DipSwitches, true);
    EXPECT_EQ(images[0], DipImage::On);
    EXPECT_EQ(images[1], DipImage::Off);
    EXPECT_EQ(images[7], DipImage::On);
    EXPECT_EQ(images[28], DipImage::On);
  }
}

TEST(DiagnosticRead, BadListingsShowWhatTheyCan) {
  struct Case {
    const char* what;
    std::string listing;  // the whole answer to AT&V1 after the echo
    std::string dip;      // the whole answer to ATI8 after the echo
    int result;
  };
  const std::string levels =
      "SNR 40 dB\r\nRXLevel -20 dBm\r\nEcho Level -40 dB\r\nNear Echo Level -20 dB\r\n"
      "Far Echo Level -30 dB\r\n\r\nOK\r\n";
  const Case cases[] = {
      // A listing without its Norm line fails the read; the page then shows
      // whatever the values held before.
      {"no Norm line", "\r\nLAST CONNECTION\r\nSpeed Rx/Tx 33600/31200\r\n" + levels,
       "\r\n1 2 3 4\r\n\r\nOK\r\n", 0},
      {"garbage numbers",
       "\r\nNorm V34\r\nSpeed Rx/Tx xx/99999999999999\r\nSNR -\r\nRXLevel 9999999999\r\n"
       "Echo Level\r\nNear Echo Level -\r\nFar Echo Level 1e9\r\n\r\nOK\r\n",
       "\r\n1 2 3 4\r\n\r\nOK\r\n", 1},
      {"two DIP numbers", "\r\nNorm V32B\r\nSpeed Rx/Tx 14400/14400\r\n" + levels,
       "\r\n129 7\r\n\r\nOK\r\n", 1},
  };
  for (const Case& c : cases) {
    DiagnosticRig rig(3);
    rig.port.Modem().Options().rawAnswers = {{"&V1", c.listing}, {"I8", c.dip}};
    rig.a.Diagnostic.DipSwitches[2] = 0x55;
    EXPECT_EQ(rig.Read(), c.result) << c.what;
    if (std::string(c.what) == "two DIP numbers") {
      EXPECT_EQ(rig.a.Diagnostic.DipSwitches[0], 129);
      EXPECT_EQ(rig.a.Diagnostic.DipSwitches[1], 7);
      EXPECT_EQ(rig.a.Diagnostic.DipSwitches[2], 0x55) << "a missing number leaves the value";
    }
    const DiagnosticDisplay v = DisplayDiagnostic(rig.a.Diagnostic);
    for (const LevelBar& bar : v.bars) {
      EXPECT_GE(bar.position, bar.lower) << c.what;
      EXPECT_LE(bar.position, bar.upper) << c.what;
      EXPECT_FALSE(bar.text.empty()) << c.what;
    }
  }
}

}  // namespace
}  // namespace kelvane
