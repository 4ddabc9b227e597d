// File > "Compare with Profile...": a simulated RM-40 485 compared with a
// profile that differs in one field on each page.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>

#include <cstring>
#include <functional>
#include <set>

#include "app/compare_dlg.h"
#include "app/field_mark.h"
#include "app/profile_comparison.h"
#include "app/prop_sheet.h"
#include "ui/status_panel.h"
#include "ui/transfer_dlg.h"
#include "config/profile.h"
#include "pages/tab_basic.h"
#include "pages/tab_callback.h"
#include "pages/tab_caller_id.h"
#include "pages/tab_dial_opt.h"
#include "pages/tab_io.h"
#include "pages/tab_remote_conf.h"
#include "pages/tab_serial.h"
#include "sim/simulated_port.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::WindowRig;

namespace {

template <typename Page>
Page* PageOf(CMainDlg& window, int index) {
  return qobject_cast<Page*>(window.Sheet().Page(index));
}

// One field per page that the file holds otherwise, and the control that
// must show the mark (found through the page's own accessors).
struct Difference {
  int page;
  const char* field;
  std::function<void(ConfigBlock&)> change;
  std::function<QWidget*(CMainDlg&)> control;
  const char* marker;  // the page's change marker; none for Remote
};

const char kPassword[] = "pass1234";

std::vector<Difference> OneOnEachPage() {
  auto text = [](char* field, std::size_t size, const char* value) {
    std::memset(field, 0, size);
    std::strncpy(field, value, size - 1);
  };
  return {
      {PG_BASIC, "BasicSettings.S0", [](ConfigBlock& b) { b.basic.S0 = b.basic.S0 == 3 ? 4 : 3; },
       [](CMainDlg& w) { return PageOf<CTabBasic>(w, PG_BASIC)->RegisterEdit(0); }, "[Basic Changed]"},
      {PG_SERIAL, "SerialSettings.LocalEcho", [](ConfigBlock& b) { b.serial.LocalEcho = b.serial.LocalEcho ? 0 : 1; },
       [](CMainDlg& w) { return PageOf<CTabSerial>(w, PG_SERIAL)->EchoCombo(); }, "[Serial Changed]"},
      {PG_DIAL, "DialSettings.StoredNumbers[2]",
       [text](ConfigBlock& b) { text(b.dial.StoredNumbers[2], sizeof b.dial.StoredNumbers[2], "0301555123"); },
       [](CMainDlg& w) { return PageOf<CTabDialOpt>(w, PG_DIAL)->NumberEdit(2); }, "[Dial Option Changed]"},
      {PG_CALLERID, "CallerIdSettings.AcceptedNumbers[4]",
       [text](ConfigBlock& b) {
         text(b.callerId.AcceptedNumbers[4], sizeof b.callerId.AcceptedNumbers[4], "+46701234");
       },
       [](CMainDlg& w) { return PageOf<CTabCallerID>(w, PG_CALLERID)->Entry(5); }, "[CallerID Changed]"},
      {PG_REMOTE, "RemoteSettings.RemoteEnable",
       [](ConfigBlock& b) { b.remote.RemoteEnable = b.remote.RemoteEnable ? 0 : 1; },
       [](CMainDlg& w) { return PageOf<CTabRemoteConf>(w, PG_REMOTE)->EnableCombo(); }, nullptr},
      {PG_CALLBACK, "CallbackSettings.CallbackPasswords[1]",
       [text](ConfigBlock& b) {
         text(b.callback.CallbackPasswords[1], sizeof b.callback.CallbackPasswords[1], kPassword);
       },
       [](CMainDlg& w) { return PageOf<CTabCallback>(w, PG_CALLBACK)->PasswordEdit(2); }, "[Callback Changed]"},
      {PG_IO, "IoSettings.Data2[1]",
       [text](ConfigBlock& b) { text(b.io.Data2[1], sizeof b.io.Data2[1], "Door <2> & gate open"); },
       [](CMainDlg& w) { return PageOf<CTabIO>(w, PG_IO)->EntryRow(2).edit; }, "[IO Changed]"},
  };
}

const char* const kMarkers[] = {"[Basic Changed]",     "[Serial Changed]",   "[Dial Option Changed]",
                                "[CallerID Changed]",  "[Callback Changed]", "[IO Changed]"};

// The controls of the window that carry a mark.
std::set<QWidget*> MarkedControls(CMainDlg& window) {
  std::set<QWidget*> marked;
  for (CFieldMark* mark : window.Sheet().findChildren<CFieldMark*>()) marked.insert(mark->parentWidget());
  return marked;
}

// The window connected to the simulated RM-40 485, every page read, and a
// profile beside it that differs from the modem in the given fields.
struct App : WindowRig {
  explicit App(const std::vector<Difference>& differences = OneOnEachPage())
      : WindowRig({{"Settings/AutoLoad", 1}}) {
    ConnectTo(QStringLiteral("sim:3"));
    read = a.Config;
    file = a.Config;
    for (const Difference& d : differences) d.change(file);
    std::string error;
    saved = SaveProfileFile(path, file, error);
  }

