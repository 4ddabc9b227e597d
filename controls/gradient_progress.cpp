#include "controls/gradient_progress.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

#include "controls/memory_dc.h"

namespace kelvane {

namespace {

// Floor division; the band arithmetic below must round toward minus infinity
// for falling channels, where plain integer division would round up.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

}  // namespace

CGradientProgress::CGradientProgress(QWidget* parent)
    : QProgressBar(parent),
      start_(FromColorRef(0x0000FF)),
      end_(FromColorRef(0xFF0000)),
      background_(palette().color(QPalette::Button)) {
  // The paint covers every pixel, so the background is never erased first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setTextVisible(false);
  QProgressBar::setRange(lower_, upper_);
  QProgressBar::setValue(pos_);
}

void CGradientProgress::SetRange(int lower, int upper) {
  lower_ = lower;
  upper_ = upper;
  pos_ = lower;
  QProgressBar::setRange(std::min(lower, upper), std::max(lower, upper));
  QProgressBar::setValue(pos_);
  update();
}

void CGradientProgress::SetPos(int position) {
  pos_ = position;
  // The native value only follows positions inside the range; the painting
  // works from pos_ alone.
  QProgressBar::setValue(position);
  update();
}

void CGradientProgress::SetStartColor(const QColor& c) {
  start_ = c;
  update();
}

void CGradientProgress::SetEndColor(const QColor& c) {
  end_ = c;
  update();
}

void CGradientProgress::SetBkColor(const QColor& c) {
  background_ = c;
  update();
}

QColor CGradientProgress::FromColorRef(std::uint32_t ref) {
  return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
}

int CGradientProgress::BandCount(const QColor& start, const QColor& end) {
  return std::max({std::abs(end.red() - start.red()),
                   std::abs(end.green() - start.green()),
                   std::abs(end.blue() - start.blue())});
}

QColor CGradientProgress::BandColor(const QColor& start, const QColor& end,
                                    int i, int n) {
  if (n <= 0) return start;
  // start + i * (delta / n), truncated. The value always lies between the two
  // channel values, so truncation is the floor; done in integers it is exact
  // where the real-number form can land one step low.
  auto channel = [&](int s, int e) {
    return static_cast<int>((s + FloorDiv(std::int64_t(i) * (e - s), n)) & 0xFF);
  };
  return QColor(channel(start.red(), end.red()),
                channel(start.green(), end.green()),
                channel(start.blue(), end.blue()));
}

int CGradientProgress::BandEdge(int i, int n, int width) {
  if (n <= 0) return i <= 0 ? 0 : width;
  // trunc(i * width / n) in integers: the last edge is exactly the width, so
  // no column at the right is left unpainted by rounding.
  return static_cast<int>(std::int64_t(i) * width / n);
}

GradientPlan CGradientProgress::Plan(const QColor& start, const QColor& end,
                                     int lower, int upper, int position,
                                     int width) {
  GradientPlan plan;
  width = std::max(width, 0);
  if (position <= lower || position > upper) {
    plan.backgroundFrom = 0;
    return plan;
  }
  // The filled share is measured from the lower bound, so a range that does
  // not start at 0 (or ends at 0) still fills in proportion.
  const double share = double(std::int64_t(position) - lower) /
                       double(std::int64_t(upper) - lower);
  const int filled = static_cast<int>(share * width);

  const int n = BandCount(start, end);
  if (n == 0) {
    // Equal colours leave no steps to divide the width by: fill plainly up to
    // the fill edge.
    if (filled > 0) plan.bands.push_back({0, filled, start});
    plan.backgroundFrom = std::max(filled, 0);
    return plan;
  }
  for (int i = 0; i < n; ++i) {
    const int x0 = BandEdge(i, n, width);
    const int x1 = BandEdge(i + 1, n, width);
    if (x1 > x0) plan.bands.push_back({x0, x1, BandColor(start, end, i, n)});
    if (x1 > filled) {
      plan.backgroundFrom = x1;
      return plan;
    }
  }
  plan.backgroundFrom = width;
  return plan;
}

QSize CGradientProgress::sizeHint() const { return QSize(120, 14); }

QSize CGradientProgress::minimumSizeHint() const { return QSize(20, 6); }

void CGradientProgress::paintEvent(QPaintEvent* event) {
  QPainter target(this);
  CMemoryDC memory(target, event->rect());
  QPainter& p = memory.painter();
  const QRect client = rect();
  const GradientPlan plan =
      Plan(start_, end_, lower_, upper_, pos_, client.width());
  for (const GradientBand& band : plan.bands)
    p.fillRect(QRect(band.x0, 0, band.x1 - band.x0, client.height()), band.color);
  if (plan.backgroundFrom < client.width())
    p.fillRect(QRect(plan.backgroundFrom, 0, client.width() - plan.backgroundFrom,
                     client.height()),
               background_);
}

}  // namespace kelvane
