#include "pages/tab_caller_id.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/image_button.h"
#include "pages/entry_edits.h"

namespace kelvane {

namespace {

constexpr int kEntryRows = 5;

}  // namespace

CTabCallerID::CTabCallerID(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_CALLERID, parent) {
  SetMaxTipWidth(200);
  auto* cid = new QGroupBox(QStringLiteral("Caller ID / A-Number [*WCID]"), this);
  auto* cidGrid = new QGridLayout(cid);
  // Each label above its combo: side by side they would not fit the page.
  const std::pair<const char*, QComboBox**> combos[] = {{"CallerIdSettings.CidFormat", &format_},
                                                        {"CallerIdSettings.CidMode", &mode_}};
  int row = 0;
  for (const auto& [field, combo] : combos) {
    *combo = new QComboBox(cid);
    Bind(*combo, field);
    auto* label = new QLabel(Caption(field), cid);
    label->setBuddy(*combo);
    cidGrid->addWidget(label, row++, 0);
    cidGrid->addWidget(*combo, row++, 0, Qt::AlignLeft);
  }

  // The ten entries in two columns of five: 1 to 5, then 6 to 10.
  auto* table = new QGroupBox(QStringLiteral("Accepted numbers [*WACCTAB]"), this);
  auto* tableGrid = new QGridLayout(table);
  const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
  for (int i = 0; i < kAcceptedNumberCount; ++i) {
    auto* edit = new QLineEdit(table);
    Bind(edit, "CallerIdSettings.AcceptedNumbers", static_cast<std::size_t>(i));
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

  connect(clearList_, &QPushButton::clicked, this, &CTabCallerID::OnClearList);
  // The Write buttons stay off after a failed read, also when the page is
  // shown again.
  AddValueControl(WriteButton());
  AddValueControl(WriteAllButton());

  // Filled now as well as on activation, so that no notification can store
  // empty controls over a record they were never filled from.
  LoadControls();
}

void CTabCallerID::LoadControls() { LoadBound(); }

void CTabCallerID::StoreControls() { StoreBound(); }

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
