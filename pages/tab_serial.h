#pragma once
// The Serial page: the DTE rate and character format (+IPR, +ICF), result
// codes (V, W, X, E, Q), control lines (&K, &C, &S, &D) and error reports
// (*WIE).

#include <QComboBox>

#include <initializer_list>

#include "pages/config_page.h"

class QGroupBox;

namespace kelvane {

class CTabSerial : public CConfigPage {
  Q_OBJECT

 public:
  explicit CTabSerial(QtUserInterface& ui, QWidget* parent = nullptr);

  void LoadControls() override;
  void StoreControls() override;
  void SetValueControlsEnabled(bool enabled) override;

  QComboBox* BaudCombo() const { return baud_; }
  QComboBox* DataBitsCombo() const { return dataBits_; }
  QComboBox* StopBitsCombo() const { return stopBits_; }
  QComboBox* ParityCombo() const { return parity_; }
  QComboBox* ResultFormatCombo() const { return resultFormat_; }
  QComboBox* EnhancedCombo() const { return enhanced_; }
  QComboBox* ReducedCombo() const { return reduced_; }
  QComboBox* EchoCombo() const { return echo_; }
  QComboBox* SuppressionCombo() const { return suppression_; }
  QComboBox* FlowCombo() const { return flow_; }
  QComboBox* DcdCombo() const { return dcd_; }
  QComboBox* DsrCombo() const { return dsr_; }
  QComboBox* DtrCombo() const { return dtr_; }
  QComboBox* IgnoreErrorsCombo() const { return ignoreErrors_; }

 private:
  struct ComboRow {
    const char* field;  // "SerialSettings.DtrControl"
    QComboBox** combo;
    int lines = 1;  // lines of the closed box
  };
  QGroupBox* MakeGroup(const QString& title, std::initializer_list<ComboRow> rows, bool labelsAbove = false);
  void EnableFormat(bool enabled);

  QComboBox* baud_;
  QComboBox* dataBits_;
  QComboBox* stopBits_;
  QComboBox* parity_;
  QComboBox* resultFormat_;
  QComboBox* enhanced_;
  QComboBox* reduced_;
  QComboBox* echo_;
  QComboBox* suppression_;
  QComboBox* flow_;
  QComboBox* dcd_;
  QComboBox* dsr_;
  QComboBox* dtr_;
  QComboBox* ignoreErrors_;
};

}  // namespace kelvane
