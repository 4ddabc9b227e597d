#include "ui/qt_user_interface.h"

#include <poll.h>

#include <memory>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>
#include <QPushButton>
#include <QWidget>

#include "config/operation_hold.h"
#include "ui/remote_dlg.h"
#include "ui/send_file_dlg.h"
#include "ui/status_panel.h"

namespace kelvane {

namespace {

QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR));
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
  // Pairs of description and pattern list, separated by '|', ended by "||".
  QStringList parts = QString::fromLatin1(filter.c_str()).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    const QString patterns = parts[i + 1].trimmed();
    if (description.isEmpty() || patterns.isEmpty()) break;
    const qsizetype paren = description.indexOf(QLatin1Char('('));
    if (paren > 0) description = description.left(paren).trimmed();
    QStringList qtPatterns;
    for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      // "*.*" means every file; on this platform many names have no dot.
      qtPatterns << (p.trimmed() == QLatin1String("*.*") ? QStringLiteral("*") : p.trimmed());
    }
    out << QStringLiteral("%1 (%2)").arg(description, qtPatterns.join(QLatin1Char(' ')));
  }
  return out;
}

std::unique_ptr<QMessageBox> NewKeepEditsBox(QWidget* parent, const QString& text, const QString& keep,
                                             bool cancel) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowTitle(QStringLiteral("Kelvane 2"));
  box->setIcon(QMessageBox::Warning);
  box->setText(text);
  QPushButton* keepButton = box->addButton(keep, QMessageBox::AcceptRole);
  box->addButton(QStringLiteral("&Discard"), QMessageBox::DestructiveRole);
  if (cancel) box->setEscapeButton(box->addButton(QMessageBox::Cancel));
  box->setDefaultButton(keepButton);
  return box;
}

QtUserInterface::QtUserInterface(CAdapter& adapter, QObject* parent)
    : QObject(parent), adapter_(adapter) {
  tick_.setInterval(50);
  tick_.setTimerType(Qt::PreciseTimer);
  connect(&tick_, &QTimer::timeout, this, &QtUserInterface::OnTick);
  adapter_.SetUi(this);
}

QtUserInterface::~QtUserInterface() {
  adapter_.SetUi(nullptr);
  delete notifier_;
}

void QtUserInterface::StartTicks() { tick_.start(); }

QWidget* QtUserInterface::DialogParent() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return mainWindow_;
}

void QtUserInterface::PushProgressSink(ProgressSink* sink) { sinks_.push_back(sink); }

void QtUserInterface::PopProgressSink(ProgressSink* sink) {
  for (auto it = sinks_.end(); it != sinks_.begin();) {
    --it;
    if (*it == sink) {
      sinks_.erase(it);
      return;
    }
  }
}

// --- waiting ---------------------------------------------------------------

void QtUserInterface::WatchFd(int fd, bool enabled) {
  if (notifier_ && notifier_->socket() != fd) {
    notifier_->setEnabled(false);
    // May run inside the notifier's own signal.
    notifier_->deleteLater();
    notifier_ = nullptr;
  }
  if (fd < 0) return;
  if (!notifier_) {
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QtUserInterface::OnPortReadable);
  }
  if (notifier_->isEnabled() != enabled) notifier_->setEnabled(enabled);
}

void QtUserInterface::SyncPortWatch() {
  SerialPort* port = adapter_.Port();
  const int portFd = port && port->IsOpen() ? port->PollFd() : -1;
  if (pumpFd_ >= 0) {
    WatchFd(pumpFd_, true);
    return;
  }
  // Inside a transaction (receive events off) a wait that does not read must
  // not wake on input it leaves waiting.
  WatchFd(portFd, portFd >= 0 && adapter_.RThreshold == 1 && !stalled_);
}

void QtUserInterface::OnPortReadable() {
  if (pumpFd_ >= 0) {
    // The pumping transaction reads the input as soon as the pump returns.
    if (notifier_) notifier_->setEnabled(false);
    return;
  }
  adapter_.ServiceLineEvents();
  SerialPort* port = adapter_.Port();
  const int fd = port && port->IsOpen() ? port->PollFd() : -1;
  if (fd >= 0 && Readable(fd)) stalled_ = true;
  SyncPortWatch();
}

