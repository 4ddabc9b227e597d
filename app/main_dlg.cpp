#include "app/main_dlg.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include "app/about_dlg.h"
#include "app/compare_dlg.h"
#include "app/manual_location.h"
#include "app/options_dlg.h"
#include "app/profile_comparison.h"
#include "app/prop_sheet.h"
#include "ui/status_panel.h"
#include "ui/tool_settings.h"
#include "ui/transfer_dlg.h"
#include "app/unsaved_edits.h"
#include "config/profile.h"
#include "connection/flash_update.h"
#include "connection/ui/tab_connection.h"
#include "connection/ui/terminal_dlg.h"
#include "app/page_registry.h"

// Resources of a static library are registered by hand.
static void InitAppResources() { Q_INIT_RESOURCE(app); }

namespace kelvane {

QString ManualPath() {
  const QString installed = FindInstalledManual(QCoreApplication::applicationDirPath());
  if (!installed.isEmpty()) return installed;
  InitAppResources();
  const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  if (cache.isEmpty()) return {};
  const QString target = cache + QStringLiteral("/manual");
  if (!QDir().mkpath(target)) return {};
  QDirIterator it(QStringLiteral(":/manual"), QDir::Files);
  while (it.hasNext()) {
    const QString source = it.next();
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return {};
    // Written beside the target and renamed over it.
    QSaveFile out(target + QLatin1Char('/') + it.fileName());
    if (!out.open(QIODevice::WriteOnly) || out.write(in.readAll()) < 0 || !out.commit()) return {};
  }
  const QString index = target + QStringLiteral("/index.html");
  return QFile::exists(index) ? index : QString();
}

CMainDlg::CMainDlg(QtUserInterface& ui, PortProvider& ports, QSettings& settings,
                   const QStringList& extraPorts, QWidget* parent)
    : QMainWindow(parent), ui_(ui), a_(ui.Adapter()), ports_(ports), settings_(settings) {
  setWindowTitle(QStringLiteral("Kelvane 2"));
  setWindowIcon(ProgramIcon());
  setMinimumSize(kMinWidth, kMinHeight);

  // The status panel and the terminal pane come first: the adapter reports
  // to them from now on.
  // The terminal pane's traffic log writes through the port provider.
  ports_.AttachTrafficLog(a_);
  auto* central = new QWidget(this);
  status_ = new CStatusPanel(central);
  terminal_ = new CTerminalDlg(a_, central);
  ui_.SetMainWindow(this);
  ui_.SetStatusPanel(status_);
  ui_.SetTerminal(terminal_);

  ui_.SetSettings(&settings_);
  LoadToolOptions(settings_, a_.Options);
  a_.ApplyLineOptions();
  ui_.StartTicks();

  auto* page = new CTabConnection(ui_, ports_, extraPorts);
  sheet_ = new CPropSheet(a_, page, central);
  // The pages keep their width; the sheet grows up to the width that shows
  // every tab while the terminal keeps its own share.
  sheet_->setMinimumWidth(std::max(sheet_->sizeHint().width(), 500));
  sheet_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Expanding);
  ui_.SetSheet(sheet_);
  RegisterConfigPages(*sheet_, ui_);
  comparison_ = new ProfileComparison(ui_, *sheet_, this);
  edits_ = std::make_unique<UnsavedEdits>(ui_, *sheet_, this);
  ui_.SetEditsGuard([this](const char* doing) { return edits_->MayDrop(doing); });
  ui_.SetLossHandler([this] { edits_->OfferAfterLoss(); });

  auto* rule = new QFrame(central);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  auto* panes = new QHBoxLayout;
  panes->setSpacing(6);
  panes->addWidget(sheet_);
  panes->addWidget(terminal_, 1);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(6, 4, 6, 4);
  column->setSpacing(4);
  column->addLayout(panes, 1);
  column->addWidget(rule);
  column->addWidget(status_);
  setCentralWidget(central);

  BuildMenu();
  page->SetMenuEnabler([this](int id, bool enabled) { EnableCommand(id, enabled); });

  breakTimer_.setSingleShot(true);
  breakTimer_.setInterval(250);
  connect(&breakTimer_, &QTimer::timeout, this, &CMainDlg::EndBreak);

  connect(&ui_, &QtUserInterface::StatusChanged, this, &CMainDlg::UpdateTitle);

  RestoreSession();
  page->OnSetActive();
  // A keyboard user starts at the port settings, not in the terminal's
  // output field (which takes Tab as text).
  page->PortCombo()->setFocus();
}

