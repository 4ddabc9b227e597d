#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstring>

#include "pages/tab_callback.h"
#include "controls/image_button.h"
#include "page_test_rig.h"

using namespace kelvane;
using kelvane::testing::PageRig;

namespace {

struct Rig : PageRig {
  Rig() : PageRig(4) {
    Identify();
    CallbackSettings& c = a.Config.callback;
    c.CallbackMode = 4;
    c.CallbackTime = 30;
    for (int n = 0; n < 10; ++n) {
      SetText(c.CallbackNumbers[n], "55500" + std::to_string(n + 1));
      SetText(c.CallbackPasswords[n], "secret" + std::to_string(n + 1));
    }
  }
  void Activate(CTabCallback& page) {
    a.Page(PG_CALLBACK).refreshing = 1;
    a.Page(PG_CALLBACK).valid = 1;
    page.OnSetActive();
  }
  std::string Number(int row) const { return GetText(a.Config.callback.CallbackNumbers[row - 1]); }
  std::string Password(int row) const { return GetText(a.Config.callback.CallbackPasswords[row - 1]); }
};

}  // namespace

class TabCallbackTest : public QObject {
  Q_OBJECT

 private slots:
  void PasswordTypedIntoAnEmptyRow() {
    Rig rig;
    SetText(rig.a.Config.callback.CallbackPasswords[0], "");
    CTabCallback page(rig.ui);
    rig.Activate(page);
    QLineEdit* edit = page.PasswordEdit(1);
    QVERIFY(page.PasswordTaken(1));
    QTest::keyClicks(edit, "abcd");
    QCOMPARE(edit->text(), QString("abcd"));
    QCOMPARE(rig.Password(1), std::string());
    QCOMPARE(rig.a.Page(PG_CALLBACK).changed, 0);
    // The edit shows that its text is not taken.
    QVERIFY(!page.PasswordTaken(1));
    QTest::keyClicks(edit, "ef");
    QCOMPARE(rig.Password(1), std::string("abcdef"));
    QVERIFY(page.PasswordTaken(1));
    QCOMPARE(rig.a.Page(PG_CALLBACK).changed, 1);
    // The edit takes 12 characters.
    QTest::keyClicks(edit, "ghijklmn");
    QCOMPARE(rig.Password(1), std::string("abcdefghijkl"));
  }

  void PasswordDeletedOneCharacterAtATime() {
    Rig rig;
    SetText(rig.a.Config.callback.CallbackPasswords[1], "12345678");
    CTabCallback page(rig.ui);
    rig.Activate(page);
    QLineEdit* edit = page.PasswordEdit(2);
    const char* const expected[] = {"1234567", "123456", "123456", "123456",
                                    "123456",  "123456", "123456", ""};
    for (const char* stored : expected) {
      QTest::keyClick(edit, Qt::Key_Backspace);
      QCOMPARE(rig.Password(2), std::string(stored));
    }
    QCOMPARE(edit->text(), QString());
  }

  void RefusedNumberShowsThePreviousOneAgain() {
    Rig rig;
    CTabCallback page(rig.ui);
    rig.Activate(page);
    QLineEdit* edit = page.NumberEdit(4);
    edit->selectAll();
    QTest::keyClicks(edit, "12a");
    QCOMPARE(edit->text(), QString("12"));
    QCOMPARE(rig.Number(4), std::string("12"));
    edit->selectAll();
    QTest::keyClicks(edit, "x");
    QCOMPARE(edit->text(), QString("12"));
    QCOMPARE(rig.Number(4), std::string("12"));
    // The caret went back to where "x" was typed, in front.
    QTest::keyClicks(edit, "+");
    QCOMPARE(rig.Number(4), std::string("+12"));
  }

  void DelayTakesDigitsOnlyAndIsNotClipped() {
    Rig rig;
    CTabCallback page(rig.ui);
    rig.Activate(page);
    QLineEdit* delay = page.DelayEdit();
    QCOMPARE(delay->text(), QString("30"));
    delay->selectAll();
    QTest::keyClicks(delay, "9a9-99");
    QCOMPARE(delay->text(), QString("999"));
    QCOMPARE(rig.a.Config.callback.CallbackTime, 999);
  }

