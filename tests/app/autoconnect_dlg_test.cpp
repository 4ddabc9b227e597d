#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

#include "app/main_dlg.h"
#include "connection/ui/autoconnect_dlg.h"
#include "connection/ui/tab_connection.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::WindowRig;
using kelvane::testing::TestUi;

namespace {

bool Received(SimulatedPort* port, const std::string& line) {
  const auto& lines = port->Modem().ReceivedLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Runs `action` on the Autoconnect dialog once it is the modal window.
void WhenDialogUp(std::function<void(CAutoConnectDlg&)> action, int afterMs = 0) {
  QTimer::singleShot(afterMs, [action = std::move(action)] {
    if (auto* dialog = qobject_cast<CAutoConnectDlg*>(QApplication::activeModalWidget())) action(*dialog);
  });
}

}  // namespace

class AutoConnectDlgTest : public QObject {
  Q_OBJECT

 private:
  struct App : WindowRig {
    // The shortest answer budget keeps the failed attempts short.
    App(int userAutoConnect, int autoLoad)
        : WindowRig({{"Settings/AutoLoad", autoLoad},
                     {"Settings/userAutoConnect", userAutoConnect},
                     {"Settings/ResponseTimeout", 0}}) {}
    SimulatedPort* ModemAt(int type, int rate) {
      SimulatedPort* port = ports.Simulated(type);
      port->Modem().State().dteRate = rate;
      port->Modem().Stored().dteRate = rate;
      Page().PortCombo()->setCurrentText(QStringLiteral("sim:%1").arg(type));
      return port;
    }
  };

 private slots:
  void OpensWithTheInitialSelections() {
    CAdapter a;
    TestUi ui{a};
    CAutoConnectDlg dialog(ui, nullptr);
    const std::pair<QComboBox*, const char*> expected[] = {
        {dialog.BaudFrom(), "115200"}, {dialog.BaudTo(), "300"}, {dialog.ParityFrom(), "None"},
        {dialog.ParityTo(), "Even"},   {dialog.DataFrom(), "8"}, {dialog.DataTo(), "7"},
        {dialog.StopFrom(), "1"},      {dialog.StopTo(), "2"}};
    for (const auto& [combo, text] : expected) QCOMPARE(combo->currentText(), QString::fromLatin1(text));
    QCOMPARE(dialog.BaudFrom()->count(), 10);
    QCOMPARE(dialog.StatusText(), QStringLiteral("Press Search to begin."));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Autoconnect"));
    const AutoConnectRanges r = dialog.Ranges();
    QCOMPARE(r.baudFrom, 9);
    QCOMPARE(r.baudTo, 0);
    QCOMPARE(r.dataFrom, 1);
  }

  void FoundSettingsShowOnThePageAndAreRead() {
    App app(0, 1);
    SimulatedPort* port = app.ModemAt(2, 38400);
    QVERIFY(app.Page().AutoconnectButton()->isEnabled());
    app.Page().Autoconnect();
    QCOMPARE(app.a.LinkState, LS_PORT_OPEN | LS_IDENTIFIED);
    QVERIFY(app.ui.boxes.empty());
    QCOMPARE(app.Page().BaudCombo()->currentText(), QStringLiteral("38400"));
    QCOMPARE(app.Page().ParityCombo()->currentText(), QStringLiteral("None"));
    QCOMPARE(app.Page().DataBitsCombo()->currentText(), QStringLiteral("8"));
    QCOMPARE(app.Page().StopBitsCombo()->currentText(), QStringLiteral("1"));
    // AutoLoad read the configuration afterwards.
    QVERIFY(Received(port, "AT&V"));
    // Identified: Autoconnect is no longer offered.
    QVERIFY(!app.Page().AutoconnectButton()->isEnabled());
    QVERIFY(!app.window->Action(ID_AUTOCONNECT)->isEnabled());
    app.Page().Autoconnect();
    QCOMPARE(app.ui.BoxTexts(), std::vector<std::string>{"Already connected!"});
    QCOMPARE(app.a.LinkState, LS_PORT_OPEN | LS_IDENTIFIED);
  }

  void CancelBeforeSearchClosesWithoutMessage() {
    App app(1, 0);
    SimulatedPort* port = app.ModemAt(3, 9600);
    bool sawDialog = false;
    WhenDialogUp([&](CAutoConnectDlg& d) {
      sawDialog = true;
      QVERIFY(d.SearchButton()->isEnabled());
      d.CancelButton()->click();
    });
    app.window->OnCommand(ID_AUTOCONNECT);
    QVERIFY(sawDialog);
    QVERIFY(app.ui.boxes.empty());
    QVERIFY(port->Modem().ReceivedLines().empty());
    QVERIFY(!(app.a.LinkState & LS_IDENTIFIED));
  }

  void SearchButtonSearchesTheChosenRangeOnly() {
    App app(1, 0);
    app.ModemAt(4, 2400);
    WhenDialogUp([](CAutoConnectDlg& d) {
      d.BaudFrom()->setCurrentText("4800");
      d.BaudTo()->setCurrentText("2400");
      d.ParityTo()->setCurrentText("None");
      d.DataTo()->setCurrentText("8");
      d.StopTo()->setCurrentText("1");
      d.SearchButton()->click();
    });
    app.Page().Autoconnect();
    QCOMPARE(app.a.LinkState, LS_PORT_OPEN | LS_IDENTIFIED);
    QCOMPARE(app.a.ModelType, 4);
    QCOMPARE(app.Page().BaudCombo()->currentText(), QStringLiteral("2400"));
  }

  void CancelDuringSearchStopsAfterTheAttempt() {
    App app(0, 1);
    SimulatedPort* port = app.ModemAt(2, 9600);
    port->Modem().Options().silent = true;
    QString statusAfterCancel;
    bool comboLocked = false;
    WhenDialogUp(
        [&](CAutoConnectDlg& d) {
          comboLocked = !d.BaudFrom()->isEnabled() && !d.SearchButton()->isEnabled();
          QVERIFY(d.Searching());
          d.CancelButton()->click();
          statusAfterCancel = d.StatusText();
        },
        300);
    app.Page().Autoconnect();
    QVERIFY(comboLocked);
    QCOMPARE(statusAfterCancel, QStringLiteral("Aborting, please wait."));
    QVERIFY(app.ui.boxes.empty());
    QCOMPARE(app.a.LinkState, LS_IDLE);
    QVERIFY(!app.a.AbortRequested);
  }

  void NothingFoundIsReported() {
    App app(1, 0);
    SimulatedPort* port = app.ModemAt(1, 9600);
    port->Modem().Options().silent = true;
    WhenDialogUp([](CAutoConnectDlg& d) {
      d.BaudFrom()->setCurrentText("9600");
      d.BaudTo()->setCurrentText("9600");
      d.ParityTo()->setCurrentText("None");
      d.DataTo()->setCurrentText("8");
      d.StopTo()->setCurrentText("1");
      d.SearchButton()->click();
    });
    app.Page().Autoconnect();
    QCOMPARE(app.ui.BoxTexts(), std::vector<std::string>{"No Dalmarin modem found!"});
    QCOMPARE(app.ui.boxes[0].icon, MsgIcon::Information);
    QCOMPARE(app.a.LinkState, LS_IDLE);
  }
};

QTEST_MAIN(AutoConnectDlgTest)
#include "autoconnect_dlg_test.moc"
