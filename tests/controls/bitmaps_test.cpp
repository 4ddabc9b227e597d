#include <QImage>
#include <QTest>

#include "controls/bitmaps.h"

using namespace kelvane;

class BitmapsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InitKelvaneResources(); }

  void EveryNamedBitmapLoads() {
    for (int id : {IDI_KELVANE, IDB_AUTOCONNECT, IDB_DISCONNECT, IDB_CONNECT, IDB_DIP_OFF,
                   IDB_DIP_ON, IDB_DIP_UNKNOWN, IDB_OPEN, IDB_READ, IDB_REMOTE,
                   IDB_WRITE_PAGE, IDB_WRITE_ALL}) {
      const QString path = BitmapResourcePath(id);
      QVERIFY2(path.startsWith(":/icons/"), qPrintable(QString::number(id)));
      QVERIFY2(!QImage(path).isNull(), qPrintable(path));
    }
  }

  void UnknownNumbersHaveNoPath() {
    QVERIFY(BitmapResourcePath(0).isEmpty());
    QVERIFY(BitmapResourcePath(149).isEmpty());
  }

  void PageButtonImagesAre21By16() {
    for (int id : {IDB_READ, IDB_WRITE_PAGE, IDB_WRITE_ALL})
      QCOMPARE(QImage(BitmapResourcePath(id)).size(), QSize(21, 16));
  }

  void SwitchImagesShareASizeAndDiffer() {
    const QImage on(BitmapResourcePath(IDB_DIP_ON));
    const QImage off(BitmapResourcePath(IDB_DIP_OFF));
    const QImage unknown(BitmapResourcePath(IDB_DIP_UNKNOWN));
    QCOMPARE(on.size(), off.size());
    QCOMPARE(on.size(), unknown.size());
    QVERIFY(on != off);
    QVERIFY(on != unknown);
    QVERIFY(off != unknown);
  }

  void ConnectionButtonImagesShareASize() {
    const QSize size = QImage(BitmapResourcePath(IDB_CONNECT)).size();
    for (int id : {IDB_AUTOCONNECT, IDB_DISCONNECT, IDB_REMOTE, IDB_OPEN})
      QCOMPARE(QImage(BitmapResourcePath(id)).size(), size);
  }
};

QTEST_MAIN(BitmapsTest)
#include "bitmaps_test.moc"
