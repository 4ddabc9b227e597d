#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

#include "controls/bitmaps.h"
#include "controls/image_button.h"

using kelvane::CImageButton;
using kelvane::ImageButtonLayout;

namespace {

// Rectangle from edges, right and bottom exclusive, as the layout states them.
QRect Edges(int l, int t, int r, int b) { return QRect(QPoint(l, t), QSize(r - l, b - t)); }

// 8 x 8: a magenta border two pixels wide around a black 4 x 4 square.
QImage TestImage() {
  QImage img(8, 8, QImage::Format_RGB32);
  img.fill(QColor(0xFF, 0x00, 0xFF));
  for (int y = 2; y < 6; ++y)
    for (int x = 2; x < 6; ++x) img.setPixel(x, y, qRgb(0, 0, 0));
  return img;
}

// Bounding box of the pixels inside `area` for which `match` holds.
template <class Match>
QRect Find(const QImage& img, const QRect& area, Match match) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (img.rect().contains(x, y) && match(QColor(img.pixel(x, y))))
        box |= QRect(x, y, 1, 1);
  return box;
}

bool Near(const QColor& a, const QColor& b, int tolerance = 8) {
  return std::abs(a.red() - b.red()) <= tolerance &&
         std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

// Pixels compared as plain RGB values: palette colours may carry a different
// colour model than QColor(QRgb), and QColor equality minds the model.
QRgb Px(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xFF000000u; }
QRgb Px(const QImage& img, QPoint p) { return Px(img, p.x(), p.y()); }
QRgb Rgb(const QColor& c) { return c.rgb(); }

QImage Render(CImageButton& b) { return b.grab().toImage().convertToFormat(QImage::Format_RGB32); }

}  // namespace

class ImageButtonTest : public QObject {
  Q_OBJECT

 private slots:
  void PagesLayoutPutsImageLeftCentredAndCaptionBesideIt() {
    const ImageButtonLayout l = CImageButton::ComputeLayout(37, {100, 30}, {21, 16});
    QCOMPARE(l.image, QRect(6, 7, 21, 16));
    QCOMPARE(l.text, Edges(33, 6, 94, 24));
    QCOMPARE(l.focus, Edges(31, 4, 96, 26));
  }

  void VerticalCentringKeepsOffTheEdge() {
    // (22 - 16) / 2 = 3 is too close to the edge: the image goes to 2.
    QCOMPARE(CImageButton::ComputeLayout(0x04, {60, 22}, {21, 16}).image.top(), 2);
    QCOMPARE(CImageButton::ComputeLayout(0x04, {60, 24}, {21, 16}).image.top(), 4);
    // No room to centre: the default top of 8 stays.
    QCOMPARE(CImageButton::ComputeLayout(0x04, {60, 16}, {21, 16}).image.top(), 8);
    QCOMPARE(CImageButton::ComputeLayout(0x04, {60, 10}, {21, 16}).image.top(), 8);
  }

  void ImageAtTheRightPutsCaptionLeftOfIt() {
    const ImageButtonLayout l = CImageButton::ComputeLayout(0x01 | 0x02 | 0x04, {100, 30}, {21, 16});
    QCOMPARE(l.image, QRect(73, 7, 21, 16));
    QCOMPARE(l.text, Edges(6, 6, 67, 24));
    QCOMPARE(l.focus, Edges(4, 4, 69, 26));
  }

  void ImageAtTheBottomPutsCaptionAboveIt() {
    const ImageButtonLayout l = CImageButton::ComputeLayout(0x01 | 0x08, {80, 60}, {21, 16});
    QCOMPARE(l.image, QRect(6, 38, 21, 16));
    QCOMPARE(l.text, Edges(6, 6, 74, 32));
    QCOMPARE(l.focus, Edges(4, 4, 76, 34));
    // Too low a button: the image does not climb above 6.
    QCOMPARE(CImageButton::ComputeLayout(0x08, {80, 20}, {21, 16}).image.top(), 6);
  }

  void VerticalCentringWinsOverBottom() {
    const ImageButtonLayout l = CImageButton::ComputeLayout(0x01 | 0x04 | 0x08, {80, 30}, {21, 16});
    QCOMPARE(l.image.top(), 7);
    QCOMPARE(l.text, Edges(33, 6, 74, 24));
  }

  void HorizontalCentringPutsCaptionBelowTheImage() {
    const ImageButtonLayout l = CImageButton::ComputeLayout(0x01 | 0x10, {100, 50}, {21, 16});
    QCOMPARE(l.image, QRect(39, 8, 21, 16));
    QCOMPARE(l.text, Edges(6, 28, 94, 42));
    QCOMPARE(l.focus, Edges(4, 28, 96, 46));
    // Narrow: centring would leave less than 4 pixels, so 4.
    QCOMPARE(CImageButton::ComputeLayout(0x10, {28, 40}, {21, 16}).image.left(), 4);
    // No room at all: the default left of 6 stays.
    QCOMPARE(CImageButton::ComputeLayout(0x10, {21, 40}, {21, 16}).image.left(), 6);
    // Centring overrides the right edge.
    QCOMPARE(CImageButton::ComputeLayout(0x12, {100, 40}, {21, 16}).image.left(), 39);
  }

