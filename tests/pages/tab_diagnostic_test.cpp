// The Diagnostic page: bars, values and switches for the simulated modem's
// line states, the failure paths of its reads, and Create Report.

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "controls/bitmaps.h"
#include "controls/gradient_progress.h"
#include "config/diagnostic_values.h"
#include "accessibility_events.h"
#include "page_test_rig.h"
#include "pages/dip_switches.h"
#include "pages/tab_diagnostic.h"

using namespace kelvane;
using kelvane::testing::AccessibilityEvents;
using kelvane::testing::PageRig;


class TabDiagnosticTest : public QObject {
  Q_OBJECT

 private slots:
  void LineStatesAsBarsAndValues_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QList<int>>("positions");
    QTest::addColumn<QList<int>>("uppers");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("v34") << "v34" << QList<int>{324, 300, 17, 24, 10, 27} << QList<int>{328, 328, 30, 35, 10, 40}
                         << QStringList{"33.6", "31.2", "37", "-21", "-30", "-52"};
    QTest::newRow("idle") << "idle" << QList<int>{0, 0, 0, 0, 0, 0} << QList<int>{0, 0, 30, 35, 10, 40}
                          << QStringList{"0", "0", "0", "-0", "-0", "-0"};
    QTest::newRow("v32b") << "v32b" << QList<int>{132, 132, 30, 0, 1, 40} << QList<int>{132, 132, 30, 35, 10, 40}
                          << QStringList{"14.4", "19.2", "56", "-45", "-12", "-70"};
  }
  void LineStatesAsBarsAndValues() {
    QFETCH(QString, line);
    QFETCH(QList<int>, positions);
    QFETCH(QList<int>, uppers);
    QFETCH(QStringList, values);
    PageRig rig(3);
    QVERIFY(LastConnectionPreset(line.toStdString(), rig.Modem().Diagnostics()));
    rig.Modem().DipSwitches() = {0x81, 0, 0, 0};
    rig.Identify();
    CTabDiagnostic page(rig.ui);
    page.OnSetActive();
    QVERIFY(rig.Received("AT&V1"));
    for (int i = 0; i < 6; ++i) {
      QCOMPARE(page.Bar(i)->GetPos(), positions[i]);
      QCOMPARE(page.Bar(i)->GetUpper(), uppers[i]);
      QCOMPARE(page.Value(i)->text(), values[i]);
    }
    QVERIFY(page.InfoBox()->toPlainText().startsWith("Norm"));
    QVERIFY(page.SoftwareEdit()->text().startsWith("Dalmarin RM-40 485"));
    QVERIFY(!page.RevisionEdit()->text().isEmpty());
    // S1 = 0x81: switches 1 and 8 on.
    for (int sw = 0; sw < 8; ++sw) QCOMPARE(page.SwitchBitmap(0, sw), sw == 0 || sw == 7 ? IDB_DIP_ON : IDB_DIP_OFF);
    QCOMPARE(page.SwitchBitmap(3, 0), int(IDB_DIP_OFF));
    if (line != "idle") QCOMPARE(page.Bar(0)->GetEndColor(), CGradientProgress::FromColorRef(0x00FF00));
  }

  // What a screen reader reads of the switches is what the images show:
  // each a read-only check box, checked when on, half checked without
  // information; each bank's value in its description. Changes are told.
  void SwitchesReadAsCheckBoxes() {
    PageRig rig(3);
    rig.Modem().DipSwitches() = {0x81, 0x00, 0xFF, 0x24};
    rig.Identify();
    CTabDiagnostic page(rig.ui);
    AccessibilityEvents events;
    page.OnSetActive();
    const QStringList values = {"Value 81 hex (129)", "Value 00 hex (0)", "Value FF hex (255)", "Value 24 hex (36)"};
    QAccessibleInterface* group = QAccessible::queryAccessibleInterface(page.DipSwitches());
    QCOMPARE(group->text(QAccessible::Name), QStringLiteral("DIP Switches"));
    QCOMPARE(group->childCount(), 4);
    auto bank = [&](int k) { return group->child(k); };
    auto check = [&](const QStringList& banks, bool known) {
      for (int k = 0; k < 4; ++k) {
        QAccessibleInterface* bank = group->child(k);
        QCOMPARE(bank->parent(), group);
        QCOMPARE(bank->childCount(), 8);
        QCOMPARE(bank->text(QAccessible::Name), QStringLiteral("S%1").arg(k + 1));
        QCOMPARE(bank->text(QAccessible::Description), banks[k]);
        for (int j = 0; j < 8; ++j) {
          QAccessibleInterface* sw = QAccessible::queryAccessibleInterface(page.Switch(k, j));
          const QString name = QStringLiteral("S%1 switch %2").arg(k + 1).arg(j + 1);
          QCOMPARE(sw->role(), QAccessible::CheckBox);
          QCOMPARE(sw->text(QAccessible::Name), name);
          QCOMPARE(sw->parent(), bank);
          QCOMPARE(bank->child(j), sw);
          QCOMPARE(bank->indexOfChild(sw), j);
          const QAccessible::State state = sw->state();
          QVERIFY2(state.checkable && state.readOnly, qPrintable(name));
          QCOMPARE(bool(state.checked), page.SwitchBitmap(k, j) == IDB_DIP_ON);
          QCOMPARE(bool(state.checkStateMixed), !known);
          QCOMPARE(page.SwitchBitmap(k, j) == IDB_DIP_UNKNOWN, !known);
        }
      }
    };
    check(values, true);
    QCOMPARE(page.SwitchBitmap(0, 7), int(IDB_DIP_ON));
    QCOMPARE(page.SwitchBitmap(3, 2), int(IDB_DIP_ON));
    // S1 switch 8 went from no information to on; S2 switch 1 to off.
    QCOMPARE(events.Count(page.Switch(0, 7), QAccessible::StateChanged), 1);
    QCOMPARE(events.Count(page.Switch(1, 0), QAccessible::StateChanged), 1);
    QCOMPARE(events.Count(bank(2), QAccessible::DescriptionChanged), 1);

    // Shown again unchanged: nothing to tell.
    events.Clear();
    page.ShowData();
    QCOMPARE(events.Count(page.Switch(0, 7), QAccessible::StateChanged), 0);
    QCOMPARE(events.Count(bank(0), QAccessible::DescriptionChanged), 0);

    // A failed Read: no information, and every bank says so.
    rig.Modem().Options().errorFor = {"I8"};
    page.DiagnosticReadButton()->click();
    check({"No switch information", "No switch information", "No switch information", "No switch information"},
          false);
    for (int k = 0; k < 4; ++k) QCOMPARE(events.Count(bank(k), QAccessible::DescriptionChanged), 1);
  }

  void ModelsWithoutSwitchesShowNoInformation() {
    for (int type : {1, 4}) {
      PageRig rig(type);
      rig.Identify();
      CTabDiagnostic page(rig.ui);
      page.OnSetActive();
      QVERIFY(!rig.Received("ATI8"));
      for (int i = 0; i < 32; ++i) QCOMPARE(page.SwitchBitmap(i / 8, i % 8), int(IDB_DIP_UNKNOWN));
    }
  }

  void FailedReadsDisableTheDisplay() {
    PageRig rig(3);
    rig.Identify();
    rig.a.Diagnostic.DipSwitches[0] = 1;
    rig.Modem().Options().errorFor = {"&V1"};
    CTabDiagnostic page(rig.ui);
    // On activation the data is shown anyway, switches included.
    page.OnSetActive();
    QVERIFY(!page.InfoBox()->isEnabled());
    QVERIFY(!page.Bar(0)->isEnabled());
    QCOMPARE(page.SwitchBitmap(0, 0), int(IDB_DIP_ON));
    QCOMPARE(page.Value(2)->text(), QString("0"));
    QVERIFY(rig.ui.boxes.empty());
    // "Read" failing: switches show no information.
    page.DiagnosticReadButton()->click();
    QCOMPARE(page.SwitchBitmap(0, 0), int(IDB_DIP_UNKNOWN));
    QVERIFY(!page.Bar(5)->isEnabled());
    QVERIFY(page.DiagnosticReadButton()->isEnabled());
    // A good read brings everything back.
    rig.Modem().Options().errorFor.clear();
    page.DiagnosticReadButton()->click();
    QVERIFY(page.Bar(0)->isEnabled());
    QCOMPARE(page.Bar(0)->GetPos(), 324);
  }

  void CreateReportWritesReadsAndOpens() {
    PageRig rig(3);
    rig.Modem().DipSwitches() = {1, 0, 255, 16};
    rig.Identify();
    CTabDiagnostic page(rig.ui);
    QStringList opened;
    page.openDocument = [&opened](const QString& path) { opened << path; };

    // Cancelled: nothing read, nothing written.
    std::size_t mark = rig.ReceivedCount();
    page.ReportButton()->click();
    QCOMPARE(rig.ReceivedCount(), mark);
    QVERIFY(opened.isEmpty());
    QCOMPARE(rig.ui.fileRequests.back().defaultExtension, std::string("htm"));

    QTemporaryDir dir;
    const QString path = dir.filePath("report.htm");
    rig.ui.fileAnswers = {path.toStdString()};
    page.ReportButton()->click();
    QVERIFY(rig.Received("AT&V1"));
    QCOMPARE(opened, QStringList{path});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray html = file.readAll();
    QVERIFY(html.contains("<title>Kelvane Report file "));
    QVERIFY(html.contains("<tr><td>DIP Switches (Hex)</td><td><b>01 00 FF 10</b></td></tr>\r\n"));
    QVERIFY(html.contains("<tr><td>Info</td><td>Norm"));

    // A file that cannot be created: the message, no read, nothing opened.
    rig.ui.fileAnswers = {dir.filePath("missing/dir/report.htm").toStdString()};
    mark = rig.ReceivedCount();
    page.ReportButton()->click();
    QCOMPARE(rig.ui.BoxTexts(), std::vector<std::string>{"Unable to open file..."});
    QCOMPARE(rig.ReceivedCount(), mark);
    QCOMPARE(opened.size(), 1);
  }

  void OfflineHasNoModemButtons() {
    PageRig rig(3);
    rig.Offline();
    CTabDiagnostic page(rig.ui);
    page.OnSetActive();
    QVERIFY(!page.DiagnosticReadButton()->isEnabled());
    QVERIFY(!page.ReportButton()->isEnabled());
  }
};

QTEST_MAIN(TabDiagnosticTest)
#include "tab_diagnostic_test.moc"
