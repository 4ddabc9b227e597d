#include "pages/tab_serial.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "config/field_table.h"
#include "config/serial_values.h"
#include "controls/image_button.h"
#include "controls/wrap_combo.h"

namespace kelvane {

// A group of labelled combos, labels to the left or above their combo. Each
// combo is wide enough for its longest entry (on its lines, for a
// CWrapComboBox), so the chosen entry is always shown whole.
QGroupBox* CTabSerial::MakeGroup(const QString& title, std::initializer_list<ComboRow> rows, bool labelsAbove) {
  auto* box = new QGroupBox(title, this);
  auto* grid = new QGridLayout(box);
  grid->setVerticalSpacing(2);
  grid->setHorizontalSpacing(6);
  grid->setContentsMargins(8, 2, 8, 4);
  int row = 0;
  for (const ComboRow& r : rows) {
    QComboBox* combo = r.lines > 1 ? new CWrapComboBox(r.lines, box) : new QComboBox(box);
    Bind(combo, r.field);
    if (r.lines > 1) {
      combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
      combo->setMinimumContentsLength(24);
    } else {
      combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) + 24);
    *r.combo = combo;
    auto* label = new QLabel(Caption(r.field), box);
    label->setBuddy(combo);
    if (labelsAbove) {
      grid->addWidget(label, row++, 0);
      grid->addWidget(combo, row++, 0);
    } else {
      grid->addWidget(label, row, 0);
      grid->addWidget(combo, row++, 1);
    }
  }
  grid->setColumnStretch(labelsAbove ? 0 : 1, 1);
  return box;
}

CTabSerial::CTabSerial(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_SERIAL, parent) {
  // The control and result entries are sentences: those groups take the
  // page's width, and the DTR box shows its longest entry over two lines.
  QGroupBox* control = MakeGroup(QStringLiteral("Control"), {{"SerialSettings.ModemFlowControl", &flow_},
                                                             {"SerialSettings.DcdControl", &dcd_},
                                                             {"SerialSettings.DsrControl", &dsr_},
                                                             {"SerialSettings.DtrControl", &dtr_, 2}});
  QGroupBox* result = MakeGroup(QStringLiteral("Result"), {{"SerialSettings.ResultFormat", &resultFormat_},
                                                           {"SerialSettings.EnhancedResults", &enhanced_},
                                                           {"SerialSettings.ReducedResults", &reduced_},
                                                           {"SerialSettings.LocalEcho", &echo_},
                                                           {"SerialSettings.ResultSuppression", &suppression_}});
  auto* note = new QLabel(
      QStringLiteral("Changes to Result code suppression will not be activated until disconnecting the Kelvane."),
      result);
  note->setWordWrap(true);
  static_cast<QGridLayout*>(result->layout())->addWidget(note, 5, 0, 1, 2);
  QGroupBox* format = MakeGroup(QStringLiteral("Fixed DTE Rate and format"), {{"SerialSettings.DteRate", &baud_},
                                                                              {"SerialSettings.DteDataBits", &dataBits_},
                                                                              {"SerialSettings.DteStopBits", &stopBits_},
                                                                              {"SerialSettings.DteParity", &parity_}});
  QGroupBox* trouble = MakeGroup(QStringLiteral("Troubleshooting"), {{"SerialSettings.IgnoreErrors", &ignoreErrors_}}, true);

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

  AddValueControl(WriteButton());
  AddValueControl(WriteAllButton());
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
  LoadBound();
  EnableFormat(a_.Config.serial.DteRate != 0);
}

void CTabSerial::StoreControls() {
  SerialSettings& s = a_.Config.serial;
  const DteFormat held{s.DteDataBits, s.DteStopBits, s.DteParity};
  StoreBound();
  // A rate the list lacks shows no selection and stays as the modem has it;
  // with automatic rate detection the format is not taken from the page.
  EnableFormat(s.DteRate != 0);
  if (s.DteRate == 0) {
    s.DteDataBits = held.dataBits;
    s.DteStopBits = held.stopBits;
    s.DteParity = held.parity;
    return;
  }
  const DteFormat shown{s.DteDataBits, s.DteStopBits, s.DteParity};
  const DteFormat stored = ApplyFormatRules(shown);
  s.DteDataBits = stored.dataBits;
  s.DteStopBits = stored.stopBits;
  s.DteParity = stored.parity;
  // The combos follow what the rules made of them.
  const QSignalBlocker holdParity(parity_);
  const QSignalBlocker holdData(dataBits_);
  if (stored.parity != shown.parity) parity_->setCurrentIndex(0);
  if (stored.dataBits != shown.dataBits) {
    dataBits_->setCurrentIndex(ShownItem(a_.Config, *FindField("SerialSettings.DteDataBits"), 0));
  }
}

}  // namespace kelvane
