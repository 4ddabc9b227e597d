// The window survives every fault of the line: for each operation that talks
// to the modem, the modem is pulled away, answers "ERROR" or falls silent at
// a command of the operation, and the window must not crash, must say what
// the failure was, must not report success for what did not happen, must keep
// the change markers of what was not stored, and must connect again.
//
// Each operation is first run without a fault to learn its command list; the
// fault then hits positions of that list (all of them for a short list, else
// the first two, the quartiles and the last two). Waits run on virtual time,
// so a modem that stays silent costs no real seconds, and every message box
// gives the event loop a turn as a real one would (a deferred page update
// runs inside it).
//
// The rows are independent; the build runs the table in parts, one process
// each, side by side (PARTS in tests/app/CMakeLists.txt).

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "ui/command_ids.h"
#include "app/main_dlg.h"
#include "app/prop_sheet.h"
#include "ui/status_panel.h"
#include "ui/transfer_dlg.h"
#include "config/page_values.h"
#include "ui/remote_dlg.h"
#include "connection/ui/tab_connection.h"
#include "connection/ui/terminal_dlg.h"
#include "pages/modulation_dlg.h"
#include "pages/tab_basic.h"
#include "pages/tab_diagnostic.h"
#include "pages/tab_io.h"
#include "pages/tab_remote_conf.h"
#include "support/faulty_port.h"
#include "test_ui.h"

using namespace kelvane;
using namespace kelvane::testing;

namespace {

constexpr const char* kDisconnected = "Modem disconnected during process!";

// The test's user interface on virtual time. A message box or modal dialog
// lets the event loop run once, as the user reads it, and the page update
// that a busy operation deferred (timer 2) falls due in it.
class MatrixUi : public VirtualTimeUi {
 public:
  using VirtualTimeUi::VirtualTimeUi;

  CPropSheet* sheet = nullptr;

  MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override {
    UserReads();
    return TestUi::MessageBox(text, icon, buttons);
  }
  int ExecModal(QDialog& dialog) override {
    UserReads();
    return TestUi::ExecModal(dialog);
  }

  bool Shown(const std::string& text) const {
    for (const Box& b : boxes) {
      if (b.text.find(text) != std::string::npos || b.detail.find(text) != std::string::npos) return true;
    }
    return false;
  }
  bool ShownStart(const std::vector<std::string>& starts) const {
    for (const Box& b : boxes) {
      for (const std::string& s : starts) {
        if (b.text.compare(0, s.size(), s) == 0) return true;
      }
    }
    return false;
  }

 private:
  void UserReads() {
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [this] {
      if (sheet && sheet->UpdatePending()) sheet->UpdatePages();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
  }
};

// The main window with one port, "fault:3": a type 3 modem (every page,
// the I/O page included) behind the fault-injecting port.
struct MatrixRig {
  CAdapter a;
  MatrixUi ui{a};
  SimulatedPort sim{SimulatedModem(3)};
  FaultyPort port{sim};
  PortProvider ports;
  ScratchSettings store;
  QTemporaryDir files;
  std::unique_ptr<CMainDlg> window;
  int edit = 0;  // a different value for every edit
  int flipped = 0;
  std::map<int, int> edited;  // the value of each page's last edit

  MatrixRig() {
    sim.SetClock([this] { return ui.NowMs(); });
    // Entry 1 of the I/O list dials a number, so that testing it works.
    for (ModemSettings* s : {&sim.Modem().State(), &sim.Modem().Stored()}) {
      s->io[0].service = 1;
      s->io[0].data1 = "5550100";
    }
    ports.Register("fault:3", &port);
    store.settings->setValue(QStringLiteral("Settings/AutoLoad"), 1);
    window = std::make_unique<CMainDlg>(ui, ports, *store.settings, QStringList{QStringLiteral("fault:3")});
    window->show();
    ui.sheet = &window->Sheet();
    ui.onModal = [this](QDialog& d) { return Answer(d); };
  }

