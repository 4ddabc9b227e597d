#include "config/diagnostic_values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kelvane {

const std::array<SpeedRange, 12> kSpeedRanges = {{
    {1, "IDLE", 0, 0, 0, 0},
    {2, "V34", 340, 12, 340, 12},
    {3, "V32B", 144, 12, 144, 12},
    {4, "V32", 96, 12, 96, 12},
    {5, "V23", 12, 0, 12, 0},
    {6, "V22", 24, 0, 24, 0},
    {7, "V21", 3, 0, 3, 0},
    {8, "BEL103", 3, 0, 3, 0},
    {9, "BEL212", 12, 0, 12, 0},
    {16, "V90A", 560, 12, 560, 12},
    {17, "V90D", 560, 12, 560, 12},
    {0, "", 0, 0, 0, 0},
}};

const SpeedRange& FindSpeedRange(std::string_view normText) {
  for (const SpeedRange& row : kSpeedRanges) {
    if (row.id == 0) return row;
    if (normText.find(row.name) != std::string_view::npos) return row;
  }
  return kSpeedRanges.back();
}

namespace {

// A speed in hundreds of bit/s as a whole number, without the undefined
// conversion of a value out of the int range (or not a number at all).
int SpeedUnits(float speed) {
  if (!std::isfinite(speed)) return 0;
  const double t = std::trunc(static_cast<double>(speed));
  return static_cast<int>(std::clamp(t, -1e9, 1e9));
}

std::string SpeedText(float speed) {
  char text[64];
  const double kbps = std::isfinite(speed) ? speed * 0.1 : 0.0;
  std::snprintf(text, sizeof text, "%2.1f", kbps);
  return text;
}

// A level the modem reported as negative is stored as its magnitude and shown
// with a minus sign; a positive report (stored negative) is shown as it is,
// not as "--5".
std::string LevelText(int level) {
  if (level < 0) return std::to_string(-static_cast<long long>(level));
  return "-" + std::to_string(level);
}

LevelBar SpeedBar(float speed, int lower, int upper) {
  LevelBar bar;
  bar.lower = 0;
  bar.upper = upper - lower;
  bar.position = std::clamp(SpeedUnits(speed), std::min(lower, upper), upper) - lower;
  bar.text = SpeedText(speed);
  return bar;
}

}  // namespace

DiagnosticDisplay DisplayDiagnostic(const DiagnosticInfo& d) {
  DiagnosticDisplay out;
  const SpeedRange& row = FindSpeedRange(d.NormText);
  if (row.id == 1) {
    out.idle = true;
    const int uppers[6] = {0, 0, 30, 35, 10, 40};
    for (int i = 0; i < 6; ++i) {
      out.bars[static_cast<size_t>(i)].upper = uppers[i];
      out.bars[static_cast<size_t>(i)].text = i < 3 ? "0" : "-0";
    }
    return out;
  }
  out.bars[BAR_RX_SPEED] = SpeedBar(d.RxSpeed, row.rxLower, row.rxUpper);
  out.bars[BAR_TX_SPEED] = SpeedBar(d.TxSpeed, row.txLower, row.txUpper);
  // Each level is kept within its bar for the position only; the text shows
  // the value as the modem reported it.
  out.bars[BAR_SNR] = {0, 30, std::clamp(d.Snr, 20, 50) - 20, std::to_string(d.Snr)};
  out.bars[BAR_RX_LEVEL] = {0, 35, 45 - std::clamp(d.RxLevel, 11, 45), LevelText(d.RxLevel)};
  out.bars[BAR_NEAR_ECHO] = {0, 10, std::clamp(d.NearEchoLevel, 16, 25) - 15,
                             LevelText(d.NearEchoLevel)};
  out.bars[BAR_FAR_ECHO] = {0, 40, std::clamp(d.FarEchoLevel, 26, 65) - 25,
                            LevelText(d.FarEchoLevel)};
  return out;
}

std::array<DipImage, 32> DipSwitchImages(int modelType, const int32_t (&dip)[4], bool known) {
  std::array<DipImage, 32> images;
  images.fill(DipImage::Unknown);
  if (!known || (modelType != MT_RM40 && modelType != MT_RM40_485)) return images;
  for (int block = 0; block < 4; ++block) {
    const auto bits = static_cast<uint32_t>(dip[block]);
    for (int sw = 0; sw < 8; ++sw) {
      images[static_cast<size_t>(block * 8 + sw)] = (bits >> sw) & 1u ? DipImage::On : DipImage::Off;
    }
  }
  return images;
}

}  // namespace kelvane
