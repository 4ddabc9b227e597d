#include <QTest>

#include <cstring>

#include "app/options_dlg.h"

using namespace kelvane;

class OptionsDlgTest : public QObject {
  Q_OBJECT

 private:
  // The dialog on screen with only the Basic page shown so far.
  static void Open(COptionsDlg& d) {
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
  }
  static void ShowAdvanced(COptionsDlg& d) { d.Sheet()->setCurrentWidget(d.AdvancedPage()); }

 private slots:
  void OkWithoutVisitingAdvancedKeepsItsOptions() {
    CAdapter a;
    a.Options.Debug = 1;
    a.Options.HexInput = 1;
    a.Options.DelayBeforeAT = 300;
    a.Options.ResponseTimeout = 4;
    COptionsDlg d(a);
    Open(d);
    QVERIFY(d.BasicPage()->Created());
    QVERIFY(!d.AdvancedPage()->Created());
    d.BasicPage()->tooltip->setChecked(false);
    d.accept();
    QCOMPARE(a.Options.Tooltip, 0);
    QCOMPARE(a.Options.Debug, 1);
    QCOMPARE(a.Options.HexInput, 1);
    QCOMPARE(a.Options.DelayBeforeAT, 300);
    QCOMPARE(a.Options.ResponseTimeout, 4);
  }

  void PagesLoadFromTheAdapter() {
    CAdapter a;
    a.Options.Tooltip = 2;  // an edited store: not 1, so unchecked
    a.Options.NumberOfPorts = 0;
    a.Options.FlowControl = 2;
    a.Options.AutoDisconnect = 1;
    a.Options.Debug = 0;
    a.Options.HexInput = 1;
    a.Options.DelayBeforeAT = 120;
    a.Options.ResponseTimeout = 3;
    COptionsDlg d(a);
    Open(d);
    ShowAdvanced(d);
    COptBasic& b = *d.BasicPage();
    COptAdvanced& adv = *d.AdvancedPage();
    QVERIFY(!b.tooltip->isChecked());
    QCOMPARE(b.numberOfPorts->currentText(), QString("1"));
    QCOMPARE(b.flowControl->currentText(), QString("RTS/CTS"));
    QVERIFY(b.autoDisconnect->isChecked());
    QVERIFY(!adv.hex->isChecked());  // hex is only on together with debug
    QVERIFY(!adv.hex->isEnabled());
    QCOMPARE(adv.delay->text(), QString("120"));
    QCOMPARE(adv.responseTimeout->value(), 3);
    d.accept();
    QCOMPARE(a.Options.Tooltip, 0);
    QCOMPARE(a.Options.NumberOfPorts, 0);
    QCOMPARE(a.Options.FlowControl, 2);
    QCOMPARE(a.Options.HexInput, 0);
  }

  void DelayTextIsClippedToItsRange() {
    const std::pair<const char*, int> cases[] = {
        {"2500", 1000}, {"-5", 0}, {"abc", 0}, {"", 0}, {"75ms", 75}, {"1000", 1000}};
    for (const auto& [text, stored] : cases) {
      CAdapter a;
      a.Options.DelayBeforeAT = 33;
      COptionsDlg d(a);
      Open(d);
      ShowAdvanced(d);
      d.AdvancedPage()->delay->setText(text);
      d.accept();
      QVERIFY2(a.Options.DelayBeforeAT == stored, text);
    }
  }

  void HexFollowsShowDebugMessages() {
    CAdapter a;
    a.Options.Debug = 1;
    a.Options.HexInput = 1;
    COptionsDlg d(a);
    Open(d);
    ShowAdvanced(d);
    COptAdvanced& adv = *d.AdvancedPage();
    QVERIFY(adv.hex->isEnabled());
    QVERIFY(adv.hex->isChecked());
    QTest::mouseClick(adv.debug, Qt::LeftButton);
    QVERIFY(!adv.debug->isChecked());
    QVERIFY(!adv.hex->isEnabled());
    QVERIFY(adv.hex->isChecked());  // the check mark itself is left alone
    d.accept();
    QCOMPARE(a.Options.Debug, 0);
    QCOMPARE(a.Options.HexInput, 0);

    COptionsDlg again(a);
    Open(again);
    ShowAdvanced(again);
    QTest::mouseClick(again.AdvancedPage()->debug, Qt::LeftButton);
    QVERIFY(again.AdvancedPage()->hex->isEnabled());
    again.AdvancedPage()->hex->setChecked(true);
    again.accept();
    QCOMPARE(a.Options.Debug, 1);
    QCOMPARE(a.Options.HexInput, 1);
  }

  void DefaultsThenCancelChangesNothing() {
    CAdapter a;
    a.Options.Tooltip = 0;
    a.Options.AutoDisconnect = 1;
    a.Options.NumberOfPorts = 3;
    a.Options.Debug = 1;
    a.Options.ResponseTimeout = 5;
    const ToolOptions before = a.Options;
    COptionsDlg d(a);
    Open(d);
    ShowAdvanced(d);
    d.OnDefaults();
    QVERIFY(d.BasicPage()->tooltip->isChecked());
    QCOMPARE(d.AdvancedPage()->responseTimeout->value(), 1);
    d.reject();
    QVERIFY(std::memcmp(&before, &a.Options, sizeof before) == 0);
  }

  void DefaultsTouchOnlyCreatedPages() {
    CAdapter a;
    a.Options.Tooltip = 0;
    a.Options.userAutoConnect = 1;
    a.Options.NumberOfPorts = 3;
    a.Options.FlowControl = 3;
    a.Options.DTREnable = 0;
    a.Options.Debug = 1;
    a.Options.DelayBeforeAT = 400;
    COptionsDlg d(a);
    Open(d);
    d.OnDefaults();
    d.accept();
    QCOMPARE(a.Options.Tooltip, 1);
    QCOMPARE(a.Options.userAutoConnect, 0);
    QCOMPARE(a.Options.NumberOfPorts, 15);
    QCOMPARE(a.Options.FlowControl, 0);
    QCOMPARE(a.Options.DTREnable, 1);
    // The Advanced page was never shown.
    QCOMPARE(a.Options.Debug, 1);
    QCOMPARE(a.Options.DelayBeforeAT, 400);
  }

  void OkRecomputesTheAnswerBudget() {
    CAdapter a;
    a.BaudRate = "9600";
    a.Options.ResponseTimeout = 1;
    COptionsDlg d(a);
    Open(d);
    ShowAdvanced(d);
    d.AdvancedPage()->responseTimeout->setValue(3);
    d.accept();
    QCOMPARE(a.Options.ResponseTimeout, 3);
    QCOMPARE(a.TimeoutTicks, 20 * 4);
  }
};

QTEST_MAIN(OptionsDlgTest)
#include "options_dlg_test.moc"
