#include "ui/remote_dlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace kelvane {

CRemoteWizardDlg::CRemoteWizardDlg(QWidget* parent, Ask ask) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Remote configuration wizard"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* text = new QLabel(ask == Ask::Number ? QStringLiteral("Enter number of remote modem")
                                             : QStringLiteral("Enter Password for remote configuration"),
                          this);
  edit_ = new QLineEdit(this);
  edit_->setMinimumWidth(edit_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 28);
  text->setBuddy(edit_);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

  if (ask == Ask::Number) {
    // Only what a dial string may hold, so no second command can ride along;
    // OK waits for at least one digit.
    edit_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9 *#+,()/PTWptw-]{0,40}")), edit_));
    QPushButton* ok = buttons_->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    connect(edit_, &QLineEdit::textChanged, ok, [ok](const QString& t) {
      ok->setEnabled(t.contains(QRegularExpression(QStringLiteral("[0-9]"))));
    });
  } else {
    edit_->setEchoMode(QLineEdit::Password);
    edit_->setMaxLength(64);
  }

  auto* column = new QVBoxLayout(this);
  column->addWidget(text);
  column->addWidget(edit_);
  column->addWidget(buttons_);
  // Wide enough that the window's title bar shows the whole title beside
  // its buttons.
  const int titleNeeds = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(windowTitle()) * 5 / 4 + 140;
  setFixedSize(sizeHint().expandedTo(QSize(titleNeeds, 0)));
}

}  // namespace kelvane
