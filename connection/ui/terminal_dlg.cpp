#include "connection/ui/terminal_dlg.h"

#include <algorithm>

#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

#include "config/operation_hold.h"
#include "connection/ui/traffic_log_control.h"

namespace kelvane {

namespace {

QFont WithSizeOf(QFont f, const QFont& base) {
  if (base.pointSizeF() > 0) {
    f.setPointSizeF(base.pointSizeF());
  } else if (base.pixelSize() > 0) {
    f.setPixelSize(base.pixelSize());
  }
  return f;
}

// The font of the command and output fields: "Courier New" where that is a
// fixed-pitch font. Elsewhere the name may resolve to a font that is not
// fixed-pitch (with the URW fonts installed it becomes one Qt does not take
// for one), and the hex rows would no longer line up; so each candidate is
// checked in turn: the system's fixed font, fontconfig's "monospace", then
// every family the font database holds as fixed-pitch.
QFont TerminalFont(const QFont& base) {
  auto fixed = [](const QFont& f) { return QFontInfo(f).fixedPitch(); };
  QFont courier = base;
  courier.setFamily(QStringLiteral("Courier New"));
  courier.setStyleHint(QFont::TypeWriter);
  courier.setFixedPitch(true);
  if (fixed(courier)) return courier;

  const QFont system = WithSizeOf(QFontDatabase::systemFont(QFontDatabase::FixedFont), base);
  if (fixed(system)) return system;

  QFont monospace = courier;
  monospace.setFamily(QStringLiteral("monospace"));
  if (fixed(monospace)) return monospace;

  for (const QString& family : QFontDatabase::families()) {
    if (!QFontDatabase::isFixedPitch(family)) continue;
    QFont candidate = courier;
    candidate.setFamily(family);
    if (fixed(candidate)) return candidate;
  }
  // No fixed-pitch font on the machine at all: the system's choice.
  return system;
}

QString FromText(const std::string& text) { return QString::fromLatin1(text.c_str()); }

// The parity text with its first letter in upper case ("none" -> "None").
QString ParityShown(const std::string& parity) {
  QString p = FromText(parity);
  if (!p.isEmpty()) p[0] = p[0].toUpper();
  return p;
}

// The commands that go out without a carriage return: the escape sequence
// (and its four-sign form) and Ctrl-Z.
bool SentWithoutReturn(const std::string& command) {
  return command == "+++" || command == "++++" || command == "\x1a";
}

}  // namespace

CHistorySpin::CHistorySpin(QWidget* parent) : QWidget(parent) {
  up_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_ = new QToolButton(this);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    b->setIconSize(QSize(7, 7));
  }
  up_->setToolTip(QStringLiteral("Older command"));
  down_->setToolTip(QStringLiteral("Newer command"));
  up_->setAccessibleName(up_->toolTip());
  down_->setAccessibleName(down_->toolTip());
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(up_);
  column->addWidget(down_);
  connect(up_, &QToolButton::clicked, this, &CHistorySpin::StepUp);
  connect(down_, &QToolButton::clicked, this, &CHistorySpin::StepDown);
}

void CHistorySpin::StepUp() {
  if (position_ > 0) emit PositionRequested(position_ - 1);
}

void CHistorySpin::StepDown() {
  if (position_ < CommandHistory::kCapacity) emit PositionRequested(position_ + 1);
}

bool CTerminalOutput::canInsertFromMimeData(const QMimeData* source) const {
  return !isReadOnly() && source && source->hasText();
}

void CTerminalOutput::insertFromMimeData(const QMimeData* source) {
  if (!isReadOnly() && source && source->hasText() && onPaste) onPaste(source->text());
}

