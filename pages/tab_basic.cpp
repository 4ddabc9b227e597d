#include "pages/tab_basic.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

#include "config/basic_values.h"
#include "controls/image_button.h"
#include "pages/modulation_dlg.h"

namespace kelvane {

namespace {

QComboBox* MakeCombo(const std::vector<std::string>& items, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  for (const std::string& item : items) combo->addItem(QString::fromLatin1(item.c_str()));
  return combo;
}

QLabel* MakeLabel(const char* text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setBuddy(buddy);
  return label;
}

std::string Latin1(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// What can be typed into an S-register edit.
constexpr int kRegisterDigits = 3;

}  // namespace

CTabBasic::CTabBasic(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_BASIC, SEC_BASIC, &ui.Adapter().Config.basic, sizeof(BasicSettings),
                  QStringLiteral("Basic"), parent) {
  // --- Line ---
  auto* line = new QGroupBox(QStringLiteral("Line"), this);
  modulation_ = new QLineEdit(line);
  modulation_->setReadOnly(true);
  modulation_->setMaxLength(static_cast<int>(kModulationSize));
  edit_ = new QPushButton(QStringLiteral("Edit"), line);
  edit_->setAutoDefault(false);
  edit_->setMaximumWidth(edit_->fontMetrics().horizontalAdvance(edit_->text()) + 28);
  country_ = MakeCombo(CountryItems(), line);
  country_->setMaxVisibleItems(20);
  compression_ = MakeCombo(CompressionItems(), line);
  breakControl_ = MakeCombo(BreakControlItems(), line);
  lineQuality_ = MakeCombo(LineQualityItems(), line);
  fastDisconnect_ = MakeCombo(FastDisconnectItems(), line);
  for (QComboBox* c : {country_, compression_, breakControl_, lineQuality_, fastDisconnect_}) {
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(12);
  }

  auto* modulationRow = new QHBoxLayout;
  modulationRow->addWidget(modulation_, 1);
  modulationRow->addWidget(edit_);
  auto* lineGrid = new QGridLayout(line);
  lineGrid->setVerticalSpacing(3);
  lineGrid->setContentsMargins(8, 4, 8, 6);
  lineGrid->addWidget(MakeLabel("Modulation [+MS]", modulation_, line), 0, 0);
  lineGrid->addLayout(modulationRow, 0, 1);
  const std::pair<const char*, QComboBox*> lineRows[] = {
      {"Country code [+GCI]", country_},
      {"Compression and Error correction [\\N%C]", compression_},
      {"Break Control [\\K]", breakControl_},
      {"Line Quality and auto-retrain [%E]", lineQuality_},
      {"Fast Disconnect [*WFD]", fastDisconnect_},
  };
  int row = 1;
  for (const auto& [text, combo] : lineRows) {
    QLabel* label = MakeLabel(text, combo, line);
    label->setWordWrap(true);
    lineGrid->addWidget(label, row, 0);
    lineGrid->addWidget(combo, row, 1);
    ++row;
  }
  // The combos are wide enough for their longest item; long labels wrap.
  const int longest = compression_->fontMetrics().horizontalAdvance(compression_->itemText(3));
  compression_->setMinimumWidth(longest + 36);
  lineGrid->setColumnStretch(0, 1);

  // --- S-registers: two columns of three, long labels wrapped ---
  auto* sregs = new QGroupBox(QStringLiteral("S-registers"), this);
  auto* sGrid = new QGridLayout(sregs);
  sGrid->setVerticalSpacing(3);
  sGrid->setContentsMargins(8, 4, 8, 6);
  const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
  for (std::size_t i = 0; i < registers_.size(); ++i) {
    const BasicRegister& r = BasicRegisters()[i];
    auto* edit = new QLineEdit(sregs);
    edit->setMaxLength(kRegisterDigits);
    edit->setFixedWidth(digit * 4 + 12);
    registers_[i] = edit;
    QLabel* label = MakeLabel(r.label, edit, sregs);
    label->setWordWrap(true);
    const int gridRow = static_cast<int>(i % 3);
    const int gridColumn = static_cast<int>(i / 3) * 2;
    sGrid->addWidget(label, gridRow, gridColumn);
    sGrid->addWidget(edit, gridRow, gridColumn + 1);
  }
  sGrid->setColumnStretch(0, 1);
  sGrid->setColumnStretch(2, 1);

  // --- factory defaults and the page buttons ---
  auto* defaultsBox = new QGroupBox(QStringLiteral("Load Default Settings  [&&F]"), this);
  defaults_ = MakeCombo(FactoryDefaultItems(), defaultsBox);
  defaults_->setAccessibleName(QStringLiteral("Load Default Settings  [&F]"));

  load_ = new QPushButton(QStringLiteral("Load"), defaultsBox);
  load_->setAutoDefault(false);
  auto* defaultsRow = new QHBoxLayout(defaultsBox);
  defaultsRow->setContentsMargins(8, 2, 8, 6);
  defaultsRow->addWidget(defaults_, 1);
  defaultsRow->addWidget(load_);

  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(6, 6, 6, 6);
  page->setSpacing(4);
  page->addWidget(line);
  page->addWidget(sregs);
  page->addWidget(defaultsBox);
  page->addStretch(1);
  page->addWidget(CreateButtonGroups(), 0, Qt::AlignRight);

  // Enabled before a read and disabled after a failed one; the defaults
  // combo, Fast Disconnect, Read and Edit stay as they are.
  for (QWidget* w : std::initializer_list<QWidget*>{country_, compression_, modulation_, load_, lineQuality_,
                                                   breakControl_, WriteButton(), WriteAllButton()}) {
    AddValueControl(w);
  }
  for (std::size_t i = 0; i < registers_.size(); ++i) {
    QLineEdit* edit = registers_[i];
    AddValueControl(edit);
    Watch(edit);
    connect(edit, &QLineEdit::textEdited, this, [this, i, edit] {
      keepRegister_[i] = false;
      if (edit->text().size() <= kRegisterDigits) edit->setMaxLength(kRegisterDigits);
      // The change notification may have come before this one.
      SyncFromControls();
    });
  }
  for (QComboBox* c : {country_, compression_, breakControl_, lineQuality_, fastDisconnect_, defaults_}) {
    Watch(c);
  }
  connect(edit_, &QPushButton::clicked, this, [this] {
    SyncFromControls();
    OnEditModulation();
  });
  connect(load_, &QPushButton::clicked, this, [this] {
    SyncFromControls();
    OnLoadDefaults();
  });

  SetTip(modulation_, QStringLiteral("Modulation"));
  SetTip(lineQuality_, QStringLiteral("Line Quality and auto-retrain [%E]\n\rDefault: 2"));
  SetTip(breakControl_, QStringLiteral("Break Control [\\K]\n\rDefault: 5"));
  SetTip(compression_, QStringLiteral("Compression and Error correction\n\rDefault: 2"));
  SetTip(country_, QStringLiteral("Country code [+GCI]"));
  for (std::size_t i = 0; i < registers_.size(); ++i) {
    SetTip(registers_[i], QString::fromLatin1(BasicRegisters()[i].tip));
  }

  // Which control shows which field; one combo shows the compression pair.
  const char* const registerFields[] = {"S0", "S7", "S10", "S25", "S30", "S91"};
  for (std::size_t i = 0; i < registers_.size(); ++i) {
    ShowsField(std::string("BasicSettings.") + registerFields[i], registers_[i]);
  }
  ShowsField("BasicSettings.Modulation", modulation_);
  ShowsField("BasicSettings.CountryCode", country_);
  ShowsField("BasicSettings.CompressionC", compression_);
  ShowsField("BasicSettings.ErrorCorrectionN", compression_);
  ShowsField("BasicSettings.BreakControl", breakControl_);
  ShowsField("BasicSettings.LineQuality", lineQuality_);
  ShowsField("BasicSettings.FastDisconnect", fastDisconnect_);

  RefillControls();
}

int32_t* CTabBasic::RegisterField(int i) {
  BasicSettings& b = a_.Config.basic;
  int32_t* fields[] = {&b.S0, &b.S7, &b.S10, &b.S25, &b.S30, &b.S91};
  return fields[i];
}

void CTabBasic::LoadControls() {
  const BasicSettings& b = a_.Config.basic;
  const int country = CountryIndex(b.CountryCode);
  countryUnknown_ = country < 0;
  if (countryUnknown_) {
    // Shown as what the page will store for it.
    country_->setCurrentIndex(CountryIndex(kUniversalCountryCode));
    country_->setEnabled(false);
  } else {
    country_->setCurrentIndex(country);
    // As the other value controls are: off after a failed read.
    country_->setEnabled(ValueControlsEnabled());
  }
  compression_->setCurrentIndex(CompressionIndex(b.ErrorCorrectionN, b.CompressionC));
  modulation_->setText(QString::fromLatin1(ModulationFieldText(b.Modulation).c_str()));
  modulation_->setCursorPosition(0);
  SelectNumbered(breakControl_, b.BreakControl);
  SelectNumbered(lineQuality_, b.LineQuality);
  fastDisconnect_->setCurrentIndex(b.FastDisconnect == 1 ? 1 : 0);
  for (std::size_t i = 0; i < registers_.size(); ++i) {
    const int value = *RegisterField(static_cast<int>(i));
    const QString text = QString::number(value);
    registers_[i]->setMaxLength(std::max(kRegisterDigits, static_cast<int>(text.size())));
    registers_[i]->setText(text);
    keepRegister_[i] = BasicRegisterFromText(BasicRegisters()[i].number, Latin1(text)) != value;
  }
  defaults_->setCurrentIndex(0);
}

void CTabBasic::StoreControls() {
  BasicSettings& b = a_.Config.basic;
  if (countryUnknown_) {
    b.CountryCode = kUniversalCountryCode;
  } else if (country_->currentIndex() >= 0) {
    b.CountryCode = CountryCodeOfItem(Latin1(country_->currentText()));
  }
  CompressionPair pair;
  if (CompressionPairAt(compression_->currentIndex(), pair)) {
    b.ErrorCorrectionN = pair.errorCorrectionN;
    b.CompressionC = pair.compressionC;
  }
  StoreSelectedIndex(breakControl_, b.BreakControl);
  StoreSelectedIndex(lineQuality_, b.LineQuality);
  if (fastDisconnect_->currentIndex() >= 0) b.FastDisconnect = static_cast<uint8_t>(fastDisconnect_->currentIndex());
  for (std::size_t i = 0; i < registers_.size(); ++i) {
    if (keepRegister_[i]) continue;
    *RegisterField(static_cast<int>(i)) =
        BasicRegisterFromText(BasicRegisters()[i].number, Latin1(registers_[i]->text()));
  }
}

void CTabBasic::SetValueControlsEnabled(bool enabled) {
  CConfigPage::SetValueControlsEnabled(enabled);
  if (countryUnknown_) country_->setEnabled(false);
}

void CTabBasic::OnEditModulation() {
  PageOperation hold(*this);
  CModulationDlg dialog(a_.Config.basic, this);
  if (ui_.ExecModal(dialog) != QDialog::Accepted) return;
  RefillControls();
  // The dialog changed the record itself: the change marker follows at once.
  SyncFromControls();
}

void CTabBasic::OnLoadDefaults() {
  PageOperation hold(*this);
  if (a_.Busy || !(a_.LinkState & LS_IDENTIFIED)) return;
  if (ui_.MessageBox("Set factory default parameters?", MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes) {
    return;
  }
  const bool standard = defaults_->currentIndex() == 0;
  CommandOptions options;
  // The defaults set the result-code mode themselves.
  options.restoreNumeric = false;
  RunModemCommand(
      QStringLiteral("Writing configuration."), 2,
      [this, standard](std::string& failed) {
        const char* const commands[] = {"AT&F", "AT&W"};
        const std::vector<const char*> sequence =
            standard ? std::vector<const char*>(std::begin(commands), std::end(commands))
                     : std::vector<const char*>{"AT&F2"};
        for (const char* text : sequence) {
          std::string command = text;
          if (a_.Transact(command, 3, "OK\r\n") != 1) {
            failed = command;
            return false;
          }
        }
        return true;
      },
      options);
  // Whatever happened, every page reads its section anew; this one at once.
  a_.ResetPageFlags();
  OnSetActive();
}

}  // namespace kelvane
