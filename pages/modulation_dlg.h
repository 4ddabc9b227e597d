#pragma once
// "Modulation (+MS)": picks the carrier, automode and the transmit and
// receive rate limits, and writes the resulting +MS text into the Basic
// record's Modulation field on OK. Cancel changes nothing.

#include <QComboBox>
#include <QDialog>

#include <string>

#include "config/config_block.h"

namespace kelvane {

class CModulationDlg : public QDialog {
  Q_OBJECT

 public:
  CModulationDlg(BasicSettings& basic, QWidget* parent = nullptr);

  QComboBox* CarrierCombo() const { return carrier_; }
  QComboBox* AutomodeCombo() const { return automode_; }
  QComboBox* TxMinCombo() const { return txMin_; }
  QComboBox* TxMaxCombo() const { return txMax_; }
  QComboBox* RxMinCombo() const { return rxMin_; }
  QComboBox* RxMaxCombo() const { return rxMax_; }

  // The text OK would store.
  std::string BuildText() const;

 public slots:
  void accept() override;

 private:
  void FillFrom(const std::string& text);
  void OnCarrierChanged(int index);

  BasicSettings& basic_;
  std::string working_;
  bool filling_ = false;
  QComboBox* carrier_;
  QComboBox* automode_;
  QComboBox* txMin_;
  QComboBox* txMax_;
  QComboBox* rxMin_;
  QComboBox* rxMax_;
};

}  // namespace kelvane