CTerminalDlg::CTerminalDlg(CAdapter& adapter, QWidget* parent) : QWidget(parent), adapter_(adapter) {
  setObjectName(QStringLiteral("TerminalPane"));

  group_ = new QGroupBox(QStringLiteral("Connection"), this);
  auto* grid = new QGridLayout(group_);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(3);
  // Each value is as wide as the widest text it shows in use, so that none
  // is cut at the window's minimum size and none makes the pane wider than
  // it needs (a long port path is cut; its tooltip shows it whole).
  auto value = [this](const char* name, const char* widest) {
    auto* label = new QLabel(QStringLiteral("-"), group_);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QLatin1String(widest)) + 2);
    return label;
  };
  auto caption = [this](const QString& text) { return new QLabel(text, group_); };
  status_ = value("status", "Connected to RM-40 485");
  mode_ = value("mode", "Remote Configurator");
  port_ = value("port", "/dev/ttyUSB0");
  baud_ = value("baud", "115200");
  dataBits_ = value("dataBits", "8");
  parity_ = value("parity", "None");
  stopBits_ = value("stopBits", "2");
  grid->addWidget(caption(QStringLiteral("Status:")), 0, 0);
  grid->addWidget(status_, 0, 1, 1, 3);
  grid->addWidget(caption(QStringLiteral("Mode:")), 1, 0);
  grid->addWidget(mode_, 1, 1, 1, 3);
  grid->addWidget(caption(QStringLiteral("Port:")), 2, 0);
  grid->addWidget(port_, 2, 1, 1, 3);
  grid->addWidget(caption(QStringLiteral("Baud rate:")), 3, 0);
  grid->addWidget(baud_, 3, 1);
  grid->addWidget(caption(QStringLiteral("Data bits:")), 3, 2);
  grid->addWidget(dataBits_, 3, 3);
  grid->addWidget(caption(QStringLiteral("Parity:")), 4, 0);
  grid->addWidget(parity_, 4, 1);
  grid->addWidget(caption(QStringLiteral("Stop bits:")), 4, 2);
  grid->addWidget(stopBits_, 4, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);

  command_ = new QLineEdit(this);
  command_->setObjectName(QStringLiteral("commandLine"));
  command_->setFont(TerminalFont(font()));
  command_->setPlaceholderText(QStringLiteral("AT command"));
  command_->setAccessibleName(command_->placeholderText());
  command_->setToolTip(QStringLiteral("Type an AT command and press Enter"));
  command_->installEventFilter(this);

  spin_ = new CHistorySpin(this);
  spin_->setFixedWidth(18);
  connect(spin_, &CHistorySpin::PositionRequested, this, &CTerminalDlg::OnSpinRequest);

  output_ = new CTerminalOutput(this);
  output_->setObjectName(QStringLiteral("output"));
  output_->setAccessibleName(QStringLiteral("Terminal"));
  output_->setFont(TerminalFont(font()));
  output_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  output_->setUndoRedoEnabled(false);
  output_->setAcceptDrops(false);
  output_->installEventFilter(this);
  output_->onPaste = [this](const QString& text) { SendPasted(text); };
  // Painting the field for every chunk of a stream would cost more than
  // the text itself.
  refresh_.setSingleShot(true);
  connect(&refresh_, &QTimer::timeout, this, &CTerminalDlg::ShowPendingOutput);

  auto* commandRow = new QHBoxLayout;
  commandRow->setSpacing(2);
  commandRow->addWidget(command_, 1);
  commandRow->addWidget(spin_);
  spin_->setFixedHeight(command_->sizeHint().height());

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  column->addWidget(group_);
  column->addWidget(new CTrafficLogControl(adapter_, this));
  column->addLayout(commandRow);
  column->addWidget(output_, 1);

  RefreshTerminalInfo();
}