  void ClearEmptiesItsRowOnly() {
    Rig rig;
    CTabCallback page(rig.ui);
    rig.Activate(page);
    QTest::keyClick(page.PasswordEdit(3), Qt::Key_Backspace);
    QTest::keyClick(page.PasswordEdit(3), Qt::Key_Backspace);
    QTest::keyClick(page.PasswordEdit(3), Qt::Key_Backspace);
    QVERIFY(!page.PasswordTaken(3));
    QTest::mouseClick(page.ClearButton(3), Qt::LeftButton);
    QVERIFY(page.PasswordTaken(3));
    QCOMPARE(page.NumberEdit(3)->text(), QString());
    QCOMPARE(page.PasswordEdit(3)->text(), QString());
    QCOMPARE(rig.Number(3), std::string());
    QCOMPARE(rig.Password(3), std::string());
    for (int row : {1, 2, 4, 10}) {
      QCOMPARE(rig.Number(row), "55500" + std::to_string(row));
      QCOMPARE(rig.Password(row), "secret" + std::to_string(row));
    }
    QCOMPARE(rig.a.ChangeMarkerText(), std::string(" [Callback Changed] "));
  }

  void ModeIsTheItemIndex_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("shown");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("6") << 6 << 6;
    QTest::newRow("7") << 7 << -1;
    QTest::newRow("9") << 9 << -1;
  }

  void ModeIsTheItemIndex() {
    QFETCH(int, mode);
    QFETCH(int, shown);
    Rig rig;
    rig.a.Config.callback.CallbackMode = mode;
    CTabCallback page(rig.ui);
    rig.Activate(page);
    QCOMPARE(page.ModeCombo()->count(), 7);
    QCOMPARE(page.ModeCombo()->currentIndex(), shown);
    // Another edit does not write a mode the combo does not show.
    QTest::keyClick(page.DelayEdit(), Qt::Key_5);
    QCOMPARE(rig.a.Config.callback.CallbackMode, mode);
    QCOMPARE(rig.a.Config.callback.CallbackTime, 305);
    page.ModeCombo()->setCurrentIndex(2);
    QCOMPARE(rig.a.Config.callback.CallbackMode, 2);
  }

  void WhatTheEditsCannotShowSurvivesOtherEdits() {
    Rig rig;
    CallbackSettings& c = rig.a.Config.callback;
    SetText(c.CallbackPasswords[5], "fifteen-chars!!");
    SetText(c.CallbackNumbers[7], "12\x01" "34");
    std::memset(c.CallbackNumbers[8], '1', sizeof c.CallbackNumbers[8]);  // no terminating zero
    c.CallbackTime = 4096;
    CTabCallback page(rig.ui);
    rig.Activate(page);
    QCOMPARE(page.PasswordEdit(6)->text(), QString("fifteen-char"));
    QCOMPARE(page.NumberEdit(8)->text(), QString("1234"));
    QCOMPARE(page.DelayEdit()->text(), QString("409"));
    // A stored password shorter than the rule allows is shown as not taken.
    SetText(c.CallbackPasswords[6], "abc");
    page.LoadControls();
    QVERIFY(!page.PasswordTaken(7));
    CallbackSettings expected = c;
    SetText(expected.CallbackNumbers[5], "5550069");
    QTest::keyClicks(page.NumberEdit(6), "9");
    QCOMPARE(std::memcmp(&expected, &c, sizeof c), 0);
  }

  void FailedReadDisablesValuesAndWritesButNotReadOrClear() {
    Rig rig;
    rig.Modem().Options().errorFor = {"*WCBTAB"};
    CTabCallback page(rig.ui);
    rig.a.Page(PG_CALLBACK).refreshing = 0;
    page.OnRead();
    std::vector<QWidget*> values = {page.ModeCombo(), page.DelayEdit(), page.WriteButton(),
                                    page.WriteAllButton()};
    for (int row = 1; row <= 10; ++row) {
      values.push_back(page.NumberEdit(row));
      values.push_back(page.PasswordEdit(row));
      QVERIFY(page.ClearButton(row)->isEnabled());
    }
    for (QWidget* w : values) QVERIFY(!w->isEnabled());
    QVERIFY(page.ReadButton()->isEnabled());
    rig.Modem().Options().errorFor.clear();
    page.OnRead();
    for (QWidget* w : values) QVERIFY(w->isEnabled());
  }
};

QTEST_MAIN(TabCallbackTest)
#include "tab_callback_test.moc"
