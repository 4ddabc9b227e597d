#include "pages/tab_io.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "ui/transfer_dlg.h"
#include "config/field_table.h"
#include "config/io_values.h"
#include "controls/image_button.h"
#include "pages/io_entry_dlg.h"

namespace kelvane {

namespace {

QComboBox* MakeCombo(QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return combo;
}

// Digits only, any number of them: the value is stored and sent as typed.
QLineEdit* MakeNumberEdit(QWidget* parent, int width) {
  auto* edit = new QLineEdit(parent);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  edit->setFixedWidth(width);
  return edit;
}

QPushButton* MakeButton(QWidget* parent, const QString& text) {
  auto* button = new QPushButton(text, parent);
  button->setAutoDefault(false);
  const int width = button->fontMetrics().horizontalAdvance(text) + 12;
  button->setFixedWidth(std::max(width, 36));
  return button;
}

}  // namespace

CTabIO::CTabIO(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_IO, parent) {
  setObjectName(QStringLiteral("I/O"));

  // --- I/O parameters ---
  auto* parameters = new QGroupBox(QStringLiteral("I/O parameters [*WIOP]"), this);
  tp_ = MakeNumberEdit(parameters, 48);
  ta_ = MakeNumberEdit(parameters, 48);
  trigType_ = MakeCombo(parameters);
  trigLevel_ = MakeCombo(parameters);
  outputCtrl_ = MakeCombo(parameters);
  Bind(tp_, "IoSettings.PulseTp");
  Bind(ta_, "IoSettings.PulseTa");
  Bind(trigType_, "IoSettings.TrigType");
  Bind(trigLevel_, "IoSettings.TrigLevel");
  Bind(outputCtrl_, "IoSettings.OutputCtrl");
  saveParameters_ = MakeButton(parameters, QStringLiteral("Save"));
  auto* pgrid = new QGridLayout(parameters);
  pgrid->setHorizontalSpacing(6);
  pgrid->setVerticalSpacing(2);
  pgrid->addWidget(new QLabel(QStringLiteral("Trig pulse time in 10 ms"), parameters), 0, 0, 1, 4);
  pgrid->addWidget(new QLabel(QStringLiteral("Tp"), parameters), 1, 0);
  pgrid->addWidget(tp_, 1, 1);
  pgrid->addWidget(new QLabel(QStringLiteral("Ta"), parameters), 1, 2);
  pgrid->addWidget(ta_, 1, 3);
  pgrid->addWidget(new QLabel(Caption("IoSettings.TrigLevel"), parameters), 0, 4, 1, 2);
  // Each parameter is named by its caption; the two pulse times stand under
  // one caption, and theirs add their own letter.
  const std::pair<QWidget*, const char*> named[] = {{tp_, "IoSettings.PulseTp"},
                                                    {ta_, "IoSettings.PulseTa"},
                                                    {trigLevel_, "IoSettings.TrigLevel"},
                                                    {trigType_, "IoSettings.TrigType"},
                                                    {outputCtrl_, "IoSettings.OutputCtrl"}};
  for (const auto& [control, field] : named) control->setAccessibleName(QString::fromLatin1(PageField(field).caption));
  pgrid->addWidget(trigLevel_, 1, 4);
  pgrid->addWidget(new QLabel(Caption("IoSettings.TrigType"), parameters), 2, 0, 1, 4);
  pgrid->addWidget(trigType_, 3, 0, 1, 4);
  pgrid->addWidget(new QLabel(Caption("IoSettings.OutputCtrl"), parameters), 2, 4, 1, 2);
  // The output list's longest entry ("31 - DCD_PSTN") needs the width of
  // both right columns; Save sits beside the short trigger level instead.
  pgrid->addWidget(outputCtrl_, 3, 4, 1, 2);
  pgrid->addWidget(saveParameters_, 1, 5, Qt::AlignRight);
  pgrid->setColumnStretch(5, 1);

  // --- I/O List ---
  auto* list = new QGroupBox(QStringLiteral("I/O List [*WIOL]"), this);
  auto* lgrid = new QGridLayout(list);
  lgrid->setHorizontalSpacing(3);
  lgrid->setVerticalSpacing(2);
  const char* heads[] = {"Service", "Retry <flag>", "Time", "Priority"};
  for (int c = 0; c < 4; ++c) lgrid->addWidget(new QLabel(QString::fromLatin1(heads[c]), list), 0, c + 1);
  for (int n = 1; n <= 10; ++n) {
    const auto i = static_cast<size_t>(n - 1);
    Row& row = rows_[i];
    row.service = MakeCombo(list);
    row.retry = MakeCombo(list);
    row.time = MakeNumberEdit(list, 36);
    row.priority = MakeCombo(list);
    Bind(row.service, "IoSettings.Service", i);
    Bind(row.retry, "IoSettings.Retry", i);
    Bind(row.time, "IoSettings.Timeout", i);
    Bind(row.priority, "IoSettings.Priority", i);
    row.edit = MakeButton(list, QStringLiteral("Edit"));
    row.remove = MakeButton(list, QStringLiteral("Delete"));
    row.save = MakeButton(list, QStringLiteral("Save"));
    lgrid->addWidget(new QLabel(QStringLiteral("%1:").arg(n), list), n, 0);
    // A cell is named by its column's head and its row's number.
    row.service->setAccessibleName(QStringLiteral("Service %1").arg(n));
    row.retry->setAccessibleName(QStringLiteral("Retry <flag> %1").arg(n));
    row.time->setAccessibleName(QStringLiteral("Time %1").arg(n));
    row.priority->setAccessibleName(QStringLiteral("Priority %1").arg(n));
    QWidget* cells[] = {row.service, row.retry, row.time, row.priority, row.edit, row.remove, row.save};
    for (int c = 0; c < 7; ++c) lgrid->addWidget(cells[c], n, c + 1);
  }
  lgrid->setColumnStretch(8, 1);

  // --- I/O Diagnostic ---
  auto* diagnostic = new QGroupBox(QStringLiteral("I/O Diagnostic"), this);
  testEntry_ = new QComboBox(diagnostic);
  for (int n = 1; n <= 10; ++n) testEntry_->addItem(QString::number(n));
  test_ = MakeButton(diagnostic, QStringLiteral("Test"));
  auto* dgrid = new QGridLayout(diagnostic);
  dgrid->setVerticalSpacing(2);
  dgrid->addWidget(new QLabel(QStringLiteral("Start selected service"), diagnostic), 0, 0, 1, 2);
  auto* serviceLabel = new QLabel(QStringLiteral("Service"), diagnostic);
  serviceLabel->setBuddy(testEntry_);
  dgrid->addWidget(serviceLabel, 1, 0);
  dgrid->addWidget(testEntry_, 1, 1);
  dgrid->addWidget(test_, 2, 1, Qt::AlignRight);

  auto* column = new QVBoxLayout(this);
  column->setSpacing(4);
  auto* top = new QHBoxLayout;
  top->addWidget(parameters, 1);
  top->addWidget(diagnostic);
  column->addLayout(top);
  column->addWidget(list);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(CreateButtonGroups());
  column->addLayout(bottom);
  column->addStretch(1);

  // --- what the controls do ---
  AddValueControl(saveParameters_);
  for (int n = 1; n <= 10; ++n) {
    const Row& row = rows_[static_cast<size_t>(n - 1)];
    // "Edit" is not a value control: entries can be edited in every state.
    AddValueControl(row.remove);
    AddValueControl(row.save);
    connect(row.edit, &QPushButton::clicked, this, [this, n] { OnEditEntry(n); });
    connect(row.remove, &QPushButton::clicked, this, [this, n] { OnDeleteEntry(n); });
    connect(row.save, &QPushButton::clicked, this, [this, n] { OnSaveEntry(n); });
  }
  AddValueControl(testEntry_);
  AddValueControl(test_);
  // The Write buttons stay off after a failed read, also when the page is
  // shown again.
  AddValueControl(WriteButton());
  AddValueControl(WriteAllButton());
  Watch(testEntry_);
  connect(saveParameters_, &QPushButton::clicked, this, &CTabIO::OnSaveParameters);
  connect(test_, &QPushButton::clicked, this, &CTabIO::OnTest);
  // The page's Write covers the parameters and all ten entries, which the
  // plain section bit would not select.
  disconnect(WriteButton(), &QAbstractButton::clicked, this, nullptr);
  connect(WriteButton(), &QAbstractButton::clicked, this, &CTabIO::OnWritePage);

  // --- tooltips ---
  SetTip(saveParameters_, QStringLiteral("tip"));
  SetTip(ReadButton(), QStringLiteral("Read configuration from adapter."));
  SetTip(WriteButton(), QStringLiteral("Write configuration to adapter."));
  for (const Row& row : rows_) {
    SetTip(row.edit, QStringLiteral("Edit entry"));
    SetTip(row.remove, QStringLiteral("Delete entry"));
    SetTip(row.save, QStringLiteral("Save entry"));
  }

  // Which control shows which field. The entry dialog shows an entry's
  // service data; on the page its row's Edit button stands for them.
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const std::string n = "[" + std::to_string(i) + "]";
    for (const char* data : {"Data1", "Data2", "Data3", "Data4", "Data5", "Data6"}) {
      ShowsField(std::string("IoSettings.") + data + n, rows_[i].edit);
    }
  }

