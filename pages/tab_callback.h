#pragma once
// CTabCallback: the Callback page. The callback security mode (*WCB), the
// delay before calling back (*WCBTIME) and the callback table of ten number
// and password pairs (*WCBTAB). Numbers take only digits and '+'; a password
// is taken when it is empty or at least 6 characters long. The page sends
// nothing itself.

#include <array>

#include "config/callback_values.h"
#include "pages/config_page.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace kelvane {

class CTabCallback : public CConfigPage {
  Q_OBJECT

 public:
  explicit CTabCallback(QtUserInterface& ui, QWidget* parent = nullptr);

  void LoadControls() override;
  void StoreControls() override;
  // The Write buttons follow the value controls (Read does not), but stay
  // off while a profile is edited offline.
  void SetValueControlsEnabled(bool enabled) override;

  // "Clear" of row 1 to 10: empties that row's number and password.
  void OnClearRow(int row);

  // For tests and the screenshots; rows 1 to 10.
  QComboBox* ModeCombo() const { return mode_; }
  QLineEdit* DelayEdit() const { return delay_; }
  QLineEdit* NumberEdit(int row) const { return numbers_[static_cast<std::size_t>(row - 1)]; }
  QLineEdit* PasswordEdit(int row) const { return passwords_[static_cast<std::size_t>(row - 1)]; }
  QPushButton* ClearButton(int row) const { return clears_[static_cast<std::size_t>(row - 1)]; }
  // False while the row's password edit holds a text too short to be taken
  // (it is then shown in red).
  bool PasswordTaken(int row) const;

 private:
  QComboBox* mode_ = nullptr;
  QLineEdit* delay_ = nullptr;
  std::array<QLineEdit*, kCallbackRows> numbers_{};
  std::array<QLineEdit*, kCallbackRows> passwords_{};
  std::array<QPushButton*, kCallbackRows> clears_{};
};

}  // namespace kelvane
