#include "pages/modulation_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "config/basic_values.h"
#include "config/field_table.h"

namespace kelvane {

namespace {

std::string ComboText(const QComboBox* combo) {
  const QByteArray bytes = combo->currentText().toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void SetItems(QComboBox* combo, const std::vector<std::string>& items, int selected) {
  combo->clear();
  for (const std::string& item : items) combo->addItem(QString::fromLatin1(item.c_str()));
  combo->setCurrentIndex(selected);
}

}  // namespace

CModulationDlg::CModulationDlg(BasicSettings& basic, QWidget* parent) : QDialog(parent), basic_(basic) {
  setWindowTitle(QStringLiteral("Modulation (+MS)"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  carrier_ = new QComboBox(this);
  for (const Carrier& c : Carriers()) carrier_->addItem(QString::fromLatin1(c.name));
  automode_ = new QComboBox(this);
  for (const char* item : kAutomodeItems) automode_->addItem(QString::fromLatin1(item));

  auto* top = new QFormLayout;
  top->addRow(QStringLiteral("Carrier"), carrier_);
  top->addRow(QStringLiteral("Automode"), automode_);

  auto rateGroup = [this](const QString& title, QComboBox*& min, QComboBox*& max) {
    auto* box = new QGroupBox(title, this);
    min = new QComboBox(box);
    max = new QComboBox(box);
    // Wide enough for "57333" whichever list is shown.
    for (QComboBox* c : {min, max}) c->setMinimumContentsLength(6);
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("Min"), min);
    form->addRow(QStringLiteral("Max"), max);
    return box;
  };
  auto* tx = rateGroup(QStringLiteral("Transmit rate (TX)"), txMin_, txMax_);
  auto* rx = rateGroup(QStringLiteral("Receive rate (RX)"), rxMin_, rxMax_);
  auto* rates = new QHBoxLayout;
  rates->addWidget(tx);
  rates->addWidget(rx);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CModulationDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CModulationDlg::reject);

  auto* column = new QVBoxLayout(this);
  column->addLayout(top);
  column->addLayout(rates);
  column->addWidget(buttons);

  // The modem's names for some carriers differ from the list's.
  working_ = RewriteCarrierNames(ModulationFieldText(basic_.Modulation));
  FillFrom(working_);
  connect(carrier_, &QComboBox::currentIndexChanged, this, &CModulationDlg::OnCarrierChanged);
}

void CModulationDlg::FillFrom(const std::string& text) {
  filling_ = true;
  const ModulationView v = ViewModulation(text);
  carrier_->setCurrentIndex(v.carrier);
  automode_->setCurrentIndex(v.automode);
  SetItems(txMin_, v.txMin, v.txMinSel);
  SetItems(txMax_, v.txMax, v.txMaxSel);
  SetItems(rxMin_, v.rxMin, v.rxMinSel);
  SetItems(rxMax_, v.rxMax, v.rxMaxSel);
  filling_ = false;
}

void CModulationDlg::OnCarrierChanged(int index) {
  if (filling_ || index < 0) return;
  // Another carrier starts over: automode on, every rate "0".
  working_ = ComboText(carrier_);
  FillFrom(working_);
}

std::string CModulationDlg::BuildText() const {
  return ModulationText(ComboText(carrier_), ComboText(automode_), ComboText(txMin_), ComboText(txMax_),
                        ComboText(rxMin_), ComboText(rxMax_));
}

void CModulationDlg::accept() {
  // The modem gets the text bare: only the form it takes is stored.
  const std::string text = BuildText();
  if (!IsBareModulation(text)) {
    QDialog::reject();
    return;
  }
  StoreModulationField(basic_.Modulation, text);
  QDialog::accept();
}

}  // namespace kelvane