  SimulatedModem& Modem() { return ports.Simulated(3)->Modem(); }
  // File > "Compare with Profile..." with the profile chosen; `inDialog`
  // runs while the dialog is up.
  void Compare(const std::function<void(CCompareDlg&)>& inDialog = {}) {
    ui.fileAnswers.push_back(path);
    ui.onModal = [inDialog](QDialog& d) {
      auto* dialog = qobject_cast<CCompareDlg*>(&d);
      if (dialog && inDialog) inDialog(*dialog);
      return dialog ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
    window->OnCommand(ID_COMPARE_PROFILE);
  }
  bool MenuEnabled() {
    QMenu* file = window->menuBar()->actions().front()->menu();
    emit file->aboutToShow();
    return window->Action(ID_COMPARE_PROFILE)->isEnabled();
  }

  const std::string path = store.dir.filePath(QStringLiteral("standard.dat")).toStdString();
  ConfigBlock read{};
  ConfigBlock file{};
  bool saved = false;
};

std::set<std::string> Names(const std::vector<WordsDifference>& rows) {
  std::set<std::string> names;
  for (const WordsDifference& d : rows) names.insert(d.here.name);
  return names;
}

// The record of a page in a block, as bytes.
QByteArray RecordOf(const ConfigBlock& b, int page) {
  auto bytes = [](const auto& record) {
    return QByteArray(reinterpret_cast<const char*>(&record), static_cast<qsizetype>(sizeof record));
  };
  switch (page) {
    case PG_BASIC: return bytes(b.basic);
    case PG_SERIAL: return bytes(b.serial);
    case PG_DIAL: return bytes(b.dial);
    case PG_CALLERID: return bytes(b.callerId);
    case PG_REMOTE: return bytes(b.remote);
    case PG_CALLBACK: return bytes(b.callback);
    case PG_IO: return bytes(b.io);
    default: return {};
  }
}

}  // namespace

class CompareTest : public QObject {
  Q_OBJECT

 private slots:
  void ListsAndMarksExactlyTheFieldsThatDiffer() {
    const std::vector<Difference> table = OneOnEachPage();
    App app(table);
    QVERIFY(app.saved);
    QVERIFY(app.a.LinkState & LS_IDENTIFIED);
    QVERIFY(app.MenuEnabled());
    const std::size_t sent = app.Modem().ReceivedLines().size();

    std::vector<WordsDifference> listed;
    QString copied;
    app.Compare([&](CCompareDlg& dialog) {
      listed = dialog.ShownRows();
      QCOMPARE(dialog.List()->topLevelItemCount(), static_cast<int>(listed.size()));
      dialog.OnCopy();
      copied = QApplication::clipboard()->text();
    });
    QCOMPARE(app.ui.modals, 1);
    QCOMPARE(app.ui.fileRequests.back().filter, std::string("Config files (*.dat)|*.dat|All files (*.*)|*.*||"));

    std::set<std::string> expected;
    std::set<QWidget*> controls;
    for (const Difference& d : table) {
      expected.insert(d.field);
      controls.insert(d.control(*app.window));
    }
    QCOMPARE(Names(listed), expected);
    QCOMPARE(MarkedControls(*app.window), controls);

    for (const Difference& d : table) {
      const auto row = std::find_if(listed.begin(), listed.end(),
                                    [&](const WordsDifference& w) { return w.here.name == d.field; });
      // The row names the page as its tab does, and the mark's tooltip the
      // file's value as the row does.
      const QWidget* page = app.window->Sheet().Page(d.page);
      QCOMPARE(QString::fromStdString(row->here.page), app.window->Sheet().tabText(app.window->Sheet().indexOf(page)));
      const CFieldMark* mark = CFieldMark::Of(d.control(*app.window));
      QVERIFY(mark->TipText().contains(QString::fromLatin1(("In standard.dat: " + row->there).c_str())));
      QVERIFY(mark->parentWidget()->accessibleDescription().contains(mark->Note()));
    }
    // Page by page, in the sheet's order.
    for (std::size_t i = 1; i < listed.size(); ++i) {
      CPropSheet& sheet = app.window->Sheet();
      QVERIFY(sheet.indexOf(sheet.Page(listed[i - 1].here.pageIndex)) <= sheet.indexOf(sheet.Page(listed[i].here.pageIndex)));
    }
    // A password is never shown in clear: not in the list, the copy or a tooltip.
    QVERIFY(!copied.isEmpty());
    QVERIFY(!copied.contains(QLatin1String(kPassword)));
    for (const WordsDifference& d : listed) {
      QVERIFY(d.here.shown.find(kPassword) == std::string::npos && d.there.find(kPassword) == std::string::npos);
    }
    for (CFieldMark* mark : app.window->findChildren<CFieldMark*>()) QVERIFY(!mark->TipText().contains(kPassword));

    // Hovering a marked control shows the note with the page's own tip.
    auto* s0 = PageOf<CTabBasic>(*app.window, PG_BASIC)->RegisterEdit(0);
    app.window->Sheet().setCurrentWidget(app.window->Sheet().Page(PG_BASIC));
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), s0->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(s0, &hover);
    QVERIFY(QToolTip::text().contains(QStringLiteral("In standard.dat: ")));
    QToolTip::hideText();

