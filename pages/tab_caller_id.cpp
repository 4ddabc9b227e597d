#include "pages/tab_caller_id.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/entry_rules.h"
#include "controls/image_button.h"
#include "pages/entry_edits.h"

namespace kelvane {

namespace {

QComboBox* MakeCombo(const std::vector<std::string>& items, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  for (const std::string& item : items) combo->addItem(Latin1Text(item));
  return combo;
}

constexpr int kEntryRows = 5;

}  // namespace

CTabCallerID::CTabCallerID(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_CALLERID, parent) {
  SetMaxTipWidth(200);
  auto* cid = new QGroupBox(QStringLiteral("Caller ID / A-Number [*WCID]"), this);
  auto* cidGrid = new QGridLayout(cid);
  format_ = MakeCombo(CidFormatItems(), cid);
  mode_ = MakeCombo(CidModeItems(), cid);
  auto* formatLabel = new QLabel(QStringLiteral("Format of CID/A-number presentation"), cid);
  auto* modeLabel = new QLabel(QStringLiteral("Mode (Caller Identification standard)"), cid);
  formatLabel->setBuddy(format_);
  modeLabel->setBuddy(mode_);
  // Each label above its combo: side by side they would not fit the page.
  cidGrid->addWidget(formatLabel, 0, 0);
  cidGrid->addWidget(format_, 1, 0, Qt::AlignLeft);
  cidGrid->addWidget(modeLabel, 2, 0);
  cidGrid->addWidget(mode_, 3, 0, Qt::AlignLeft);

  // The ten entries in two columns of five: 1 to 5, then 6 to 10.
  auto* table = new QGroupBox(QStringLiteral("Accepted numbers [*WACCTAB]"), this);
  auto* tableGrid = new QGridLayout(table);
  const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
  for (int i = 0; i < kAcceptedNumberCount; ++i) {
    auto* edit = new QLineEdit(table);
    edit->setMaxLength(static_cast<int>(kAcceptedNumberChars));
    edit->setMinimumWidth(digit * 22);
    auto* label = new QLabel(QString::number(i + 1), table);
    label->setBuddy(edit);
    const int column = (i / kEntryRows) * 2;
    tableGrid->addWidget(label, i % kEntryRows, column, Qt::AlignRight);
    tableGrid->addWidget(edit, i % kEntryRows, column + 1);
    entries_[static_cast<std::size_t>(i)] = edit;
  }
  tableGrid->setColumnStretch(1, 1);
  tableGrid->setColumnStretch(3, 1);
  tableGrid->setColumnMinimumWidth(2, digit * 3);
  auto* below = new QHBoxLayout;
  below->addWidget(new QLabel(QStringLiteral("0-20 characters"), table));
  below->addStretch(1);
  clearList_ = new QPushButton(QStringLiteral("Clear List"), table);
  below->addWidget(clearList_);
  tableGrid->addLayout(below, kEntryRows, 0, 1, 4);

  auto* page = new QVBoxLayout(this);
  page->addWidget(cid);
  page->addWidget(table);
  page->addStretch(1);
  page->addWidget(CreateButtonGroups(), 0, Qt::AlignRight);

  for (QComboBox* combo : {format_, mode_}) {
    AddValueControl(combo);
    Watch(combo);
  }
  for (QLineEdit* edit : entries_) {
    AddValueControl(edit);
    Watch(edit);
    SetTip(edit, QStringLiteral("Number entry\n\rMax 20 characters."));
  }
  connect(clearList_, &QPushButton::clicked, this, &CTabCallerID::OnClearList);
  // The Write buttons stay off after a failed read, also when the page is
  // shown again.
  AddValueControl(WriteButton());
  AddValueControl(WriteAllButton());

  // Which control shows which field.
  ShowsField("CallerIdSettings.CidFormat", format_);
  ShowsField("CallerIdSettings.CidMode", mode_);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    ShowsField("CallerIdSettings.AcceptedNumbers[" + std::to_string(i) + "]", entries_[i]);
  }

  // Filled now as well as on activation, so that no notification can store
  // empty controls over a record they were never filled from.
  LoadControls();
}

void CTabCallerID::LoadControls() {
  const CallerIdView v = ShowCallerId(a_.Config.callerId);
  std::vector<QObject*> controls = {format_, mode_};
  controls.insert(controls.end(), entries_.begin(), entries_.end());
  const SignalHold hold(controls);
  format_->setCurrentIndex(v.format);
  mode_->setCurrentIndex(v.mode);
  for (std::size_t i = 0; i < entries_.size(); ++i) entries_[i]->setText(Latin1Text(v.numbers[i]));
}

void CTabCallerID::StoreControls() {
  CallerIdView v;
  v.format = format_->currentIndex();
  v.mode = mode_->currentIndex();
  for (std::size_t i = 0; i < entries_.size(); ++i) v.numbers[i] = EditText(entries_[i]);
  CallerIdSettings& c = a_.Config.callerId;
  for (int i : StoreCallerId(v, c)) {
    const auto n = static_cast<std::size_t>(i);
    PutBackEntry(entries_[n], ShownText(c.AcceptedNumbers[n], sizeof c.AcceptedNumbers[n],
                                        kAcceptedNumberChars));
  }
}

void CTabCallerID::OnClearList() {
  for (QLineEdit* edit : entries_) SetEditQuietly(edit, QString());
  SyncFromControls();
}

void CTabCallerID::SetValueControlsEnabled(bool enabled) {
  CConfigPage::SetValueControlsEnabled(enabled);
  const bool writes = enabled && !(a_.LinkState & LS_FILE);
  if (WriteButton()) WriteButton()->setEnabled(writes);
  if (WriteAllButton()) WriteAllButton()->setEnabled(writes);
}

}  // namespace kelvane
