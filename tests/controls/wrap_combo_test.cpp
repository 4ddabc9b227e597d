#include <QImage>
#include <QTest>

#include "controls/wrap_combo.h"

using kelvane::CWrapComboBox;

namespace {

// The bands of pixel rows that hold ink (text darker than the box) between
// the left edge and the arrow.
int InkBands(QWidget& box) {
  const QImage image = box.grab().toImage();
  const int right = image.width() - 30;
  int bands = 0;
  bool inBand = false;
  for (int y = 3; y < image.height() - 3; ++y) {
    bool ink = false;
    for (int x = 6; x < right && !ink; ++x) ink = qGray(image.pixel(x, y)) < 110;
    if (ink && !inBand) ++bands;
    inBand = ink;
  }
  return bands;
}

}  // namespace

class WrapComboTest : public QObject {
  Q_OBJECT

 private slots:
  void IsTallerByItsExtraLines() {
    QComboBox plain;
    CWrapComboBox two(2);
    CWrapComboBox three(3);
    const int line = plain.fontMetrics().lineSpacing();
    QCOMPARE(two.sizeHint().height(), plain.sizeHint().height() + line);
    QCOMPARE(three.minimumSizeHint().height(), plain.minimumSizeHint().height() + 2 * line);
    QCOMPARE(CWrapComboBox(0).LineCount(), 1);
  }

  void ChosenEntryIsWrappedOverTheLines() {
    struct Case {
      const char* entry;
      int width;
      int bands;
    };
    const Case cases[] = {
        {"0 - Always ON", 300, 1},
        {"1 - Modem switches from data to command mode when DTR switches from ON to OFF", 340, 2},
        // Too long for two lines: the second is cut with an ellipsis, never a third.
        {"1 - Modem switches from data to command mode when DTR switches from ON to OFF", 150, 2},
    };
    for (const Case& c : cases) {
      CWrapComboBox box(2);
      box.addItem(QString::fromLatin1(c.entry));
      box.resize(c.width, box.sizeHint().height());
      QCOMPARE(InkBands(box), c.bands);
    }
  }
};

QTEST_MAIN(WrapComboTest)
#include "wrap_combo_test.moc"
