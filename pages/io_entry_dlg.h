#pragma once
// CIOEntryDlg: edits one I/O entry completely (service, retry rule, time-out,
// priority and the data fields 1 to 7). The labels and enables of the data
// fields follow the chosen service. OK writes the entry into the adapter's
// I/O record; Cancel leaves it untouched. No modem traffic.

#include <QDialog>

#include <array>
#include <vector>

#include "config/adapter.h"
#include "config/io_values.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kelvane {

struct FieldInfo;

class CIOEntryDlg : public QDialog {
  Q_OBJECT

 public:
  // `index` is the entry index 0..9 (entry number index + 1).
  CIOEntryDlg(CAdapter& adapter, int index, QWidget* parent = nullptr);

  int Index() const { return index_; }
  QGroupBox* Group() const { return group_; }
  QComboBox* ServiceCombo() const { return service_; }
  QComboBox* RetryCombo() const { return retry_; }
  QComboBox* PrioCombo() const { return prio_; }
  QLineEdit* TimeEdit() const { return time_; }
  // Data field k = 1..7.
  QLineEdit* DataEdit(int k) const { return data_[static_cast<size_t>(k - 1)]; }
  QLabel* DataLabel(int k) const { return labels_[static_cast<size_t>(k - 1)]; }
  QPushButton* ClearButton() const { return clear_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

  // Every control back to "NONE", "NO", "0" and empty texts; the record is
  // not touched.
  void OnClear();
  // Stores the controls into the entry, then closes with OK.
  void accept() override;

 private:
  void LoadControls();
  // Labels and enables of the data fields from the current service.
  void FollowService();
  void ApplyTooltips(bool on);

  // Each control with the field of the entry it shows and, for an edit, the
  // characters it takes.
  struct FieldControl {
    QComboBox* combo;
    QLineEdit* edit;
    const FieldInfo* field;
    int limit;
  };
  std::vector<FieldControl> fields_;
  CAdapter& a_;
  int index_;
  QGroupBox* group_;
  QComboBox* service_;
  QComboBox* retry_;
  QComboBox* prio_;
  QLineEdit* time_;
  std::array<QLineEdit*, 7> data_{};
  std::array<QLabel*, 7> labels_{};
  QPushButton* clear_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace kelvane