  void WithoutTheTextFlagNoCaptionAreaExists() {
    const ImageButtonLayout l = CImageButton::ComputeLayout(0x04 | 0x20, {100, 30}, {21, 16});
    QVERIFY(l.text.isNull());
    QVERIFY(l.focus.isNull());
    QCOMPARE(l.image, QRect(6, 7, 21, 16));
  }

  void TooSmallAButtonGivesAnEmptyCaptionArea() {
    const ImageButtonLayout l = CImageButton::ComputeLayout(37, {30, 12}, {21, 16});
    QVERIFY(l.text.isEmpty());
  }

  void SetBitmapLoadsByResourceNumberAndLaysOut() {
    CImageButton b("Read");
    b.resize(90, 28);
    QVERIFY(b.SetLayout(37));
    QVERIFY(b.SetBitmap(kelvane::IDB_READ));
    QVERIFY(b.HasImage());
    QCOMPARE(b.ImageSize(), QSize(21, 16));
    QCOMPARE(b.Layout().image, QRect(6, 6, 21, 16));
    b.resize(120, 40);
    QCOMPARE(b.Layout().image, QRect(6, 12, 21, 16));
    QCOMPARE(b.Layout().text, Edges(33, 6, 114, 34));
  }

  void FailedSetBitmapDropsThePreviousImage() {
    CImageButton b("Read");
    b.resize(90, 28);
    QVERIFY(b.SetBitmap(kelvane::IDB_READ));
    QVERIFY(!b.SetBitmap(9999));
    QVERIFY(!b.HasImage());
    QVERIFY(b.SetImage(TestImage()));
    QVERIFY(!b.SetBitmap(QStringLiteral("/nonexistent/picture.png")));
    QVERIFY(!b.HasImage());
    QCOMPARE(b.ImageSize(), QSize(0, 0));
    // Still paints (frame and caption) without an image.
    QVERIFY(!Render(b).isNull());
  }

  void MaskColourShowsTheButtonFace() {
    CImageButton b;
    b.resize(60, 30);
    QVERIFY(b.SetImage(TestImage()));
    const QImage img = Render(b);
    const QPoint at = b.Layout().image.topLeft();
    QCOMPARE(Px(img, at), Rgb(b.palette().color(QPalette::Button)));
    QCOMPARE(Px(img, at + QPoint(2, 2)), Rgb(QColor(Qt::black)));
    QVERIFY(Find(img, img.rect(), [](QColor c) { return c == QColor(0xFF, 0, 0xFF); }).isNull());
  }

  void PressingMovesImageAndCaptionOnePixelRightAndDown() {
    CImageButton b("Go");
    b.resize(90, 30);
    QVERIFY(b.SetImage(TestImage()));
    auto black = [](QColor c) { return c == QColor(Qt::black); };
    auto dark = [](QColor c) { return c.lightness() < 80; };
    // The text area, widened by the shift so the pressed caption is inside.
    const QRect textArea = b.Layout().text.adjusted(0, 0, 1, 1);

    const QImage normal = Render(b);
    b.setDown(true);
    const QImage pressed = Render(b);

    const QRect imageNormal = Find(normal, b.Layout().image.adjusted(-2, -2, 2, 2), black);
    const QRect imagePressed = Find(pressed, b.Layout().image.adjusted(-2, -2, 2, 2), black);
    QCOMPARE(imageNormal.size(), QSize(4, 4));
    QCOMPARE(imagePressed, imageNormal.translated(1, 1));

    const QRect captionNormal = Find(normal, textArea, dark);
    const QRect captionPressed = Find(pressed, textArea, dark);
    QVERIFY(!captionNormal.isNull());
    QCOMPARE(captionPressed, captionNormal.translated(1, 1));
  }

  void PressedButtonLosesItsRaisedEdge() {
    CImageButton b("Go");
    b.resize(80, 30);
    const QPalette pal = b.palette();
    const QImage normal = Render(b);
    QCOMPARE(Px(normal, 0, 0), Rgb(pal.color(QPalette::Light)));
    QCOMPARE(Px(normal, 79, 29), Rgb(pal.color(QPalette::Shadow)));
    QCOMPARE(Px(normal, 78, 28), Rgb(pal.color(QPalette::Dark)));

    b.setDown(true);
    const QImage pressed = Render(b);
    QCOMPARE(Px(pressed, 0, 0), Rgb(pal.color(QPalette::Dark)));
    QCOMPARE(Px(pressed, 79, 29), Rgb(pal.color(QPalette::Dark)));
    // Inside the flat frame there is only the face.
    QCOMPARE(Px(pressed, 1, 1), Rgb(pal.color(QPalette::Button)));
  }

