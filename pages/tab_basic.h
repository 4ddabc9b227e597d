#pragma once
// The Basic page: modulation, country, compression and error correction,
// break control, line quality, fast disconnect, six S-registers, and loading
// the modem's factory defaults.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <array>

#include "pages/config_page.h"

namespace kelvane {

class CTabBasic : public CConfigPage {
  Q_OBJECT

 public:
  explicit CTabBasic(QtUserInterface& ui, QWidget* parent = nullptr);

  void LoadControls() override;
  void StoreControls() override;

  // "Edit": the Modulation dialog; on OK the page shows the new text.
  void OnEditModulation();
  // "Load": the factory defaults chosen in the defaults combo.
  void OnLoadDefaults();

  QLineEdit* ModulationEdit() const { return modulation_; }
  QPushButton* EditButton() const { return edit_; }
  QComboBox* CountryCombo() const { return country_; }
  QComboBox* CompressionCombo() const { return compression_; }
  QComboBox* BreakControlCombo() const { return breakControl_; }
  QComboBox* LineQualityCombo() const { return lineQuality_; }
  QComboBox* FastDisconnectCombo() const { return fastDisconnect_; }
  QComboBox* DefaultsCombo() const { return defaults_; }
  QPushButton* LoadButton() const { return load_; }
  // The S-register edits in the order S0, S7, S10, S25, S30, S91.
  QLineEdit* RegisterEdit(int i) const { return registers_[static_cast<std::size_t>(i)]; }

 private:
  QLineEdit* modulation_;
  QPushButton* edit_;
  QComboBox* country_;
  QComboBox* compression_;
  QComboBox* breakControl_;
  QComboBox* lineQuality_;
  QComboBox* fastDisconnect_;
  QComboBox* defaults_;
  QPushButton* load_;
  std::array<QLineEdit*, 6> registers_{};
};

}  // namespace kelvane
