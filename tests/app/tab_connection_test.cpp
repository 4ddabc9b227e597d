#include <QAction>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include "app/main_dlg.h"
#include "app/prop_sheet.h"
#include "connection/ui/tab_connection.h"
#include "connection/ui/terminal_dlg.h"
#include "ui/wait_dlg.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::WindowRig;

namespace {

bool Received(SimulatedPort* port, const std::string& line) {
  const auto& lines = port->Modem().ReceivedLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

class TabConnectionTest : public QObject {
  Q_OBJECT

 private:
  struct App : WindowRig {
    explicit App(int32_t autoLoad = 0, bool virtualTime = true)
        : WindowRig({{"Settings/AutoLoad", autoLoad}}, {"sim:1", "sim:2", "sim:3", "sim:4"}, virtualTime) {}
    bool Enabled(int id) { return window->Action(id)->isEnabled(); }
  };

 private slots:
  void EnablingFollowsTheLinkState_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("connect");
    QTest::addColumn<QString>("connectText");
    QTest::addColumn<bool>("disconnect");
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("portCombo");
    // Menu: Connect, Disconnect, Open com-port, Write Profile, the three
    // Transfer commands, Save Profile, Close Profile.
    QTest::addColumn<QString>("menu");
    QTest::newRow("no port") << 0 << false << "Connect" << false << false << true << "000000000";
    QTest::newRow("idle") << int(LS_IDLE) << true << "Connect" << false << true << true << "101000000";
    QTest::newRow("open failed") << int(LS_OPEN_FAILED) << true << "Connect" << false << true << true << "101000000";
    QTest::newRow("port open") << int(LS_PORT_OPEN) << true << "Connect" << true << false << false << "110011100";
    QTest::newRow("identified") << 0x1800 << true << "Reconnect" << true << false << false << "010111110";
    QTest::newRow("remote") << 0x1801 << false << "Connect" << true << false << false << "010111110";
    QTest::newRow("profile") << int(LS_IDLE | LS_FILE) << true << "Connect" << false << true << true << "101000011";
  }

  void EnablingFollowsTheLinkState() {
    QFETCH(int, state);
    QFETCH(bool, connect);
    QFETCH(QString, connectText);
    QFETCH(bool, disconnect);
    QFETCH(bool, open);
    QFETCH(bool, portCombo);
    QFETCH(QString, menu);
    App app;
    app.a.LinkState = state;
    app.Page().OnSetActive();
    QCOMPARE(app.Page().ConnectButton()->isEnabled(), connect);
    QCOMPARE(app.Page().ConnectButton()->text(), connectText);
    QCOMPARE(app.Page().DisconnectButton()->isEnabled(), disconnect);
    QCOMPARE(app.Page().OpenButton()->isEnabled(), open);
    QCOMPARE(app.Page().PortCombo()->isEnabled(), portCombo);
    const int ids[] = {ID_CONNECT,  ID_DISCONNECT, ID_OPEN_PORT,    ID_WRITE_PROFILE, ID_SEND_ESC,
                       ID_SEND_FILE, ID_SEND_BREAK, ID_SAVE_PROFILE, ID_CLOSE_PROFILE};
    QString actual;
    for (int id : ids) actual += app.Enabled(id) ? '1' : '0';
    QCOMPARE(actual, menu);
    // These never depend on the link.
    QVERIFY(app.Enabled(ID_NEW_PROFILE) && app.Enabled(ID_OPEN_PROFILE) && app.Enabled(ID_OPTIONS));
  }

  void TypingAPortIntoAnEmptyListEnablesTheCommands() {
    App app;
    app.a.LinkState = 0;
    app.Page().OnSetActive();
    QVERIFY(!app.Enabled(ID_CONNECT));
    app.Page().PortCombo()->setEditText("/dev/pts/7");
    QCOMPARE(app.a.LinkState, int(LS_IDLE));
    QVERIFY(app.Enabled(ID_CONNECT));
    QVERIFY(app.Page().OpenButton()->isEnabled());
  }

  void ConnectIdentifiesTheSimulatedModem() {
    App app(/*autoLoad=*/0);
    app.ConnectTo("sim:3");
    QCOMPARE(app.a.LinkState, 0x1800);
    QCOMPARE(app.a.ModelType, 3);
    QVERIFY(app.ui.boxes.empty());
    QCOMPARE(app.window->Terminal().StatusValue(), QString("Connected to RM-40 485"));
    QCOMPARE(app.window->Terminal().PortValue(), QString("sim:3"));
    QCOMPARE(app.Page().ConnectButton()->text(), QString("Reconnect"));
    QVERIFY(!app.Page().PortCombo()->isEnabled());
    SimulatedPort* port = app.ports.Simulated(3);
    QVERIFY(Received(port, "ATI9"));
    // Without AutoLoad nothing is read.
    QVERIFY(!Received(port, "AT&V"));
    QCOMPARE(int(app.a.Page(PG_BASIC).valid), 0);
  }

  void ConnectWithAutoLoadReadsEverySection() {
    App app(/*autoLoad=*/1);
    app.ConnectTo("sim:3");
    QCOMPARE(app.a.LinkState, 0x1800);
    QVERIFY(Received(app.ports.Simulated(3), "AT&V"));
    for (int page : {PG_BASIC, PG_SERIAL, PG_DIAL, PG_CALLERID, PG_CALLBACK, PG_IO}) {
      QVERIFY2(app.a.Page(page).valid == 1, qPrintable(QString::number(page)));
    }
    QCOMPARE(app.a.Config.basic.S0, app.ports.Simulated(3)->Modem().State().s[0]);
    QVERIFY(!app.a.Busy);
  }

  void ConnectFailuresAreReported() {
    App app;
    app.ports.Simulated(2)->FailNextOpen("Permission denied");
    app.ConnectTo("sim:2");
    QCOMPARE(app.ui.BoxTexts(), std::vector<std::string>{"Unable to open COM-port..."});
    QCOMPARE(app.a.LinkState, int(LS_OPEN_FAILED));

    app.ports.Simulated(1)->Modem().Options().silent = true;
    app.ConnectTo("sim:1");
    QCOMPARE(app.ui.boxes.back().text, std::string("No Dalmarin modem found!"));
    QCOMPARE(app.ui.boxes.back().icon, MsgIcon::Information);
    QCOMPARE(app.a.LinkState, int(LS_IDLE));
    QVERIFY(!app.ports.Simulated(1)->IsOpen());

    SimulatedPort unsupported(SimulatedModem("7730-05"));
    app.ports.Register("sim:other", &unsupported);
    app.ConnectTo("sim:other");
    QCOMPARE(app.ui.boxes.back().text, std::string("A modem was found, but it is unsupported by Kelvane."));
    QCOMPARE(app.a.LinkState, int(LS_IDLE));
    QVERIFY(!unsupported.IsOpen());
    QCOMPARE(app.ui.boxes.size(), size_t(3));
    QCOMPARE(app.Page().ConnectButton()->text(), QString("Connect"));
  }

  void ConnectIsIgnoredWhileBusy() {
    App app;
    app.a.Busy = true;
    app.ConnectTo("sim:2");
    QCOMPARE(app.a.LinkState, int(LS_IDLE));
    QVERIFY(!app.ports.Simulated(2)->IsOpen());
    app.a.Busy = false;
  }

  void DisconnectOffersToSilenceTheModemAgain() {
    App app;
    SimulatedPort* port = app.ports.Simulated(2);
    port->Modem().State().quiet = 1;
    port->Modem().Stored().quiet = 1;

    app.ConnectTo("sim:2");
    QVERIFY(app.a.QuietWasOn);
    app.ui.answers = {MsgAnswer::No};
    app.Page().Disconnect();
    QCOMPARE(app.ui.boxes.size(), size_t(1));
    QVERIFY(app.ui.boxes[0].text.find("Result Code Suppression will now be activated") == 0);
    QCOMPARE(app.ui.boxes[0].buttons, MsgButtons::YesNo);
    QVERIFY(!Received(port, "ATQ1"));
    QVERIFY(!port->IsOpen());
    // The probe switched result codes on, and No left them so.
    QCOMPARE(port->Modem().State().quiet, 0);

    port->Modem().State().quiet = 1;
    app.ConnectTo("sim:2");
    QVERIFY(app.a.QuietWasOn);
    app.ui.answers = {MsgAnswer::Yes};
    app.Page().Disconnect();
    QVERIFY(Received(port, "ATQ1"));
    QVERIFY(Received(port, "AT&W"));
    QCOMPARE(port->Modem().Stored().quiet, 1);
    QCOMPARE(app.a.LinkState, int(LS_IDLE));
  }

  void QuietDisconnectShowsTheWaitAndRefusesASecondOperation() {
    // A timer looks in while the modem is given its time: real time.
    App app(0, /*virtualTime=*/false);
    SimulatedPort* port = app.ports.Simulated(2);
    port->Modem().State().quiet = 1;
    port->Modem().Stored().quiet = 1;
    app.ConnectTo("sim:2");
    QVERIFY(app.a.QuietWasOn);
    const auto identifications = [&] {
      const auto& lines = port->Modem().ReceivedLines();
      return std::count(lines.begin(), lines.end(), std::string("ATI9"));
    };
    const auto before = identifications();

    // Pressed while the modem is given its time to store the settings.
    bool busy = false;
    QString waitMessage;
    QTimer::singleShot(300, [&] {
      busy = app.a.Busy;
      for (CWaitDlg* w : app.window->findChildren<CWaitDlg*>()) {
        if (w->isVisible()) waitMessage = w->Message();
      }
      app.Page().Connect();
      app.Page().Disconnect();
    });
    app.ui.answers = {MsgAnswer::Yes};
    app.Page().Disconnect();

    QVERIFY(busy);
    QCOMPARE(waitMessage, QString("Disconnecting..."));
    QCOMPARE(identifications(), before);  // no second connect
    QCOMPARE(app.ui.boxes.size(), size_t(1));  // only the question, asked once
    QVERIFY(Received(port, "AT&W"));
    QCOMPARE(app.a.LinkState, int(LS_IDLE));
    QVERIFY(!port->IsOpen());
    QVERIFY(!app.a.Busy);
    QVERIFY(app.window->findChildren<CWaitDlg*>().isEmpty());
  }

  void DisconnectReturnsEveryFieldToDash() {
    App app;
    app.ConnectTo("sim:4");
    QCOMPARE(app.a.ModelType, 4);
    QVERIFY(!app.a.QuietWasOn);
    app.Page().Disconnect();
    QVERIFY(app.ui.boxes.empty());  // no question for a modem that was not quiet
    CTerminalDlg& t = app.window->Terminal();
    for (const QString& v : {t.StatusValue(), t.ModeValue(), t.PortValue(), t.BaudValue(), t.DataBitsValue(),
                             t.ParityValue(), t.StopBitsValue()}) {
      QCOMPARE(v, QString("-"));
    }
    QCOMPARE(app.Page().ConnectButton()->text(), QString("Connect"));
    QVERIFY(app.Page().PortCombo()->isEnabled());
    QCOMPARE(app.window->Sheet().count(), 1);

    app.Page().Disconnect();
    QCOMPARE(app.ui.BoxTexts(), std::vector<std::string>{"Not connected!"});
  }

  void OpenServesTheTerminalWithoutAModemDialogue() {
    App app;
    app.Page().PortCombo()->setCurrentText("sim:2");
    app.Page().Open();
    QCOMPARE(app.a.LinkState, int(LS_PORT_OPEN));
    QVERIFY(app.ports.Simulated(2)->Modem().ReceivedLines().empty());
    QCOMPARE(app.window->Terminal().StatusValue(), QString("COM-port open"));
    QVERIFY(app.Page().DisconnectButton()->isEnabled());

    app.ports.Simulated(1)->FailNextOpen("Device or resource busy");
    app.Page().Disconnect();
    app.Page().PortCombo()->setCurrentText("sim:1");
    app.Page().Open();
    QCOMPARE(app.ui.BoxTexts(), std::vector<std::string>{"Unable to open COM-port..."});
    QVERIFY(!app.a.Busy);
  }

  void OpenPortFollowsTheLineCombos() {
    App app;
    SimulatedPort* port = app.ports.Simulated(2);
    app.Page().PortCombo()->setCurrentText("sim:2");
    app.Page().Open();
    QCOMPARE(port->Line().parity, 'N');
    app.Page().ParityCombo()->setCurrentText("Even");
    QCOMPARE(app.a.Parity, std::string("Even"));
    QCOMPARE(port->Line().parity, 'E');
    app.Page().BaudCombo()->setCurrentText("9600");
    QCOMPARE(port->Line().baud, 9600);
    QCOMPARE(app.window->Terminal().BaudValue(), QString("9600"));

    app.Page().Disconnect();
    app.Page().ParityCombo()->setCurrentText("Odd");
    QCOMPARE(app.a.Parity, std::string("-"));  // closed: taken at the next open
    app.Page().Open();
    QCOMPARE(port->Line().parity, 'O');
    QCOMPARE(port->Line().baud, 9600);
  }
};

QTEST_MAIN(TabConnectionTest)
#include "tab_connection_test.moc"
