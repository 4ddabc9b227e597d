#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <cstring>

#include "pages/tab_dial_opt.h"
#include "controls/image_button.h"
#include "page_test_rig.h"

using namespace kelvane;
using kelvane::testing::PageRig;

namespace {

struct Rig : PageRig {
  explicit Rig(int modelType) : PageRig(modelType) {
    Identify();
    DialSettings& d = a.Config.dial;
    d.HotCall = 1;
    d.DialAbort = 0;
    SetText(d.StoredNumbers[0], "0123456");
    SetText(d.BackupNumber, "+4687654321");
    d.BackupRetries = 3;
    d.BackupTime = 120;
  }
  // The page is shown with its section already read.
  void Activate(CTabDialOpt& page) {
    a.Page(PG_DIAL).refreshing = 1;
    a.Page(PG_DIAL).valid = 1;
    page.OnSetActive();
  }
};

// The labels of the backup group (every label whose buddy is a backup edit).
QList<QLabel*> BackupLabels(CTabDialOpt& page) {
  QList<QLabel*> out;
  for (QLabel* label : page.findChildren<QLabel*>()) {
    QWidget* buddy = label->buddy();
    if (buddy == page.BackupNumberEdit() || buddy == page.BackupRetriesEdit() ||
        buddy == page.BackupTimeEdit()) {
      out << label;
    }
  }
  return out;
}

}  // namespace

class TabDialOptTest : public QObject {
  Q_OBJECT

