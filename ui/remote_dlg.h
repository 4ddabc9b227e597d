#pragma once
// The two small dialogs of the "Remote configuration wizard": the number the
// local modem dials, and the password of the remote modem.

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>

namespace kelvane {

class CRemoteWizardDlg : public QDialog {
  Q_OBJECT

 public:
  enum class Ask { Number, Password };
  CRemoteWizardDlg(QWidget* parent, Ask ask);

  QString Text() const { return edit_->text(); }
  QLineEdit* Field() const { return edit_; }
  QDialogButtonBox* Buttons() const { return buttons_; }

 private:
  QLineEdit* edit_;
  QDialogButtonBox* buttons_;
};

}  // namespace kelvane
