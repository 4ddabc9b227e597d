// The pages when the line goes away in the middle of one of their own
// operations, in a sheet with every page of a type 3 modem: the page whose
// button was pressed outlives its handler, the failure is reported while the
// operation still holds Busy and says the modem is gone, and the pages leave
// the sheet once the operation is over.

#include <QPushButton>
#include <QTest>

#include <functional>

#include "ui/port_provider.h"
#include "app/prop_sheet.h"
#include "ui/status_panel.h"
#include "connection/ui/tab_connection.h"
#include "controls/image_button.h"
#include "page_test_rig.h"
#include "app/page_registry.h"
#include "pages/tab_basic.h"
#include "pages/tab_io.h"
#include "pages/tab_remote_conf.h"

using namespace kelvane;
using kelvane::testing::RunEventsFor;
using kelvane::testing::TestUi;

namespace {

// A message box is modal: the event loop runs while it is up, with the tick
// that notices the lost port and the sheet's deferred page update in it.
class ModalBoxUi : public TestUi {
 public:
  using TestUi::TestUi;
  MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override {
    busyAtBox.push_back(Adapter().Busy);
    RunEventsFor(250);
    return TestUi::MessageBox(text, icon, buttons);
  }
  void TerminalOutput(std::string_view text) override { terminal += text; }

  std::vector<bool> busyAtBox;
  std::string terminal;
};

// The sheet of the main window over a simulated type 3 modem whose line is
// cut when `cutOn` arrives.
struct SheetRig {
  CAdapter a;
  ModalBoxUi ui{a};
  CStatusPanel status;
  SimulatedPort port{SimulatedModem(3)};
  PortProvider ports;
  CPropSheet sheet{a, new CTabConnection(ui, ports, {})};

  explicit SheetRig(const std::string& cutOn) {
    ui.SetStatusPanel(&status);
    ui.SetSheet(&sheet);
    RegisterConfigPages(sheet, ui);
    a.Options.AutoLoad = 0;
    std::string reason;
    port.Open("sim", reason);
    a.SetPort(&port);
    a.LinkState = LS_PORT_OPEN | LS_IDENTIFIED;
    a.ModelType = 3;
    a.ResetPageFlags();
    sheet.UpdatePages();
    port.Modem().Options().cutLineOn = cutOn;
    ui.StartTicks();
  }
  ~SheetRig() {
    ui.SetSheet(nullptr);
    ui.SetStatusPanel(nullptr);
    a.SetPort(nullptr);
  }
  // Shows the page (its activation reads its section) and returns it.
  template <class Page>
  Page* Show(int index) {
    auto* page = dynamic_cast<Page*>(sheet.Page(index));
    if (page) sheet.setCurrentWidget(page);
    return page;
  }
};

}  // namespace

class PageLifetimeTest : public QObject {
  Q_OBJECT

 private slots:
  void APageOutlivesItsOperationWhenTheLineDrops_data() {
    QTest::addColumn<QString>("cutOn");
    QTest::addColumn<int>("operation");
    QTest::addColumn<QStringList>("boxes");
    const QString lost = "Error communicating with adapter.";
    const QString halted = "The write operation halted with the following error string:\n\r\n\r"
                           "Modem disconnected during process!";
    QTest::newRow("Basic Load") << "AT&F" << 0 << QStringList{"Set factory default parameters?", lost};
    QTest::newRow("I/O Delete") << "AT*WIOD" << 1 << QStringList{lost};
    QTest::newRow("I/O Test") << "AT*WIOT" << 2 << QStringList{lost};
    QTest::newRow("page Write") << "ATS0=" << 3 << QStringList{halted};
    QTest::newRow("Write All, Serial never read")
        << "ATS0=" << 4
        << QStringList{"Write current profile to adapter?", halted,
                       "The following pages was not saved: \r\nSerial\r\nDial options\r\nCaller ID\r\n"
                       "Remote configuration\r\nCallback\r\nI/O\r\n"};
    QTest::newRow("Remote End") << "AT*WRCE" << 5 << QStringList{"Modem disconnected during process!"};
  }
  void APageOutlivesItsOperationWhenTheLineDrops() {
    QFETCH(QString, cutOn);
    QFETCH(int, operation);
    QFETCH(QStringList, boxes);
    SheetRig rig(cutOn.toStdString());
    rig.ui.answers = {MsgAnswer::Yes};
    const std::function<void()> press[] = {
        [&] { rig.Show<CTabBasic>(PG_BASIC)->LoadButton()->click(); },
        [&] { rig.Show<CTabIO>(PG_IO)->EntryRow(2).remove->click(); },
        [&] { rig.Show<CTabIO>(PG_IO)->TestButton()->click(); },
        [&] { rig.Show<CTabBasic>(PG_BASIC)->WriteButton()->click(); },
        [&] { rig.Show<CTabBasic>(PG_BASIC)->WriteAllButton()->click(); },
        [&] { rig.Show<CTabRemoteConf>(PG_REMOTE)->EndButton()->click(); },
    };
    press[operation]();

    QStringList shown;
    for (const std::string& text : rig.ui.BoxTexts()) shown << QString::fromStdString(text);
    QCOMPARE(shown, boxes);
    // Every report came while the operation held Busy.
    for (std::size_t i = 0; i < rig.ui.busyAtBox.size(); ++i) {
      if (rig.ui.boxes[i].buttons != MsgButtons::YesNo) QVERIFY(rig.ui.busyAtBox[i]);
    }
    if (operation <= 2) QVERIFY(rig.ui.terminal.find("Modem disconnected during process!") != std::string::npos);
    QVERIFY(!rig.a.Busy);
    // The pages were all there until the handler had returned; they go at
    // the next turn of the event loop.
    QCOMPARE(rig.sheet.count(), 9);
    QTRY_COMPARE(rig.sheet.count(), 1);
    QCOMPARE(rig.sheet.currentWidget(), static_cast<QWidget*>(&rig.sheet.ConnectionPage()));
    QCOMPARE(rig.a.LinkState, int(LS_IDLE));
  }

  void PageUpdatesWaitForThePageOperationsToEnd() {
    SheetRig rig("");
    rig.sheet.BeginPageOperation();
    rig.sheet.BeginPageOperation();
    rig.a.LinkState = LS_IDLE;
    rig.sheet.UpdatePages();
    QVERIFY(rig.sheet.UpdatePending());
    RunEventsFor(150);
    QCOMPARE(rig.sheet.count(), 9);
    rig.sheet.EndPageOperation();
    RunEventsFor(150);
    QCOMPARE(rig.sheet.count(), 9);
    // The last one to end asks for the update; it runs from the event loop,
    // not inside the handler that ended the operation.
    rig.sheet.EndPageOperation();
    QCOMPARE(rig.sheet.count(), 9);
    QTRY_COMPARE(rig.sheet.count(), 1);
    QVERIFY(!rig.sheet.UpdatePending());
  }
};

QTEST_MAIN(PageLifetimeTest)
#include "page_lifetime_test.moc"