 private slots:
  void BackupOnlyOnModelType3_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("backup");
    QTest::newRow("RMX-21") << 1 << false;
    QTest::newRow("RM-40") << 2 << false;
    QTest::newRow("RM-40 485") << 3 << true;
    QTest::newRow("RP-40") << 4 << false;
  }

  void BackupOnlyOnModelType3() {
    QFETCH(int, model);
    QFETCH(bool, backup);
    Rig rig(model);
    CTabDialOpt page(rig.ui);
    page.show();
    rig.Activate(page);
    QCOMPARE(page.BackupNumberEdit()->isVisible(), backup);
    QCOMPARE(page.BackupRetriesEdit()->isVisible(), backup);
    QCOMPARE(page.BackupTimeEdit()->isVisible(), backup);
    const QList<QLabel*> labels = BackupLabels(page);
    QCOMPARE(labels.size(), 3);
    for (QLabel* label : labels) QCOMPARE(label->isVisible(), backup);
    // The group stays.
    bool groupShown = false;
    for (QGroupBox* group : page.findChildren<QGroupBox*>()) {
      if (group->title() == "Dial Backup [*WDB]") groupShown = group->isVisible();
    }
    QVERIFY(groupShown);

    // An edit elsewhere on the page leaves the backup fields of the record
    // alone on every model type, and they are shown only on type 3.
    QTest::keyClicks(page.NumberEdit(2), "555");
    QCOMPARE(GetText(rig.a.Config.dial.StoredNumbers[2]), std::string("555"));
    QCOMPARE(GetText(rig.a.Config.dial.BackupNumber), std::string("+4687654321"));
    QCOMPARE(rig.a.Config.dial.BackupRetries, 3);
    QCOMPARE(rig.a.Config.dial.BackupTime, 120);
    QCOMPARE(page.BackupNumberEdit()->text(), backup ? QString("+4687654321") : QString());
  }

  void BackupEditsOnModelType3() {
    Rig rig(3);
    CTabDialOpt page(rig.ui);
    rig.Activate(page);
    QCOMPARE(page.BackupRetriesEdit()->maxLength(), 1);
    QCOMPARE(page.BackupTimeEdit()->maxLength(), 3);
    QCOMPARE(page.BackupNumberEdit()->maxLength(), 16);

    page.BackupRetriesEdit()->clear();
    QTest::keyClicks(page.BackupRetriesEdit(), "78");
    QCOMPARE(page.BackupRetriesEdit()->text(), QString("7"));
    QCOMPARE(rig.a.Config.dial.BackupRetries, 7);

    page.BackupTimeEdit()->selectAll();
    QTest::keyClicks(page.BackupTimeEdit(), "x");
    QCOMPARE(rig.a.Config.dial.BackupTime, 0);
    QTest::keyClicks(page.BackupTimeEdit(), "99");  // "x99" has no leading integer
    QCOMPARE(rig.a.Config.dial.BackupTime, 0);
    page.BackupTimeEdit()->selectAll();
    QTest::keyClicks(page.BackupTimeEdit(), "2500");
    QCOMPARE(page.BackupTimeEdit()->text(), QString("250"));
    QCOMPARE(rig.a.Config.dial.BackupTime, 250);

    // The modem gets the backup number inside double quotes: a typed quote is refused.
    page.BackupNumberEdit()->clear();
    QTest::keyClicks(page.BackupNumberEdit(), "12\"3");
    QCOMPARE(page.BackupNumberEdit()->text(), QString("123"));
    QCOMPARE(GetText(rig.a.Config.dial.BackupNumber), std::string("123"));
  }

  void LongNumberKeepsItsFirst31Characters() {
    Rig rig(1);
    CTabDialOpt page(rig.ui);
    rig.Activate(page);
    page.NumberEdit(1)->clear();
    QTest::keyClicks(page.NumberEdit(1), QString(40, QLatin1Char('9')));
    QCOMPARE(GetText(rig.a.Config.dial.StoredNumbers[1]), std::string(31, '9'));
    // The edit shows what the record holds.
    QCOMPARE(page.NumberEdit(1)->text(), QString(31, QLatin1Char('9')));
  }

  // A stored number goes to the modem bare ("AT&Z1=..."): only the dial
  // characters are taken as they are typed, so no command rides along.
  void StoredNumbersTakeOnlyDialCharacters_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("dial characters") << "0W555 12,34*#+!@PT" << "0W555 12,34*#+!@PT";
    QTest::newRow("factory reset") << "555&F" << "555";
    QTest::newRow("second command") << "555;*WRCA=1" << "555*WCA1";
    QTest::newRow("quote") << "1\"2" << "12";
  }
  void StoredNumbersTakeOnlyDialCharacters() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    Rig rig(2);
    CTabDialOpt page(rig.ui);
    rig.Activate(page);
    page.NumberEdit(1)->clear();
    QTest::keyClicks(page.NumberEdit(1), typed);
    QCOMPARE(page.NumberEdit(1)->text(), stored);
    QCOMPARE(QString::fromLatin1(GetText(rig.a.Config.dial.StoredNumbers[1]).c_str()), stored);
  }

  void EditAndEditBackTurnsTheMarkerOnAndOff() {
    Rig rig(3);
    CTabDialOpt page(rig.ui);
    rig.Activate(page);
    QCOMPARE(rig.a.Page(PG_DIAL).changed, 0);
    page.DialAbortCombo()->setCurrentIndex(1);
    QCOMPARE(rig.a.Config.dial.DialAbort, 1);
    QCOMPARE(rig.a.Page(PG_DIAL).changed, 1);
    QCOMPARE(rig.a.ChangeMarkerText(), std::string(" [Dial Option Changed] "));
    page.DialAbortCombo()->setCurrentIndex(0);
    QCOMPARE(rig.a.Page(PG_DIAL).changed, 0);
    QCOMPARE(rig.a.ChangeMarkerText(), std::string());

    QTest::keyClick(page.NumberEdit(0), Qt::Key_Backspace);
    QCOMPARE(rig.a.Page(PG_DIAL).changed, 1);
    QTest::keyClick(page.NumberEdit(0), Qt::Key_6);
    QCOMPARE(rig.a.Page(PG_DIAL).changed, 0);
  }

  void ValuesOutsideTheListsShowNothingAndAreNotRewritten() {
    Rig rig(2);
    rig.a.Config.dial.HotCall = 5;
    rig.a.Config.dial.DialAbort = -3;
    // A number field without its terminating zero and with a control
    // character.
    std::memset(rig.a.Config.dial.StoredNumbers[3], '7', 32);
    rig.a.Config.dial.StoredNumbers[3][4] = '\x01';
    const DialSettings before = rig.a.Config.dial;
    CTabDialOpt page(rig.ui);
    rig.Activate(page);
    QCOMPARE(page.HotCallCombo()->currentIndex(), -1);
    QCOMPARE(page.DialAbortCombo()->currentIndex(), -1);
    QCOMPARE(page.NumberEdit(3)->text(), QString(31, QLatin1Char('7')));
    QTest::keyClicks(page.NumberEdit(2), "1");
    QCOMPARE(rig.a.Config.dial.HotCall, 5);
    QCOMPARE(rig.a.Config.dial.DialAbort, -3);
    QCOMPARE(std::memcmp(rig.a.Config.dial.StoredNumbers[3], before.StoredNumbers[3], 32), 0);
  }

  void FailedReadDisablesValuesAndWritesButNotRead() {
    Rig rig(3);
    rig.Modem().Options().errorFor = {"*WDB"};
    CTabDialOpt page(rig.ui);
    rig.a.Page(PG_DIAL).refreshing = 0;
    page.OnRead();
    const std::initializer_list<QWidget*> values = {
        page.HotCallCombo(),       page.DialAbortCombo(),    page.NumberEdit(0),
        page.NumberEdit(3),        page.BackupNumberEdit(),  page.BackupRetriesEdit(),
        page.BackupTimeEdit(),     page.WriteButton(),       page.WriteAllButton()};
    for (QWidget* w : values) QVERIFY2(!w->isEnabled(), qPrintable(w->metaObject()->className()));
    QVERIFY(page.ReadButton()->isEnabled());
    rig.Modem().Options().errorFor.clear();
    page.OnRead();
    for (QWidget* w : values) QVERIFY(w->isEnabled());
  }

  void ProfileEditedOfflineKeepsTheWriteButtonsOff() {
    Rig rig(3);
    rig.Offline();
    rig.a.Page(PG_DIAL).reloadPending = 1;
    CTabDialOpt page(rig.ui);
    page.OnSetActive();
    QVERIFY(page.HotCallCombo()->isEnabled());
    QVERIFY(page.NumberEdit(0)->isEnabled());
    QVERIFY(!page.ReadButton()->isEnabled());
    QVERIFY(!page.WriteButton()->isEnabled());
    QVERIFY(!page.WriteAllButton()->isEnabled());
    // Offline there is no model type: the backup fields of the profile are
    // neither shown nor touched.
    QVERIFY(!page.BackupShown());
    QTest::keyClicks(page.NumberEdit(1), "42");
    QCOMPARE(GetText(rig.a.Config.dial.StoredNumbers[1]), std::string("42"));
    QCOMPARE(GetText(rig.a.Config.dial.BackupNumber), std::string("+4687654321"));
  }
};

QTEST_MAIN(TabDialOptTest)
#include "tab_dial_opt_test.moc"
