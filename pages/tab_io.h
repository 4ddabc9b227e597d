#pragma once
// CTabIO: the modem's I/O configuration. The *WIOP parameters (input pulse
// times, trigger type and level, output control) and the I/O list of ten
// entries, each a service the modem starts with its retry rule, time-out and
// priority. Each row can be edited in full (CIOEntryDlg), saved alone,
// deleted in the modem; any entry's service can be started as a test.

#include <array>

#include "pages/config_page.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace kelvane {

class CTabIO : public CConfigPage {
  Q_OBJECT

 public:
  explicit CTabIO(QtUserInterface& ui, QWidget* parent = nullptr);

  void LoadControls() override;
  void StoreControls() override;
  void SetValueControlsEnabled(bool enabled) override;
  void OnSetActive() override;

  // The page's buttons; `entry` is 1..10.
  void OnSaveParameters();
  void OnSaveEntry(int entry);
  void OnEditEntry(int entry);
  void OnDeleteEntry(int entry);
  void OnTest();
  void OnWritePage();

  struct Row {
    QComboBox* service = nullptr;
    QComboBox* retry = nullptr;
    QLineEdit* time = nullptr;
    QComboBox* priority = nullptr;
    QPushButton* edit = nullptr;
    QPushButton* remove = nullptr;
    QPushButton* save = nullptr;
  };
  // Row of entry 1..10.
  const Row& EntryRow(int entry) const { return rows_[static_cast<size_t>(entry - 1)]; }
  QLineEdit* TaEdit() const { return ta_; }
  QLineEdit* TpEdit() const { return tp_; }
  QComboBox* TrigTypeCombo() const { return trigType_; }
  QComboBox* TrigLevelCombo() const { return trigLevel_; }
  QComboBox* OutputCtrlCombo() const { return outputCtrl_; }
  QPushButton* SaveParametersButton() const { return saveParameters_; }
  QComboBox* TestSelector() const { return testEntry_; }
  QPushButton* TestButton() const { return test_; }

 private:
  // The buttons that talk to the modem, off while a profile is edited
  // offline.
  std::vector<QWidget*> ModemButtons() const;

  QLineEdit* ta_;
  QLineEdit* tp_;
  QComboBox* trigType_;
  QComboBox* trigLevel_;
  QComboBox* outputCtrl_;
  QPushButton* saveParameters_;
  std::array<Row, 10> rows_;
  QComboBox* testEntry_;
  QPushButton* test_;
};

}  // namespace kelvane
