#pragma once
// What the Diagnostic page shows of the diagnostic values: the speed range of
// the line's modulation, the six level bars with their value texts, and the
// DIP switch images. No widgets here.

#include <array>
#include <string>
#include <string_view>

#include "config/adapter.h"

namespace kelvane {

// Bounds of the speed bars for one modulation, in hundreds of bit/s.
struct SpeedRange {
  int id;
  const char* name;
  int rxUpper, rxLower, txUpper, txLower;
};

// The table, searched in order; its last row (id 0, no name) is the answer
// when no name occurs in the norm text.
extern const std::array<SpeedRange, 12> kSpeedRanges;

// The first row whose name occurs anywhere in `normText` ("V32B" is listed
// before "V32", so a V32B line is not scaled as V32).
const SpeedRange& FindSpeedRange(std::string_view normText);

// One bar: its range, its position and the value shown beside it.
struct LevelBar {
  int lower = 0;
  int upper = 0;
  int position = 0;
  std::string text;
};

// The six bars in their order on the page.
enum DiagnosticBar { BAR_RX_SPEED, BAR_TX_SPEED, BAR_SNR, BAR_RX_LEVEL, BAR_NEAR_ECHO, BAR_FAR_ECHO };

struct DiagnosticDisplay {
  // An idle line: every bar empty, the values "0" and "-0".
  bool idle = false;
  std::array<LevelBar, 6> bars;
};

// The bars and texts for the values. A value beyond its bar's limits fills
// the bar or leaves it empty; the text always shows the value as reported.
// The values themselves are not changed.
DiagnosticDisplay DisplayDiagnostic(const DiagnosticInfo& d);

// The image of one DIP switch.
enum class DipImage { Off, On, Unknown };

// The 32 switch images, S1 switches 1 to 8 first, then S2, S3, S4. Only model
// types 2 and 3 report their switches; for the others, and when `known` is
// false (a failed read), every image is Unknown.
std::array<DipImage, 32> DipSwitchImages(int modelType, const int32_t (&dip)[4], bool known);

}  // namespace kelvane