  void DisabledButtonShowsEngravedImageAndCaption() {
    CImageButton b("Write");
    b.resize(100, 30);
    QVERIFY(b.SetImage(TestImage()));
    b.setEnabled(false);
    const QPalette pal = b.palette();
    const QImage img = Render(b);
    const QPoint square = b.Layout().image.topLeft() + QPoint(2, 2);

    // The black square in the shadow colour, its highlight one pixel further.
    QCOMPARE(Px(img, square), Rgb(pal.color(QPalette::Dark)));
    QCOMPARE(Px(img, square + QPoint(3, 3)), Rgb(pal.color(QPalette::Dark)));
    QCOMPARE(Px(img, square + QPoint(4, 4)), Rgb(pal.color(QPalette::Light)));
    QVERIFY(Find(img, b.Layout().image, [](QColor c) { return c == QColor(Qt::black); }).isNull());

    // Caption: nothing near the normal text colour, some of the light engraving.
    const QRect text = b.Layout().text.adjusted(0, 0, 1, 1);
    const QColor textColor = b.GetTextColor();
    const QColor engraving = pal.color(QPalette::Light);
    QVERIFY(Find(img, text, [&](QColor c) { return Near(c, textColor); }).isNull());
    QVERIFY(!Find(img, text, [&](QColor c) { return Near(c, engraving); }).isNull());

    b.setEnabled(true);
    const QImage enabled = Render(b);
    QVERIFY(!Find(enabled, text, [&](QColor c) { return Near(c, textColor, 60); }).isNull());
    QVERIFY(Find(enabled, text, [&](QColor c) { return Near(c, engraving); }).isNull());
  }

  void DisabledShapeIgnoresMaskWhiteAndTransparentPixels() {
    QImage img(4, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, qRgba(0xFF, 0x00, 0xFF, 255));  // mask colour
    img.setPixel(1, 0, qRgba(0xFF, 0xFF, 0xFF, 255));  // white
    img.setPixel(2, 0, qRgba(0x00, 0x00, 0x00, 0));    // transparent
    img.setPixel(3, 0, qRgba(0x40, 0x80, 0x20, 255));  // drawn
    const QImage shape = CImageButton::DisabledShape(img, QColor(0xFF, 0x00, 0xFF));
    QCOMPARE(qAlpha(shape.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(shape.pixel(1, 0)), 0);
    QCOMPARE(qAlpha(shape.pixel(2, 0)), 0);
    QCOMPARE(qAlpha(shape.pixel(3, 0)), 255);
  }

  void CaptionIsNotDrawnWithoutTheTextFlag() {
    CImageButton b("Go");
    b.resize(90, 30);
    QVERIFY(b.SetLayout(0x04));
    QVERIFY(b.SetImage(TestImage()));
    const QImage img = Render(b);
    const QRect wouldBeText = CImageButton::ComputeLayout(0x05, b.size(), b.ImageSize()).text;
    QVERIFY(Find(img, wouldBeText, [](QColor c) { return c.lightness() < 80; }).isNull());
  }

  void FocusedButtonGetsBlackFrameAndFocusRectangleAroundCaption() {
    QWidget window;
    window.resize(200, 60);
    auto* b = new CImageButton("Go", &window);
    b->setGeometry(10, 10, 100, 30);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    b->setFocus();
    QTRY_VERIFY(b->hasFocus());
    const QImage img = Render(*b);
    QCOMPARE(Px(img, 0, 0), Rgb(QColor(Qt::black)));
    QCOMPARE(Px(img, 99, 29), Rgb(QColor(Qt::black)));
    // The dotted rectangle lies on the focus area's top edge.
    const QRect focus = b->Layout().focus;
    const QColor dots = b->palette().color(QPalette::ButtonText);
    int onEdge = 0;
    for (int x = focus.left(); x < focus.left() + focus.width(); ++x)
      if (QColor(img.pixel(x, focus.top())) == dots) ++onEdge;
    QVERIFY2(onEdge >= focus.width() / 4, qPrintable(QString::number(onEdge)));

    b->clearFocus();
    QTRY_VERIFY(!b->hasFocus());
    const QImage unfocused = Render(*b);
    QCOMPARE(Px(unfocused, 0, 0), Rgb(b->palette().color(QPalette::Light)));
  }

  void SizeHintLeavesRoomForImageAndCaption() {
    CImageButton b("Autoconnect");
    QVERIFY(b.SetBitmap(kelvane::IDB_AUTOCONNECT));
    b.resize(b.sizeHint());
    const ImageButtonLayout& l = b.Layout();
    QVERIFY(l.image.top() >= 2);
    QVERIFY(l.image.bottom() < b.height());
    QVERIFY(l.text.width() >= b.fontMetrics().horizontalAdvance("Autoconnect"));
    QVERIFY(l.text.height() >= b.fontMetrics().height());
  }
};

QTEST_MAIN(ImageButtonTest)
#include "image_button_test.moc"