CMainDlg::~CMainDlg() {
  ui_.SetEditsGuard({});
  ui_.SetLossHandler({});
  ui_.SetSettings(nullptr);
  ui_.SetSheet(nullptr);
  ui_.SetTerminal(nullptr);
  ui_.SetStatusPanel(nullptr);
  ui_.SetMainWindow(nullptr);
}

CTabConnection& CMainDlg::ConnectionPage() { return sheet_->ConnectionPage(); }

QString CMainDlg::TitleFor(const QString& profile, bool edited) {
  QString title = QStringLiteral("Kelvane 2");
  if (!profile.isEmpty()) title = profile + QStringLiteral(" - ") + title;
  return edited ? QLatin1Char('*') + title : title;
}

void CMainDlg::UpdateTitle() {
  QString profile;
  if (!a_.ProfilePath.empty()) {
    profile = QFileInfo(QFile::decodeName(QByteArray::fromStdString(a_.ProfilePath))).fileName();
  } else if (a_.LinkState & LS_FILE) {
    profile = QStringLiteral("New profile");
  }
  const QString title = TitleFor(profile, !ChangedPages(a_).empty());
  if (windowTitle() != title) setWindowTitle(title);
}

QAction* CMainDlg::AddCommand(QMenu* menu, const QString& text, int id) {
  QAction* action = menu->addAction(text);
  action->setData(id);
  connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  actions_[id] = action;
  return action;
}

void CMainDlg::BuildMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  AddCommand(file, QStringLiteral("&New Profile"), ID_NEW_PROFILE);
  AddCommand(file, QStringLiteral("&Open Profile"), ID_OPEN_PROFILE)->setShortcut(QKeySequence::Open);
  AddCommand(file, QStringLiteral("&Save Profile"), ID_SAVE_PROFILE)->setShortcut(QKeySequence::Save);
  AddCommand(file, QStringLiteral("&Close Profile"), ID_CLOSE_PROFILE);
  AddCommand(file, QStringLiteral("Compare with Profile..."), ID_COMPARE_PROFILE);
  // Whether there is anything to compare changes with every read and open.
  connect(file, &QMenu::aboutToShow, this,
          [this] { EnableCommand(ID_COMPARE_PROFILE, comparison_->Available()); });
  file->addSeparator();
  AddCommand(file, QStringLiteral("&Write Profile to modem"), ID_WRITE_PROFILE);
  file->addSeparator();
  AddCommand(file, QStringLiteral("&Exit"), ID_EXIT)->setShortcut(QKeySequence::Quit);

  QMenu* connection = menuBar()->addMenu(QStringLiteral("&Connection"));
  AddCommand(connection, QStringLiteral("&Autoconnect"), ID_AUTOCONNECT);
  AddCommand(connection, QStringLiteral("&Connect"), ID_CONNECT);
  AddCommand(connection, QStringLiteral("&Disconnect"), ID_DISCONNECT);
  AddCommand(connection, QStringLiteral("&Remote"), ID_REMOTE);
  AddCommand(connection, QStringLiteral("&Open com-port"), ID_OPEN_PORT);

  QMenu* transfer = menuBar()->addMenu(QStringLiteral("&Transfer"));
  AddCommand(transfer, QStringLiteral("Send &Esc Sequence"), ID_SEND_ESC);
  AddCommand(transfer, QStringLiteral("Send &File"), ID_SEND_FILE);
  AddCommand(transfer, QStringLiteral("Send &Break"), ID_SEND_BREAK);
  transfer->addSeparator();
  QMenu* advanced = transfer->addMenu(QStringLiteral("&Advanced"));
  AddCommand(advanced, QStringLiteral("Flash update..."), ID_FLASH_UPDATE);

  QMenu* tool = menuBar()->addMenu(QStringLiteral("T&ool"));
  AddCommand(tool, QStringLiteral("&Clear Terminal"), ID_CLEAR_TERMINAL);
  AddCommand(tool, QStringLiteral("Options"), ID_OPTIONS);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  AddCommand(help, QStringLiteral("&Help"), ID_HELP)->setShortcut(QKeySequence::HelpContents);
  AddCommand(help, QStringLiteral("&About"), ID_ABOUT);
}