  RefillControls();
}

void CTabIO::LoadControls() {
  LoadBound();
  testEntry_->setCurrentIndex(0);
}

void CTabIO::StoreControls() { StoreBound(); }

std::vector<QWidget*> CTabIO::ModemButtons() const {
  std::vector<QWidget*> buttons = {saveParameters_, test_, WriteButton(), WriteAllButton()};
  for (const Row& row : rows_) {
    buttons.push_back(row.remove);
    buttons.push_back(row.save);
  }
  return buttons;
}

void CTabIO::SetValueControlsEnabled(bool enabled) {
  CConfigPage::SetValueControlsEnabled(enabled);
  const bool offline = a_.LinkState & LS_FILE;
  WriteButton()->setEnabled(enabled && !offline);
  WriteAllButton()->setEnabled(enabled && !offline);
  if (offline) {
    for (QWidget* w : ModemButtons()) w->setEnabled(false);
  }
}

void CTabIO::OnSetActive() {
  if (a_.LinkState & LS_FILE) {
    for (QWidget* w : ModemButtons()) w->setEnabled(false);
  } else {
    test_->setEnabled(true);
    testEntry_->setEnabled(true);
  }
  CConfigPage::OnSetActive();
}

void CTabIO::OnSaveParameters() {
  PageOperation hold(*this);
  SyncFromControls();
  if (RunTransfer(OP_WRITE, kIoParametersMask) == 1) MarkUnchanged();
}

