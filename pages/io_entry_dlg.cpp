#include "pages/io_entry_dlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>

#include "config/field_table.h"
#include "controls/tip_text.h"
#include "pages/entry_edits.h"

namespace kelvane {

namespace {

// Multi-line tips are written with "\n\r" line breaks; the dialog's
// tooltips are at most 400 pixels wide.
QString TipText(const char* text) { return LimitedTipText(QString::fromLatin1(text), 400); }

// The limit holds for typing. A value that is already longer (a number the
// modem reported with more digits) is shown whole, so that OK does not cut it.
void ShowLimited(QLineEdit* edit, const std::string& text, int limit) {
  edit->setMaxLength(std::max(limit, static_cast<int>(text.size())));
  edit->setText(QString::fromLatin1(text.c_str()));
}

}  // namespace

CIOEntryDlg::CIOEntryDlg(CAdapter& adapter, int index, QWidget* parent)
    : QDialog(parent), a_(adapter), index_(index < 0 ? 0 : index > 9 ? 9 : index) {
  setObjectName(QStringLiteral("I/O Entry"));
  const QString caption = QStringLiteral("I/O Entry %1").arg(index_ + 1);
  setWindowTitle(caption);

  group_ = new QGroupBox(caption, this);
  auto* grid = new QGridLayout(group_);
  grid->setHorizontalSpacing(10);

  service_ = new QComboBox(group_);
  retry_ = new QComboBox(group_);
  time_ = new QLineEdit(group_);
  time_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), time_));
  time_->setMaxLength(kIoTimeLimit);
  time_->setMaximumWidth(60);
  prio_ = new QComboBox(group_);

  auto field = [](const std::string& name) { return FindField("IoSettings", name); };
  fields_ = {{service_, nullptr, field("Service"), 0},
             {retry_, nullptr, field("Retry"), 0},
             {prio_, nullptr, field("Priority"), 0},
             {nullptr, time_, field("Timeout"), kIoTimeLimit}};
  for (const FieldControl& c : fields_) {
    if (!c.combo) continue;
    for (const std::string& item : c.field->items()) c.combo->addItem(QString::fromLatin1(item.c_str()));
  }

  const char* columns[] = {"Service", "Retry", "Time", "Prio"};
  QWidget* heads[] = {service_, retry_, time_, prio_};
  for (int c = 0; c < 4; ++c) {
    auto* head = new QLabel(QString::fromLatin1(columns[c]), group_);
    head->setBuddy(heads[c]);
    grid->addWidget(head, 0, c);
    grid->addWidget(heads[c], 1, c);
  }

  // Data fields, each under its label: 1 and 3 side by side, 2 (the long
  // message) across the whole row, then 4, 5 and 6; 7 is never shown.
  const int rows[7] = {2, 4, 2, 6, 6, 6, 8};
  const int cols[7] = {0, 0, 2, 0, 1, 2, 0};
  const int spans[7] = {2, 4, 2, 1, 1, 2, 1};
  for (int k = 0; k < 7; ++k) {
    auto* label = new QLabel(QStringLiteral("Data %1").arg(k + 1), group_);
    auto* edit = new QLineEdit(group_);
    edit->setMaxLength(kIoDataLimits[static_cast<size_t>(k)]);
    edit->setObjectName(QStringLiteral("Data %1").arg(k + 1));
    label->setBuddy(edit);
    labels_[static_cast<size_t>(k)] = label;
    data_[static_cast<size_t>(k)] = edit;
    fields_.push_back({nullptr, edit, field("Data" + std::to_string(k + 1)), kIoDataLimits[static_cast<size_t>(k)]});
    if (fields_.back().field->quoted) RefuseDoubleQuotes(edit);
    if (k == 6) {
      label->hide();
      edit->hide();
      continue;
    }
    grid->addWidget(label, rows[k] + 1, cols[k], 1, spans[k]);
    grid->addWidget(edit, rows[k] + 2, cols[k], 1, spans[k]);
  }
  for (int c = 0; c < 4; ++c) grid->setColumnStretch(c, 1);

  clear_ = new QPushButton(QStringLiteral("Clear"), this);
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  ok_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(clear_);
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group_);
  layout->addLayout(buttons);
  setMinimumWidth(520);

  // Tab follows the fields as they are shown: across the head row, Data 1
  // and Data 3 side by side, the message (Data 2) under them, then 4, 5, 6.
  const std::vector<QWidget*> order = {service_, retry_, time_,    prio_,    data_[0], data_[2], data_[1],
                                       data_[3], data_[4], data_[5], clear_, ok_,      cancel_};
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  connect(clear_, &QPushButton::clicked, this, &CIOEntryDlg::OnClear);
  connect(ok_, &QPushButton::clicked, this, &CIOEntryDlg::accept);
  connect(cancel_, &QPushButton::clicked, this, &CIOEntryDlg::reject);
  // Every change of a control re-derives the data fields from the service.
  for (QComboBox* combo : {service_, retry_, prio_})
    connect(combo, &QComboBox::currentIndexChanged, this, &CIOEntryDlg::FollowService);
  for (QLineEdit* edit : data_) connect(edit, &QLineEdit::textChanged, this, &CIOEntryDlg::FollowService);
  connect(time_, &QLineEdit::textChanged, this, &CIOEntryDlg::FollowService);

  LoadControls();
  FollowService();
  ApplyTooltips(a_.Options.Tooltip == 1);
}

