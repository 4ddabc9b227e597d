#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstring>

#include "pages/tab_caller_id.h"
#include "controls/image_button.h"
#include "page_test_rig.h"

using namespace kelvane;
using kelvane::testing::PageRig;

namespace {

struct Rig : PageRig {
  Rig() : PageRig(2) {
    Identify();
    CallerIdSettings& c = a.Config.callerId;
    c.CidFormat = 1;
    c.CidMode = 2;
    SetText(c.AcceptedNumbers[0], "0123");
    SetText(c.AcceptedNumbers[4], "+4687654321");
  }
  void Activate(CTabCallerID& page) {
    a.Page(PG_CALLERID).refreshing = 1;
    a.Page(PG_CALLERID).valid = 1;
    page.OnSetActive();
  }
  std::string Entry(int number) const { return GetText(a.Config.callerId.AcceptedNumbers[number - 1]); }
};

}  // namespace

class TabCallerIdTest : public QObject {
  Q_OBJECT

 private slots:
  void RefusedCharacterPutsTheNumberBack_data() {
    QTest::addColumn<int>("caret");   // where the character is typed
    QTest::addColumn<QString>("typed");
    QTest::newRow("dash at the end") << 4 << "-";
    QTest::newRow("blank inside") << 2 << " ";
    QTest::newRow("letter in front") << 0 << "a";
    QTest::newRow("hash") << 3 << "#";
  }

  void RefusedCharacterPutsTheNumberBack() {
    QFETCH(int, caret);
    QFETCH(QString, typed);
    Rig rig;
    CTabCallerID page(rig.ui);
    rig.Activate(page);
    QLineEdit* entry = page.Entry(1);
    entry->setCursorPosition(caret);
    QTest::keyClicks(entry, typed);
    QCOMPARE(entry->text(), QString("0123"));
    QCOMPARE(rig.Entry(1), std::string("0123"));
    // The caret stands where the character was typed.
    QCOMPARE(entry->cursorPosition(), caret);
    QCOMPARE(rig.a.Page(PG_CALLERID).changed, 0);
  }

  void OnlyDigitsAndPlusAreTaken() {
    Rig rig;
    CTabCallerID page(rig.ui);
    rig.Activate(page);
    QLineEdit* entry = page.Entry(3);
    // "+46 8": the blank is refused, the rest goes in.
    QTest::keyClicks(entry, "+46 8");
    QCOMPARE(entry->text(), QString("+468"));
    QCOMPARE(rig.Entry(3), std::string("+468"));
    QCOMPARE(rig.a.Page(PG_CALLERID).changed, 1);
  }

  void PastedNumberKeepsTwentyCharacters() {
    Rig rig;
    CTabCallerID page(rig.ui);
    rig.Activate(page);
    QApplication::clipboard()->setText(QString(25, QLatin1Char('5')));
    page.Entry(7)->paste();
    QCOMPARE(page.Entry(7)->text(), QString(20, QLatin1Char('5')));
    QCOMPARE(rig.Entry(7), std::string(20, '5'));

    // A pasted text with a refused character leaves the entry as it was.
    QApplication::clipboard()->setText(QStringLiteral("12-34"));
    page.Entry(1)->selectAll();
    page.Entry(1)->paste();
    QCOMPARE(page.Entry(1)->text(), QString("0123"));
    QCOMPARE(rig.Entry(1), std::string("0123"));
  }

  void ClearListEmptiesEveryEntry() {
    Rig rig;
    CTabCallerID page(rig.ui);
    rig.Activate(page);
    QTest::mouseClick(page.ClearListButton(), Qt::LeftButton);
    for (int n = 1; n <= 10; ++n) {
      QCOMPARE(page.Entry(n)->text(), QString());
      QCOMPARE(rig.Entry(n), std::string());
    }
    QCOMPARE(rig.a.Page(PG_CALLERID).changed, 1);
    QCOMPARE(rig.a.ChangeMarkerText(), std::string(" [CallerID Changed] "));
    QCOMPARE(rig.a.Config.callerId.CidFormat, 1);
  }

