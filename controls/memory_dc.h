#pragma once
// An off-screen drawing surface for one paint: everything drawn through
// painter() lands in a pixmap the size of the area being painted and is copied
// to the target in one step when the surface is destroyed, so a control that
// paints in several passes never shows a half-drawn state.

#include <QPainter>
#include <QPixmap>
#include <QRect>

#include <optional>

namespace kelvane {

class CMemoryDC {
 public:
  // `area` is the part of the target being repainted, in the target painter's
  // coordinates (usually the paint event's rectangle). Drawing through
  // painter() uses the same coordinates. When the target paints on a printer
  // (or the area is empty) drawing goes straight to the target.
  CMemoryDC(QPainter& target, const QRect& area);
  ~CMemoryDC();

  CMemoryDC(const CMemoryDC&) = delete;
  CMemoryDC& operator=(const CMemoryDC&) = delete;

  QPainter& painter();
  bool IsOffScreen() const { return offScreen_; }
  const QRect& Area() const { return area_; }

 private:
  QPainter& target_;
  QRect area_;
  bool offScreen_ = false;
  QPixmap pixmap_;
  std::optional<QPainter> memory_;
};

}  // namespace kelvane
