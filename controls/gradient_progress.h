#pragma once
// A horizontal level bar whose filled part is a colour gradient. The gradient
// has fixed positions across the whole width of the bar: a longer fill reveals
// more of it, and the band holding the fill edge is always painted whole.

#include <QColor>
#include <QProgressBar>

#include <cstdint>
#include <vector>

namespace kelvane {

// One vertical stripe of the gradient, from column x0 up to (not including) x1.
struct GradientBand {
  int x0 = 0;
  int x1 = 0;
  QColor color;
};

// What a paint of the bar draws: the bands from the left, then the background
// from `backgroundFrom` to the right edge (nothing when it equals the width).
struct GradientPlan {
  std::vector<GradientBand> bands;
  int backgroundFrom = 0;
};

class CGradientProgress : public QProgressBar {
  Q_OBJECT

 public:
  explicit CGradientProgress(QWidget* parent = nullptr);

  // Stores both bounds and moves the position to the lower bound.
  void SetRange(int lower, int upper);
  void SetPos(int position);
  int GetPos() const { return pos_; }
  int GetLower() const { return lower_; }
  int GetUpper() const { return upper_; }

  void SetStartColor(const QColor& c);
  void SetEndColor(const QColor& c);
  void SetBkColor(const QColor& c);
  QColor GetStartColor() const { return start_; }
  QColor GetEndColor() const { return end_; }
  QColor GetBkColor() const { return background_; }

  // Colour values as the modem tools write them: red in the low byte, blue in
  // the third (0x0000FF is red, 0x00FF00 green, 0xFF0000 blue).
  static QColor FromColorRef(std::uint32_t ref);

  // Number of colour steps between two colours: the largest per-channel
  // difference (0 when the colours are equal).
  static int BandCount(const QColor& start, const QColor& end);
  // Colour of band `i` of `n`; channels move in equal real steps from the start
  // colour and are truncated, so band n - 1 stops one step short of `end`.
  static QColor BandColor(const QColor& start, const QColor& end, int i, int n);
  // Left edge of band `i` when `n` bands share `width` columns.
  static int BandEdge(int i, int n, int width);
  // The whole paint of a bar `width` columns wide.
  static GradientPlan Plan(const QColor& start, const QColor& end, int lower,
                           int upper, int position, int width);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int lower_ = 0;
  int upper_ = 100;
  int pos_ = 0;
  QColor start_;
  QColor end_;
  QColor background_;
};

}  // namespace kelvane
