#include <QImage>
#include <QPainter>
#include <QTest>

#include "controls/memory_dc.h"

using kelvane::CMemoryDC;

class MemoryDcTest : public QObject {
  Q_OBJECT

 private slots:
  void DrawingReachesTheTargetOnlyWhenTheSurfaceEnds() {
    QImage target(40, 30, QImage::Format_RGB32);
    target.fill(Qt::white);
    QPainter p(&target);
    {
      CMemoryDC memory(p, QRect(10, 5, 20, 10));
      QVERIFY(memory.IsOffScreen());
      // Target coordinates: (12, 7) is inside the area.
      memory.painter().fillRect(QRect(12, 7, 3, 2), Qt::red);
      QCOMPARE(QColor(target.pixel(12, 7)), QColor(Qt::white));
    }
    p.end();
    QCOMPARE(QColor(target.pixel(12, 7)), QColor(Qt::red));
    QCOMPARE(QColor(target.pixel(14, 8)), QColor(Qt::red));
    QCOMPARE(QColor(target.pixel(15, 7)), QColor(Qt::white));
  }

  void OnlyThePaintedAreaIsCopied() {
    QImage target(40, 30, QImage::Format_RGB32);
    target.fill(Qt::white);
    QPainter p(&target);
    {
      CMemoryDC memory(p, QRect(10, 5, 20, 10));
      // Cover far more than the area; the rest of the target must not change.
      memory.painter().fillRect(QRect(0, 0, 40, 30), Qt::blue);
    }
    p.end();
    QCOMPARE(QColor(target.pixel(10, 5)), QColor(Qt::blue));
    QCOMPARE(QColor(target.pixel(29, 14)), QColor(Qt::blue));
    QCOMPARE(QColor(target.pixel(9, 5)), QColor(Qt::white));
    QCOMPARE(QColor(target.pixel(30, 14)), QColor(Qt::white));
    QCOMPARE(QColor(target.pixel(10, 15)), QColor(Qt::white));
    QCOMPARE(QColor(target.pixel(0, 0)), QColor(Qt::white));
  }

  void EmptyAreaDrawsStraightToTheTarget() {
    QImage target(10, 10, QImage::Format_RGB32);
    target.fill(Qt::white);
    QPainter p(&target);
    {
      CMemoryDC memory(p, QRect());
      QVERIFY(!memory.IsOffScreen());
      QCOMPARE(&memory.painter(), &p);
    }
    p.end();
    QCOMPARE(QColor(target.pixel(0, 0)), QColor(Qt::white));
  }
};

QTEST_MAIN(MemoryDcTest)
#include "memory_dc_test.moc"
