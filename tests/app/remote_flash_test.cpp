// The Remote command of the Connection page with its wizard dialogs, and the
// "Flash update..." command of the Transfer > Advanced menu, against the
// built-in simulated modems.

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <unistd.h>

#include <fstream>

#include "app/main_dlg.h"
#include "ui/transfer_dlg.h"
#include "ui/remote_dlg.h"
#include "connection/ui/tab_connection.h"
#include "connection/ui/terminal_dlg.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::WindowRig;

class RemoteFlashTest : public QObject {
  Q_OBJECT

 private:
  struct App : WindowRig {
    std::vector<QString> wizardTexts;  // what each wizard dialog asked
    std::deque<std::optional<QString>> wizardAnswers;
    App() : WindowRig({{"Settings/AutoLoad", 0}}, {"sim:2", "sim:3"}, /*virtualTime=*/true) {
      ui.onModal = [this](QDialog& d) {
        auto* wizard = dynamic_cast<CRemoteWizardDlg*>(&d);
        if (!wizard) return int(QDialog::Rejected);
        wizardTexts.push_back(wizard->windowTitle() + "|" +
                              (wizard->Field()->echoMode() == QLineEdit::Password ? "password" : "number"));
        if (wizardAnswers.empty() || !wizardAnswers.front()) {
          if (!wizardAnswers.empty()) wizardAnswers.pop_front();
          return int(QDialog::Rejected);
        }
        QTest::keyClicks(wizard->Field(), *wizardAnswers.front());
        wizardAnswers.pop_front();
        return wizard->Buttons()->button(QDialogButtonBox::Ok)->isEnabled() ? int(QDialog::Accepted)
                                                                              : int(QDialog::Rejected);
      };
    }
    bool Enabled(int id) { return window->Action(id)->isEnabled(); }
  };

 private slots:
  void RemoteLoginThroughThePageAndDisconnect() {
    App app;
    app.wizardAnswers = {QStringLiteral("5551234"), QString()};
    app.Page().PortCombo()->setCurrentText(QStringLiteral("sim:2"));
    QVERIFY(app.Enabled(ID_REMOTE));
    QVERIFY(app.Page().RemoteButton()->isEnabled());
    QVERIFY(!app.Enabled(ID_FLASH_UPDATE));
    app.window->OnCommand(ID_REMOTE);

    QCOMPARE(app.a.LinkState, 0x1801);
    QCOMPARE(app.wizardTexts.size(), size_t(2));
    QCOMPARE(app.wizardTexts[0], QStringLiteral("Remote configuration wizard|number"));
    QCOMPARE(app.wizardTexts[1], QStringLiteral("Remote configuration wizard|password"));
    QVERIFY(app.ui.BoxTexts().empty());
    QCOMPARE(app.window->Terminal().ModeValue(), QStringLiteral("Remote Configurator"));
    QVERIFY(!app.Page().ConnectButton()->isEnabled());
    QVERIFY(!app.Page().RemoteButton()->isEnabled());
    QVERIFY(!app.Enabled(ID_REMOTE));
    QVERIFY(app.Enabled(ID_FLASH_UPDATE));

    app.window->OnCommand(ID_DISCONNECT);
    QCOMPARE(app.a.LinkState, int(LS_IDLE));
    QVERIFY(app.Page().RemoteButton()->isEnabled());
  }

  void RemoteFailuresCloseTheLink() {
    // The number dialog refuses a number without digits; Cancel ends it all.
    App app;
    app.wizardAnswers = {QStringLiteral("PTW")};
    app.Page().PortCombo()->setCurrentText(QStringLiteral("sim:2"));
    app.window->OnCommand(ID_REMOTE);
    QCOMPARE(app.a.LinkState, int(LS_IDLE));
    QCOMPARE(app.wizardTexts.size(), size_t(1));
    QVERIFY(app.ui.BoxTexts().empty());

    // A cancelled password hangs up without a message.
    app.wizardTexts.clear();
    app.wizardAnswers = {QStringLiteral("5551234"), std::nullopt};
    app.window->OnCommand(ID_REMOTE);
    QCOMPARE(app.a.LinkState, int(LS_IDLE));
    QCOMPARE(app.wizardTexts.size(), size_t(2));
    QVERIFY(app.ui.BoxTexts().empty());
  }

  void FlashUpdateFromTheAdvancedMenu() {
    App app;
    app.Page().PortCombo()->setCurrentText(QStringLiteral("sim:3"));
    app.Page().BaudCombo()->setCurrentText(QStringLiteral("9600"));
    app.Page().Connect();
    QCOMPARE(app.a.LinkState, 0x1800);
    QAction* flash = app.window->Action(ID_FLASH_UPDATE);
    QVERIFY(flash->isEnabled());
    QCOMPARE(flash->text(), QStringLiteral("Flash update..."));
    QMenu* advanced = qobject_cast<QMenu*>(flash->parent());
    QVERIFY(advanced);
    QCOMPARE(advanced->title(), QStringLiteral("&Advanced"));

    const std::string path = QDir::tempPath().toStdString() + "/kelvane-flash-ui.s19";
    std::ofstream(path) << "S00F000068656C6C6F202020202000003C\r\n"
                           "S1130000285F245F2212226A000424290008237C2A\r\n"
                           "S9030000FC\r\n";
    app.ui.fileAnswers = {path};
    app.ui.answers = {MsgAnswer::Yes};
    app.window->OnCommand(ID_FLASH_UPDATE);
    ::unlink(path.c_str());
    const auto boxes = app.ui.BoxTexts();
    QCOMPARE(boxes.size(), size_t(2));
    QCOMPARE(QString::fromStdString(boxes.back()), QStringLiteral("Download Success"));
    QCOMPARE(QString::fromStdString(app.a.BaudRate), QStringLiteral("115200"));
    QCOMPARE(app.Page().BaudCombo()->currentText(), QStringLiteral("115200"));
    QVERIFY(!app.a.Busy);
  }

  void CancelIsIgnoredWhileDisabled() {
    App app;
    CTransferDlg dialog(app.window.get(), app.ui, 0, OP_FLASH);
    dialog.EnableCancel(false);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.reject();
    QVERIFY(!app.a.AbortRequested);
    QVERIFY(!dialog.CancelButton()->isEnabled());
    dialog.EnableCancel(true);
    dialog.reject();
    QVERIFY(app.a.AbortRequested);
  }
};

QTEST_MAIN(RemoteFlashTest)
#include "remote_flash_test.moc"