void CTerminalDlg::RefreshTerminalInfo() {
  const CAdapter& a = adapter_;
  // The hex view's rows are read across: never wrapped, scrolled sideways
  // when the pane is narrower than a row.
  output_->setLineWrapMode(a.Options.HexInput ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
  const bool open = a.LinkState > 0 && (a.LinkState & LS_PORT_OPEN);
  if (!open) {
    // The login that the password served has ended with the port.
    std::fill(loginSecret_.begin(), loginSecret_.end(), '\0');
    loginSecret_.clear();
    for (QLabel* l : {status_, mode_, port_, baud_, dataBits_, parity_, stopBits_}) {
      l->setText(QStringLiteral("-"));
    }
    spin_->setEnabled(false);
    command_->setEnabled(false);
    output_->setReadOnly(true);
    return;
  }
  if (a.LinkState & LS_IDENTIFIED) {
    const std::string_view model = ModelName(a.ModelType);
    status_->setText(QStringLiteral("Connected to %1")
                         .arg(QString::fromLatin1(model.data(), static_cast<qsizetype>(model.size()))));
    const bool remote = (a.LinkState & (LS_IDENTIFIED | LS_REMOTE)) == (LS_IDENTIFIED | LS_REMOTE);
    mode_->setText(remote ? QStringLiteral("Remote Configurator") : QStringLiteral("AT Command set"));
  } else {
    status_->setText(QStringLiteral("COM-port open"));
    mode_->setText(QStringLiteral("-"));
  }
  baud_->setText(FromText(a.BaudRate));
  port_->setText(QFile::decodeName(QByteArray::fromStdString(a.PortNumber)));
  stopBits_->setText(FromText(a.StopBits));
  dataBits_->setText(FromText(a.DataBits));
  parity_->setText(ParityShown(a.Parity));
  port_->setToolTip(port_->text());
  spin_->setEnabled(true);
  command_->setEnabled(true);
  output_->setReadOnly(a.Options.Terminal != 1);
}

void CTerminalDlg::AppendToTerminal(std::string_view text) {
  // No password is shown, in the debug answers or in the traffic.
  if (adapter_.Options.HexInput) {
    content_ = HexDumpView(adapter_.HexLog, adapter_.CharLog, adapter_.LogCount, loginSecret_);
  } else {
    content_ = MaskTerminalSecrets(AppendTerminalText(content_, text), loginSecret_);
  }
  ScheduleOutput();
}

void CTerminalDlg::ScheduleOutput() {
  if (refresh_.isActive()) return;  // the text joins the coming refresh
  const qint64 since = sinceRefresh_.isValid() ? sinceRefresh_.elapsed() : kRefreshMs;
  if (since >= kRefreshMs) {
    ShowPendingOutput();
  } else {
    refresh_.start(static_cast<int>(kRefreshMs - since));
  }
}

void CTerminalDlg::ShowPendingOutput() {
  refresh_.stop();
  sinceRefresh_.restart();
  if (adapter_.Options.HexInput) {
    output_->setLineWrapMode(QPlainTextEdit::NoWrap);
    ShowContent();
  } else {
    ShowContentChange();
  }
}

namespace {

QString WithLfLineEnds(const std::string& content) {
  QString text = QString::fromLatin1(content.data(), static_cast<qsizetype>(content.size()));
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return text;
}

qsizetype CommonPrefix(QStringView a, QStringView b) {
  const qsizetype n = std::min(a.size(), b.size());
  qsizetype i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// How much was cut from the front of `before` to give `after`: the first
// offset from which `before` runs on as `after` begins. Any answer gives
// the right text in the end (what does not match is replaced); a good one
// keeps the edit to the cut and the new text.
qsizetype FrontCut(QStringView before, QStringView after) {
  constexpr qsizetype kProbe = 64;
  for (qsizetype cut = 0; cut < before.size(); ++cut) {
    const qsizetype n = std::min({kProbe, before.size() - cut, after.size()});
    if (n > 0 && before.mid(cut, n) == after.left(n)) return cut;
  }
  return before.size();
}

}  // namespace

void CTerminalDlg::ShowContent() {
  shown_ = WithLfLineEnds(content_);
  output_->setPlainText(shown_);
  QTextCursor end = output_->textCursor();
  end.movePosition(QTextCursor::End);
  output_->setTextCursor(end);
  output_->ensureCursorVisible();
  output_->verticalScrollBar()->setValue(output_->verticalScrollBar()->maximum());
}

void CTerminalDlg::ShowContentChange() {
  const QString next = WithLfLineEnds(content_);
  if (next == shown_) return;
  QScrollBar* bar = output_->verticalScrollBar();
  const int top = bar->value();
  // A user who scrolled up to read, or selected text, keeps that; otherwise
  // the view follows the newest text.
  const bool following = top >= bar->maximum();
  const bool selecting = output_->textCursor().hasSelection();

  QTextDocument* document = output_->document();
  QTextCursor edit(document);
  const qsizetype cut = FrontCut(shown_, next);
  int linesCut = 0;
  if (cut > 0) {
    for (QTextBlock b = document->begin(); b.isValid() && b.position() + b.length() <= cut; b = b.next()) {
      linesCut += std::max(1, b.lineCount());
    }
    edit.setPosition(0);
    edit.setPosition(static_cast<int>(std::min(cut, shown_.size())), QTextCursor::KeepAnchor);
    edit.removeSelectedText();
  }
  const QStringView kept = QStringView(shown_).mid(cut);
  const qsizetype common = CommonPrefix(kept, next);
  if (common < kept.size()) {
    // A backspace took back what was shown last.
    edit.setPosition(static_cast<int>(common));
    edit.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    edit.removeSelectedText();
  }
  if (common < next.size()) {
    edit.movePosition(QTextCursor::End);
    edit.insertText(next.mid(common));
  }
  shown_ = next;

  if (following) {
    if (!selecting) {
      QTextCursor end = output_->textCursor();
      end.movePosition(QTextCursor::End);
      output_->setTextCursor(end);
    }
    bar->setValue(bar->maximum());
  } else {
    bar->setValue(std::max(0, top - linesCut));
  }
}

void CTerminalDlg::ClearTerminal() {
  refresh_.stop();
  content_.clear();
  shown_.clear();
  output_->clear();
  adapter_.ClearTrafficLog();
}

void CTerminalDlg::SendCommandLine() {
  if (adapter_.Busy) return;
  BusyHold busy(adapter_);
  const QByteArray typed = command_->text().toLatin1();
  std::string text(typed.constData(), static_cast<size_t>(typed.size()));
  history_.Add(text);
  spin_->SetPosition(history_.Index());
  if (adapter_.PortIsOpen()) {
    if (!SentWithoutReturn(text)) text += '\r';
    // Refused while the output buffer is busy; the command is then lost.
    adapter_.SendText(text);
  }
  command_->clear();
  command_->setFocus();
}

void CTerminalDlg::SendPasted(const QString& text) {
  if (adapter_.Options.Terminal != 1 || !adapter_.PortIsOpen()) return;
  QString typed = text;
  typed.replace(QLatin1String("\r\n"), QLatin1String("\r"));
  typed.replace(QLatin1Char('\n'), QLatin1Char('\r'));
  const QByteArray bytes = typed.toLatin1();
  // As with typed keys there is no local echo; a busy output buffer refuses
  // the text.
  adapter_.SendText(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

void CTerminalDlg::RestoreHistory(const QStringList& commands) {
  for (const QString& command : commands) history_.Add(command.toLatin1().toStdString());
  spin_->SetPosition(history_.Index());
}

void CTerminalDlg::ShowHistoryEntry() {
  command_->setText(FromText(history_.Current()));
  command_->end(false);
  spin_->SetPosition(history_.Index());
}

void CTerminalDlg::OnSpinRequest(int position) {
  if (!history_.MoveTo(position)) {
    spin_->SetPosition(history_.Index());
    return;
  }
  ShowHistoryEntry();
  command_->setFocus();
}

bool CTerminalDlg::RawTerminalKey(QKeyEvent* key) {
  if (adapter_.Options.Terminal != 1) return false;
  // Copying what is shown still works, and a paste is sent as typed text.
  if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll) ||
      key->matches(QKeySequence::Paste)) {
    return false;
  }
  const QString text = key->text();
  if (text.isEmpty()) return false;
  if (adapter_.PortIsOpen()) {
    const QByteArray bytes = text.left(1).toLatin1();
    // No local echo: the modem's echo comes back as received text.
    adapter_.SendText(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  }
  return true;
}

bool CTerminalDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;

  if (watched == command_) {
    if (enter) {
      SendCommandLine();
      return true;
    }
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
      if (key->key() == Qt::Key_Up) {
        history_.Older();
      } else {
        history_.Newer();
      }
      ShowHistoryEntry();
      return true;
    }
    // Ctrl-Z is a character the modem understands, not an undo.
    if (key->key() == Qt::Key_Z && key->modifiers() == Qt::ControlModifier) {
      command_->insert(QString(QChar(26)));
      return true;
    }
    if (key->key() == Qt::Key_Escape) return true;
    return false;
  }
  if (watched == output_) {
    if (key->key() == Qt::Key_Escape) return true;
    // Tab is text here (sent to the modem in the raw terminal); Ctrl+Tab
    // and Ctrl+Shift+Tab leave the field, as in other text areas.
    if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && (key->modifiers() & Qt::ControlModifier)) {
      focusNextPrevChild(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
      return true;
    }
    return RawTerminalKey(key);
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kelvane
