#include "connection/ui/traffic_log_control.h"

#include <QFileInfo>
#include <QHBoxLayout>

#include "config/traffic_file_log.h"

namespace kelvane {

CTrafficLogControl::CTrafficLogControl(CAdapter& adapter, QWidget* parent) : QWidget(parent), adapter_(adapter) {
  setObjectName(QStringLiteral("TrafficLogControl"));
  button_ = new QToolButton(this);
  button_->setObjectName(QStringLiteral("trafficLog"));
  button_->setCheckable(true);
  button_->setText(QStringLiteral("Log to file..."));
  file_ = new QLabel(this);
  file_->setObjectName(QStringLiteral("trafficLogFile"));
  file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long path must not widen the pane.
  file_->setMinimumWidth(0);
  file_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(6);
  row->addWidget(button_);
  row->addWidget(file_, 1);

  // The button's checked state follows the log, not the click.
  connect(button_, &QToolButton::clicked, this, [this] {
    if (Logging()) {
      StopLogging();
    } else {
      StartLogging();
    }
  });
  ShowState();
}

bool CTrafficLogControl::Logging() const { return adapter_.TrafficFile && adapter_.TrafficFile->IsOpen(); }

bool CTrafficLogControl::StartLogging() {
  TrafficFileLog* log = adapter_.TrafficFile;
  if (!log) {
    ShowState();
    return false;
  }
  FileDialogRequest request;
  request.kind = FileDialogKind::Save;
  request.title = "Log the traffic to";
  request.filter = "Log files (*.log)|*.log|All files (*.*)|*.*||";
  request.defaultExtension = "log";
  request.suggestedName = "kelvane-traffic.log";
  // A log is appended to, never overwritten.
  request.promptOverwrite = false;
  const std::optional<std::string> path = adapter_.Ui().AskFileName(request);
  bool started = false;
  if (path) {
    std::string error;
    started = log->Open(*path, error);
    if (!started) adapter_.Ui().MessageBox(error, MsgIcon::Warning, MsgButtons::Ok);
  }
  ShowState();
  return started;
}

void CTrafficLogControl::StopLogging() {
  if (adapter_.TrafficFile) adapter_.TrafficFile->Close();
  ShowState();
}

void CTrafficLogControl::ShowState() {
  const bool logging = Logging();
  button_->setEnabled(adapter_.TrafficFile != nullptr);
  button_->setChecked(logging);
  button_->setText(logging ? QStringLiteral("Stop logging") : QStringLiteral("Log to file..."));
  if (logging) {
    const QString path = QString::fromStdString(adapter_.TrafficFile->Path());
    file_->setText(QFileInfo(path).fileName());
    file_->setToolTip(path);
  } else {
    file_->clear();
    file_->setToolTip(QString());
  }
  button_->setToolTip(logging ? QStringLiteral("Stop writing the traffic to the log file")
                              : QStringLiteral("Write every byte to and from the modem to a file"));
}

}  // namespace kelvane
