#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <tuple>

#include "app/about_dlg.h"
#include "app/main_dlg.h"
#include "app/options_dlg.h"
#include "app/prop_sheet.h"
#include "ui/status_panel.h"
#include "ui/tool_settings.h"
#include "ui/transfer_dlg.h"
#include "config/profile.h"
#include "connection/ui/tab_connection.h"
#include "connection/ui/terminal_dlg.h"
#include "controls/image_button.h"
#include "pages/config_page.h"
#include "pages/io_entry_dlg.h"
#include "pages/tab_io.h"
#include "pages/tab_remote_conf.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::RunEventsFor;
using kelvane::testing::WindowRig;

class MainDlgTest : public QObject {
  Q_OBJECT

 private:
  struct App : WindowRig {
    App() : WindowRig({{"Settings/AutoLoad", 0}}) {}
    // Connects through the menu command.
    void Connect(const char* port) {
      window->ConnectionPage().PortCombo()->setCurrentText(port);
      window->OnCommand(ID_CONNECT);
    }
    QString Path(const char* name) const { return store.dir.filePath(name); }
  };

  static QStringList MenuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << (a->isSeparator() ? QString("-") : a->text());
    return out;
  }

 private slots:
  void MenuHoldsTheCommandsOfThisRound() {
    App app;
    const QList<QAction*> menus = app.window->menuBar()->actions();
    QCOMPARE(menus.size(), 5);
    QCOMPARE(menus[0]->text(), QString("&File"));
    QCOMPARE(MenuTexts(menus[0]->menu()),
             QStringList({"&New Profile", "&Open Profile", "&Save Profile", "&Close Profile",
                          "Compare with Profile...", "-",
                          "&Write Profile to modem", "-", "&Exit"}));
    QCOMPARE(MenuTexts(menus[1]->menu()),
             QStringList({"&Autoconnect", "&Connect", "&Disconnect", "&Remote", "&Open com-port"}));
    QCOMPARE(MenuTexts(menus[2]->menu()),
             QStringList({"Send &Esc Sequence", "Send &File", "Send &Break", "-", "&Advanced"}));
    QCOMPARE(MenuTexts(menus[2]->menu()->actions().back()->menu()), QStringList({"Flash update..."}));
    QCOMPARE(app.window->Action(ID_FLASH_UPDATE)->data().toInt(), 32771);
    QCOMPARE(app.window->Action(ID_REMOTE)->data().toInt(), 32778);
    QCOMPARE(MenuTexts(menus[3]->menu()), QStringList({"&Clear Terminal", "Options"}));
    QCOMPARE(MenuTexts(menus[4]->menu()), QStringList({"&Help", "&About"}));
    QCOMPARE(app.window->Action(ID_SAVE_PROFILE)->data().toInt(), 32783);
    QCOMPARE(app.window->Action(ID_SEND_FILE)->data().toInt(), 32789);
    QCOMPARE(app.window->Action(ID_AUTOCONNECT)->data().toInt(), 32774);
  }

  void WindowNeverShrinksBelowItsMinimum() {
    App app;
    app.window->resize(300, 200);
    QCOMPARE(app.window->size(), QSize(758, 563));
    app.window->resize(900, 700);
    QCOMPARE(app.window->size(), QSize(900, 700));
    QCOMPARE(app.window->windowTitle(), QString("Kelvane 2"));
  }

  void CloseSavesTheOptions() {
    App app;
    app.a.Options.Debug = 1;
    app.a.Options.NumberOfPorts = 4;
    app.a.Options.HexInput = 1;
    app.window->OnCommand(ID_EXIT);
    QVERIFY(app.window->isVisible());  // the close request is posted
    QTRY_VERIFY(!app.window->isVisible());
    QVERIFY(app.a.ShuttingDown);
    QVERIFY(app.a.AbortRequested);
    ToolOptions back;
    LoadToolOptions(*app.store.settings, back);
    QCOMPARE(back.Debug, 1);
    QCOMPARE(back.NumberOfPorts, 4);
    QCOMPARE(back.HexInput, 0);
    app.store.settings->beginGroup("Settings");
    QCOMPARE(app.store.settings->childKeys().size(), 13);
  }

  void StatusPanelShowsVersionThenChangeMarkers() {
    App app;
    QCOMPARE(app.window->StatusPanel().Text(), VersionString());
    app.a.Page(PG_SERIAL).changed = 1;
    app.a.Page(PG_REMOTE).changed = 1;  // has no marker
    app.a.UpdateChangeMarkers();
    QCOMPARE(app.window->StatusPanel().Text(), QString(" [Serial Changed] "));
    app.a.Page(PG_BASIC).changed = 1;
    app.a.Page(PG_IO).changed = 1;
    app.a.UpdateChangeMarkers();
    QCOMPARE(app.window->StatusPanel().Text(), QString(" [Basic Changed]  [Serial Changed]  [IO Changed] "));
    app.a.Page(PG_BASIC).changed = app.a.Page(PG_SERIAL).changed = app.a.Page(PG_IO).changed = 0;
    app.a.UpdateChangeMarkers();
    QCOMPARE(app.window->StatusPanel().Text(), QString());

    // All six markers in the smallest window: drawn smaller, none cut, and
    // the tooltip holds them; a wide window shows them at full size.
    for (int page : {PG_BASIC, PG_SERIAL, PG_DIAL, PG_CALLERID, PG_CALLBACK, PG_IO}) app.a.Page(page).changed = 1;
    app.a.UpdateChangeMarkers();
    const CStatusPanel& panel = app.window->StatusPanel();
    for (const auto& [width, smaller] : {std::pair{CMainDlg::kMinWidth, true}, std::pair{1600, false}}) {
      app.window->resize(width, CMainDlg::kMinHeight);
      QCoreApplication::processEvents();
      QVERIFY(QFontMetrics(panel.FittingFont()).horizontalAdvance(panel.Text()) <= panel.TextArea().width());
      QCOMPARE(panel.FittingFont().pixelSize() < 14, smaller);
      QCOMPARE(panel.toolTip().isEmpty(), !smaller);
      if (smaller) QVERIFY(panel.toolTip().startsWith(QStringLiteral("[Basic Changed] [Serial Changed]")));
    }
  }

  void IndicatorsFollowTheLine() {
    App app;
    QVERIFY(!app.window->StatusPanel().CtsOn());
    app.Connect("sim:2");
    QVERIFY(app.window->StatusPanel().CtsOn());  // the simulated modem always holds CTS
    QVERIFY(app.window->StatusPanel().DsrOn());
    app.window->OnCommand(ID_DISCONNECT);
    QVERIFY(!app.window->StatusPanel().CtsOn());
    QVERIFY(!app.window->StatusPanel().DsrOn());
  }

  void ProfilesSaveOpenAndClose() {
    App app;
    // Saving right after start writes the reset block.
    app.ui.fileAnswers = {app.Path("start.dat").toStdString()};
    app.window->OnCommand(ID_SAVE_PROFILE);
    QCOMPARE(QFileInfo(app.Path("start.dat")).size(), qint64(3739));
    QCOMPARE(app.ui.fileRequests.back().kind, FileDialogKind::Save);
    QCOMPARE(app.ui.fileRequests.back().defaultExtension, std::string("dat"));
    QCOMPARE(app.ui.fileRequests.back().filter, std::string("Config files (*.dat)|*.dat|All files (*.*)|*.*||"));

    app.a.Config.basic.S0 = 7;
    app.ui.fileAnswers = {app.Path("seven.dat").toStdString()};
    app.window->OnCommand(ID_SAVE_PROFILE);

    app.a.ResetConfiguration();
    app.ui.fileAnswers = {app.Path("seven.dat").toStdString()};
    app.window->OnCommand(ID_OPEN_PROFILE);
    QCOMPARE(app.a.Config.basic.S0, 7);
    QCOMPARE(app.a.LinkState, int(LS_IDLE | LS_FILE));
    QCOMPARE(int(app.a.Page(PG_BASIC).valid), 1);
    QVERIFY(app.window->Action(ID_CLOSE_PROFILE)->isEnabled());
    QVERIFY(app.window->Action(ID_SAVE_PROFILE)->isEnabled());
    QVERIFY(app.ui.boxes.empty());

    app.window->OnCommand(ID_CLOSE_PROFILE);
    QCOMPARE(app.a.LinkState, int(LS_IDLE));
    QCOMPARE(app.a.Config.basic.S0, 7);  // the records stay
    QVERIFY(!app.window->Action(ID_CLOSE_PROFILE)->isEnabled());

    // Not a profile: reported, nothing changes.
    {
      std::ofstream(app.Path("bad.dat").toStdString()) << "not a profile at all";
    }
    app.ui.fileAnswers = {app.Path("bad.dat").toStdString()};
    app.window->OnCommand(ID_OPEN_PROFILE);
    QCOMPARE(app.ui.boxes.size(), size_t(1));
    QVERIFY(app.ui.boxes[0].text.find("is not a valid profile.") != std::string::npos);
    QCOMPARE(app.a.LinkState, int(LS_IDLE));

    // Cancelled dialogs do nothing.
    app.window->OnCommand(ID_OPEN_PROFILE);
    app.window->OnCommand(ID_SAVE_PROFILE);
    QCOMPARE(app.a.LinkState, int(LS_IDLE));
    QCOMPARE(app.ui.boxes.size(), size_t(1));
  }

  void NewProfileWhileConnectedClosesThePort() {
    App app;
    app.Connect("sim:2");
    QCOMPARE(app.a.LinkState, 0x1800);
    app.a.Config.basic.S0 = 9;
    app.window->OnCommand(ID_NEW_PROFILE);
    QVERIFY(!app.ports.Simulated(2)->IsOpen());
    QCOMPARE(app.a.LinkState, int(LS_IDLE | LS_FILE));
    QCOMPARE(app.a.Config.basic.S0, 2);
    QCOMPARE(app.window->ConnectionPage().ConnectButton()->text(), QString("Connect"));
    QVERIFY(app.window->Action(ID_CLOSE_PROFILE)->isEnabled());
    QVERIFY(!app.window->Action(ID_DISCONNECT)->isEnabled());
  }

  void WriteProfileNeedsAnIdentifiedModem() {
    App app;
    app.window->ConnectionPage().PortCombo()->setCurrentText("sim:2");
    app.window->OnCommand(ID_OPEN_PORT);
    const size_t before = app.ports.Simulated(2)->Written().size();
    app.window->OnCommand(ID_WRITE_PROFILE);
    QCOMPARE(app.ports.Simulated(2)->Written().size(), before);
    QVERIFY(app.ui.boxes.empty());

    app.window->OnCommand(ID_DISCONNECT);
    app.Connect("sim:2");
    app.a.Config.basic.S0 = 5;
    app.a.Page(PG_BASIC).valid = 1;
    app.ui.answers = {MsgAnswer::Yes};  // "Write current profile to adapter?"
    app.window->OnCommand(ID_WRITE_PROFILE);
    QCOMPARE(app.ports.Simulated(2)->Modem().Stored().s[0], 5);
  }

  void SendBreakHoldsAQuarterSecond() {
    App app;
    app.window->OnCommand(ID_SEND_BREAK);  // port closed: nothing
    QVERIFY(!app.window->BreakActive());
    app.Connect("sim:2");
    SimulatedPort* port = app.ports.Simulated(2);
    QElapsedTimer clock;
    clock.start();
    app.window->OnCommand(ID_SEND_BREAK);
    QVERIFY(port->BreakOn());
    QTRY_VERIFY_WITH_TIMEOUT(!port->BreakOn(), 2000);
    QVERIFY(clock.elapsed() >= 240);
    QVERIFY(!app.window->BreakActive());
    QCOMPARE(app.window->StatusPanel().Text(), QString("A break of 250 ms was sent."));
    // What was said about the port goes with it.
    port->LoseDevice();
    QTRY_COMPARE(app.window->StatusPanel().Note(), QString());
  }

  // Each command that worked says so in the status panel, and the title
  // names the open profile and marks edits not yet written or saved.
  void StatusAndTitleSayWhatHappened() {
    struct Case {
      const char* name;
      std::function<void(App&)> run;
      const char* note;
      const char* title;
    };
    // "Rings to Auto-Answer [S0]" typed in.
    auto edit = [](App& app) {
      app.window->Sheet().setCurrentWidget(app.window->Sheet().Page(PG_BASIC));
      auto* basic = qobject_cast<CConfigPage*>(app.window->Sheet().Page(PG_BASIC));
      QVERIFY(basic);
      auto* s0 = qobject_cast<QLineEdit*>(basic->ControlForField("BasicSettings.S0"));
      QVERIFY(s0);
      s0->setText(s0->text() == "5" ? "6" : "5");
    };
    auto connect = [](App& app) {
      app.Connect("sim:2");
      app.a.Page(PG_BASIC).valid = 1;
    };
    const Case cases[] = {
        {"save a new profile",
         [](App& app) {
           app.window->OnCommand(ID_NEW_PROFILE);
           app.ui.fileAnswers = {app.Path("station8.dat").toStdString()};
           app.window->OnCommand(ID_SAVE_PROFILE);
         },
         "Profile saved to station8.dat.", "station8.dat - Kelvane 2"},
        {"open a profile",
         [](App& app) {
           std::string error;
           QVERIFY(SaveProfileFile(app.Path("station9.dat").toStdString(), app.a.Config, error));
           app.ui.fileAnswers = {app.Path("station9.dat").toStdString()};
           app.window->OnCommand(ID_OPEN_PROFILE);
         },
         "Profile station9.dat opened.", "station9.dat - Kelvane 2"},
        {"edit an unnamed profile",
         [edit](App& app) {
           app.window->OnCommand(ID_NEW_PROFILE);
           edit(app);
         },
         "", "*New profile - Kelvane 2"},
        {"edit and write the Basic page",
         [connect, edit](App& app) {
           connect(app);
           edit(app);
           QCOMPARE(app.window->windowTitle(), QString("*Kelvane 2"));
           qobject_cast<CConfigPage*>(app.window->Sheet().Page(PG_BASIC))->WriteButton()->click();
         },
         "Basic written and stored.", "Kelvane 2"},
        {"read the Basic page",
         [connect](App& app) {
           connect(app);
           qobject_cast<CConfigPage*>(app.window->Sheet().Page(PG_BASIC))->ReadButton()->click();
         },
         "Basic read from the modem.", "Kelvane 2"},
        {"a connect ends the profile",
         [connect](App& app) {
           app.ui.fileAnswers = {app.Path("station8.dat").toStdString()};
           app.window->OnCommand(ID_SAVE_PROFILE);
           connect(app);
         },
         "Profile saved to station8.dat.", "Kelvane 2"},
    };
    for (const Case& c : cases) {
      App app;
      c.run(app);
      QCOMPARE(app.window->StatusPanel().Note(), QString(c.note));
      QCOMPARE(app.window->windowTitle(), QString(c.title));
    }
  }

  void EscapeSequenceAndSendFileRunInTheTransferDialog() {
    App app;
    app.Connect("sim:2");
    SimulatedPort* port = app.ports.Simulated(2);
    size_t before = port->Written().size();
    QElapsedTimer clock;
    clock.start();
    app.window->OnCommand(ID_SEND_ESC);
    QCOMPARE(port->Written().substr(before), std::string("+++"));
    QVERIFY(clock.elapsed() >= 2100);

    const QString file = app.Path("payload.bin");
    {
      std::ofstream(file.toStdString(), std::ios::binary) << std::string(1200, 'x');
    }
    app.ui.fileAnswers = {file.toStdString()};
    app.ui.sendFileAnswer = SendFileParams{2, 0};
    before = port->Written().size();
    app.window->OnCommand(ID_SEND_FILE);
    QCOMPARE(app.ui.sendFilePaths, std::vector<std::string>{file.toStdString()});
    QCOMPARE(port->Written().substr(before), std::string(2400, 'x'));

    // With the port closed the menu commands do nothing.
    app.window->OnCommand(ID_DISCONNECT);
    app.window->OnCommand(ID_SEND_FILE);
    app.window->OnCommand(ID_SEND_ESC);
    QCOMPARE(app.ui.sendFilePaths.size(), size_t(1));
  }

  void TransferDialogWithAnUnknownOperationEndsAtOnce() {
    App app;
    CTransferDlg transfer(app.window.get(), app.ui, 0, 3);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(transfer.Run(), 0);
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(!transfer.isVisible());
    CTransferDlg flash(app.window.get(), app.ui, 0, OP_FLASH);
    QCOMPARE(flash.Run(), 0);
  }

  void CancelAndEscapeAskTheOperationToStop() {
    App app;
    CTransferDlg transfer(app.window.get(), app.ui, 0, OP_CONNECT);
    transfer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&transfer));
    QTest::mouseClick(transfer.CancelButton(), Qt::LeftButton);
    QVERIFY(app.a.AbortRequested);
    QVERIFY(transfer.isVisible());
    app.a.AbortRequested = false;
    QTest::keyClick(&transfer, Qt::Key_Escape);
    QVERIFY(app.a.AbortRequested);
    QVERIFY(transfer.isVisible());
    app.a.AbortRequested = false;
  }

  void CancelStopsARunningConnect() {
    App app;
    app.ports.Simulated(1)->Modem().Options().silent = true;
    app.window->ConnectionPage().PortCombo()->setCurrentText("sim:1");
    // Press Cancel as soon as the connect's dialog is up.
    bool clicked = false;
    QTimer::singleShot(0, [&] {
      if (auto* t = qobject_cast<CTransferDlg*>(QApplication::activeModalWidget())) {
        t->CancelButton()->click();
        clicked = true;
      }
    });
    app.window->OnCommand(ID_CONNECT);
    QVERIFY(clicked);
    QCOMPARE(app.a.LinkState & LS_IDENTIFIED, 0);
    QVERIFY(!app.a.AbortRequested);
    QVERIFY(!app.a.Busy);
  }

  void OptionsTakeEffectOnOk() {
    App app;
    app.Connect("sim:2");
    app.window->Terminal().AppendToTerminal("old text\r");
    app.ui.onModal = [](QDialog& d) {
      auto& options = dynamic_cast<COptionsDlg&>(d);
      options.show();
      options.Sheet()->setCurrentWidget(options.AdvancedPage());
      options.AdvancedPage()->debug->setChecked(true);
      options.AdvancedPage()->hex->setEnabled(true);
      options.AdvancedPage()->hex->setChecked(true);
      options.BasicPage()->terminal->setChecked(false);
      options.accept();
      return int(QDialog::Accepted);
    };
    app.window->OnCommand(ID_OPTIONS);
    QCOMPARE(app.a.Options.HexInput, 1);
    QCOMPARE(app.a.InputMode, 1);
    QCOMPARE(app.a.Options.Terminal, 0);
    // Stored at once, not only at exit.
    ToolOptions stored;
    LoadToolOptions(*app.store.settings, stored);
    QCOMPARE(stored.Terminal, 0);
    QCOMPARE(stored.Debug, 1);
    QVERIFY(app.window->Terminal().Content().empty());
    QVERIFY(app.window->Terminal().OutputField()->isReadOnly());

    // Received bytes now show as a hex dump.
    app.ports.Simulated(2)->InjectInput("OK");
    app.a.ServiceLineEvents();
    QVERIFY(app.window->Terminal().Content().find("4F 4B") == 0);

    // Cancel changes nothing.
    app.ui.onModal = [](QDialog& d) {
      auto& options = dynamic_cast<COptionsDlg&>(d);
      options.show();
      options.BasicPage()->terminal->setChecked(true);
      options.reject();
      return int(QDialog::Rejected);
    };
    app.window->OnCommand(ID_OPTIONS);
    QCOMPARE(app.a.Options.Terminal, 0);
  }

  void ClearTerminalKeepsTheHistory() {
    App app;
    app.Connect("sim:2");
    CTerminalDlg& t = app.window->Terminal();
    t.CommandField()->setText("ATI9");
    t.SendCommandLine();
    QTRY_VERIFY(t.Content().find("OK") != std::string::npos);
    app.a.HexLog = "41 ";
    app.a.CharLog = "A";
    app.a.LogCount = 1;
    app.window->OnCommand(ID_CLEAR_TERMINAL);
    QVERIFY(t.Content().empty());
    QVERIFY(t.OutputField()->toPlainText().isEmpty());
    QCOMPARE(app.a.LogCount, 0);
    QVERIFY(app.a.HexLog.empty());
    QCOMPARE(t.History().Count(), 1);
  }

  void AboutShowsTheVersion() {
    App app;
    QString shown;
    app.ui.onModal = [&](QDialog& d) {
      shown = dynamic_cast<CAboutDlg&>(d).Text();
      return int(QDialog::Accepted);
    };
    app.window->OnCommand(ID_ABOUT);
    QCOMPARE(shown, VersionString());
  }

  void ManualShipsWithTheProgram() {
    const QString path = ManualPath();
    QVERIFY(!path.isEmpty());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(f.readAll());
    for (const char* section : {"Connecting to a modem", "The configuration pages", "Profiles",
                                "Remote configuration", "The report", "The terminal", "The simulated modem"}) {
      QVERIFY2(html.contains(QLatin1String(section)), section);
    }
    QVERIFY(QFile::exists(QFileInfo(path).dir().filePath("manual.css")));
  }

  void HelpWithoutABrowserNamesTheManual() {
    App app;
    QList<QUrl> asked;
    app.window->SetUrlOpener([&](const QUrl& url) {
      asked << url;
      return false;  // no program could show it
    });
    app.window->OnCommand(ID_HELP);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(app.ui.BoxTexts(), std::vector<std::string>{"The manual could not be opened."});
    const std::string detail = app.ui.boxes[0].detail;
    const std::string path = QFile::encodeName(asked[0].toLocalFile()).toStdString();
    QCOMPARE(detail, "Open it in a browser: " + path);
    QVERIFY(QFile::exists(asked[0].toLocalFile()));

    app.window->SetUrlOpener([](const QUrl&) { return true; });
    app.window->OnCommand(ID_HELP);
    QCOMPARE(app.ui.boxes.size(), size_t(1));  // nothing more to say
  }

  // Before each command that drops the edits the markers show, one question:
  // write them to the modem (connected) or save a profile (offline),
  // discard them, or cancel the command.
  // The edit is made as a user makes it: a Basic value, an I/O entry changed
  // through its dialog (row 2: DIAL to SMS), or the Remote page's switch
  // (which shows no marker).
  void EveryCommandThatDropsEditsAsksFirst() {
    struct Case {
      bool connected;
      int command;
      MsgAnswer answer;
      const char* asks;
      bool runs;
      int page = PG_BASIC;  // where the edit is made
    };
    const std::map<int, std::pair<const char*, const char*>> questions = {
        {PG_BASIC,
         {"The changes on the Basic page are not written to the modem.\nWrite them before ",
          "The changes on the Basic page are not saved in a profile.\nSave them before "}},
        {PG_IO,
         {"The changes on the I/O page are not written to the modem.\nWrite them before ",
          "The changes on the I/O page are not saved in a profile.\nSave them before "}},
        {PG_REMOTE,
         {"The changes on the Remote page are not written to the modem.\nWrite them before ",
          "The changes on the Remote page are not saved in a profile.\nSave them before "}},
    };
    const std::map<int, const char*> markers = {{PG_BASIC, " [Basic Changed] "}, {PG_IO, " [IO Changed] "},
                                                {PG_REMOTE, ""}};
    const Case cases[] = {
        {true, ID_DISCONNECT, MsgAnswer::Yes, "disconnecting?", true},
        {true, ID_DISCONNECT, MsgAnswer::No, "disconnecting?", true},
        {true, ID_DISCONNECT, MsgAnswer::Cancel, "disconnecting?", false},
        {true, ID_CONNECT, MsgAnswer::Cancel, "reconnecting?", false},
        {true, ID_NEW_PROFILE, MsgAnswer::Cancel, "starting a new profile?", false},
        {true, ID_OPEN_PROFILE, MsgAnswer::Cancel, "opening a profile?", false},
        {true, ID_FLASH_UPDATE, MsgAnswer::Cancel, "updating the firmware?", false},
        {true, ID_EXIT, MsgAnswer::Cancel, "exiting?", false},
        {false, ID_CLOSE_PROFILE, MsgAnswer::Yes, "closing the profile?", true},
        {false, ID_CLOSE_PROFILE, MsgAnswer::Cancel, "closing the profile?", false},
        {false, ID_CONNECT, MsgAnswer::Cancel, "connecting?", false},
        {false, ID_EXIT, MsgAnswer::No, "exiting?", true},
        {true, ID_DISCONNECT, MsgAnswer::Cancel, "disconnecting?", false, PG_IO},
        {true, ID_DISCONNECT, MsgAnswer::Yes, "disconnecting?", true, PG_IO},
        {false, ID_CLOSE_PROFILE, MsgAnswer::Cancel, "closing the profile?", false, PG_IO},
        {true, ID_DISCONNECT, MsgAnswer::Cancel, "disconnecting?", false, PG_REMOTE},
        {true, ID_DISCONNECT, MsgAnswer::Yes, "disconnecting?", true, PG_REMOTE},
        {false, ID_EXIT, MsgAnswer::Cancel, "exiting?", false, PG_REMOTE},
    };
    for (const Case& c : cases) {
      App app;
      const QByteArray row = QByteArray::number(c.command) + " " + c.asks + " " + QByteArray::number(int(c.answer)) +
                             " page " + QByteArray::number(c.page);
      const char* write = questions.at(c.page).first;
      const char* save = questions.at(c.page).second;
      if (c.connected) {
        app.Connect(c.page == PG_IO ? "sim:3" : "sim:2");
        for (int page : {PG_BASIC, PG_IO, PG_REMOTE}) app.a.Page(page).valid = 1;
      } else {
        app.window->OnCommand(ID_NEW_PROFILE);
      }
      app.window->Sheet().setCurrentWidget(app.window->Sheet().Page(c.page));
      if (c.page == PG_BASIC) {
        app.a.Config.basic.S0 = 5;
        app.a.Page(PG_BASIC).changed = 1;
        app.a.UpdateChangeMarkers();
      } else if (c.page == PG_IO) {
        auto* io = qobject_cast<CTabIO*>(app.window->Sheet().Page(PG_IO));
        QVERIFY2(io, row);
        // SMS, or DIAL where the entry already is SMS.
        const int service = app.a.Config.io.Service[1] == 2 ? 1 : 2;
        app.ui.onModal = [service](QDialog& d) {
          auto* entry = qobject_cast<CIOEntryDlg*>(&d);
          if (!entry) return int(QDialog::Rejected);
          entry->ServiceCombo()->setCurrentIndex(service);
          entry->accept();
          return int(QDialog::Accepted);
        };
        io->EntryRow(2).edit->click();
        QVERIFY2(app.a.Config.io.Service[1] == service, row);
      } else {
        auto* remote = qobject_cast<CTabRemoteConf*>(app.window->Sheet().Page(PG_REMOTE));
        QVERIFY2(remote, row);
        remote->EnableCombo()->setCurrentIndex(app.a.Config.remote.RemoteEnable == 1 ? 0 : 1);
      }
      const QString marker = QString::fromLatin1(markers.at(c.page));
      QCOMPARE(app.window->StatusPanel().Markers(), marker);
      // The title marks the edit, the Remote page's too.
      QVERIFY2(app.window->windowTitle().startsWith(QLatin1Char('*')), qPrintable(app.window->windowTitle()));
      const ConfigBlock edited = app.a.Config;
      app.ui.answers = {c.answer};
      const QString profile = app.Path("kept.dat");
      if (!c.connected && c.answer == MsgAnswer::Yes) app.ui.fileAnswers = {profile.toStdString()};

      app.window->OnCommand(c.command);
      QCoreApplication::processEvents();  // Exit posts its close request

      QVERIFY2(!app.ui.boxes.empty(), row);
      QCOMPARE(app.ui.boxes[0].text, std::string(c.connected ? write : save) + c.asks);
      QCOMPARE(app.ui.boxes[0].buttons, MsgButtons::YesNoCancel);
      bool ran = false;
      switch (c.command) {
        case ID_DISCONNECT: ran = !(app.a.LinkState & LS_PORT_OPEN); break;
        case ID_CONNECT:
        case ID_NEW_PROFILE: ran = app.a.Config.basic.S0 != 5; break;
        case ID_CLOSE_PROFILE: ran = !(app.a.LinkState & LS_FILE); break;
        case ID_EXIT: ran = !app.window->isVisible(); break;
        default: ran = !app.ui.fileRequests.empty(); break;  // the open dialogs
      }
      QVERIFY2(ran == c.runs, row);
      // Cancel keeps the edits and their markers; otherwise they are gone.
      QCOMPARE(app.window->StatusPanel().Markers(), c.runs ? QString() : marker);
      if (!c.runs) QVERIFY2(std::memcmp(&app.a.Config, &edited, sizeof edited) == 0, row);
      if (c.page == PG_BASIC && c.answer == MsgAnswer::Yes && c.connected) {
        QCOMPARE(app.ports.Simulated(2)->Modem().Stored().s[0], 5);
      }
      if (c.page == PG_BASIC && c.answer == MsgAnswer::No && c.connected) {
        QVERIFY(app.ports.Simulated(2)->Modem().Stored().s[0] != 5);
      }
      // Written before the disconnect: the modem keeps the entry and the
      // switch.
      if (c.page == PG_IO && c.answer == MsgAnswer::Yes) {
        QCOMPARE(app.ports.Simulated(3)->Modem().Stored().io[1].service, int(edited.io.Service[1]));
      }
      if (c.page == PG_REMOTE && c.answer == MsgAnswer::Yes) {
        QCOMPARE(app.ports.Simulated(2)->Modem().Stored().remoteEnable, int(edited.remote.RemoteEnable));
      }
      if (c.answer == MsgAnswer::Yes && !c.connected) {
        ConfigBlock saved;
        std::string error;
        QVERIFY2(LoadProfileFile(profile.toStdString(), saved, error), error.c_str());
        QCOMPARE(saved.basic.S0, 5);
      }
    }

    // Nothing is asked without markers, and a save that is cancelled keeps
    // the edits and the profile.
    App app;
    app.window->OnCommand(ID_NEW_PROFILE);
    app.window->OnCommand(ID_CLOSE_PROFILE);
    QVERIFY(app.ui.boxes.empty());
    app.window->OnCommand(ID_NEW_PROFILE);
    app.a.Page(PG_IO).changed = app.a.Page(PG_SERIAL).changed = 1;
    app.ui.answers = {MsgAnswer::Yes};
    app.window->OnCommand(ID_CLOSE_PROFILE);
    QCOMPARE(app.ui.BoxTexts(), std::vector<std::string>{"The changes on the Serial and I/O pages are not saved in a "
                                                         "profile.\nSave them before closing the profile?"});
    QVERIFY(app.a.LinkState & LS_FILE);
  }

  // The port goes away under edits: after it, the window offers to save
  // them as a profile, to be written once the modem is back.
  void PortLossOffersToSaveTheEdits() {
    for (const MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
      App app;
      app.Connect("sim:2");
      app.a.Config.basic.S0 = 5;
      app.a.Page(PG_DIAL).changed = 1;
      app.a.UpdateChangeMarkers();
      app.ui.answers = {answer};
      const QString profile = app.Path("rescued.dat");
      app.ui.fileAnswers = {profile.toStdString()};
      app.ports.Simulated(2)->LoseDevice();
      QTRY_COMPARE(app.ui.boxes.size(), size_t(1));
      QCOMPARE(app.ui.boxes[0].text, std::string("The modem went away before the changes on the Dial Options page "
                                                 "were written.\nSave them as a profile, to write them once the "
                                                 "modem is back?"));
      QCOMPARE(app.ui.boxes[0].buttons, MsgButtons::YesNo);
      QCOMPARE(app.a.LinkState, int(LS_IDLE));
      QCOMPARE(QFile::exists(profile), answer == MsgAnswer::Yes);
      if (answer == MsgAnswer::Yes) {
        ConfigBlock saved;
        std::string error;
        QVERIFY(LoadProfileFile(profile.toStdString(), saved, error));
        QCOMPARE(saved.basic.S0, 5);
      }
      QCOMPARE(app.window->StatusPanel().Markers(), QString());
      // Asked once per loss.
      RunEventsFor(200);
      QCOMPARE(app.ui.boxes.size(), size_t(1));
    }
  }

  // The window's place, the port and its line settings, the terminal's
  // last 50 commands and the folders of the file dialogs come back in the
  // next run.
  void NextRunStartsWhereThisOneEnded() {
    App app;
    QTemporaryDir profiles;
    app.window->setGeometry(QRect(QPoint(12, 20), QSize(CMainDlg::kMinWidth + 10, CMainDlg::kMinHeight + 4)));
    const QRect placed = app.window->geometry();
    CTabConnection& page = app.window->ConnectionPage();
    page.PortCombo()->setCurrentText("sim:3");
    page.BaudCombo()->setCurrentText("9600");
    page.ParityCombo()->setCurrentText("Even");
    page.StopBitsCombo()->setCurrentText("2");
    for (int i = 1; i <= 55; ++i) {
      app.window->Terminal().CommandField()->setText(QString("AT%1").arg(i));
      app.window->Terminal().SendCommandLine();
    }
    app.ui.fileAnswers = {QDir(profiles.path()).filePath("a.dat").toStdString()};
    app.window->OnCommand(ID_SAVE_PROFILE);
    QVERIFY(app.window->close());
    app.window.reset();

    CMainDlg next(app.ui, app.ports, *app.store.settings, {"sim:1", "sim:2", "sim:3", "sim:4"});
    next.show();
    QCOMPARE(next.geometry(), placed);
    CTabConnection& again = next.ConnectionPage();
    QCOMPARE(again.PortCombo()->currentText(), QString("sim:3"));
    QCOMPARE(again.BaudCombo()->currentText(), QString("9600"));
    QCOMPARE(again.ParityCombo()->currentText(), QString("Even"));
    QCOMPARE(again.StopBitsCombo()->currentText(), QString("2"));
    QCOMPARE(next.Terminal().History().Count(), 50);
    QCOMPARE(next.Terminal().History().At(0), std::string("AT6"));
    QCOMPARE(next.Terminal().History().At(49), std::string("AT55"));
    // Profiles start in their last folder; the send-file dialog keeps none.
    app.ui.fileFolders.clear();
    next.OnCommand(ID_OPEN_PROFILE);
    next.OnCommand(ID_OPEN_PORT);
    next.OnCommand(ID_SEND_FILE);
    QCOMPARE(app.ui.fileFolders, (std::vector<QString>{profiles.path(), QString()}));
    next.OnCommand(ID_DISCONNECT);
  }

  void StoredPlaceOffEveryScreenFallsBackToTheCentre() {
    const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QSize minimum(CMainDlg::kMinWidth, CMainDlg::kMinHeight);
    const QSize fallback(960, 600);
    const struct {
      QRect stored;
      QRect placed;
    } cases[] = {
        {QRect(100, 50, 1000, 700), QRect(100, 50, 1000, 700)},     // on the first screen
        {QRect(2000, 100, 900, 700), QRect(2000, 100, 900, 700)},   // on the second
        {QRect(3300, 200, 900, 700), QRect(510, 190, 900, 700)},   // beyond both
        {QRect(1500, 100, 900, 700), QRect(510, 190, 900, 700)},    // across the seam
        {QRect(100, 50, 300, 200), QRect(100, 50, 758, 563)},       // never below the minimum
        {QRect(), QRect(480, 240, 960, 600)},                       // nothing stored
        {QRect(-50, -50, 4000, 3000), QRect(0, 0, 1920, 1080)},     // larger than any screen
    };
    for (const auto& c : cases) QCOMPARE(PlaceWindow(c.stored, screens, minimum, fallback), c.placed);
  }

  void KeyboardStartsAtThePortAndReachesEveryLineSetting() {
    App app;
    QApplication::setActiveWindow(app.window.get());
    QVERIFY(QTest::qWaitForWindowActive(app.window.get()));
    CTabConnection& page = app.window->ConnectionPage();
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus == page.PortCombo() || page.PortCombo()->isAncestorOf(focus));

    struct Mnemonic {
      Qt::Key key;
      QComboBox* box;
      const char* label;
    };
    for (const Mnemonic& m : {Mnemonic{Qt::Key_B, page.BaudCombo(), "&Baud rate:"},
                              Mnemonic{Qt::Key_R, page.ParityCombo(), "Pa&rity:"},
                              Mnemonic{Qt::Key_D, page.DataBitsCombo(), "&Data bits:"},
                              Mnemonic{Qt::Key_S, page.StopBitsCombo(), "&Stop bits:"},
                              Mnemonic{Qt::Key_P, page.PortCombo(), "&Port:"}}) {
      QLabel* label = nullptr;
      for (QLabel* l : page.findChildren<QLabel*>()) {
        if (l->buddy() == m.box) label = l;
      }
      QVERIFY2(label, m.label);
      QCOMPARE(label->text(), QString::fromLatin1(m.label));
      QTest::keyClick(app.window.get(), m.key, Qt::AltModifier);
      focus = QApplication::focusWidget();
      QVERIFY2(focus == m.box || m.box->isAncestorOf(focus), m.label);
    }
  }

  // Connecting disables the port box that had the keyboard focus: the focus
  // stays on the page (on Disconnect), so Ctrl+PageDown turns to the pages
  // and Alt+letter reaches the menu, not the terminal.
  void KeyboardFocusStaysOnThePageAfterConnect() {
    App app;
    QApplication::setActiveWindow(app.window.get());
    QVERIFY(QTest::qWaitForWindowActive(app.window.get()));
    CTabConnection& page = app.window->ConnectionPage();
    page.PortCombo()->setFocus();
    app.a.Options.AutoLoad = 1;  // every page is read once, not on each turn
    app.Connect("sim:3");
    QApplication::setActiveWindow(app.window.get());
    QVERIFY(QTest::qWaitForWindowActive(app.window.get()));
    QWidget* focus = QApplication::focusWidget();
    QVERIFY2(focus, "no focus");
    QVERIFY2(focus == page.DisconnectButton(), focus->metaObject()->className());

    CPropSheet& sheet = app.window->Sheet();
    QCOMPARE(sheet.currentIndex(), 0);
    const auto kCtrlShift = static_cast<Qt::KeyboardModifier>((Qt::ControlModifier | Qt::ShiftModifier).toInt());
    for (const auto& [key, modifiers, index] :
         {std::tuple{Qt::Key_PageDown, Qt::ControlModifier, 1}, std::tuple{Qt::Key_PageUp, Qt::ControlModifier, 0},
          std::tuple{Qt::Key_PageUp, Qt::ControlModifier, sheet.count() - 1},
          std::tuple{Qt::Key_PageDown, Qt::ControlModifier, 0}, std::tuple{Qt::Key_Tab, Qt::ControlModifier, 1},
          // From a control on the page (the keyboard is on the Basic page's
          // first one now), both ways.
          std::tuple{Qt::Key_Tab, Qt::ControlModifier, 2},
          std::tuple{Qt::Key_Backtab, kCtrlShift, 1}, std::tuple{Qt::Key_Backtab, kCtrlShift, 0}}) {
      QWidget* focused = app.window->focusWidget();
      QVERIFY2(focused, qPrintable(QString::number(sheet.currentIndex())));
      QTest::keyClick(focused, key, modifiers);
      QCOMPARE(sheet.currentIndex(), index);
      // The keyboard moves on with the page.
      QVERIFY(sheet.currentWidget()->isAncestorOf(app.window->focusWidget()));
    }

    // In the raw terminal every typed character goes to the modem, but
    // Alt+letter still opens the menu.
    app.a.Options.Terminal = 1;
    QPlainTextEdit* output = app.window->Terminal().OutputField();
    output->setFocus();
    // A character sent would come back as the modem's echo.
    const QString shown = output->toPlainText();
    QApplication::setActiveWindow(app.window.get());
    QVERIFY(QTest::qWaitForWindowActive(app.window.get()));
    QTest::keyClick(output, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QCOMPARE(menu->title(), QStringLiteral("&Connection"));
    menu->close();
    RunEventsFor(300);
    QCOMPARE(output->toPlainText(), shown);
    // Without Alt the key is the modem's.
    QTest::keyClick(output, Qt::Key_C);
    QTRY_COMPARE(output->toPlainText().right(1), QStringLiteral("c"));
  }
};

QTEST_MAIN(MainDlgTest)
#include "main_dlg_test.moc"
