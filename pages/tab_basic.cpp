#include "pages/tab_basic.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "config/basic_values.h"
#include "controls/image_button.h"
#include "pages/modulation_dlg.h"

namespace kelvane {

namespace {

QLabel* MakeLabel(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

}  // namespace

CTabBasic::CTabBasic(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_BASIC, parent) {
  // --- Line ---
  auto* line = new QGroupBox(QStringLiteral("Line"), this);
  modulation_ = new QLineEdit(line);
  modulation_->setReadOnly(true);
  Bind(modulation_, "BasicSettings.Modulation");
  edit_ = new QPushButton(QStringLiteral("Edit"), line);
  edit_->setAutoDefault(false);
  edit_->setMaximumWidth(edit_->fontMetrics().horizontalAdvance(edit_->text()) + 28);
  country_ = new QComboBox(line);
  country_->setMaxVisibleItems(20);
  compression_ = new QComboBox(line);
  breakControl_ = new QComboBox(line);
  lineQuality_ = new QComboBox(line);
  fastDisconnect_ = new QComboBox(line);
  auto* modulationRow = new QHBoxLayout;
  modulationRow->addWidget(modulation_, 1);
  modulationRow->addWidget(edit_);
  auto* lineGrid = new QGridLayout(line);
  lineGrid->setVerticalSpacing(3);
  lineGrid->setContentsMargins(8, 4, 8, 6);
  lineGrid->addWidget(MakeLabel(Caption("BasicSettings.Modulation"), modulation_, line), 0, 0);
  lineGrid->addLayout(modulationRow, 0, 1);
  const std::pair<const char*, QComboBox*> lineRows[] = {
      {"BasicSettings.CountryCode", country_},
      {"BasicSettings.ErrorCorrectionN", compression_},
      {"BasicSettings.BreakControl", breakControl_},
      {"BasicSettings.LineQuality", lineQuality_},
      {"BasicSettings.FastDisconnect", fastDisconnect_},
  };
  int row = 1;
  for (const auto& [field, combo] : lineRows) {
    Bind(combo, field, 0, combo != fastDisconnect_);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(12);
    // One combo shows the compression pair under the caption of both.
    QLabel* label = MakeLabel(combo == compression_ ? QStringLiteral("Compression and Error correction [\\N%C]")
                                                    : Caption(field),
                              combo, line);
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
  const char* const registerFields[] = {"BasicSettings.S0",  "BasicSettings.S7",  "BasicSettings.S10",
                                        "BasicSettings.S25", "BasicSettings.S30", "BasicSettings.S91"};
  for (std::size_t i = 0; i < registers_.size(); ++i) {
    auto* edit = new QLineEdit(sregs);
    Bind(edit, registerFields[i]);
    edit->setFixedWidth(digit * 4 + 12);
    registers_[i] = edit;
    QLabel* label = MakeLabel(Caption(registerFields[i]), edit, sregs);
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
  defaults_ = new QComboBox(defaultsBox);
  for (const std::string& item : FactoryDefaultItems()) defaults_->addItem(QString::fromLatin1(item.c_str()));
  defaults_->setAccessibleName(QStringLiteral("Load Default Settings  [&F]"));
  Watch(defaults_);

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

  // Enabled before a read and disabled after a failed one, as the bound
  // controls are; the defaults combo, Fast Disconnect, Read and Edit stay as
  // they are.
  for (QWidget* w : std::initializer_list<QWidget*>{load_, WriteButton(), WriteAllButton()}) AddValueControl(w);
  connect(edit_, &QPushButton::clicked, this, [this] {
    SyncFromControls();
    OnEditModulation();
  });
  connect(load_, &QPushButton::clicked, this, [this] {
    SyncFromControls();
    OnLoadDefaults();
  });

  RefillControls();
}

void CTabBasic::LoadControls() {
  LoadBound();
  defaults_->setCurrentIndex(0);
}

void CTabBasic::StoreControls() { StoreBound(); }

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
