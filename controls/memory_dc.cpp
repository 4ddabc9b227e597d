#include "controls/memory_dc.h"

#include <QPaintDevice>

namespace kelvane {

CMemoryDC::CMemoryDC(QPainter& target, const QRect& area)
    : target_(target), area_(area.normalized()) {
  QPaintDevice* device = target_.device();
  const bool printer = device != nullptr && device->devType() == QInternal::Printer;
  if (printer || area_.isEmpty()) return;

  // Match the target's pixel density so the copy is one pixel per pixel.
  const qreal ratio = device != nullptr ? device->devicePixelRatioF() : 1.0;
  pixmap_ = QPixmap(area_.size() * ratio);
  pixmap_.setDevicePixelRatio(ratio);
  pixmap_.fill(Qt::transparent);
  memory_.emplace(&pixmap_);
  memory_->setFont(target_.font());
  memory_->setPen(target_.pen());
  memory_->setBrush(target_.brush());
  // Shift the origin so callers keep drawing in target coordinates.
  memory_->translate(-area_.topLeft());
  offScreen_ = true;
}

CMemoryDC::~CMemoryDC() {
  if (!offScreen_) return;
  memory_->end();
  memory_.reset();
  // The surface starts transparent, so whatever was left unpainted keeps the
  // target's pixels instead of turning black.
  target_.drawPixmap(area_.topLeft(), pixmap_);
}

QPainter& CMemoryDC::painter() { return offScreen_ ? *memory_ : target_; }

}  // namespace kelvane