void QtUserInterface::OnTick() {
  adapter_.OnTimerTick();
  // A device that went away may never make its descriptor readable; the
  // link is closed on the tick instead.
  SerialPort* port = adapter_.Port();
  if ((adapter_.LinkState & LS_PORT_OPEN) && adapter_.RThreshold == 1 && port && port->Lost()) {
    adapter_.ServiceLineEvents();
  }
  stalled_ = false;
  SyncPortWatch();
  OfferAfterLoss();
}

void QtUserInterface::OfferAfterLoss() {
  if (adapter_.PortLosses == lossesHandled_) return;
  // Not while an operation may still report the loss or a dialog is up: the
  // offer comes after the loss message.
  if (adapter_.Busy || QApplication::activeModalWidget() || (sheet_ && sheet_->PageOperationRunning())) return;
  lossesHandled_ = adapter_.PortLosses;
  if (adapter_.ShuttingDown || !lossHandler_) return;
  // Not from inside the tick.
  QTimer::singleShot(0, this, [this] {
    if (lossHandler_ && !adapter_.ShuttingDown) lossHandler_();
  });
}

void QtUserInterface::PumpEvents(int portFd) {
  const int savedFd = pumpFd_;
  pumpFd_ = portFd;
  SyncPortWatch();
  // Ticks must keep coming even where no main window started them (a dialog
  // used on its own).
  if (!tick_.isActive()) tick_.start();
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  pumpFd_ = savedFd;
  SyncPortWatch();
}

void QtUserInterface::Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  if (!tick_.isActive()) tick_.start();
  QEventLoop loop;
  QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

// --- questions -------------------------------------------------------------

MsgAnswer QtUserInterface::MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) {
  return MessageBoxWithDetail(text, {}, icon, buttons);
}

MsgAnswer QtUserInterface::MessageBoxWithDetail(std::string_view text, std::string_view detail, MsgIcon icon,
                                                MsgButtons buttons) {
  QMessageBox box(DialogParent());
  box.setWindowTitle(QStringLiteral("Kelvane 2"));
  box.setText(Latin1(text));
  // The detail names files: shown in the file system's encoding, under the
  // message, without a click.
  if (!detail.empty()) {
    box.setInformativeText(QFile::decodeName(QByteArray(detail.data(), static_cast<qsizetype>(detail.size()))));
  }
  switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Error:
    case MsgIcon::Stop: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::None: break;
  }
  switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::No);
      break;
    case MsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::Ok: return MsgAnswer::Ok;
    default:
      // Closed with Escape or the window's close button.
      if (buttons == MsgButtons::YesNo) return MsgAnswer::No;
      return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
  }
}

std::optional<std::string> QtUserInterface::AskFileName(const FileDialogRequest& request) {
  const QString key = QStringLiteral("Folders/") + QString::fromStdString(request.folderKind);
  const bool remembered = settings_ && !request.folderKind.empty();
  QString folder;
  if (remembered) {
    folder = settings_->value(key).toString();
    // A folder that has gone since is not offered.
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) folder.clear();
  }
  std::optional<std::string> path = ChooseFile(request, folder);
  if (path && remembered) {
    settings_->setValue(key, QFileInfo(QFile::decodeName(QByteArray::fromStdString(*path))).absolutePath());
    settings_->sync();
  }
  return path;
}

