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

#include "controls/tip_text.h"
#include "pages/entry_edits.h"

namespace kelvane {

namespace {

QStringList Items(const std::vector<std::string>& items) {
  QStringList out;
  for (const std::string& item : items) out << QString::fromLatin1(item.c_str());
  return out;
}

// Multi-line tips are written with "\n\r" line breaks; the dialog's
// tooltips are at most 400 pixels wide.
QString TipText(const char* text) { return LimitedTipText(QString::fromLatin1(text), 400); }

std::string Latin1(const QString& text) { return text.toLatin1().toStdString(); }

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
  service_->addItems(Items(IoServiceItems()));
  retry_ = new QComboBox(group_);
  retry_->addItems(Items(IoRetryItems()));
  time_ = new QLineEdit(group_);
  time_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), time_));
  time_->setMaxLength(kIoTimeLimit);
  time_->setMaximumWidth(60);
  prio_ = new QComboBox(group_);
  prio_->addItems(Items(IoPriorityItems()));

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
    // Data 1, 2, 3, 5 and 6 go to the modem inside double quotes.
    if (k != 3 && k != 6) RefuseDoubleQuotes(edit);
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
  const IoEntryTexts t = LoadIoEntry(a_.Config.io, index_);
  // An index outside a combo's items leaves it without a selection.
  auto select = [](QComboBox* combo, int index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
  };
  select(service_, t.service);
  select(retry_, t.retry);
  select(prio_, t.priority);
  ShowLimited(time_, t.time, kIoTimeLimit);
  for (size_t k = 0; k < 7; ++k) ShowLimited(data_[k], t.data[k], kIoDataLimits[k]);
}

IoEntryTexts CIOEntryDlg::Texts() const {
  IoEntryTexts t;
  t.service = service_->currentIndex();
  t.retry = retry_->currentIndex();
  t.priority = prio_->currentIndex();
  t.time = Latin1(time_->text());
  for (size_t k = 0; k < 7; ++k) t.data[k] = Latin1(data_[k]->text());
  return t;
}

void CIOEntryDlg::FollowService() {
  const auto& fields = IoServiceFields(service_->currentIndex());
  for (size_t k = 0; k < 7; ++k) {
    labels_[k]->setText(QString::fromLatin1(fields[k].label));
    data_[k]->setEnabled(fields[k].enabled);
  }
}

void CIOEntryDlg::OnClear() {
  service_->setCurrentIndex(0);
  retry_->setCurrentIndex(0);
  prio_->setCurrentIndex(0);
  ShowLimited(time_, "", kIoTimeLimit);
  for (size_t k = 0; k < 7; ++k) ShowLimited(data_[k], "", kIoDataLimits[k]);
  FollowService();
}

void CIOEntryDlg::accept() {
  StoreIoEntry(a_.Config.io, index_, Texts());
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
