#pragma once
// CTabRemoteConf: whether the modem accepts remote configuration over a
// dialled line (*WRCA), the password a remote caller must give (*WRCP), and
// ending a remote configuration session (*WRCE).

#include "pages/config_page.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace kelvane {

class CTabRemoteConf : public CConfigPage {
  Q_OBJECT

 public:
  explicit CTabRemoteConf(QtUserInterface& ui, QWidget* parent = nullptr);

  void LoadControls() override;
  void StoreControls() override;
  void SetValueControlsEnabled(bool enabled) override;

  // Sends "AT*WRCE" under the wait window; the answer is not looked at.
  void OnEnd();

  QComboBox* EnableCombo() const { return enable_; }
  QLineEdit* PasswordEdit() const { return password_; }
  QPushButton* EndButton() const { return end_; }

 private:
  QComboBox* enable_;
  QLineEdit* password_;
  QPushButton* end_;
};

}  // namespace kelvane