    // The comparison sent nothing to the modem.
    QCOMPARE(app.Modem().ReceivedLines().size(), sent);

    // Every field a page of this model shows has a control for its mark.
    for (const FieldWords& w : DescribeBlock(app.a.Config)) {
      if (w.pageIndex == kNotShownPage) continue;
      auto* page = qobject_cast<CConfigPage*>(app.window->Sheet().Page(w.pageIndex));
      QVERIFY2(page && page->ControlForField(w.name), w.name.c_str());
    }
  }

  void TakingTheFileValuesOfOnePageChangesOnlyThatPage() {
    const std::vector<Difference> table = OneOnEachPage();
    App app(table);
    QVERIFY(app.saved);
    const std::size_t sent = app.Modem().ReceivedLines().size();
    CStatusPanel& status = app.window->StatusPanel();

    app.Compare([&](CCompareDlg& dialog) {
      std::set<int> taken;
      for (const Difference& d : table) {
        const ConfigBlock before = app.a.Config;
        // Select the page's row and take its values.
        QTreeWidget* list = dialog.List();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
          if (list->topLevelItem(i)->data(0, Qt::UserRole).toInt() == d.page) list->setCurrentItem(list->topLevelItem(i));
        }
        QCOMPARE(dialog.PageGroup()->title(), app.window->Sheet().tabText(app.window->Sheet().indexOf(app.window->Sheet().Page(d.page))) + " page");
        QTest::mouseClick(dialog.TakePageButton(), Qt::LeftButton);
        taken.insert(d.page);

        // This page's record holds the file's values, every other record
        // is as it was.
        for (int page : {PG_BASIC, PG_SERIAL, PG_DIAL, PG_CALLERID, PG_REMOTE, PG_CALLBACK, PG_IO}) {
          const QByteArray now = RecordOf(app.a.Config, page);
          QCOMPARE(now, RecordOf(page == d.page ? app.file : before, page));
        }
        // Its change marker is shown (with those of the pages taken before).
        for (const Difference& e : table) {
          if (!e.marker) continue;
          QCOMPARE(status.Text().contains(QLatin1String(e.marker)), taken.count(e.page) == 1);
        }
        // Its mark went, the others' stay; the list no longer holds it.
        QVERIFY(!CFieldMark::Of(d.control(*app.window)));
        for (const Difference& e : table) {
          if (!taken.count(e.page)) QVERIFY(CFieldMark::Of(e.control(*app.window)));
        }
        QCOMPARE(dialog.ShownRows().size(), table.size() - taken.size());
      }
      QVERIFY(!dialog.TakeAllButton()->isEnabled());
    });
    // The page refilled its controls from the record.
    QCOMPARE(PageOf<CTabDialOpt>(*app.window, PG_DIAL)->NumberEdit(2)->text(), QStringLiteral("0301555123"));
    QCOMPARE(PageOf<CTabBasic>(*app.window, PG_BASIC)->RegisterEdit(0)->text().toInt(), app.file.basic.S0);
    QCOMPARE(app.Modem().ReceivedLines().size(), sent);
  }

  void TakingAllPagesAndWritingThem() {
    App app;
    app.Compare([](CCompareDlg& dialog) { QTest::mouseClick(dialog.TakeAllButton(), Qt::LeftButton); });
    QVERIFY(MarkedControls(*app.window).empty());
    for (const char* marker : kMarkers) QVERIFY2(app.window->StatusPanel().Text().contains(marker), marker);
    // The usual Write buttons put them into the modem; a read gives them back.
    app.ui.answers.push_back(MsgAnswer::Yes);  // "Write current profile to adapter?"
    PageOf<CTabBasic>(*app.window, PG_BASIC)->OnWriteAll();
    QCOMPARE(app.Modem().Stored().s[0], app.file.basic.S0);
    {
      CTransferDlg read(app.window.get(), app.ui, SEC_ALL, OP_READ);
      QCOMPARE(read.Run(), 1);
    }
    QCOMPARE(app.a.Config.dial.StoredNumbers[2], app.file.dial.StoredNumbers[2]);
  }

  // Open Profile then "Write Profile to modem" writes every record of the
  // profile, the Remote configuration included, as kelvane-cli write and
  // apply do: the same one way of writing a profile.
  // The pages are not read first: the profile's records are what is written.
  void WriteProfileWritesEveryRecordOfTheProfile() {
    WindowRig rig({{"Settings/AutoLoad", 0}});
    rig.ConnectTo(QStringLiteral("sim:3"));
    QVERIFY(rig.a.LinkState & LS_IDENTIFIED);
    ConfigBlock file = rig.a.Config;
    file.basic.S0 = 9;
    file.remote.RemoteEnable = 1;
    SetText(file.remote.RemotePassword, "Secret99");
    const std::string path = rig.store.dir.filePath(QStringLiteral("remote.dat")).toStdString();
    std::string error;
    QVERIFY(SaveProfileFile(path, file, error));
    rig.ui.fileAnswers.push_back(path);
    rig.window->OnCommand(ID_OPEN_PROFILE);
    rig.ui.answers.push_back(MsgAnswer::Yes);  // "Write current profile to adapter?"
    rig.window->OnCommand(ID_WRITE_PROFILE);
    const ModemSettings& stored = rig.ports.Simulated(3)->Modem().Stored();
    QCOMPARE(stored.s[0], 9);
    QCOMPARE(stored.remoteEnable, 1);
    QCOMPARE(stored.remotePassword, std::string("Secret99"));
    for (const std::string& text : rig.ui.BoxTexts()) QVERIFY2(text.find("not saved") == std::string::npos, text.c_str());
  }

  // A read or write of a section ends the marks of its page; a read or write
  // of all, Open and New Profile end every mark.
  void MarksGoWithTheNextReadWriteOpenOrNew() {
    struct Case {
      const char* what;
      std::function<void(App&)> act;
      std::set<int> pagesStillMarked;
    };
    const std::set<int> all = {PG_BASIC, PG_SERIAL, PG_DIAL, PG_CALLERID, PG_REMOTE, PG_CALLBACK, PG_IO};
    auto allBut = [&](int page) {
      std::set<int> s = all;
      s.erase(page);
      return s;
    };
    const Case cases[] = {
        {"Read of the Basic page", [](App& app) { PageOf<CTabBasic>(*app.window, PG_BASIC)->OnRead(); },
         allBut(PG_BASIC)},
        {"Write of the Serial page", [](App& app) { PageOf<CTabSerial>(*app.window, PG_SERIAL)->OnWrite(); },
         allBut(PG_SERIAL)},
        {"Read of the Diagnostic page", [](App& app) {
           CTransferDlg read(app.window.get(), app.ui, SEC_DIAGNOSTIC, OP_READ);
           read.Run();
         }, all},
        {"Read of all pages", [](App& app) {
           CTransferDlg read(app.window.get(), app.ui, SEC_ALL, OP_READ);
           read.Run();
         }, {}},
        {"Write Profile to modem", [](App& app) { app.window->OnCommand(ID_WRITE_PROFILE); }, {}},
        {"Open Profile cancelled", [](App& app) { app.window->OnCommand(ID_OPEN_PROFILE); }, all},
        {"Open Profile", [](App& app) {
           app.ui.fileAnswers.push_back(app.path);
           app.window->OnCommand(ID_OPEN_PROFILE);
         }, {}},
        {"New Profile", [](App& app) { app.window->OnCommand(ID_NEW_PROFILE); }, {}},
    };
    App app;
    for (const Case& c : cases) {
      app.Compare();
      QVERIFY2(app.window->Comparison().Active(), c.what);
      c.act(app);
      std::set<QWidget*> expected;
      for (const Difference& d : OneOnEachPage()) {
        if (c.pagesStillMarked.count(d.page)) expected.insert(d.control(*app.window));
      }
      QVERIFY2(MarkedControls(*app.window) == expected, c.what);
      QCOMPARE(app.window->Comparison().Active(), !c.pagesStillMarked.empty());
    }
    // After New Profile a profile is open: it can be compared too.
    QVERIFY(app.a.LinkState & LS_FILE);
    QVERIFY(app.MenuEnabled());
    app.Compare();
    QVERIFY(!MarkedControls(*app.window).empty());
  }

  // The file goes through the profile loader, with its messages.
  void FilesThatCannotBeComparedAreNamed() {
    struct Case {
      const char* what;
      QByteArray bytes;  // nothing: no file at all
      std::string message;
      bool compared;
    };
    const std::string magic(ProfileMagic);
    const Case cases[] = {
        {"missing", {}, "Unable to open file...", false},
        {"not a profile", QByteArray("hello"), " is not a valid profile.", false},
        {"short", QByteArray::fromStdString(magic + std::string(7, '\0') + std::string(100, 'x')),
         "The profile is shorter than 3739 bytes.", true},
    };
    for (const Case& c : cases) {
      App app(std::vector<Difference>{});
      const QString path = app.store.dir.filePath(QStringLiteral("other.dat"));
      if (!c.bytes.isNull()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
      }
      app.ui.fileAnswers.push_back(path.toStdString());
      app.ui.onModal = [](QDialog&) { return int(QDialog::Accepted); };
      app.window->OnCommand(ID_COMPARE_PROFILE);
      QVERIFY2(!app.ui.boxes.empty() && app.ui.boxes.front().text.find(c.message) != std::string::npos, c.what);
      QCOMPARE(app.ui.modals, c.compared ? 1 : 0);
      QCOMPARE(app.window->Comparison().Active(), c.compared);
    }
  }

  void MenuEntryNeedsSomethingToCompare() {
    WindowRig idle({{"Settings/AutoLoad", 0}});
    QMenu* file = idle.window->menuBar()->actions().front()->menu();
    auto enabled = [&] {
      emit file->aboutToShow();
      return idle.window->Action(ID_COMPARE_PROFILE)->isEnabled();
    };
    QVERIFY(!enabled());
    idle.ConnectTo(QStringLiteral("sim:2"));
    QVERIFY(idle.a.LinkState & LS_IDENTIFIED);
    QVERIFY(!enabled());  // connected, nothing read yet
    idle.window->Sheet().setCurrentWidget(idle.window->Sheet().Page(PG_BASIC));  // reads the Basic page
    QVERIFY(enabled());
  }

  void DialogFiltersCopiesAndSavesWhatItShows() {
    App app;
    const QString html = app.store.dir.filePath(QStringLiteral("differences.htm"));
    app.Compare([&](CCompareDlg& dialog) {
      app.ui.fileAnswers.push_back(html.toStdString());
      app.ui.fileAnswers.push_back(app.store.dir.filePath(QStringLiteral("no/such/folder/x.htm")).toStdString());
      const std::size_t all = dialog.ShownRows().size();
      dialog.SetFilter(QStringLiteral("dial OPT"));
      QCOMPARE(dialog.ShownRows().size(), std::size_t(1));
      QCOMPARE(dialog.ShownRows().front().here.name, std::string("DialSettings.StoredNumbers[2]"));
      dialog.OnCopy();
      QCOMPARE(QApplication::clipboard()->text().count(QLatin1Char('\n')), 3);  // title, headings, one row
      dialog.SetFilter(QString());
      QCOMPARE(dialog.ShownRows().size(), all);
      dialog.SetFilter(QStringLiteral("no such words"));
      QVERIFY(!dialog.TakePageButton()->isEnabled());
      dialog.SetFilter(QStringLiteral("door"));
      dialog.OnSaveHtml();
      dialog.OnSaveHtml();  // into a folder that is not there
    });
    QFile saved(html);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray page = saved.readAll();
    QCOMPARE(page.count("<tr>"), 2);  // the headings and the I/O row
    QVERIFY(page.contains("Door &lt;2&gt; &amp; gate open"));
    QVERIFY(!page.contains("<2>"));
    QCOMPARE(app.ui.fileRequests.back().kind, FileDialogKind::Save);
    QCOMPARE(app.ui.BoxTexts(), std::vector<std::string>{"Unable to open file..."});
  }
};

QTEST_MAIN(CompareTest)
#include "compare_test.moc"
