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

#include "config/remote_values.h"
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
  const bool taken = IsStorablePassword(edit->text().toLatin1().toStdString());
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
  Bind(mode_, "CallbackSettings.CallbackMode");
  mode_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  mode_->setMinimumContentsLength(20);
  mode_->view()->setMinimumWidth(mode_->view()->sizeHintForColumn(0) + 8);
  auto* modeLabel = new QLabel(Caption("CallbackSettings.CallbackMode"), secure);
  modeLabel->setBuddy(mode_);
  secureRow->addWidget(modeLabel);
  secureRow->addWidget(mode_, 1);

  auto* delayBox = new QGroupBox(this);
  auto* delayGrid = new QGridLayout(delayBox);
  delayGrid->setVerticalSpacing(2);
  delay_ = new QLineEdit(delayBox);
  Bind(delay_, "CallbackSettings.CallbackTime");
  delay_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), delay_));
  delay_->setFixedWidth(digit * 5 + 12);
  auto* delayLabel = new QLabel(Caption("CallbackSettings.CallbackTime"), delayBox);
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
    Bind(number, "CallbackSettings.CallbackNumbers", i);
    number->setMinimumWidth(digit * 16);
    auto* password = new QLineEdit(table);
    Bind(password, "CallbackSettings.CallbackPasswords", i);
    password->setMinimumWidth(digit * 12);
    password->setAccessibleName(QStringLiteral("Password %1").arg(row));
    connect(password, &QLineEdit::textChanged, this, [password] { MarkPassword(password); });
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

  // The Write buttons stay off after a failed read, also when the page is
  // shown again.
  AddValueControl(WriteButton());
  AddValueControl(WriteAllButton());

  LoadControls();
}

// A password edit's colour follows its text.
void CTabCallback::LoadControls() { LoadBound(); }

void CTabCallback::StoreControls() { StoreBound(); }

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