std::optional<std::string> QtUserInterface::ChooseFile(const FileDialogRequest& request, const QString& folder) {
  QFileDialog dialog(DialogParent(), QString::fromStdString(request.title));
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  const bool save = request.kind == FileDialogKind::Save;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QStringList filters = QtNameFilters(request.filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (!request.defaultExtension.empty() && request.defaultExtension != "*") {
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  }
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (save && !request.promptOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!request.suggestedName.empty()) dialog.selectFile(QString::fromStdString(request.suggestedName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QByteArray path = QFile::encodeName(dialog.selectedFiles().constFirst());
  return std::string(path.constData(), static_cast<size_t>(path.size()));
}

bool QtUserInterface::AskSendFile(const std::string& path, SendFileParams& params) {
  CSendFileDlg dialog(DialogParent(), QFile::decodeName(QByteArray::fromStdString(path)));
  if (ExecModal(dialog) != QDialog::Accepted) return false;
  params = dialog.Params();
  return true;
}

std::optional<std::string> QtUserInterface::AskRemoteNumber() {
  CRemoteWizardDlg dialog(DialogParent(), CRemoteWizardDlg::Ask::Number);
  if (ExecModal(dialog) != QDialog::Accepted) return std::nullopt;
  return dialog.Text().toStdString();
}

std::optional<std::string> QtUserInterface::AskRemotePassword() {
  CRemoteWizardDlg dialog(DialogParent(), CRemoteWizardDlg::Ask::Password);
  if (ExecModal(dialog) != QDialog::Accepted) return std::nullopt;
  const QByteArray text = dialog.Text().toLatin1();
  std::string password(text.constData(), static_cast<size_t>(text.size()));
  if (terminal_) terminal_->SetLoginSecret(password);
  return password;
}

int QtUserInterface::ExecModal(QDialog& dialog) { return dialog.exec(); }

MsgAnswer QtUserInterface::AskKeepEdits(const QString& text, const QString& keep, bool cancel) {
  const std::unique_ptr<QMessageBox> box = NewKeepEditsBox(DialogParent(), text, keep, cancel);
  box->exec();
  const QMessageBox::ButtonRole role = box->buttonRole(box->clickedButton());
  if (role == QMessageBox::AcceptRole) return MsgAnswer::Yes;
  if (role == QMessageBox::DestructiveRole) return MsgAnswer::No;
  // Escape (or the close button) decides nothing.
  return MsgAnswer::Cancel;
}

bool QtUserInterface::ReportLostLink(int lossesBefore) {
  if (adapter_.PortLosses == lossesBefore || adapter_.ShuttingDown) return false;
  BusyHold busy(adapter_);
  MessageBox(DisconnectedText, MsgIcon::Stop, MsgButtons::Ok);
  return true;
}

// --- progress --------------------------------------------------------------

void QtUserInterface::SetProgressCaption(std::string_view caption) {
  if (!sinks_.empty()) sinks_.back()->SetProgressCaption(Latin1(caption));
}
void QtUserInterface::SetProgressText(std::string_view text) {
  if (!sinks_.empty()) sinks_.back()->SetProgressText(Latin1(text));
}
void QtUserInterface::EnableCancel(bool enabled) {
  if (!sinks_.empty()) sinks_.back()->EnableCancel(enabled);
}
void QtUserInterface::SetProgressRange(int low, int high) {
  if (!sinks_.empty()) sinks_.back()->SetProgressRange(low, high);
}
void QtUserInterface::SetProgressStep(int step) {
  if (!sinks_.empty()) sinks_.back()->SetProgressStep(step);
}
void QtUserInterface::StepProgress() {
  if (!sinks_.empty()) sinks_.back()->StepProgress();
}

// --- notifications ---------------------------------------------------------

void QtUserInterface::UpdatePages() {
  // A modem newly identified replaces the records: no profile is open.
  const bool identified = adapter_.LinkState & LS_IDENTIFIED;
  if (identified && !identified_ && !(adapter_.LinkState & LS_FILE)) adapter_.ProfilePath.clear();
  identified_ = identified;
  if (sheet_) sheet_->UpdatePages();
  emit StatusChanged();
}

void QtUserInterface::RefreshTerminalInfo() {
  if (terminal_) terminal_->RefreshTerminalInfo();
  SyncPortWatch();
  // What was said about the port ("A break of 250 ms was sent.") no longer
  // holds once it has closed.
  if (noteNeedsPort_ && !adapter_.PortIsOpen()) SetStatusNote({});
}

void QtUserInterface::SelectPortSettings() {
  if (sheet_) sheet_->SelectPortSettings();
}

void QtUserInterface::SetIndicators(bool cts, bool dsr, bool cd) {
  if (status_) status_->SetIndicators(cts, dsr, cd);
}

void QtUserInterface::SetStatusText(std::string_view text) {
  if (status_) status_->SetText(Latin1(text));
  emit StatusChanged();
}

void QtUserInterface::SetStatusNote(std::string_view note) {
  noteNeedsPort_ = !note.empty() && adapter_.PortIsOpen();
  if (status_) status_->SetNote(QFile::decodeName(QByteArray(note.data(), static_cast<qsizetype>(note.size()))));
  emit StatusChanged();
}

void QtUserInterface::TerminalOutput(std::string_view text) {
  if (terminal_) terminal_->AppendToTerminal(text);
}

void QtUserInterface::TrafficLogChanged() {
  if (terminal_ && adapter_.Options.HexInput) terminal_->AppendToTerminal({});
}

void QtUserInterface::ActivateConnectionPage() {
  if (sheet_) sheet_->ActivateConnectionPage();
}

}  // namespace kelvane
