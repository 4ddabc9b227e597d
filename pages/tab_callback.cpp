#include "pages/tab_callback.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "config/entry_rules.h"
#include "controls/image_button.h"
#include "controls/wrap_combo.h"
#include "pages/entry_edits.h"

namespace kelvane {

namespace {

// A password of 1 to 5 characters is not taken: the row keeps its earlier
// password. The edit shows such a text in red so that the user sees it is
// not what will be written.
void MarkPassword(QLineEdit* edit) {
  QPalette palette = edit->palette();
  const bool taken = IsCallbackPassword(edit->text().toLatin1().toStdString());
  palette.setColor(QPalette::Text, taken ? QApplication::palette(edit).color(QPalette::Text)
                                         : QColor(Qt::red));
  edit->setPalette(palette);
}

}  // namespace

bool CTabCallback::PasswordTaken(int row) const {
  const QLineEdit* edit = PasswordEdit(row);
  return edit->palette().color(QPalette::Text) != QColor(Qt::red);
}

CTabCallback::CTabCallback(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_CALLBACK, parent) {
  const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));

  auto* secure = new QGroupBox(QStringLiteral("Secure Callback"), this);
  auto* secureRow = new QHBoxLayout(secure);
  // The longest items are wider than the page: the box shows the chosen one
  // over two lines, and the list opens wide enough to show them whole.
  mode_ = new CWrapComboBox(2, secure);
  for (const std::string& item : CallbackModeItems()) mode_->addItem(Latin1Text(item));
  mode_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  mode_->setMinimumContentsLength(20);
  mode_->view()->setMinimumWidth(mode_->view()->sizeHintForColumn(0) + 8);
  auto* modeLabel = new QLabel(QStringLiteral("Callback security [*wcb]"), secure);
  modeLabel->setBuddy(mode_);
  secureRow->addWidget(modeLabel);
  secureRow->addWidget(mode_, 1);

  auto* delayBox = new QGroupBox(this);
  auto* delayGrid = new QGridLayout(delayBox);
  delayGrid->setVerticalSpacing(2);
  delay_ = new QLineEdit(delayBox);
  delay_->setMaxLength(static_cast<int>(kCallbackDelayChars));
  delay_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), delay_));
  delay_->setFixedWidth(digit * 5 + 12);
  auto* delayLabel = new QLabel(QStringLiteral("Delay before callback (*wcbtime)"), delayBox);
  delayLabel->setWordWrap(true);
  delayLabel->setBuddy(delay_);
  delayGrid->addWidget(delayLabel, 0, 0, 1, 2);
  delayGrid->addWidget(delay_, 1, 0);
  delayGrid->addWidget(new QLabel(QStringLiteral("0-255 s"), delayBox), 1, 1);
  delayGrid->setColumnStretch(1, 1);

  auto* table = new QGroupBox(QStringLiteral("Callback table [*wcbtab]"), this);
  auto* grid = new QGridLayout(table);
  grid->setVerticalSpacing(1);
  grid->addWidget(new QLabel(QStringLiteral("Number (0-20 characters)"), table), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Password (0, 6-12 characters)"), table), 0, 2);
  for (int row = 1; row <= kCallbackRows; ++row) {
    const auto i = static_cast<std::size_t>(row - 1);
    auto* number = new QLineEdit(table);
    number->setMaxLength(static_cast<int>(kCallbackNumberChars));
    number->setMinimumWidth(digit * 16);
    auto* password = new QLineEdit(table);
    password->setMaxLength(static_cast<int>(kCallbackPasswordChars));
    password->setMinimumWidth(digit * 12);
    password->setAccessibleName(QStringLiteral("Password %1").arg(row));
    RefuseDoubleQuotes(password);
    auto* clear = new QPushButton(QStringLiteral("Clear"), table);
    // As high as the edits beside it and no wider than its caption, so that
    // the ten rows fit the page.
    clear->setFixedSize(clear->fontMetrics().horizontalAdvance(clear->text()) + 20,
                        number->sizeHint().height());
    auto* label = new QLabel(QStringLiteral("%1:").arg(row), table);
    label->setBuddy(number);
    grid->addWidget(label, row, 0, Qt::AlignRight);
    grid->addWidget(number, row, 1);
    grid->addWidget(password, row, 2);
    grid->addWidget(clear, row, 3);
    numbers_[i] = number;
    passwords_[i] = password;
    clears_[i] = clear;
    connect(clear, &QPushButton::clicked, this, [this, row] { OnClearRow(row); });
  }
  grid->setColumnStretch(1, 3);
  grid->setColumnStretch(2, 2);

  // The delay and the page buttons share the bottom row.
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(delayBox, 1, Qt::AlignBottom);
  bottom->addWidget(CreateButtonGroups(), 0, Qt::AlignBottom);
  auto* page = new QVBoxLayout(this);
  page->addWidget(secure);
  page->addWidget(table);
  page->addStretch(1);
  page->addLayout(bottom);

  AddValueControl(mode_);
  Watch(mode_);
  // The Write buttons stay off after a failed read, also when the page is
  // shown again.
  AddValueControl(WriteButton());
  AddValueControl(WriteAllButton());
  AddValueControl(delay_);
  Watch(delay_);
  for (std::size_t i = 0; i < numbers_.size(); ++i) {
    for (QLineEdit* edit : {numbers_[i], passwords_[i]}) {
      AddValueControl(edit);
      Watch(edit);
    }
    SetTip(numbers_[i], QStringLiteral("Callback number entry"));
    SetTip(passwords_[i], QStringLiteral("Callback password entry"));
    QLineEdit* password = passwords_[i];
    connect(password, &QLineEdit::textChanged, this, [password] { MarkPassword(password); });
  }

  // Which control shows which field.
  ShowsField("CallbackSettings.CallbackMode", mode_);
  ShowsField("CallbackSettings.CallbackTime", delay_);
  for (std::size_t i = 0; i < numbers_.size(); ++i) {
    ShowsField("CallbackSettings.CallbackNumbers[" + std::to_string(i) + "]", numbers_[i]);
    ShowsField("CallbackSettings.CallbackPasswords[" + std::to_string(i) + "]", passwords_[i]);
  }

  LoadControls();
}

