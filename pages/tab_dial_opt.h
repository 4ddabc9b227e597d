#pragma once
// CTabDialOpt: the Dial options page. Dial abort (&A), DTR/TX hotcall (&B),
// the four stored numbers (&Z0 to &Z3) and, on model type 3 only, dial
// backup (*WDB: number, retries, time). The page sends nothing itself.

#include <array>

#include "pages/config_page.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace kelvane {

class CTabDialOpt : public CConfigPage {
  Q_OBJECT

 public:
  explicit CTabDialOpt(QtUserInterface& ui, QWidget* parent = nullptr);

  void LoadControls() override;
  void StoreControls() override;
  // The Write buttons follow the value controls (Read does not), but stay
  // off while a profile is edited offline.
  void SetValueControlsEnabled(bool enabled) override;

  // For tests and the screenshots.
  QComboBox* HotCallCombo() const { return hotCall_; }
  QComboBox* DialAbortCombo() const { return dialAbort_; }
  QLineEdit* NumberEdit(int n) const { return numbers_[static_cast<std::size_t>(n)]; }
  QLineEdit* BackupNumberEdit() const { return backupNumber_; }
  QLineEdit* BackupRetriesEdit() const { return backupRetries_; }
  QLineEdit* BackupTimeEdit() const { return backupTime_; }
  bool BackupShown() const { return backupShown_; }

 private:
  void ShowBackup(bool shown);

  QComboBox* hotCall_ = nullptr;
  QComboBox* dialAbort_ = nullptr;
  std::array<QLineEdit*, 4> numbers_{};
  QLineEdit* backupNumber_ = nullptr;
  QLineEdit* backupRetries_ = nullptr;
  QLineEdit* backupTime_ = nullptr;
  std::array<QLabel*, 3> backupLabels_{};
  bool backupShown_ = false;
};

}  // namespace kelvane