  CTabConnection& Connection() { return window->ConnectionPage(); }
  void Connect() {
    Connection().PortCombo()->setCurrentText(QStringLiteral("fault:3"));
    Connection().Connect();
  }
  template <class Page = CConfigPage>
  Page* Show(int pageIndex) {
    auto* page = qobject_cast<Page*>(window->Sheet().Page(pageIndex));
    if (page) window->Sheet().setCurrentWidget(page);
    return page;
  }
  bool AllValid() {
    for (int p = 0; p < PG_COUNT; ++p) {
      if (!a.Page(p).valid) return false;
    }
    return true;
  }
  std::string Firmware() const { return files.filePath(QStringLiteral("firmware.s19")).toStdString(); }
  std::string SendFile() const { return files.filePath(QStringLiteral("commands.txt")).toStdString(); }
  std::string Report() const { return files.filePath(QStringLiteral("report.htm")).toStdString(); }

  // The remote wizard gets the number and the far modem's password; the
  // Modulation dialog gets another carrier and OK.
  std::string remotePassword = "secret7";
  int Answer(QDialog& d) {
    if (auto* wizard = dynamic_cast<CRemoteWizardDlg*>(&d)) {
      const bool password = wizard->Field()->echoMode() == QLineEdit::Password;
      wizard->Field()->setText(password ? QString::fromStdString(remotePassword) : QStringLiteral("5551234"));
      return QDialog::Accepted;
    }
    if (auto* modulation = dynamic_cast<CModulationDlg*>(&d)) {
      // Another carrier than the record's: V32 or V22.
      const bool v32 = std::string_view(a.Config.basic.Modulation, 3) == "V32";
      modulation->CarrierCombo()->setCurrentIndex(v32 ? 1 : 6);
      modulation->accept();
      return QDialog::Accepted;
    }
    return QDialog::Rejected;
  }
};

// An edit of one field of a page's record, as typed into its control, and
// whether the modem's stored profile holds it.
struct Edit {
  int page;
  std::function<void(MatrixRig&, int value)> apply;
  std::function<bool(MatrixRig&, int value)> stored;
};

Edit PageEdit(int page) {
  auto text = [](char* field, size_t size, const std::string& value) { CopyFieldText(field, size, value); };
  switch (page) {
    case PG_BASIC:
      return {page, [](MatrixRig& r, int v) { r.a.Config.basic.S0 = 50 + v % 200; },
              [](MatrixRig& r, int v) { return r.sim.Modem().Stored().s[0] == 50 + v % 200; }};
    case PG_SERIAL:
      // A two-valued field: the edit flips it, and the value the modem must
      // then hold is whatever the edit made of it.
      return {page,
              [](MatrixRig& r, int) {
                r.a.Config.serial.IgnoreErrors = !r.a.Config.serial.IgnoreErrors;
                r.flipped = r.a.Config.serial.IgnoreErrors;
              },
              [](MatrixRig& r, int) { return r.sim.Modem().Stored().ignoreErrors == r.flipped; }};
    case PG_DIAL:
      return {page,
              [text](MatrixRig& r, int v) {
                text(r.a.Config.dial.StoredNumbers[0], sizeof r.a.Config.dial.StoredNumbers[0],
                     "555" + std::to_string(v));
              },
              [](MatrixRig& r, int v) { return r.sim.Modem().Stored().storedNumbers[0] == "555" + std::to_string(v); }};
    case PG_CALLERID:
      return {page,
              [text](MatrixRig& r, int v) {
                text(r.a.Config.callerId.AcceptedNumbers[0], sizeof r.a.Config.callerId.AcceptedNumbers[0],
                     "4711" + std::to_string(v));
              },
              [](MatrixRig& r, int v) {
                return r.sim.Modem().Stored().acceptedNumbers[0] == "4711" + std::to_string(v);
              }};
    case PG_REMOTE:
      return {page,
              [text](MatrixRig& r, int v) {
                text(r.a.Config.remote.RemotePassword, sizeof r.a.Config.remote.RemotePassword,
                     "pass" + std::to_string(100 + v));
              },
              [](MatrixRig& r, int v) {
                return r.sim.Modem().Stored().remotePassword == "pass" + std::to_string(100 + v);
              }};
    case PG_CALLBACK:
      return {page,
              [text](MatrixRig& r, int v) {
                text(r.a.Config.callback.CallbackNumbers[0], sizeof r.a.Config.callback.CallbackNumbers[0],
                     "8" + std::to_string(v));
              },
              [](MatrixRig& r, int v) { return r.sim.Modem().Stored().callbackNumbers[0] == "8" + std::to_string(v); }};
    case PG_IO:
    default:
      return {PG_IO, [](MatrixRig& r, int v) { r.a.Config.io.Timeout[0] = 1 + v % 200; },
              [](MatrixRig& r, int v) { return r.sim.Modem().Stored().io[0].timeout == 1 + v % 200; }};
  }
}

// Edits the page's record through its controls: the page shows the new
// value and takes it back as a typed change, so its marker is set.
void ApplyEdit(MatrixRig& r, const Edit& e) {
  ++r.edit;
  auto* page = r.Show(e.page);
  QVERIFY2(page, "the page to edit is not in the sheet");
  e.apply(r, r.edit);
  r.edited[e.page] = r.edit;
  page->RefillControls();
  page->SyncFromControls();
  QVERIFY2(r.a.Page(e.page).changed, "the edit did not mark the page changed");
}

// One operation of the window that talks to the modem.
struct Operation {
  std::string name;
  enum Start { Connected, Idle, Remote } start = Connected;
  // Runs before the command list is counted (edits, files, answers).
  std::function<void(MatrixRig&)> prepare;
  std::function<void(MatrixRig&)> run;
  // What the window tells the user it achieved (null: it makes no claim).
  std::function<bool(MatrixRig&)> claims;
  // Texts one of which begins a box when the operation failed by an
  // "ERROR" or silence (empty: the operation reports no such failure).
  std::function<std::vector<std::string>(MatrixRig&)> failureTexts;
  // Edits made by `prepare` whose markers must stay until they are stored.
  std::vector<Edit> edits;
  // The loss is noticed by the link layer's watch, not by an exchange: the
  // terminal says so instead of a box.
  bool lossOnTerminal = false;
  // The operation ends with the link closed, whatever happened.
  bool linkClosedAfter = false;
};

const std::vector<std::string> kWriteFailures = {
    "The write operation halted with the following error string:",
    "Write operation halted, no response from modem.",
    "The configuration was sent, but the modem did not store it",
};
const std::vector<std::string> kPageCommandFailure = {"Error communicating with adapter."};

std::function<std::vector<std::string>(MatrixRig&)> Always(std::vector<std::string> texts) {
  return [texts](MatrixRig&) { return texts; };
}

bool MarkersCleared(MatrixRig& r, const std::vector<Edit>& edits) {
  for (const Edit& e : edits) {
    if (r.a.Page(e.page).changed) return false;
  }
  return true;
}

// Whether the page shows its section as read: it is there, its section is
// valid and its values are enabled (a failed read disables them).
bool ShowsRead(MatrixRig& r, int page) {
  QWidget* p = r.window->Sheet().Page(page);
  if (!p || r.a.Page(page).valid != 1) return false;
  if (auto* diagnostic = qobject_cast<CTabDiagnostic*>(p)) return diagnostic->InfoBox()->isEnabled();
  return qobject_cast<CConfigPage*>(p)->WriteButton()->isEnabled();
}

Operation PageRead(int page, const std::string& name) {
  Operation op;
  op.name = "Read " + name;
  const bool editable = page != PG_DIAGNOSTIC;
  if (editable) op.edits = {PageEdit(page)};
  op.prepare = [page, edits = op.edits](MatrixRig& r) {
    if (edits.empty()) {
      r.Show(page);
    } else {
      ApplyEdit(r, edits[0]);
    }
  };
  op.run = [page](MatrixRig& r) {
    auto* p = r.Show(page);
    QVERIFY(p);
    if (page == PG_DIAGNOSTIC) {
      qobject_cast<CTabDiagnostic*>(p)->DiagnosticReadButton()->click();
    } else {
      p->ReadButton()->click();
    }
  };
  // A read that failed leaves the page's values disabled (the page is gone
  // with a lost link).
  op.claims = [page](MatrixRig& r) { return ShowsRead(r, page); };
  op.failureTexts = Always({});
  // A failed read leaves the edit in the record: the marker stays.
  if (editable) op.edits.clear();
  return op;
}

Operation PageWrite(int page, const std::string& name) {
  Operation op;
  op.name = "Write " + name;
  op.edits = {PageEdit(page)};
  op.prepare = [edit = op.edits[0]](MatrixRig& r) { ApplyEdit(r, edit); };
  op.run = [page](MatrixRig& r) { r.Show(page)->WriteButton()->click(); };
  op.claims = [edits = op.edits](MatrixRig& r) { return MarkersCleared(r, edits); };
  op.failureTexts = Always(kWriteFailures);
  return op;
}

// Write of every section, from the Basic page's "All pages" button or the
// File menu, with edits on two pages.
Operation WriteAll(const std::string& name, std::function<void(MatrixRig&)> run) {
  Operation op;
  op.name = name;
  op.edits = {PageEdit(PG_DIAL), PageEdit(PG_BASIC)};
  op.prepare = [edits = op.edits](MatrixRig& r) {
    for (const Edit& e : edits) ApplyEdit(r, e);
    r.ui.answers = {MsgAnswer::Yes};  // "Write current profile to adapter?"
  };
  op.run = std::move(run);
  op.claims = [edits = op.edits](MatrixRig& r) { return MarkersCleared(r, edits); };
  op.failureTexts = Always(kWriteFailures);
  return op;
}

Operation PageCommand(const std::string& name, int page, std::function<void(MatrixRig&)> run,
                      std::function<bool(MatrixRig&)> extraClaim = {}) {
  Operation op;
  op.name = name;
  op.prepare = [page](MatrixRig& r) { r.Show(page); };
  op.run = std::move(run);
  op.claims = [extraClaim](MatrixRig& r) {
    return !r.ui.Shown("Error communicating with adapter.") && (!extraClaim || extraClaim(r));
  };
  op.failureTexts = Always(kPageCommandFailure);
  return op;
}

std::vector<Operation> Operations() {
  std::vector<Operation> ops;
  const std::pair<int, const char*> pages[] = {
      {PG_BASIC, "Basic"},   {PG_SERIAL, "Serial"},         {PG_DIAL, "Dial Options"}, {PG_CALLERID, "Caller ID"},
      {PG_REMOTE, "Remote"}, {PG_DIAGNOSTIC, "Diagnostic"}, {PG_CALLBACK, "Callback"}, {PG_IO, "I/O"},
  };

  {
    Operation op;
    op.name = "Connect with AutoLoad";
    op.start = Operation::Idle;
    op.run = [](MatrixRig& r) { r.Connect(); };
    op.claims = [](MatrixRig& r) { return r.a.LinkState == 0x1800 && r.AllValid(); };
    op.failureTexts = [](MatrixRig& r) {
      return (r.a.LinkState & LS_IDENTIFIED) ? std::vector<std::string>{}
                                             : std::vector<std::string>{"No Dalmarin modem found!"};
    };
    ops.push_back(op);
  }
  for (const auto& [page, name] : pages) ops.push_back(PageRead(page, name));
  for (const auto& [page, name] : pages) {
    if (page != PG_DIAGNOSTIC) ops.push_back(PageWrite(page, name));
  }
  ops.push_back(WriteAll("Write All", [](MatrixRig& r) { r.Show(PG_BASIC)->WriteAllButton()->click(); }));
  ops.push_back(WriteAll("Write Profile to modem", [](MatrixRig& r) { r.window->OnCommand(ID_WRITE_PROFILE); }));
  for (int item : {0, 1}) {
    Operation op = PageCommand(
        item == 0 ? "Load standard defaults" : "Load Dalmarin defaults", PG_BASIC,
        [item](MatrixRig& r) {
          auto* basic = r.Show<CTabBasic>(PG_BASIC);
          basic->DefaultsCombo()->setCurrentIndex(item);
          r.ui.answers = {MsgAnswer::Yes};  // "Set factory default parameters?"
          basic->LoadButton()->click();
        },
        // The page reads its section anew after the defaults.
        [](MatrixRig& r) { return ShowsRead(r, PG_BASIC); });
    // A fault in that read is a failed read, which shows no message.
    op.failureTexts = [item](MatrixRig& r) {
      const auto& sent = r.port.Commands();
      const auto last = std::find(sent.begin(), sent.end(), item == 0 ? "AT&W" : "AT&F2");
      const bool inDefaults = last == sent.end() || r.port.At() <= int(last - sent.begin()) + 1;
      return inDefaults ? kPageCommandFailure : std::vector<std::string>{};
    };
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "Modulation OK, then Write";
    op.edits = {Edit{PG_BASIC, {}, {}}};
    op.prepare = [](MatrixRig& r) {
      ++r.edit;
      r.Show<CTabBasic>(PG_BASIC)->EditButton()->click();
      QVERIFY(r.a.Page(PG_BASIC).changed);
    };
    op.run = [](MatrixRig& r) { r.Show(PG_BASIC)->WriteButton()->click(); };
    op.claims = [](MatrixRig& r) { return r.a.Page(PG_BASIC).changed == 0; };
    op.failureTexts = Always(kWriteFailures);
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "I/O row Save";
    op.edits = {PageEdit(PG_IO)};
    op.prepare = [edit = op.edits[0]](MatrixRig& r) { ApplyEdit(r, edit); };
    op.run = [](MatrixRig& r) { r.Show<CTabIO>(PG_IO)->EntryRow(1).save->click(); };
    op.claims = [edits = op.edits](MatrixRig& r) { return MarkersCleared(r, edits); };
    op.failureTexts = Always(kWriteFailures);
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "I/O parameters Save";
    op.edits = {Edit{PG_IO, [](MatrixRig& r, int v) { r.a.Config.io.PulseTa = 10 + v % 200; },
                     [](MatrixRig& r, int v) { return r.sim.Modem().Stored().pulseTa == 10 + v % 200; }}};
    op.prepare = [edit = op.edits[0]](MatrixRig& r) { ApplyEdit(r, edit); };
    op.run = [](MatrixRig& r) { r.Show<CTabIO>(PG_IO)->SaveParametersButton()->click(); };
    op.claims = [edits = op.edits](MatrixRig& r) { return MarkersCleared(r, edits); };
    op.failureTexts = Always(kWriteFailures);
    ops.push_back(op);
  }
  ops.push_back(PageCommand("I/O row Delete", PG_IO,
                            [](MatrixRig& r) { r.Show<CTabIO>(PG_IO)->EntryRow(1).remove->click(); }));
  ops.push_back(PageCommand("I/O Test", PG_IO, [](MatrixRig& r) { r.Show<CTabIO>(PG_IO)->TestButton()->click(); }));
  {
    Operation op;
    op.name = "Remote page End";
    op.prepare = [](MatrixRig& r) { r.Show(PG_REMOTE); };
    op.run = [](MatrixRig& r) { r.Show<CTabRemoteConf>(PG_REMOTE)->EndButton()->click(); };
    op.failureTexts = Always({});  // the answer is not looked at
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "Create Report";
    op.prepare = [](MatrixRig& r) {
      auto* diagnostic = r.Show<CTabDiagnostic>(PG_DIAGNOSTIC);
      diagnostic->openDocument = nullptr;
      std::remove(r.Report().c_str());
      r.ui.fileAnswers = {r.Report()};
    };
    op.run = [](MatrixRig& r) { r.Show<CTabDiagnostic>(PG_DIAGNOSTIC)->ReportButton()->click(); };
    op.claims = [](MatrixRig& r) {
      std::ifstream in(r.Report());
      std::stringstream text;
      text << in.rdbuf();
      return text.str().find("<tr><td>Adapter version</td>") != std::string::npos;
    };
    op.failureTexts = Always({});
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "Transfer dialog: read all";
    op.run = [](MatrixRig& r) {
      CTransferDlg dialog(r.window.get(), r.ui, SEC_ALL, OP_READ);
      dialog.Run();
    };
    op.claims = [](MatrixRig& r) { return r.AllValid(); };
    op.failureTexts = Always({});
    ops.push_back(op);
  }
  {
    Operation op = WriteAll("Transfer dialog: write all", [](MatrixRig& r) {
      CTransferDlg dialog(r.window.get(), r.ui, SEC_ALL, OP_WRITE);
      dialog.Run();
      r.window->Sheet().MarkPagesUnchanged(dialog.StoredSections());
    });
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "Terminal command";
    op.run = [](MatrixRig& r) {
      r.window->Terminal().CommandField()->setText(QStringLiteral("ATI3"));
      r.window->Terminal().SendCommandLine();
      r.ui.Idle(200);
    };
    op.lossOnTerminal = true;
    op.failureTexts = Always({});
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "Send File";
    op.prepare = [](MatrixRig& r) {
      std::ofstream(r.SendFile(), std::ios::binary) << "ATS7?\rATS10?\rATS30?\r";
      r.ui.fileAnswers = {r.SendFile()};
      r.ui.sendFileAnswer = SendFileParams{2, 100};
    };
    op.run = [](MatrixRig& r) {
      r.window->OnCommand(ID_SEND_FILE);
      r.ui.Idle(200);
    };
    op.failureTexts = Always({});
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "Escape sequence";
    op.run = [](MatrixRig& r) { r.window->OnCommand(ID_SEND_ESC); };
    op.failureTexts = Always({});
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "Break";
    op.run = [](MatrixRig& r) {
      r.window->OnCommand(ID_SEND_BREAK);
      RunEventsFor(300);
      r.ui.Idle(100);
    };
    op.lossOnTerminal = true;
    op.failureTexts = Always({});
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "Autoconnect";
    op.start = Operation::Idle;
    op.run = [](MatrixRig& r) {
      r.Connection().PortCombo()->setCurrentText(QStringLiteral("fault:3"));
      r.window->OnCommand(ID_AUTOCONNECT);
    };
    op.claims = [](MatrixRig& r) { return r.a.LinkState == 0x1800 && r.AllValid(); };
    op.failureTexts = [](MatrixRig& r) {
      return (r.a.LinkState & LS_IDENTIFIED)
                 ? std::vector<std::string>{}
                 : std::vector<std::string>{"No Dalmarin modem found!", "Unable to open COM-port..."};
    };
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "Remote connect and login";
    op.start = Operation::Idle;
    op.run = [](MatrixRig& r) {
      r.Connection().PortCombo()->setCurrentText(QStringLiteral("fault:3"));
      r.window->OnCommand(ID_REMOTE);
    };
    op.claims = [](MatrixRig& r) { return r.a.LinkState == 0x1801 && r.AllValid(); };
    op.failureTexts = [](MatrixRig& r) {
      return (r.a.LinkState & LS_REMOTE) ? std::vector<std::string>{}
                                         : std::vector<std::string>{"Error, please check the local modem.",
                                                                    "Error, no answer.", "Error: Access denied.",
                                                                    "Error: No answer from the remote modem."};
    };
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "Remote Disconnect";
    op.start = Operation::Remote;
    op.run = [](MatrixRig& r) { r.window->OnCommand(ID_DISCONNECT); };
    // The link is closed whatever the far modem answers.
    op.linkClosedAfter = true;
    op.failureTexts = Always({});
    ops.push_back(op);
  }
  {
    Operation op;
    op.name = "Flash update";
    op.prepare = [](MatrixRig& r) {
      std::ofstream(r.Firmware(), std::ios::binary) << "S00F000068656C6C6F202020202000003C\r\n"
                                                       "S1130000285F245F2212226A000424290008237C2A\r\n"
                                                       "S9030000FC\r\n";
      r.ui.fileAnswers = {r.Firmware()};
      r.ui.answers = {MsgAnswer::Yes};  // the warning
    };
    op.run = [](MatrixRig& r) { r.window->OnCommand(ID_FLASH_UPDATE); };
    op.claims = [](MatrixRig& r) { return r.ui.Shown("Download Success"); };
    op.failureTexts = Always({"The write operation halted with the following error string:",
                              "Write operation halted, no respons from modem.", "Download failed"});
    ops.push_back(op);
  }
  return ops;
}

// Positions of the command list the faults hit: all of a short list; of a
// long one the first two, the quartiles and the last two.
std::vector<int> Positions(int n) {
  std::vector<int> k;
  if (n <= 8) {
    for (int i = 1; i <= n; ++i) k.push_back(i);
  } else {
    k = {1, 2, n / 4, n / 2, 3 * n / 4, n - 1, n};
  }
  k.erase(std::unique(k.begin(), k.end()), k.end());
  return k;
}

// Whether every command of `expected` reached the modem (as often as in
// the fault-free run): what the operation really got done. Commands are
// compared up to their "=", as the edited values differ from run to run.
bool AllDelivered(const std::vector<std::string>& expected, const std::vector<std::string>& delivered) {
  auto name = [](const std::string& c) { return c.substr(0, c.find('=')); };
  std::map<std::string, int> count;
  for (const std::string& c : delivered) ++count[name(c)];
  for (const std::string& c : expected) {
    if (--count[name(c)] < 0) return false;
  }
  return true;
}

}  // namespace

class FaultMatrixTest : public QObject {
  Q_OBJECT