void CTabCallback::LoadControls() {
  const CallbackView v = ShowCallback(a_.Config.callback);
  std::vector<QObject*> controls = {mode_, delay_};
  controls.insert(controls.end(), numbers_.begin(), numbers_.end());
  controls.insert(controls.end(), passwords_.begin(), passwords_.end());
  const SignalHold hold(controls);
  mode_->setCurrentIndex(v.mode);
  delay_->setText(Latin1Text(v.delay));
  for (std::size_t i = 0; i < numbers_.size(); ++i) {
    numbers_[i]->setText(Latin1Text(v.numbers[i]));
    passwords_[i]->setText(Latin1Text(v.passwords[i]));
    MarkPassword(passwords_[i]);
  }
}

void CTabCallback::StoreControls() {
  CallbackView v;
  v.mode = mode_->currentIndex();
  v.delay = EditText(delay_);
  for (std::size_t i = 0; i < numbers_.size(); ++i) {
    v.numbers[i] = EditText(numbers_[i]);
    v.passwords[i] = EditText(passwords_[i]);
  }
  CallbackSettings& c = a_.Config.callback;
  for (int i : StoreCallback(v, c)) {
    const auto n = static_cast<std::size_t>(i);
    PutBackEntry(numbers_[n], ShownText(c.CallbackNumbers[n], sizeof c.CallbackNumbers[n],
                                        kCallbackNumberChars));
  }
}

void CTabCallback::OnClearRow(int row) {
  if (row < 1 || row > kCallbackRows) return;
  const auto i = static_cast<std::size_t>(row - 1);
  SetEditQuietly(numbers_[i], QString());
  SetEditQuietly(passwords_[i], QString());
  MarkPassword(passwords_[i]);
  SyncFromControls();
}

void CTabCallback::SetValueControlsEnabled(bool enabled) {
  CConfigPage::SetValueControlsEnabled(enabled);
  const bool writes = enabled && !(a_.LinkState & LS_FILE);
  if (WriteButton()) WriteButton()->setEnabled(writes);
  if (WriteAllButton()) WriteAllButton()->setEnabled(writes);
}

}  // namespace kelvane
