#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/manual_location.h"

using namespace kelvane;

class ManualLocationTest : public QObject {
  Q_OBJECT

 private slots:
  void FoundUnderShareDocBesideTheProgramFolder() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString doc = root.filePath(QStringLiteral("share/doc/kelvane"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(doc));
    // Without the file the program falls back to its own copy.
    const QString before = FindInstalledManual(bin);
    QVERIFY(!before.startsWith(root.path()));

    QFile index(doc + QStringLiteral("/index.html"));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("<html></html>");
    index.close();
    QCOMPARE(FindInstalledManual(bin), QDir::cleanPath(doc + QStringLiteral("/index.html")));
  }

  void AFolderNamedLikeTheManualIsNoManual() {
    QTemporaryDir root;
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("bin"))));
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("share/doc/kelvane/index.html"))));
    QVERIFY(!FindInstalledManual(root.filePath(QStringLiteral("bin"))).startsWith(root.path()));
  }

  void TheBuildTreeHoldsTheManualWhereTheProgramLooks() {
    // The test programs live in tests/app of the build tree, the program in
    // app/.
    const QString found =
        FindInstalledManual(QCoreApplication::applicationDirPath() + QStringLiteral("/../../app"));
    QVERIFY2(!found.isEmpty(), "no manual under share/doc/kelvane in the build tree");
    QVERIFY(found.endsWith(QStringLiteral("share/doc/kelvane/index.html")));
  }
};

QTEST_MAIN(ManualLocationTest)
#include "manual_location_test.moc"