 private:
  // Brings the window to the operation's starting point from a connected
  // window.
  static void Start(MatrixRig& r, const Operation& op) {
    if (op.start == Operation::Connected) return;
    r.window->OnCommand(ID_DISCONNECT);
    QCOMPARE(r.a.LinkState, int(LS_IDLE));
    if (op.start == Operation::Remote) {
      r.Connection().PortCombo()->setCurrentText(QStringLiteral("fault:3"));
      r.window->OnCommand(ID_REMOTE);
      QCOMPARE(r.a.LinkState, 0x1801);
    }
  }

  // After the fault: the modem is plugged in again (and switched off and on
  // when it was left in a call or in its loader) and the window connects.
  static void Reconnect(MatrixRig& r) {
    r.port.Repair();
    if (r.sim.Modem().Connected() || r.sim.Modem().Downloading()) {
      r.sim.Modem() = SimulatedModem(3);
      r.sim.Modem().FarModem().State().remotePassword = r.remotePassword;
    }
    if (r.a.LinkState & LS_PORT_OPEN) r.window->OnCommand(ID_DISCONNECT);
    r.ui.boxes.clear();
    r.ui.answers.clear();
    r.Connect();
    // Edits the fault left unwritten are discarded (the default answer).
    std::erase_if(r.ui.boxes, [](const auto& b) {
      return b.text.ends_with(" before disconnecting?") || b.text.ends_with(" before connecting?");
    });
    QVERIFY2(r.ui.boxes.empty(), r.ui.boxes.empty() ? "" : r.ui.boxes.front().text.c_str());
    QCOMPARE(r.a.LinkState, 0x1800);
    QVERIFY(r.AllValid());
    QCOMPARE(r.window->Sheet().count(), 9);
  }

