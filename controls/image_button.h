#pragma once
// A push button that shows a small image beside (or above, below) its caption,
// drawn entirely by the button itself through an off-screen surface.

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QRect>

#include <cstdint>

namespace kelvane {

// Layout flags.
enum ImageButtonLayoutFlag : std::uint32_t {
  IBL_TEXT = 0x01,            // lay out and draw the caption
  IBL_IMAGE_RIGHT = 0x02,     // image at the right edge
  IBL_IMAGE_VCENTER = 0x04,   // image centred vertically, caption beside it
  IBL_IMAGE_BOTTOM = 0x08,    // image at the bottom, caption above it
  IBL_IMAGE_HCENTER = 0x10,   // image centred horizontally
  IBL_FOCUS_ON_TEXT = 0x20,   // focus rectangle around the caption area
};

// The pages' layout: image on the left, centred vertically, caption to its
// right, focus rectangle around the caption.
inline constexpr std::uint32_t kImageButtonDefaultLayout = 0x25;

// The three rectangles of a button. Right and bottom edges are exclusive:
// a rectangle "from 6 to W - 6" is QRect(6, ..., W - 12, ...). Without
// IBL_TEXT the text and focus rectangles are null. A button too small for its
// image can give text rectangles of negative size; they draw nothing.
struct ImageButtonLayout {
  QRect image;
  QRect text;
  QRect focus;
};

class CImageButton : public QPushButton {
  Q_OBJECT

 public:
  explicit CImageButton(QWidget* parent = nullptr);
  explicit CImageButton(const QString& text, QWidget* parent = nullptr);

  // Stores the layout flags and lays the button out again; always true.
  bool SetLayout(std::uint32_t flags);
  std::uint32_t GetLayout() const { return flags_; }

  // Loads a bitmap by resource number (see bitmaps.h) or by file or resource
  // path. Pixels of `mask` colour are transparent. On failure the previous
  // image is gone, the button draws without one, and the result is false.
  bool SetBitmap(int resourceId, QColor mask = QColor(0xFF, 0x00, 0xFF));
  bool SetBitmap(const QString& path, QColor mask = QColor(0xFF, 0x00, 0xFF));
  // The same from an image already in memory; false for a null image.
  bool SetImage(const QImage& image, QColor mask = QColor(0xFF, 0x00, 0xFF));
  bool HasImage() const { return loaded_; }
  QSize ImageSize() const { return loaded_ ? image_.size() : QSize(0, 0); }

  void SetTextColor(const QColor& c);
  QColor GetTextColor() const { return textColor_; }

  // The rectangles for the button's current size.
  const ImageButtonLayout& Layout() const;

  // The layout rules, for a client area and an image of the given sizes.
  static ImageButtonLayout ComputeLayout(std::uint32_t flags, QSize client,
                                         QSize image);
  // `image` with every pixel of `mask` colour made transparent.
  static QImage MaskedImage(const QImage& image, QColor mask);
  // The outline used for the disabled look: opaque wherever the image, with
  // its mask colour and transparent parts turned white, is not white.
  static QImage DisabledShape(const QImage& image, QColor mask);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Relayout() const;
  void DrawFrame(QPainter& p, const QRect& item, bool pressed, bool focused,
                 bool enabled) const;
  void DrawImage(QPainter& p, QPoint at, bool enabled) const;
  void DrawCaption(QPainter& p, bool pressed, bool enabled) const;

  std::uint32_t flags_ = kImageButtonDefaultLayout;
  bool loaded_ = false;
  QColor mask_ = QColor(0xFF, 0x00, 0xFF);
  QPixmap image_;
  QImage disabledShape_;
  // Laid out for layoutSize_; a hidden widget gets no resize events, so the
  // layout is brought up to date whenever it is used.
  mutable ImageButtonLayout layout_;
  mutable QSize layoutSize_;
  QColor textColor_;
};

}  // namespace kelvane