QAction* CMainDlg::Action(int commandId) const {
  const auto it = actions_.find(commandId);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainDlg::EnableCommand(int id, bool enabled) {
  if (QAction* action = Action(id)) action->setEnabled(enabled);
}

int CMainDlg::RunTransfer(int sections, int operation) {
  CTransferDlg dialog(this, ui_, sections, operation);
  return dialog.Run();
}

void CMainDlg::OnCommand(int commandId) {
  switch (commandId) {
    case ID_NEW_PROFILE:
      if (!edits_->MayDrop("starting a new profile")) break;
      comparison_->End();
      NewProfile(a_);
      break;
    case ID_OPEN_PROFILE:
      if (!edits_->MayDrop("opening a profile")) break;
      // A cancelled or failed open leaves the records, and the comparison.
      if (OpenProfile(a_)) comparison_->End();
      break;
    case ID_COMPARE_PROFILE: OnCompareProfile(); break;
    case ID_SAVE_PROFILE: SaveProfile(a_); break;
    case ID_CLOSE_PROFILE:
      if (edits_->MayDrop("closing the profile")) CloseProfile(a_);
      break;
    case ID_WRITE_PROFILE:
      if (a_.LinkState & LS_IDENTIFIED) {
        CTransferDlg dialog(this, ui_, SEC_ALL, OP_WRITE);
        dialog.Run();
        sheet_->MarkPagesUnchanged(dialog.StoredSections());
      }
      break;
    case ID_EXIT:
      // Through the close request, so the options are saved.
      QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
      break;
    case ID_AUTOCONNECT: ConnectionPage().OnCommand(CMD_AUTOCONNECT); break;
    case ID_CONNECT: ConnectionPage().OnCommand(CMD_CONNECT); break;
    case ID_DISCONNECT: ConnectionPage().OnCommand(CMD_DISCONNECT); break;
    case ID_REMOTE: ConnectionPage().OnCommand(CMD_REMOTE); break;
    case ID_OPEN_PORT: ConnectionPage().OnCommand(CMD_OPEN); break;
    case ID_SEND_ESC:
      if (a_.LinkState & LS_PORT_OPEN) RunTransfer(0, OP_ESCAPE);
      break;
    case ID_SEND_FILE:
      if (a_.LinkState & LS_PORT_OPEN) RunTransfer(0, OP_SEND_FILE);
      break;
    case ID_SEND_BREAK: StartBreak(); break;
    case ID_FLASH_UPDATE:
      if ((a_.LinkState & LS_IDENTIFIED) && edits_->MayDrop("updating the firmware")) {
        RunTransfer(0, OP_FLASH);
        // The update leaves RTS off and RTS/CTS handshaking on.
        RestoreLineAfterFlash(a_);
      }
      break;
    case ID_CLEAR_TERMINAL:
      terminal_->ClearTerminal();
      terminal_->RefreshTerminalInfo();
      break;
    case ID_OPTIONS: OnOptions(); break;
    case ID_HELP: OnHelp(); break;
    case ID_ABOUT: OnAbout(); break;
    default: break;
  }
  UpdateTitle();
}

void CMainDlg::OnOptions() {
  COptionsDlg dialog(a_, this);
  if (ui_.ExecModal(dialog) != QDialog::Accepted) return;
  // Stored now, so that a crash or a kill does not lose them.
  SaveToolOptions(settings_, a_.Options);
  // Hex input starts from an empty log, and the port then delivers bytes.
  if (a_.Options.HexInput) terminal_->ClearTerminal();
  a_.InputMode = a_.Options.HexInput ? 1 : 0;
  a_.ApplyLineOptions();
  terminal_->RefreshTerminalInfo();
  sheet_->ReactivateCurrentPage();
}

void CMainDlg::OnCompareProfile() {
  if (!comparison_->Available()) return;
  FileDialogRequest request = ProfileDialog(FileDialogKind::Open);
  request.title = "Compare with Profile";
  const auto path = ui_.AskFileName(request);
  if (!path || !comparison_->Start(*path)) return;
  CCompareDlg dialog(*comparison_, ui_, this);
  ui_.ExecModal(dialog);
}

void CMainDlg::OnHelp() {
  const QString path = ManualPath();
  if (path.isEmpty() || !openUrl_(QUrl::fromLocalFile(path))) {
    // Without a browser the user can still open the file by hand.
    const QByteArray where = path.isEmpty() ? QByteArray("No copy of the manual was found.")
                                            : "Open it in a browser: " + QFile::encodeName(path);
    ui_.MessageBoxWithDetail("The manual could not be opened.", where.toStdString(), MsgIcon::Warning,
                             MsgButtons::Ok);
  }
}

void CMainDlg::OnAbout() {
  CAboutDlg about(this);
  ui_.ExecModal(about);
}

void CMainDlg::StartBreak() {
  SerialPort* port = a_.Port();
  if (!port || !port->IsOpen()) return;
  breakPort_ = port;
  port->SetBreak(true);
  breakTimer_.start();
}

void CMainDlg::EndBreak() {
  breakTimer_.stop();
  if (breakPort_ && breakPort_ == a_.Port() && breakPort_->IsOpen()) {
    breakPort_->SetBreak(false);
    ui_.SetStatusNote("A break of 250 ms was sent.");
  }
  breakPort_ = nullptr;
}

QRect PlaceWindow(const QRect& stored, const QList<QRect>& screens, const QSize& minimum,
                  const QSize& fallback) {
  QSize size = (stored.isValid() ? stored.size() : fallback).expandedTo(minimum);
  if (screens.isEmpty()) return QRect(stored.topLeft(), size);
  if (stored.isValid()) {
    for (const QRect& screen : screens) {
      if (screen.contains(QRect(stored.topLeft(), size))) return QRect(stored.topLeft(), size);
    }
  }
  const QRect& first = screens.front();
  size = size.boundedTo(first.size()).expandedTo(minimum);
  QRect placed(QPoint(0, 0), size);
  placed.moveCenter(first.center());
  return placed;
}

void CMainDlg::RestoreSession() {
  QList<QRect> screens;
  if (QScreen* primary = QGuiApplication::primaryScreen()) screens << primary->availableGeometry();
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen != QGuiApplication::primaryScreen()) screens << screen->availableGeometry();
  }
  setGeometry(PlaceWindow(settings_.value(QStringLiteral("Window/Geometry")).toRect(), screens,
                          QSize(kMinWidth, kMinHeight), QSize(960, 600)));
  if (settings_.value(QStringLiteral("Window/Maximized")).toBool()) setWindowState(Qt::WindowMaximized);

  // A port or setting that is no longer offered leaves the box as it is.
  CTabConnection& page = ConnectionPage();
  const std::pair<const char*, QComboBox*> boxes[] = {{"Port/Name", page.PortCombo()},
                                                      {"Port/BaudRate", page.BaudCombo()},
                                                      {"Port/Parity", page.ParityCombo()},
                                                      {"Port/DataBits", page.DataBitsCombo()},
                                                      {"Port/StopBits", page.StopBitsCombo()}};
  for (const auto& [key, box] : boxes) {
    const int index = box->findText(settings_.value(QLatin1String(key)).toString());
    if (index >= 0) box->setCurrentIndex(index);
  }
  terminal_->RestoreHistory(settings_.value(QStringLiteral("Terminal/History")).toStringList());
}

