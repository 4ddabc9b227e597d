#include "pages/tab_serial.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "config/basic_values.h"
#include "config/page_values.h"
#include "config/serial_values.h"
#include "controls/image_button.h"

namespace kelvane {

namespace {

QComboBox* MakeCombo(const std::vector<std::string>& items, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  for (const std::string& item : items) combo->addItem(QString::fromLatin1(item.c_str()));
  // Narrow on the page; the open list shows the long items whole.
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  combo->setMinimumContentsLength(8);
  combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) + 24);
  return combo;
}

std::string Latin1(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The number before "-" of the selected item into `field`; without a
// selection the field keeps what the modem reported.
void StoreNumberBeforeDash(const QComboBox* combo, int32_t& field) {
  if (combo->currentIndex() >= 0) field = NumberBeforeDash(Latin1(combo->currentText()));
}

QGroupBox* MakeGroup(const QString& title, QWidget* parent,
                     std::initializer_list<std::pair<const char*, QComboBox**>> rows,
                     const std::vector<std::string>* const lists[]) {
  auto* box = new QGroupBox(title, parent);
  auto* grid = new QGridLayout(box);
  grid->setVerticalSpacing(3);
  grid->setContentsMargins(8, 4, 8, 6);
  int row = 0;
  for (const auto& [text, combo] : rows) {
    *combo = MakeCombo(*lists[row], box);
    auto* label = new QLabel(QString::fromLatin1(text), box);
    label->setBuddy(*combo);
    grid->addWidget(label, row, 0);
    grid->addWidget(*combo, row, 1);
    ++row;
  }
  grid->setColumnStretch(1, 1);
  return box;
}

}  // namespace

CTabSerial::CTabSerial(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_SERIAL, SEC_SERIAL, &ui.Adapter().Config.serial, sizeof(SerialSettings),
                  QStringLiteral("Serial"), parent) {
  const std::vector<std::string>* const formatLists[] = {&BaudRateItems(), &DataBitsItems(), &StopBitsItems(),
                                                         &ParityItems()};
  QGroupBox* format = MakeGroup(QStringLiteral("Fixed DTE Rate and format"), this,
                                {{"Baud rate [+IPR]", &baud_},
                                 {"Data bits [+ICF]", &dataBits_},
                                 {"Stop bits [+ICF]", &stopBits_},
                                 {"Parity [+ICF]", &parity_}},
                                formatLists);
  // A doubled ampersand shows as one (the labels have buddies).
  const std::vector<std::string>* const controlLists[] = {&FlowControlItems(), &DcdControlItems(),
                                                          &DsrControlItems(), &DtrControlItems()};
  QGroupBox* control = MakeGroup(QStringLiteral("Control"), this,
                                 {{"Flow control [&&K]", &flow_},
                                  {"DCD control [&&C]", &dcd_},
                                  {"DSR control [&&S]", &dsr_},
                                  {"DTR control [&&D]", &dtr_}},
                                 controlLists);
  // The control items are long sentences: their combos show the number and
  // the start, the open list shows them whole.
  for (QComboBox* c : {flow_, dcd_, dsr_, dtr_}) c->setMinimumContentsLength(6);
  const std::vector<std::string>* const troubleLists[] = {&IgnoreErrorsItems()};
  QGroupBox* trouble = MakeGroup(QStringLiteral("Troubleshooting"), this,
                                 {{"Ignore Errors [*WIE]", &ignoreErrors_}}, troubleLists);
  ignoreErrors_->setMinimumContentsLength(6);
  const std::vector<std::string>* const resultLists[] = {&ResultFormatItems(), &EnhancedResultItems(),
                                                         &ReducedResultItems(), &LocalEchoItems(),
                                                         &SuppressionItems()};
  QGroupBox* result = MakeGroup(QStringLiteral("Result"), this,
                                {{"Result format [V]", &resultFormat_},
                                 {"Enhanced result messages [W]", &enhanced_},
                                 {"Reduced result messages [X]", &reduced_},
                                 {"Local echo [E]", &echo_},
                                 {"Result code suppression [Q]", &suppression_}},
                                resultLists);
  auto* note = new QLabel(
      QStringLiteral("Changes to Result code suppression will not be activated until disconnecting the Kelvane."),
      result);
  note->setWordWrap(true);
  static_cast<QGridLayout*>(result->layout())->addWidget(note, 5, 0, 1, 2);

  auto* right = new QVBoxLayout;
  right->addWidget(control);
  right->addStretch(1);
  auto* left = new QVBoxLayout;
  left->setSpacing(4);
  left->addWidget(format);
  left->addWidget(trouble);
  auto* top = new QHBoxLayout;
  top->setSpacing(6);
  top->addLayout(left);
  top->addLayout(right, 1);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(6, 6, 6, 6);
  page->setSpacing(4);
  page->addLayout(top);
  page->addWidget(result);
  page->addStretch(1);
  page->addWidget(CreateButtonGroups(), 0, Qt::AlignRight);

  for (QComboBox* c : {enhanced_, reduced_, baud_, stopBits_, suppression_, resultFormat_, parity_, flow_, echo_,
                       dtr_, dsr_, dcd_, dataBits_, ignoreErrors_}) {
    AddValueControl(c);
    Watch(c);
  }
  AddValueControl(WriteButton());
  AddValueControl(WriteAllButton());

  SetTip(enhanced_, QStringLiteral("Enhance result messages"));
  SetTip(reduced_, QStringLiteral("Reduce result messages"));
  SetTip(baud_, QStringLiteral("Baudrate asynchronous\n\rDefault: 0 - Autobauding"));
  SetTip(stopBits_, QStringLiteral("Asynchronous stopbits\n\r Default: 1"));
  SetTip(suppression_, QStringLiteral("Supress result"));
  SetTip(resultFormat_, QStringLiteral("Result format"));
  SetTip(parity_, QStringLiteral("Asynchronous parity\n\r Default: No parity"));
  SetTip(flow_, QStringLiteral("Flow control\n\rDefault: 0 - No flow control"));
  SetTip(echo_, QStringLiteral("Local echo"));
  SetTip(dtr_, QStringLiteral("DTR control\n\rDefault: 0 - The DTR signal is ignored"));
  SetTip(dsr_, QStringLiteral("DSR control\n\rDefault: 0 - Always on"));
  SetTip(dcd_, QStringLiteral("DCD control\n\rDefault: 1 - DCD indicates a connection"));
  SetTip(dataBits_, QStringLiteral("Asynchronous databits\n\rDefault: 8"));

  RefillControls();
}

