#pragma once
// The "DIP Switches" group of the Diagnostic page: four banks (S1 to S4) of
// eight switch images. The images are all a sighted user sees; to assistive
// technology each bank reads as a group whose description holds the bank's
// value, and each switch as a read-only check box ("S1 switch 3", checked
// when on) inside it.

#include <QGroupBox>
#include <QLabel>
#include <QPixmap>

#include <array>
#include <cstdint>

#include "config/diagnostic_values.h"

namespace kelvane {

class CDipSwitch : public QLabel {
  Q_OBJECT

 public:
  CDipSwitch(int bank, int number, QWidget* parent);

  int Bank() const { return bank_; }
  int Number() const { return number_; }
  DipImage Position() const { return position_; }
  // Shows the image and tells assistive technology when the position changed.
  void Show(DipImage position, const QPixmap& image);

 private:
  int bank_;
  int number_;
  DipImage position_ = DipImage::Unknown;
};

class CDipSwitches : public QGroupBox {
  Q_OBJECT

 public:
  // Every switch shows `unknown` at first.
  CDipSwitches(const QPixmap& unknown, QWidget* parent);

  // Switch `sw` (0..7) of bank `bank` (0..3).
  CDipSwitch* Switch(int bank, int sw) const { return switches_[static_cast<size_t>(bank * 8 + sw)]; }
  // A bank's value as read ("Value 81 hex (129)"), or that there is none.
  QString BankValue(int bank) const { return values_[static_cast<size_t>(bank)]; }
  // Sets the 32 images (S1 switch 1 first) and the banks' values; a bank's
  // value counts only when its positions are known.
  void Show(const std::array<DipImage, 32>& positions, const int32_t (&values)[4], const QPixmap& off,
            const QPixmap& on, const QPixmap& unknown);

 private:
  std::array<CDipSwitch*, 32> switches_{};
  std::array<QString, 4> values_;
};

}  // namespace kelvane
