#pragma once
// CTabDiagnostic: what the modem reports about itself and its last line
// connection: the version answers, the diagnostic listing, the line speeds,
// SNR and levels as bars and numbers, and the DIP switch positions. It edits
// nothing; it also starts the HTML report.

#include <QPixmap>

#include <array>
#include <functional>

#include "pages/config_page.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kelvane {

class CDipSwitches;
class CGradientProgress;

class CTabDiagnostic : public CConfigPage {
  Q_OBJECT

 public:
  explicit CTabDiagnostic(QtUserInterface& ui, QWidget* parent = nullptr);

  // Shows DiagnosticInfo (the page has no record of its own to fill).
  void LoadControls() override { ShowData(); }
  void StoreControls() override {}
  void OnSetActive() override;

  // "Read": the Diagnostic section, then the data; after a failure the
  // display is disabled and the switches show no information.
  void OnReadDiagnostic();
  // "Create Report": asks for the file, writes the report (reading the
  // diagnostics afresh) and opens it.
  void OnCreateReport();
  void ShowData();

  // How a written report is opened; by default in the desktop's browser. A
  // failure is not reported.
  std::function<void(const QString& path)> openDocument;

  QPlainTextEdit* InfoBox() const { return info_; }
  QLineEdit* SoftwareEdit() const { return software_; }
  QLineEdit* RevisionEdit() const { return revision_; }
  CGradientProgress* Bar(int bar) const { return bars_[static_cast<size_t>(bar)]; }
  QLabel* Value(int bar) const { return values_[static_cast<size_t>(bar)]; }
  // Switch j (0..7) of block k (0..3) and the bitmap it shows (142 off,
  // 143 on, 145 no information).
  QLabel* Switch(int block, int sw) const;
  CDipSwitches* DipSwitches() const { return dip_; }
  int SwitchBitmap(int block, int sw) const { return switchBitmaps_[static_cast<size_t>(block * 8 + sw)]; }
  QPushButton* DiagnosticReadButton() const;
  QPushButton* ReportButton() const { return report_; }

 private:
  void ShowSwitches(bool known);

  QPlainTextEdit* info_;
  QLineEdit* software_;
  QLineEdit* revision_;
  std::array<CGradientProgress*, 6> bars_{};
  std::array<QLabel*, 6> values_{};
  CDipSwitches* dip_;
  std::array<int, 32> switchBitmaps_{};
  QPixmap off_, on_, unknown_;
  QPushButton* report_;
  QPushButton* readButton_;
};

}  // namespace kelvane
