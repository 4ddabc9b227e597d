#pragma once
// The terminal pane on the right of the main window: the connection's status
// and line settings, a command line with its history, and the output field
// that shows what the modem sends (and, with the "Terminal" option, sends
// every key typed into it straight to the port).

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <functional>
#include <string>
#include <string_view>

#include "config/adapter.h"
#include "connection/ui/terminal_text.h"
#include "ui/window_parts.h"

class QGroupBox;
class QMimeData;

namespace kelvane {

// The up-down control beside the command line. Its range runs from 49 at the
// bottom to 0 at the top: the up arrow steps to older commands.
class CHistorySpin : public QWidget {
  Q_OBJECT

 public:
  explicit CHistorySpin(QWidget* parent = nullptr);
  int Position() const { return position_; }
  void SetPosition(int position) { position_ = position; }
  void StepUp();
  void StepDown();
  QSize sizeHint() const override { return {18, 24}; }

 signals:
  // The user asks for this position; the owner decides and sets it.
  void PositionRequested(int position);

 private:
  int position_ = 0;
  QToolButton* up_;
  QToolButton* down_;
};

// The output field. Text the user pastes (middle click, Ctrl+V, the context
// menu) is handed to `onPaste` instead of being inserted: the field only ever
// shows what the modem sent.
class CTerminalOutput : public QPlainTextEdit {
  Q_OBJECT

 public:
  using QPlainTextEdit::QPlainTextEdit;
  std::function<void(const QString&)> onPaste;

 protected:
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
};

class CTerminalDlg : public QWidget, public TerminalView {
  Q_OBJECT

 public:
  CTerminalDlg(CAdapter& adapter, QWidget* parent = nullptr);

  // The status fields and what may be typed, from the link state.
  void RefreshTerminalInfo() override;
  // Received or debug text, or (with hex input on) a rebuild of the hex view
  // from the traffic log.
  void AppendToTerminal(std::string_view text) override;
  // Empties the output field and the traffic log; the history stays.
  void ClearTerminal();
  // The remote login password, masked wherever it shows until the port
  // closes (the configuration's own passwords are masked by their fields).
  void SetLoginSecret(const std::string& secret) override { loginSecret_ = secret; }
  // Sends the command line (Enter in the command field).
  void SendCommandLine();
  // Pasted text goes out as though typed when the raw terminal is active;
  // otherwise it is refused. Line ends are sent as carriage returns.
  void SendPasted(const QString& text);

  // What the output field holds, with CR LF line ends.
  const std::string& Content() const { return content_; }
  const CommandHistory& History() const { return history_; }
  // The history of an earlier run, oldest first (a fresh line is shown).
  void RestoreHistory(const QStringList& commands);
  QLineEdit* CommandField() const { return command_; }
  QPlainTextEdit* OutputField() const { return output_; }
  CHistorySpin* HistorySpin() const { return spin_; }
  QString StatusValue() const { return status_->text(); }
  QString ModeValue() const { return mode_->text(); }
  QString PortValue() const { return port_->text(); }
  QString BaudValue() const { return baud_->text(); }
  QString DataBitsValue() const { return dataBits_->text(); }
  QString ParityValue() const { return parity_->text(); }
  QString StopBitsValue() const { return stopBits_->text(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Brings the output field up to `content_`: received text reaches it at
  // once after a pause, and at most every kRefreshMs while it streams in.
  void ScheduleOutput();
  void ShowPendingOutput();
  // The whole field from `content_` (the hex view), or only what changed
  // since it showed `shown_` (received text).
  void ShowContent();
  void ShowContentChange();
  void ShowHistoryEntry();
  void OnSpinRequest(int position);
  bool RawTerminalKey(QKeyEvent* key);

  CAdapter& adapter_;
  std::string content_;
  std::string loginSecret_;
  CommandHistory history_;
  QGroupBox* group_;
  QLabel* status_;
  QLabel* mode_;
  QLabel* port_;
  QLabel* baud_;
  QLabel* dataBits_;
  QLabel* parity_;
  QLabel* stopBits_;
  QLineEdit* command_;
  CHistorySpin* spin_;
  CTerminalOutput* output_;
  // What the output field shows (content_ with LF line ends).
  QString shown_;
  static constexpr int kRefreshMs = 100;
  QTimer refresh_;
  QElapsedTimer sinceRefresh_;
};

}  // namespace kelvane
