#include "controls/image_button.h"

#include <QFocusEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

#include "controls/bitmaps.h"
#include "controls/memory_dc.h"

namespace kelvane {

namespace {

// A rectangle given by its edges, right and bottom exclusive.
QRect Edges(int left, int top, int right, int bottom) {
  return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}

// One-pixel outline just inside `r`, top and left in `tl`, bottom and right in
// `br`, drawn with fills so no pen rounding can move it.
void Outline(QPainter& p, const QRect& r, const QColor& tl, const QColor& br) {
  if (r.width() <= 0 || r.height() <= 0) return;
  p.fillRect(QRect(r.left(), r.top(), r.width(), 1), tl);
  p.fillRect(QRect(r.left(), r.top(), 1, r.height()), tl);
  p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), br);
  p.fillRect(QRect(r.right(), r.top(), 1, r.height()), br);
}

// The caption as shown: '&' marks a mnemonic and "&&" a literal ampersand.
QString VisibleText(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

}  // namespace

CImageButton::CImageButton(QWidget* parent) : CImageButton(QString(), parent) {}

CImageButton::CImageButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent),
      textColor_(palette().color(QPalette::ButtonText)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  Relayout();
}

bool CImageButton::SetLayout(std::uint32_t flags) {
  flags_ = flags;
  Relayout();
  update();
  return true;
}

bool CImageButton::SetBitmap(int resourceId, QColor mask) {
  InitKelvaneResources();
  const QString path = BitmapResourcePath(resourceId);
  if (path.isEmpty()) return SetImage(QImage(), mask);
  return SetBitmap(path, mask);
}

bool CImageButton::SetBitmap(const QString& path, QColor mask) {
  InitKelvaneResources();
  return SetImage(QImage(path), mask);
}

bool CImageButton::SetImage(const QImage& image, QColor mask) {
  loaded_ = false;
  image_ = QPixmap();
  disabledShape_ = QImage();
  mask_ = mask;
  if (!image.isNull()) {
    image_ = QPixmap::fromImage(MaskedImage(image, mask));
    disabledShape_ = DisabledShape(image, mask);
    loaded_ = !image_.isNull();
  }
  Relayout();
  update();
  return loaded_;
}

void CImageButton::SetTextColor(const QColor& c) {
  textColor_ = c;
  update();
}

ImageButtonLayout CImageButton::ComputeLayout(std::uint32_t flags, QSize client,
                                              QSize image) {
  const int W = client.width();
  const int H = client.height();
  const int w = image.width();
  const int h = image.height();

  int left = 6;
  int top = 8;
  if (flags & IBL_IMAGE_RIGHT) left = W - w - 6;
  if (flags & IBL_IMAGE_VCENTER) {
    if (H - h > 0) {
      top = (H - h) / 2;
      if (top < 4) top = 2;
    }
  } else if (flags & IBL_IMAGE_BOTTOM) {
    top = H - h - 6;
    if (top < 6) top = 6;
  }
  if ((flags & IBL_IMAGE_HCENTER) && W - w > 0) {
    left = (W - w) / 2;
    if (left < 4) left = 4;
  }

  ImageButtonLayout out;
  out.image = QRect(left, top, w, h);
  if (!(flags & IBL_TEXT)) return out;

  const int imageRight = left + w;
  const int imageBottom = top + h;
  int textTop, textBottom, focusTop, focusBottom;
  if (flags & IBL_IMAGE_VCENTER) {
    textTop = 6, textBottom = H - 6;
    focusTop = 4, focusBottom = H - 4;
  } else if (flags & IBL_IMAGE_BOTTOM) {
    textTop = 6, textBottom = top - 6;
    focusTop = 4, focusBottom = top - 4;
  } else {
    textTop = imageBottom + 4, textBottom = H - 8;
    focusTop = imageBottom + 4, focusBottom = H - 4;
  }
  int textLeft, textRight, focusLeft, focusRight;
  if ((flags & IBL_IMAGE_VCENTER) && (flags & IBL_IMAGE_RIGHT)) {
    textLeft = 6, textRight = left - 6;
    focusLeft = 4, focusRight = left - 4;
  } else if (flags & IBL_IMAGE_VCENTER) {
    textLeft = imageRight + 6, textRight = W - 6;
    focusLeft = imageRight + 4, focusRight = W - 4;
  } else {
    textLeft = 6, textRight = W - 6;
    focusLeft = 4, focusRight = W - 4;
  }
  out.text = Edges(textLeft, textTop, textRight, textBottom);
  out.focus = Edges(focusLeft, focusTop, focusRight, focusBottom);
  return out;
}

QImage CImageButton::MaskedImage(const QImage& image, QColor mask) {
  QImage out = image.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = mask.rgb() & 0xFFFFFF;
  for (int y = 0; y < out.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((line[x] & 0xFFFFFF) == key) line[x] = qRgba(0, 0, 0, 0);
  }
  return out;
}

QImage CImageButton::DisabledShape(const QImage& image, QColor mask) {
  const QImage src = image.convertToFormat(QImage::Format_ARGB32);
  QImage out(src.size(), QImage::Format_ARGB32);
  out.fill(Qt::transparent);
  const QRgb key = mask.rgb() & 0xFFFFFF;
  for (int y = 0; y < src.height(); ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
    QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < src.width(); ++x) {
      const QRgb c = in[x];
      if ((c & 0xFFFFFF) == key) continue;
      // Seen over white, as the mask colour is; nearly white counts as white
      // so that faint anti-aliased edges do not thicken the outline.
      const int a = qAlpha(c);
      auto over = [a](int v) { return (v * a + 255 * (255 - a)) / 255; };
      if (over(qRed(c)) >= 0xF0 && over(qGreen(c)) >= 0xF0 && over(qBlue(c)) >= 0xF0)
        continue;
      line[x] = qRgba(0, 0, 0, 255);
    }
  }
  return out;
}

