#pragma once
// The desktop application's side of the core's callback interface. Waiting
// runs the Qt event loop (blocking until the port is readable, an event
// arrives or the 50 ms tick is due); questions become message boxes and file
// dialogs; progress goes to the transfer or wait dialog on top; the link
// layer's notifications go to the main window's parts. Tests derive from it
// to answer the dialogs.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "config/adapter.h"
#include "connection/raw_transfer.h"
#include "serial/user_interface.h"
#include "ui/window_parts.h"

class QDialog;
class QMessageBox;
class QSettings;
class QSocketNotifier;
class QWidget;

namespace kelvane {

class CStatusPanel;

// Whatever shows the progress of the running operation.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetProgressCaption(const QString& caption) = 0;
  virtual void SetProgressText(const QString& text) = 0;
  virtual void SetProgressRange(int low, int high) = 0;
  virtual void SetProgressStep(int step) = 0;
  virtual void StepProgress() = 0;
  virtual void EnableCancel(bool enabled) { (void)enabled; }
};

// "Config files (*.dat)|*.dat|All files (*.*)|*.*||" as Qt name filters:
// "Config files (*.dat)", "All files (*)".
QStringList QtNameFilters(const std::string& filter);

// The box of the question before edits are dropped: `keep` first (the
// default button), "&Discard", and "Cancel" (the Escape button) when `cancel`.
std::unique_ptr<QMessageBox> NewKeepEditsBox(QWidget* parent, const QString& text, const QString& keep,
                                             bool cancel);

class QtUserInterface : public QObject, public UserInterface {
  Q_OBJECT

 public:
  explicit QtUserInterface(CAdapter& adapter, QObject* parent = nullptr);
  ~QtUserInterface() override;

  CAdapter& Adapter() { return adapter_; }

  // Timer 1: the 50 ms tick for the whole run.
  void StartTicks();
  bool TicksRunning() const { return tick_.isActive(); }

  // The parts of the main window that receive the notifications (any may be
  // missing, e.g. in a test).
  void SetTerminal(TerminalView* terminal) { terminal_ = terminal; }
  void SetStatusPanel(CStatusPanel* panel) { status_ = panel; }
  void SetSheet(PageSheet* sheet) { sheet_ = sheet; }
  PageSheet* Sheet() const { return sheet_; }
  // The window that owns message boxes and dialogs when no modal one is up.
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }
  QWidget* DialogParent() const;

  void PushProgressSink(ProgressSink* sink);
  void PopProgressSink(ProgressSink* sink);

  // Follows the open port's descriptor: input outside a transaction becomes
  // a receive event.
  void SyncPortWatch();

  // --- UserInterface ---
  void PumpEvents(int portFd) override;
  void Sleep(int milliseconds) override;
  MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
  MsgAnswer MessageBoxWithDetail(std::string_view text, std::string_view detail, MsgIcon icon,
                                 MsgButtons buttons) override;
  // Starts in the folder last used for the request's kind of file and
  // remembers the folder of the chosen file (ChooseFile asks).
  std::optional<std::string> AskFileName(const FileDialogRequest& request) final;
  void SetProgressCaption(std::string_view caption) override;
  void SetProgressText(std::string_view text) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressStep(int step) override;
  void StepProgress() override;
  void EnableCancel(bool enabled) override;
  void UpdatePages() override;
  void RefreshTerminalInfo() override;
  void SelectPortSettings() override;
  void SetIndicators(bool cts, bool dsr, bool cd) override;
  void SetStatusText(std::string_view text) override;
  void SetStatusNote(std::string_view note) override;
  void TerminalOutput(std::string_view text) override;
  void TrafficLogChanged() override;
  void ActivateConnectionPage() override;

  // The Send File dialog; false when cancelled.
  virtual bool AskSendFile(const std::string& path, SendFileParams& params);
  // The number and password dialogs of the remote connection; nothing when
  // cancelled.
  virtual std::optional<std::string> AskRemoteNumber();
  virtual std::optional<std::string> AskRemotePassword();
  // Runs a dialog modally (the tool options, the About box) and returns its
  // result.
  virtual int ExecModal(QDialog& dialog);
  // The file dialog, starting in `folder` (empty: the current one).
  virtual std::optional<std::string> ChooseFile(const FileDialogRequest& request, const QString& folder);
  // The question before edits that change markers show are dropped: `keep`
  // is the first button, then "&Discard" and, when `cancel`, "Cancel".
  // Yes: keep them, No: discard them, Cancel: neither.
  virtual MsgAnswer AskKeepEdits(const QString& text, const QString& keep, bool cancel);

  // Where the last folders of the file dialogs are kept (group "Folders").
  void SetSettings(QSettings* settings) { settings_ = settings; }
  // Asked before a command that would drop the edits that change markers
  // show, with what the command is doing ("disconnecting"); false: the
  // command does not run. Without a guard every command runs.
  void SetEditsGuard(std::function<bool(const char* doing)> guard) { editsGuard_ = std::move(guard); }
  bool MayDropEdits(const char* doing) { return !editsGuard_ || editsGuard_(doing); }
  // Called from the event loop once the port went away and nothing else
  // runs (no operation, no modal dialog), once per loss.
  void SetLossHandler(std::function<void()> handler) { lossHandler_ = std::move(handler); }

  // After an operation that began when the adapter had counted
  // `lossesBefore` port losses: when the modem went away meanwhile, says
  // "Modem disconnected during process!" and returns true. The box is shown
  // with Busy held, so no page goes away under the caller while it is up.
  bool ReportLostLink(int lossesBefore);

 signals:
  // A transfer dialog ran `operation` (OP_READ, OP_WRITE, ...) on `sections`,
  // whatever its result: the records of those sections may have changed.
  void TransferRan(int operation, int sections);
  // The status panel's markers or note changed, or the pages came or went:
  // the window title follows.
  void StatusChanged();

 private:
  void OnTick();
  void OfferAfterLoss();
  void OnPortReadable();
  void WatchFd(int fd, bool enabled);

  CAdapter& adapter_;
  QTimer tick_;
  TerminalView* terminal_ = nullptr;
  CStatusPanel* status_ = nullptr;
  PageSheet* sheet_ = nullptr;
  QWidget* mainWindow_ = nullptr;
  std::vector<ProgressSink*> sinks_;
  QSettings* settings_ = nullptr;
  std::function<bool(const char*)> editsGuard_;
  std::function<void()> lossHandler_;
  int lossesHandled_ = 0;
  // The note was given while the port was open: it goes when the port does.
  bool noteNeedsPort_ = false;
  // A modem was identified at the last page update.
  bool identified_ = false;

  QSocketNotifier* notifier_ = nullptr;
  int pumpFd_ = -1;
  // Input that a receive event left unread (hex input without byte mode):
  // the descriptor is not watched again before the next tick.
  bool stalled_ = false;
};

}  // namespace kelvane