  void ClearListOfAnEmptyTableChangesNothing() {
    Rig rig;
    std::memset(rig.a.Config.callerId.AcceptedNumbers, 0, sizeof rig.a.Config.callerId.AcceptedNumbers);
    CTabCallerID page(rig.ui);
    rig.Activate(page);
    QTest::mouseClick(page.ClearListButton(), Qt::LeftButton);
    QCOMPARE(rig.a.Page(PG_CALLERID).changed, 0);
  }

  void ValuesOutsideTheListsShowNoSelection_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("mode");
    QTest::newRow("format 7") << 7 << 1;
    QTest::newRow("mode -1") << 0 << -1;
    QTest::newRow("both") << 12 << 4;
  }

  void ValuesOutsideTheListsShowNoSelection() {
    QFETCH(int, format);
    QFETCH(int, mode);
    Rig rig;
    rig.a.Config.callerId.CidFormat = format;
    rig.a.Config.callerId.CidMode = mode;
    CTabCallerID page(rig.ui);
    rig.Activate(page);
    QCOMPARE(page.FormatCombo()->currentIndex(), format >= 0 && format <= 3 ? format : -1);
    QCOMPARE(page.ModeCombo()->currentIndex(), mode >= 0 && mode <= 3 ? mode : -1);
    QTest::keyClicks(page.Entry(10), "9");
    QCOMPARE(rig.a.Config.callerId.CidFormat, format);
    QCOMPARE(rig.a.Config.callerId.CidMode, mode);
    QCOMPARE(rig.Entry(10), std::string("9"));
  }

  void StoredTextTheFilterRefusesIsShownAndKept() {
    Rig rig;
    SetText(rig.a.Config.callerId.AcceptedNumbers[1], "12 34\x02");
    CTabCallerID page(rig.ui);
    rig.Activate(page);
    QCOMPARE(page.Entry(2)->text(), QString("12 34"));
    // Another edit on the page neither refuses nor rewrites entry 2.
    page.ModeCombo()->setCurrentIndex(3);
    QCOMPARE(rig.Entry(2), std::string("12 34\x02"));
    QCOMPARE(page.Entry(2)->text(), QString("12 34"));
    // Taking the blank out makes it a number that is stored.
    page.Entry(2)->setCursorPosition(3);
    QTest::keyClick(page.Entry(2), Qt::Key_Backspace);
    QCOMPARE(rig.Entry(2), std::string("1234"));
  }

  void NotificationBeforeActivationKeepsTheRecord() {
    // The page is filled when it is built, so a change before it was shown
    // stores the record's own values and not empty controls.
    Rig rig;
    rig.a.Page(PG_CALLERID).refreshing = 0;
    CTabCallerID page(rig.ui);
    page.MarkUnchanged();
    page.FormatCombo()->setCurrentIndex(3);
    QCOMPARE(rig.a.Config.callerId.CidFormat, 3);
    QCOMPARE(rig.Entry(1), std::string("0123"));
    QCOMPARE(rig.Entry(5), std::string("+4687654321"));
    QCOMPARE(rig.a.Config.callerId.CidMode, 2);
  }

  void FailedReadDisablesValuesAndWritesButNotReadOrClearList() {
    Rig rig;
    rig.Modem().Options().errorFor = {"*WACCTAB"};
    CTabCallerID page(rig.ui);
    rig.a.Page(PG_CALLERID).refreshing = 0;
    page.OnRead();
    std::vector<QWidget*> values = {page.FormatCombo(), page.ModeCombo(), page.WriteButton(),
                                    page.WriteAllButton()};
    for (int n = 1; n <= 10; ++n) values.push_back(page.Entry(n));
    for (QWidget* w : values) QVERIFY(!w->isEnabled());
    QVERIFY(page.ReadButton()->isEnabled());
    QVERIFY(page.ClearListButton()->isEnabled());
    rig.Modem().Options().errorFor.clear();
    page.OnRead();
    for (QWidget* w : values) QVERIFY(w->isEnabled());
  }
};

QTEST_MAIN(TabCallerIdTest)
#include "tab_caller_id_test.moc"
