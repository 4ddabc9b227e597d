#include "app/options_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "connection/raw_transfer.h"

namespace kelvane {

namespace {

void LoadCheck(QCheckBox* box, int32_t option) { box->setChecked(option == 1); }
int32_t StoredCheck(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }

void LoadIndex(QComboBox* combo, int32_t option) {
  combo->setCurrentIndex(option >= 0 && option < combo->count() ? option : -1);
}

}  // namespace

void COptionsPage::showEvent(QShowEvent* event) {
  if (!created_) {
    created_ = true;
    Load();
  }
  QWidget::showEvent(event);
}

// --- Basic options ---------------------------------------------------------

COptBasic::COptBasic(CAdapter& adapter, QWidget* parent) : COptionsPage(adapter, parent) {
  auto* tools = new QGroupBox(QStringLiteral("Tool Options"), this);
  tooltip = new QCheckBox(QStringLiteral("Show Tooltip"), tools);
  terminal = new QCheckBox(QStringLiteral("Active Terminal Window"), tools);
  autoLoad = new QCheckBox(QStringLiteral("Load configuration on connect"), tools);
  userAutoConnect = new QCheckBox(QStringLiteral("User Auto Connect"), tools);
  searchPorts = new QCheckBox(QStringLiteral("Search for avalible com-ports at startup"), tools);
  numberOfPorts = new QComboBox(tools);
  for (int i = 1; i <= 16; ++i) numberOfPorts->addItem(QString::number(i));
  auto* portsRow = new QHBoxLayout;
  portsRow->addWidget(numberOfPorts);
  auto* portsLabel = new QLabel(QStringLiteral("Number of com-ports."), tools);
  portsLabel->setBuddy(numberOfPorts);
  portsRow->addWidget(portsLabel);
  portsRow->addStretch(1);
  auto* toolColumn = new QVBoxLayout(tools);
  for (QCheckBox* b : {tooltip, terminal, autoLoad, userAutoConnect, searchPorts}) toolColumn->addWidget(b);
  toolColumn->addLayout(portsRow);

  auto* hardware = new QGroupBox(QStringLiteral("Hardware"), this);
  autoDisconnect = new QCheckBox(QStringLiteral("Disconnect on CTS event"), hardware);
  dtrEnable = new QCheckBox(QStringLiteral("Enable DTR"), hardware);
  rtsEnable = new QCheckBox(QStringLiteral("Enable RTS"), hardware);
  flowControl = new QComboBox(hardware);
  flowControl->addItems({QStringLiteral("No handshaking"), QStringLiteral("XOn/XOff"),
                         QStringLiteral("RTS/CTS"), QStringLiteral("RTS/CTS & XOn/XOff")});
  auto* flowRow = new QHBoxLayout;
  auto* flowLabel = new QLabel(QStringLiteral("Flow Control"), hardware);
  flowLabel->setBuddy(flowControl);
  flowRow->addWidget(flowLabel);
  flowRow->addWidget(flowControl);
  flowRow->addStretch(1);
  auto* hardwareColumn = new QVBoxLayout(hardware);
  for (QCheckBox* b : {autoDisconnect, dtrEnable, rtsEnable}) hardwareColumn->addWidget(b);
  hardwareColumn->addLayout(flowRow);

  auto* column = new QVBoxLayout(this);
  column->addWidget(tools);
  column->addWidget(hardware);
  column->addStretch(1);
}

void COptBasic::Load() {
  const ToolOptions& o = adapter_.Options;
  LoadCheck(tooltip, o.Tooltip);
  LoadCheck(terminal, o.Terminal);
  LoadCheck(autoLoad, o.AutoLoad);
  LoadCheck(userAutoConnect, o.userAutoConnect);
  LoadCheck(searchPorts, o.SearchPorts);
  LoadIndex(numberOfPorts, o.NumberOfPorts);
  LoadCheck(autoDisconnect, o.AutoDisconnect);
  LoadCheck(dtrEnable, o.DTREnable);
  LoadCheck(rtsEnable, o.RTSEnable);
  LoadIndex(flowControl, o.FlowControl);
}

void COptBasic::Store() {
  ToolOptions& o = adapter_.Options;
  o.Tooltip = StoredCheck(tooltip);
  o.Terminal = StoredCheck(terminal);
  o.AutoLoad = StoredCheck(autoLoad);
  o.userAutoConnect = StoredCheck(userAutoConnect);
  o.SearchPorts = StoredCheck(searchPorts);
  // A list left without a selection keeps the option it had.
  if (numberOfPorts->currentIndex() >= 0) o.NumberOfPorts = numberOfPorts->currentIndex();
  o.AutoDisconnect = StoredCheck(autoDisconnect);
  o.DTREnable = StoredCheck(dtrEnable);
  o.RTSEnable = StoredCheck(rtsEnable);
  if (flowControl->currentIndex() >= 0) o.FlowControl = flowControl->currentIndex();
}

void COptBasic::Defaults() {
  for (QCheckBox* b : {tooltip, terminal, autoLoad, searchPorts, dtrEnable, rtsEnable}) b->setChecked(true);
  autoDisconnect->setChecked(false);
  userAutoConnect->setChecked(false);
  numberOfPorts->setCurrentIndex(15);
  flowControl->setCurrentIndex(0);
}

// --- Advanced options ------------------------------------------------------

COptAdvanced::COptAdvanced(CAdapter& adapter, QWidget* parent) : COptionsPage(adapter, parent) {
  auto* group = new QGroupBox(QStringLiteral("Troubleshoot"), this);
  debug = new QCheckBox(QStringLiteral("Show Debug Messages"), group);
  hex = new QCheckBox(QStringLiteral("hex"), group);
  delay = new QLineEdit(group);
  delay->setMaxLength(4);
  delay->setFixedWidth(delay->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 14);
  responseTimeout = new QSlider(Qt::Horizontal, group);
  responseTimeout->setRange(0, 5);
  responseTimeout->setPageStep(1);
  responseTimeout->setTickPosition(QSlider::TicksBelow);
  responseTimeout->setTickInterval(1);
  responseTimeout->setMinimumWidth(160);

  auto* debugRow = new QHBoxLayout;
  debugRow->addWidget(debug);
  debugRow->addSpacing(12);
  debugRow->addWidget(hex);
  debugRow->addStretch(1);

  auto* delayRow = new QHBoxLayout;
  auto* delayLabel = new QLabel(QStringLiteral("Delay between AT commands (ms)"), group);
  delayLabel->setBuddy(delay);
  delayRow->addWidget(delayLabel);
  delayRow->addWidget(delay);
  delayRow->addWidget(new QLabel(QStringLiteral("0-1000 ms"), group));
  delayRow->addStretch(1);

  auto* sliderRow = new QHBoxLayout;
  sliderRow->addWidget(new QLabel(QStringLiteral("Short"), group));
  sliderRow->addWidget(responseTimeout, 1);
  sliderRow->addWidget(new QLabel(QStringLiteral("Long"), group));

  auto* groupColumn = new QVBoxLayout(group);
  groupColumn->addLayout(debugRow);
  groupColumn->addSpacing(6);
  groupColumn->addLayout(delayRow);
  groupColumn->addSpacing(6);
  auto* timeoutLabel = new QLabel(QStringLiteral("Response timeout"), group);
  timeoutLabel->setBuddy(responseTimeout);
  groupColumn->addWidget(timeoutLabel);
  groupColumn->addLayout(sliderRow);

  auto* column = new QVBoxLayout(this);
  column->addWidget(group);
  column->addStretch(1);

  // "hex" is only meaningful with debug messages; its check mark stays.
  connect(debug, &QCheckBox::clicked, this, [this] { hex->setEnabled(debug->isChecked()); });
}

void COptAdvanced::Load() {
  const ToolOptions& o = adapter_.Options;
  LoadCheck(debug, o.Debug);
  hex->setChecked(o.Debug == 1 && o.HexInput == 1);
  hex->setEnabled(o.Debug == 1);
  delay->setText(QString::number(o.DelayBeforeAT));
  responseTimeout->setValue(std::clamp(o.ResponseTimeout, 0, 5));
}

void COptAdvanced::Store() {
  ToolOptions& o = adapter_.Options;
  o.Debug = StoredCheck(debug);
  o.HexInput = debug->isChecked() ? StoredCheck(hex) : 0;
  const QByteArray text = delay->text().toLatin1();
  o.DelayBeforeAT = std::clamp(LeadingInt(std::string_view(text.constData(), static_cast<size_t>(text.size()))), 0, 1000);
  o.ResponseTimeout = responseTimeout->value();
}

void COptAdvanced::Defaults() {
  debug->setChecked(false);
  hex->setChecked(false);
  hex->setEnabled(false);
  delay->setText(QStringLiteral("0"));
  responseTimeout->setValue(1);
}

// --- the dialog ------------------------------------------------------------

COptionsDlg::COptionsDlg(CAdapter& adapter, QWidget* parent) : QDialog(parent), adapter_(adapter) {
  setWindowTitle(QStringLiteral("Tool Options"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  sheet_ = new QTabWidget(this);
  sheet_->setObjectName(QStringLiteral("Options Sheet"));
  basic_ = new COptBasic(adapter_, sheet_);
  advanced_ = new COptAdvanced(adapter_, sheet_);
  sheet_->addTab(basic_, QStringLiteral("Basic options"));
  sheet_->addTab(advanced_, QStringLiteral("Advanced options"));

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* defaults = buttons->addButton(QStringLiteral("Defaults"), QDialogButtonBox::ResetRole);
  buttons->addButton(QDialogButtonBox::Ok);
  buttons->addButton(QDialogButtonBox::Cancel);
  connect(defaults, &QPushButton::clicked, this, &COptionsDlg::OnDefaults);
  connect(buttons, &QDialogButtonBox::accepted, this, &COptionsDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &COptionsDlg::reject);

  auto* column = new QVBoxLayout(this);
  column->addWidget(sheet_);
  column->addWidget(buttons);
}

void COptionsDlg::OnDefaults() {
  if (basic_->Created()) basic_->Defaults();
  if (advanced_->Created()) advanced_->Defaults();
}

void COptionsDlg::accept() {
  if (basic_->Created()) basic_->Store();
  if (advanced_->Created()) advanced_->Store();
  // The time budget follows the new response time-out at once.
  adapter_.ApplyPortSettings();
  QDialog::accept();
}

}  // namespace kelvane