QSize CImageButton::sizeHint() const {
  const QSize img = ImageSize();
  const QFontMetrics fm = fontMetrics();
  const bool hasText = (flags_ & IBL_TEXT) && !text().isEmpty();
  const int tw = hasText ? fm.horizontalAdvance(VisibleText(text())) : 0;
  const int th = hasText ? fm.height() : 0;
  int w, h;
  if (flags_ & IBL_IMAGE_VCENTER) {
    // Image, a 6-pixel gap, the caption, margins of 6 around everything and a
    // little air on either side of the caption.
    w = 6 + img.width() + (hasText ? 6 + tw + 8 : 0) + 6;
    h = std::max(img.height() + 8, th + 12);
  } else {
    w = std::max(img.width() + 12, tw + 20);
    h = 8 + img.height() + (hasText ? 4 + th + 8 : 8);
  }
  return QSize(std::max(w, 24), std::max(h, 22));
}

QSize CImageButton::minimumSizeHint() const { return sizeHint(); }

void CImageButton::Relayout() const {
  layoutSize_ = size();
  layout_ = ComputeLayout(flags_, layoutSize_, ImageSize());
}

const ImageButtonLayout& CImageButton::Layout() const {
  if (layoutSize_ != size()) Relayout();
  return layout_;
}

void CImageButton::resizeEvent(QResizeEvent* event) {
  QPushButton::resizeEvent(event);
  Relayout();
  update();
}

void CImageButton::focusInEvent(QFocusEvent* event) {
  QPushButton::focusInEvent(event);
  update();
}

void CImageButton::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  update();
}

void CImageButton::changeEvent(QEvent* event) {
  QPushButton::changeEvent(event);
  switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::EnabledChange:
    case QEvent::FontChange:
    case QEvent::StyleChange:
      update();
      break;
    default:
      break;
  }
}

void CImageButton::DrawFrame(QPainter& p, const QRect& item, bool pressed,
                             bool focused, bool enabled) const {
  const QPalette& pal = palette();
  const QRect frame = focused ? item.adjusted(1, 1, -1, -1) : item;
  if (!pressed) {
    // A raised edge: light outside top-left, darkest outside bottom-right,
    // then the softer pair inside.
    Outline(p, frame, pal.color(QPalette::Light), pal.color(QPalette::Shadow));
    Outline(p, frame.adjusted(1, 1, -1, -1), pal.color(QPalette::Midlight),
            pal.color(QPalette::Dark));
  }
  if (enabled) {
    if (focused) Outline(p, item, Qt::black, Qt::black);
    if (pressed) Outline(p, frame, pal.color(QPalette::Dark), pal.color(QPalette::Dark));
  }
}

void CImageButton::DrawImage(QPainter& p, QPoint at, bool enabled) const {
  if (enabled) {
    p.drawPixmap(at, image_);
    return;
  }
  // Engraved: the outline in the highlight colour one pixel down and right,
  // then in the shadow colour in place.
  auto tinted = [this](const QColor& c) {
    QImage img = disabledShape_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter tp(&img);
    tp.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tp.fillRect(img.rect(), c);
    return img;
  };
  p.drawImage(at + QPoint(1, 1), tinted(palette().color(QPalette::Light)));
  p.drawImage(at, tinted(palette().color(QPalette::Dark)));
}

void CImageButton::DrawCaption(QPainter& p, bool pressed, bool enabled) const {
  const QRect area = layout_.text.translated(pressed ? QPoint(1, 1) : QPoint());
  if (area.width() <= 0 || area.height() <= 0 || text().isEmpty()) return;
  const int align = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
  p.save();
  p.setClipRect(area.adjusted(0, 0, 1, 1), Qt::IntersectClip);
  if (enabled) {
    p.setPen(textColor_);
    p.drawText(area, align, text());
  } else {
    // The highlight colour, not the edit-field background: some palettes make
    // the latter equal to the button face, which would hide the engraving.
    p.setPen(palette().color(QPalette::Light));
    p.drawText(area.translated(1, 1), align, text());
    p.setPen(palette().color(QPalette::Disabled, QPalette::ButtonText));
    p.drawText(area, align, text());
  }
  p.restore();
}

void CImageButton::paintEvent(QPaintEvent* event) {
  QPainter target(this);
  CMemoryDC memory(target, event->rect());
  QPainter& p = memory.painter();
  p.setFont(font());

  Layout();
  const QRect item = rect();
  const bool pressed = isDown() || isChecked();
  const bool focused = hasFocus();
  const bool enabled = isEnabled();

  p.fillRect(item, palette().color(QPalette::Button));
  DrawFrame(p, item, pressed, focused, enabled);

  if (focused) {
    const QRect frame = item.adjusted(1, 1, -1, -1);
    const QRect inner = frame.adjusted(1, 1, -1, -1);
    const QRect around = (flags_ & IBL_FOCUS_ON_TEXT) ? layout_.focus : inner;
    if (around.width() > 2 && around.height() > 2) {
      p.save();
      p.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(around.adjusted(0, 0, -1, -1));
      p.restore();
    }
  }

  if (loaded_)
    DrawImage(p, layout_.image.topLeft() + (pressed ? QPoint(1, 1) : QPoint()),
              enabled);
  if (flags_ & IBL_TEXT) DrawCaption(p, pressed, enabled);
}

}  // namespace kelvane