void CTabIO::OnSaveEntry(int entry) {
  PageOperation hold(*this);
  SyncFromControls();
  // The snapshot is of the whole record: edits in other rows count as saved.
  if (RunTransfer(OP_WRITE, IoEntryMask(entry)) == 1) MarkUnchanged();
}

void CTabIO::OnWritePage() {
  PageOperation hold(*this);
  SyncFromControls();
  if (RunTransfer(OP_WRITE, kIoPageMask) == 1) MarkUnchanged();
}

void CTabIO::OnEditEntry(int entry) {
  PageOperation hold(*this);
  SyncFromControls();
  PageState& s = State();
  s.refreshing = 1;
  bool accepted = false;
  {
    CIOEntryDlg dialog(a_, entry - 1, this);
    accepted = ui_.ExecModal(dialog) == QDialog::Accepted;
  }
  RefillControls();
  s.refreshing = 0;
  // The dialog wrote the entry into the record itself: an entry changed
  // there is a change of this page, as one made in its row is.
  if (accepted) SyncFromControls();
}

void CTabIO::OnDeleteEntry(int entry) {
  PageOperation hold(*this);
  SyncFromControls();
  CommandOptions options;
  // The delete does its own probe and result-code handling: "AT&W" must
  // follow the return to numeric results.
  options.probe = false;
  options.restoreNumeric = false;
  RunModemCommand(QStringLiteral("Writing configuration..."), 40,
                  [this, entry](std::string& failed) {
                    a_.Ui().StepProgress();
                    return DeleteIoEntry(a_, entry, failed,
                                         [this](const std::string& f) { ReportCommandFailure(f); });
                  },
                  options);
  RefillControls();
}

void CTabIO::OnTest() {
  PageOperation hold(*this);
  SyncFromControls();
  const int entry = testEntry_->currentIndex() + 1;
  CommandOptions options;
  options.probe = false;
  options.restoreNumeric = false;
  RunModemCommand(QStringLiteral("Sending test command."), 2,
                  [this, entry](std::string& failed) {
                    a_.Ui().StepProgress();
                    return TestIoEntry(a_, entry, failed,
                                       [this](const std::string& f) { ReportCommandFailure(f); });
                  },
                  options);
}

}  // namespace kelvane
