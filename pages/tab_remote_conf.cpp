#include "pages/tab_remote_conf.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/image_button.h"

namespace kelvane {

CTabRemoteConf::CTabRemoteConf(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_REMOTE, parent) {
  setObjectName(QStringLiteral("Remote"));

  auto* settings = new QGroupBox(QStringLiteral("Remote Configuration"), this);
  enable_ = new QComboBox(settings);
  Bind(enable_, "RemoteSettings.RemoteEnable");
  password_ = new QLineEdit(settings);
  Bind(password_, "RemoteSettings.RemotePassword");
  auto* grid = new QGridLayout(settings);
  auto* enableLabel = new QLabel(Caption("RemoteSettings.RemoteEnable"), settings);
  enableLabel->setBuddy(enable_);
  grid->addWidget(enableLabel, 0, 0, 1, 2);
  grid->addWidget(enable_, 1, 0);
  auto* passwordLabel = new QLabel(Caption("RemoteSettings.RemotePassword"), settings);
  passwordLabel->setBuddy(password_);
  grid->addWidget(passwordLabel, 2, 0, 1, 2);
  grid->addWidget(password_, 3, 0);
  grid->addWidget(new QLabel(QStringLiteral("(0, 6-12 characters)"), settings), 3, 1);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);

  auto* special = new QGroupBox(QStringLiteral("Special functions"), this);
  end_ = new QPushButton(QStringLiteral("End"), special);
  end_->setAutoDefault(false);
  auto* row = new QHBoxLayout(special);
  row->addWidget(new QLabel(QStringLiteral("End remote session [*WRCE]"), special));
  row->addStretch(1);
  row->addWidget(end_);

  auto* column = new QVBoxLayout(this);
  column->addWidget(settings);
  column->addWidget(special);
  column->addStretch(1);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(CreateButtonGroups());
  column->addLayout(bottom);

  AddValueControl(end_);
  // The Write buttons stay off after a failed read, also when the page is
  // shown again.
  AddValueControl(WriteButton());
  AddValueControl(WriteAllButton());
  connect(end_, &QPushButton::clicked, this, [this] {
    SyncFromControls();
    OnEnd();
  });
  // The controls are filled on activation or by Read, not here.
}

void CTabRemoteConf::LoadControls() { LoadBound(); }

void CTabRemoteConf::StoreControls() { StoreBound(); }

void CTabRemoteConf::SetValueControlsEnabled(bool enabled) {
  CConfigPage::SetValueControlsEnabled(enabled);
  // The Write buttons follow the value controls, but stay off while a
  // profile is edited offline.
  const bool writes = enabled && !(a_.LinkState & LS_FILE);
  if (WriteButton()) WriteButton()->setEnabled(writes);
  if (WriteAllButton()) WriteAllButton()->setEnabled(writes);
}

void CTabRemoteConf::OnEnd() {
  PageOperation hold(*this);
  // No probe and no change of result-code mode; whatever the modem answers
  // (or not) is not reported.
  CommandOptions options;
  options.probe = false;
  options.restoreNumeric = false;
  RunModemCommand(QStringLiteral("Sending command."), 1,
                  [this](std::string&) {
                    a_.Ui().StepProgress();
                    std::string end = "AT*WRCE";
                    a_.Transact(end, 3, "OK\r\n");
                    return true;
                  },
                  options);
}

}  // namespace kelvane
