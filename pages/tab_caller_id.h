#pragma once
// CTabCallerID: the Caller ID page. The presentation format and detection
// mode (*WCID) and the table of ten accepted numbers (*WACCTAB), which take
// only digits and '+'. The page sends nothing itself.

#include <array>

#include "config/callerid_values.h"
#include "pages/config_page.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace kelvane {

class CTabCallerID : public CConfigPage {
  Q_OBJECT

 public:
  explicit CTabCallerID(QtUserInterface& ui, QWidget* parent = nullptr);

  void LoadControls() override;
  void StoreControls() override;
  // The Write buttons follow the value controls (Read does not), but stay
  // off while a profile is edited offline.
  void SetValueControlsEnabled(bool enabled) override;

  // Empties all ten entries; the emptied texts are stored at once.
  void OnClearList();

  // For tests and the screenshots.
  QComboBox* FormatCombo() const { return format_; }
  QComboBox* ModeCombo() const { return mode_; }
  // Entry 1 to 10.
  QLineEdit* Entry(int number) const { return entries_[static_cast<std::size_t>(number - 1)]; }
  QPushButton* ClearListButton() const { return clearList_; }

 private:
  QComboBox* format_ = nullptr;
  QComboBox* mode_ = nullptr;
  std::array<QLineEdit*, kAcceptedNumberCount> entries_{};
  QPushButton* clearList_ = nullptr;
};

}  // namespace kelvane
