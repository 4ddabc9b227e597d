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
#include "controls/wrap_combo.h"

namespace kelvane {

namespace {

// Each combo is wide enough for its longest entry (on its lines, for a
// CWrapComboBox), so the chosen entry is always shown whole.
QComboBox* MakeCombo(const std::vector<std::string>& items, QWidget* parent, int lines = 1) {
  QComboBox* combo = lines > 1 ? new CWrapComboBox(lines, parent) : new QComboBox(parent);
  for (const std::string& item : items) combo->addItem(QString::fromLatin1(item.c_str()));
  if (lines > 1) {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(24);
  } else {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  }
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

struct ComboRow {
  const char* label;
  QComboBox** combo;
  const std::vector<std::string>& items;
  int lines = 1;  // lines of the closed box
};

// A group of labelled combos, labels to the left or above their combo.
QGroupBox* MakeGroup(const QString& title, QWidget* parent, std::initializer_list<ComboRow> rows,
                     bool labelsAbove = false) {
  auto* box = new QGroupBox(title, parent);
  auto* grid = new QGridLayout(box);
  grid->setVerticalSpacing(2);
  grid->setHorizontalSpacing(6);
  grid->setContentsMargins(8, 2, 8, 4);
  int row = 0;
  for (const ComboRow& r : rows) {
    *r.combo = MakeCombo(r.items, box, r.lines);
    auto* label = new QLabel(QString::fromLatin1(r.label), box);
    label->setBuddy(*r.combo);
    if (labelsAbove) {
      grid->addWidget(label, row++, 0);
      grid->addWidget(*r.combo, row++, 0);
    } else {
      grid->addWidget(label, row, 0);
      grid->addWidget(*r.combo, row++, 1);
    }
  }
  grid->setColumnStretch(labelsAbove ? 0 : 1, 1);
  return box;
}

}  // namespace

CTabSerial::CTabSerial(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_SERIAL, SEC_SERIAL, &ui.Adapter().Config.serial, sizeof(SerialSettings),
                  QStringLiteral("Serial"), parent) {
  // The control and result entries are sentences: those groups take the
  // page's width, and the DTR box shows its longest entry over two lines.
  // A doubled ampersand shows as one (the labels have buddies).
  QGroupBox* control = MakeGroup(QStringLiteral("Control"), this,
                                 {{"Flow control [&&K]", &flow_, FlowControlItems()},
                                  {"DCD control [&&C]", &dcd_, DcdControlItems()},
                                  {"DSR control [&&S]", &dsr_, DsrControlItems()},
                                  {"DTR control [&&D]", &dtr_, DtrControlItems(), 2}});
  QGroupBox* result = MakeGroup(QStringLiteral("Result"), this,
                                {{"Result format [V]", &resultFormat_, ResultFormatItems()},
                                 {"Enhanced result messages [W]", &enhanced_, EnhancedResultItems()},
                                 {"Reduced result messages [X]", &reduced_, ReducedResultItems()},
                                 {"Local echo [E]", &echo_, LocalEchoItems()},
                                 {"Result code suppression [Q]", &suppression_, SuppressionItems()}});
  auto* note = new QLabel(
      QStringLiteral("Changes to Result code suppression will not be activated until disconnecting the Kelvane."),
      result);
  note->setWordWrap(true);
  static_cast<QGridLayout*>(result->layout())->addWidget(note, 5, 0, 1, 2);
  QGroupBox* format = MakeGroup(QStringLiteral("Fixed DTE Rate and format"), this,
                                {{"Baud rate [+IPR]", &baud_, BaudRateItems()},
                                 {"Data bits [+ICF]", &dataBits_, DataBitsItems()},
                                 {"Stop bits [+ICF]", &stopBits_, StopBitsItems()},
                                 {"Parity [+ICF]", &parity_, ParityItems()}});
  QGroupBox* trouble = MakeGroup(QStringLiteral("Troubleshooting"), this,
                                 {{"Ignore Errors [*WIE]", &ignoreErrors_, IgnoreErrorsItems()}}, true);

  // The short format settings share the last row with the error switch and
  // the page's buttons.
  auto* right = new QVBoxLayout;
  right->setSpacing(2);
  right->addWidget(trouble);
  right->addStretch(1);
  right->addWidget(CreateButtonGroups(), 0, Qt::AlignRight);
  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(6);
  bottom->addWidget(format, 0, Qt::AlignTop);
  bottom->addLayout(right, 1);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(6, 4, 6, 4);
  page->setSpacing(2);
  page->addWidget(control);
  page->addWidget(result);
  page->addLayout(bottom);
  page->addStretch(1);

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

  // Which control shows which field.
  const std::pair<const char*, QComboBox*> fields[] = {
      {"DteRate", baud_},
      {"DteStopBits", stopBits_},
      {"DteDataBits", dataBits_},
      {"DteParity", parity_},
      {"DcdControl", dcd_},
      {"DsrControl", dsr_},
      {"DtrControl", dtr_},
      {"LocalEcho", echo_},
      {"ModemFlowControl", flow_},
      {"EnhancedResults", enhanced_},
      {"ReducedResults", reduced_},
      {"ResultFormat", resultFormat_},
      {"ResultSuppression", suppression_},
      {"IgnoreErrors", ignoreErrors_},
  };
  for (const auto& [name, combo] : fields) ShowsField(std::string("SerialSettings.") + name, combo);

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