 private slots:
  void initTestCase() { std::printf("operation | commands | positions\n"); }

  void EveryFaultOfEveryOperation_data() {
    QTest::addColumn<int>("index");
    const auto ops = Operations();
    for (size_t i = 0; i < ops.size(); ++i) {
      if (InThisPart(int(i))) QTest::newRow(ops[i].name.c_str()) << int(i);
    }
  }

  void EveryFaultOfEveryOperation() {
    QFETCH(int, index);
    const Operation op = Operations()[static_cast<size_t>(index)];
    MatrixRig r;
    r.sim.Modem().FarModem().State().remotePassword = r.remotePassword;
    r.Connect();
    QCOMPARE(r.a.LinkState, 0x1800);

    // The fault-free run gives the command list.
    Start(r, op);
    if (op.prepare) op.prepare(r);
    if (QTest::currentTestFailed()) return;
    r.ui.boxes.clear();
    r.port.ResetCount();
    op.run(r);
    const std::vector<std::string> commands = r.port.Commands();
    if (op.claims) QVERIFY2(op.claims(r), "the operation fails without a fault");
    QVERIFY2(!r.ui.ShownStart(op.failureTexts(r)), "a failure is reported without a fault");
    const std::vector<int> positions = commands.empty() ? std::vector<int>{0} : Positions(int(commands.size()));
    std::printf("%s | %zu | %zu\n", op.name.c_str(), commands.size(), positions.size());
    Reconnect(r);
    if (QTest::currentTestFailed()) return;

    for (Fault fault : {Fault::Lost, Fault::Error, Fault::Silent}) {
      for (int k : positions) {
        if (k == 0 && fault == Fault::Error) continue;  // nothing to answer
        const std::string where = op.name + ", " + FaultName(fault) + " at " + std::to_string(k) + " (" +
                                  (k > 0 ? commands[size_t(k - 1)] : std::string("before it")) + ")";
        Start(r, op);
        if (op.prepare) op.prepare(r);
        if (QTest::currentTestFailed()) {
          qWarning("before %s", where.c_str());
          return;
        }
        r.ui.boxes.clear();
        r.port.ResetCount();
        r.port.Arm(fault, k);
        op.run(r);
        r.ui.Idle(100);
        std::vector<std::string> delivered;
        {
          // What reached the modem: the commands before the fault, and
          // after an "ERROR" the ones that followed it.
          const auto& sent = r.port.Commands();
          for (size_t i = 0; i < sent.size(); ++i) {
            const bool hit = int(i + 1) == k;
            if (hit || (fault != Fault::Error && int(i + 1) > k)) continue;
            delivered.push_back(sent[i]);
          }
        }
        const bool done = k > 0 && AllDelivered(commands, delivered);
        QVERIFY2(!r.a.Busy, where.c_str());
        if (op.claims) {
          const bool claimed = op.claims(r);
          if (claimed != done) {
            std::string sent;
            for (const std::string& c : r.port.Commands()) sent += c + " | ";
            qWarning("sent: %s", sent.c_str());
          }
          QVERIFY2(claimed == done, (where + (claimed ? ": success reported" : ": failure reported")).c_str());
        }
        if (!done) {
          for (const Edit& e : op.edits) {
            QVERIFY2(r.a.Page(e.page).changed, (where + ": the change marker went").c_str());
          }
          if (fault == Fault::Lost && op.lossOnTerminal) {
            QVERIFY2(r.window->Terminal().Content().find("went away") != std::string::npos, where.c_str());
          } else if (fault == Fault::Lost) {
            QVERIFY2(r.ui.Shown(kDisconnected), (where + ": the loss is not told").c_str());
          } else {
            const auto texts = op.failureTexts(r);
            if (!texts.empty()) QVERIFY2(r.ui.ShownStart(texts), (where + ": the failure is not told").c_str());
          }
        } else {
          for (const Edit& e : op.edits) {
            if (e.stored) QVERIFY2(e.stored(r, r.edited[e.page]), (where + ": the edit was not stored").c_str());
          }
        }
        if (fault == Fault::Lost || op.linkClosedAfter) {
          QVERIFY2(!(r.a.LinkState & LS_PORT_OPEN), (where + ": the link stays open").c_str());
        }
        Reconnect(r);
        if (QTest::currentTestFailed()) {
          qWarning("after %s", where.c_str());
          return;
        }
      }
    }
  }
};

QTEST_MAIN(FaultMatrixTest)
#include "fault_matrix_test.moc"
