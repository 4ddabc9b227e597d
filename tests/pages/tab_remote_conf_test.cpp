// The Remote page: the password rule as the modem sees it after a write, the
// 16-bit comparison over 54 bytes, and End.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "config/page_values.h"
#include "controls/image_button.h"
#include "page_test_rig.h"
#include "pages/tab_remote_conf.h"

using namespace kelvane;
using kelvane::testing::PageRig;

namespace {

struct RemotePage {
  PageRig rig{2};
  std::unique_ptr<CTabRemoteConf> page;
  explicit RemotePage(const std::string& password = "secret99", int enable = 1) {
    rig.Modem().State().remotePassword = password;
    rig.Modem().State().remoteEnable = enable;
    rig.Identify();
    page = std::make_unique<CTabRemoteConf>(rig.ui);
    page->OnSetActive();
  }
};

}  // namespace

class TabRemoteConfTest : public QObject {
  Q_OBJECT

 private slots:
  void PasswordRuleReachesTheModem_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::newRow("empty") << "" << "AT*WRCP=";
    QTest::newRow("one character") << "a" << "AT*WRCP=secret99";
    QTest::newRow("five characters") << "abcde" << "AT*WRCP=secret99";
    QTest::newRow("six characters") << "abcdef" << "AT*WRCP=abcdef";
    QTest::newRow("twelve characters") << "abcdefghijkl" << "AT*WRCP=abcdefghijkl";
  }
  void PasswordRuleReachesTheModem() {
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    RemotePage p;
    QCOMPARE(p.page->PasswordEdit()->text(), QString("secret99"));
    QCOMPARE(p.page->EnableCombo()->currentText(), QString("1 - Enabled"));
    p.page->PasswordEdit()->setText(typed);
    p.page->WriteButton()->click();
    QVERIFY(p.rig.Received(sent.toStdString()));
    QVERIFY(p.rig.Received("AT*WRCA=1"));
    QCOMPARE(int(p.rig.a.Page(PG_REMOTE).changed), 0);
  }

  // The password goes to the modem bare ("AT*WRCP=..."): a semicolon, which
  // would end the command there, is refused as it is typed.
  void PasswordTakesWhatTheModemTakes() {
    RemotePage p;
    p.page->PasswordEdit()->clear();
    QTest::keyClicks(p.page->PasswordEdit(), "ab;cdef!");
    QCOMPARE(p.page->PasswordEdit()->text(), QString("abcdef!"));
    QCOMPARE(GetText(p.rig.a.Config.remote.RemotePassword), std::string("abcdef!"));
  }

  void TheEditTakesTwelveButShowsALongerPasswordWhole() {
    RemotePage p(std::string(16, 'q'));
    QCOMPARE(p.page->PasswordEdit()->text(), QString(16, 'q'));
    // A change elsewhere stores the password as it stands, uncut.
    p.page->EnableCombo()->setCurrentIndex(0);
    QCOMPARE(FieldText(p.rig.a.Config.remote.RemotePassword, 21), std::string(16, 'q'));
    p.page->WriteButton()->click();
    QVERIFY(p.rig.Received("AT*WRCA=0"));
    QVERIFY(p.rig.Received("AT*WRCP=" + std::string(16, 'q')));
    // Typing is limited to 12.
    RemotePage typing("");
    QTest::keyClicks(typing.page->PasswordEdit(), "abcdefghijklmnop");
    QCOMPARE(typing.page->PasswordEdit()->text(), QString("abcdefghijkl"));
  }

  void ComparisonCoversTheFirst54Bytes() {
    RemotePage p;
    RemoteSettings& r = p.rig.a.Config.remote;
    // The padding after the 54 bytes takes no part.
    r.pad658[1] = 7;
    p.page->EnableCombo()->setCurrentIndex(1);  // a notification, no change
    QCOMPARE(int(p.rig.a.Page(PG_REMOTE).changed), 0);
    // One byte in the unused area counts.
    r.unused626[31] = 1;
    p.page->EnableCombo()->setCurrentIndex(0);
    p.page->EnableCombo()->setCurrentIndex(1);
    QCOMPARE(int(p.rig.a.Page(PG_REMOTE).changed), 1);
    // The Remote page has no marker.
    QVERIFY(!p.rig.status.Markers().contains("Remote"));
  }

  void UnknownEnableValueIsNotRewritten() {
    PageRig rig(2);
    rig.Offline();
    rig.a.Config.remote.RemoteEnable = 7;
    rig.a.Page(PG_REMOTE).reloadPending = 1;
    CTabRemoteConf page(rig.ui);
    page.OnSetActive();
    QCOMPARE(page.EnableCombo()->currentIndex(), -1);
    page.PasswordEdit()->setText("abcdefg");
    QCOMPARE(int(rig.a.Config.remote.RemoteEnable), 7);
    QVERIFY(!page.ReadButton()->isEnabled());
    QVERIFY(!page.WriteButton()->isEnabled());
    QVERIFY(!page.WriteAllButton()->isEnabled());
    QVERIFY(page.PasswordEdit()->isEnabled());
  }

  void EndSendsOneCommandAndReportsNothing() {
    RemotePage p;
    p.rig.Modem().Options().errorFor = {"*WRCE"};
    const std::size_t mark = p.rig.ReceivedCount();
    p.page->EndButton()->click();
    const auto& lines = p.rig.Modem().ReceivedLines();
    QCOMPARE(std::vector<std::string>(lines.begin() + long(mark), lines.end()),
             std::vector<std::string>{"AT*WRCE"});  // no probe before it
    QVERIFY(p.rig.ui.boxes.empty());
    QVERIFY(!p.rig.a.Busy);
    // Busy or not identified: nothing.
    p.rig.a.Busy = true;
    p.page->EndButton()->click();
    p.rig.a.Busy = false;
    p.rig.a.LinkState = LS_PORT_OPEN;
    p.page->EndButton()->click();
    QCOMPARE(p.rig.ReceivedCount(), mark + 1);
  }

  void FailedReadDisablesTheControlsAndWrites() {
    PageRig rig(2);
    rig.Modem().Options().errorFor = {"*WRCP"};
    rig.Identify();
    CTabRemoteConf page(rig.ui);
    page.OnSetActive();
    for (QWidget* w : std::initializer_list<QWidget*>{page.EnableCombo(), page.PasswordEdit(), page.EndButton(),
                                                      page.WriteButton(), page.WriteAllButton()}) {
      QVERIFY(!w->isEnabled());
    }
    QVERIFY(page.ReadButton()->isEnabled());
    rig.Modem().Options().errorFor.clear();
    page.ReadButton()->click();
    QVERIFY(page.WriteButton()->isEnabled());
    QVERIFY(page.EndButton()->isEnabled());
  }
};

QTEST_MAIN(TabRemoteConfTest)
#include "tab_remote_conf_test.moc"