void CMainDlg::SaveSession() {
  settings_.setValue(QStringLiteral("Window/Geometry"), normalGeometry());
  settings_.setValue(QStringLiteral("Window/Maximized"), isMaximized());
  CTabConnection& page = ConnectionPage();
  settings_.setValue(QStringLiteral("Port/Name"), page.PortCombo()->currentText());
  settings_.setValue(QStringLiteral("Port/BaudRate"), page.BaudCombo()->currentText());
  settings_.setValue(QStringLiteral("Port/Parity"), page.ParityCombo()->currentText());
  settings_.setValue(QStringLiteral("Port/DataBits"), page.DataBitsCombo()->currentText());
  settings_.setValue(QStringLiteral("Port/StopBits"), page.StopBitsCombo()->currentText());
  QStringList history;
  const CommandHistory& commands = terminal_->History();
  for (int i = 0; i < commands.Count(); ++i) history << QString::fromLatin1(commands.At(i).c_str());
  settings_.setValue(QStringLiteral("Terminal/History"), history);
}

void CMainDlg::closeEvent(QCloseEvent* event) {
  // A close while an operation runs cancels it; otherwise edits that the
  // markers show are not lost without a word.
  if (!a_.Busy && !a_.ShuttingDown && !edits_->MayDrop("exiting")) {
    event->ignore();
    return;
  }
  a_.AbortRequested = true;
  a_.ShuttingDown = true;
  if (breakTimer_.isActive()) EndBreak();
  SaveSession();
  SaveToolOptions(settings_, a_.Options);
  event->accept();
}

}  // namespace kelvane