void CIOEntryDlg::LoadControls() {
  for (const FieldControl& c : fields_) {
    if (c.combo) {
      c.combo->setCurrentIndex(ShownItem(a_.Config, *c.field, static_cast<size_t>(index_)));
    } else {
      ShowLimited(c.edit, ElementText(a_.Config, *c.field, static_cast<size_t>(index_)), c.limit);
    }
  }
}

void CIOEntryDlg::FollowService() {
  const auto& fields = IoServiceFields(service_->currentIndex());
  for (size_t k = 0; k < 7; ++k) {
    labels_[k]->setText(QString::fromLatin1(fields[k].label));
    data_[k]->setEnabled(fields[k].enabled);
  }
}

void CIOEntryDlg::OnClear() {
  for (const FieldControl& c : fields_) {
    if (c.combo) {
      c.combo->setCurrentIndex(0);
    } else {
      ShowLimited(c.edit, "", c.limit);
    }
  }
  FollowService();
}

// A combo without a selection (the record held a value no item matches)
// leaves its field as it is.
void CIOEntryDlg::accept() {
  for (const FieldControl& c : fields_) {
    if (c.combo) {
      StoreItem(a_.Config, *c.field, static_cast<size_t>(index_), c.combo->currentIndex());
    } else {
      StoreElementText(a_.Config, *c.field, static_cast<size_t>(index_), EditText(c.edit));
    }
  }
  QDialog::accept();
}

void CIOEntryDlg::ApplyTooltips(bool on) {
  auto tip = [on](QWidget* w, const char* text) { w->setToolTip(on ? TipText(text) : QString()); };
  tip(time_,
      "Timeout\n\r0: The service will no be terminated.\n\r1-255: Timeout specified in units of 10s.");
  tip(retry_,
      "Defines if the establishment of the servise shall be retried.\n\r0: NO, no retry.\n\r1: RETRY, "
      "Retry infinitely to establish the service.\n\r2: RETRY_3, DO 1 try and max 3 retries.\n\r3: "
      "NEXT_OK, Trig next serivce if current service ends with OK.\n\r4: NEXT_ERR, Trig next service "
      "if current service fails.");
  tip(service_, "Service");
  tip(prio_,
      "Priority of the service.\n\r0: An existing connection will NOT be terminated, retries "
      "accordning to retry-settings\n\r1: A current connection will be terminated before the "
      "specified connection is established.");
  const char* dataTips[] = {"Data field 1", "Data field 2", "Data field 3", "Data field 4",
                            "Data field 5", "Data field 6", "Data field 7"};
  for (size_t k = 0; k < 7; ++k) tip(data_[k], dataTips[k]);
}

}  // namespace kelvane