void CTabSerial::EnableFormat(bool enabled) {
  for (QComboBox* c : {dataBits_, stopBits_, parity_}) c->setEnabled(enabled);
}

void CTabSerial::SetValueControlsEnabled(bool enabled) {
  CConfigPage::SetValueControlsEnabled(enabled);
  // The format only counts with a fixed rate.
  if (enabled) EnableFormat(a_.Config.serial.DteRate != 0);
}

void CTabSerial::LoadControls() {
  const SerialSettings& s = a_.Config.serial;
  baud_->setCurrentIndex(BaudRateIndex(s.DteRate));
  EnableFormat(s.DteRate != 0);
  SelectNumbered(dataBits_, s.DteDataBits);
  SelectNumbered(stopBits_, s.DteStopBits);
  parity_->setCurrentIndex(FindItemWithPrefix(ParityItems(), std::string(1, s.DteParity)));
  SelectNumbered(suppression_, s.ResultSuppression);
  SelectNumbered(enhanced_, s.EnhancedResults);
  SelectNumbered(reduced_, s.ReducedResults);
  SelectNumbered(resultFormat_, s.ResultFormat);
  SelectNumbered(echo_, s.LocalEcho);
  SelectNumbered(flow_, s.ModemFlowControl);
  SelectNumbered(dsr_, s.DsrControl);
  SelectNumbered(dcd_, s.DcdControl);
  SelectNumbered(dtr_, s.DtrControl);
  SelectNumbered(ignoreErrors_, s.IgnoreErrors);
}

void CTabSerial::StoreControls() {
  SerialSettings& s = a_.Config.serial;
  // A rate the list lacks shows no selection and stays as the modem has it.
  if (baud_->currentIndex() >= 0) s.DteRate = LeadingInt(Latin1(baud_->currentText()), -1);
  if (s.DteRate == 0) {
    EnableFormat(false);
  } else {
    EnableFormat(true);
    DteFormat shown{s.DteDataBits, s.DteStopBits, s.DteParity};
    if (dataBits_->currentIndex() >= 0) shown.dataBits = NumberBeforeDash(Latin1(dataBits_->currentText()));
    if (stopBits_->currentIndex() >= 0) shown.stopBits = NumberBeforeDash(Latin1(stopBits_->currentText()));
    if (parity_->currentIndex() >= 0) shown.parity = Latin1(parity_->currentText()).front();
    const DteFormat stored = ApplyFormatRules(shown);
    s.DteDataBits = stored.dataBits;
    s.DteStopBits = stored.stopBits;
    s.DteParity = stored.parity;
    // The combos follow what the rules made of them.
    const QSignalBlocker holdParity(parity_);
    const QSignalBlocker holdData(dataBits_);
    if (stored.parity != shown.parity) parity_->setCurrentIndex(0);
    if (stored.dataBits != shown.dataBits) SelectNumbered(dataBits_, stored.dataBits);
  }
  for (auto [combo, field] : {std::pair{suppression_, &s.ResultSuppression}, std::pair{enhanced_, &s.EnhancedResults},
                              std::pair{reduced_, &s.ReducedResults}, std::pair{resultFormat_, &s.ResultFormat},
                              std::pair{echo_, &s.LocalEcho}, std::pair{flow_, &s.ModemFlowControl},
                              std::pair{dsr_, &s.DsrControl}, std::pair{dcd_, &s.DcdControl},
                              std::pair{dtr_, &s.DtrControl}, std::pair{ignoreErrors_, &s.IgnoreErrors}}) {
    StoreNumberBeforeDash(combo, *field);
  }
}

}  // namespace kelvane
