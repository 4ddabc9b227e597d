#pragma once
// The About box: the program icon and the version text.

#include <QDialog>

class QLabel;

namespace kelvane {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  QString Text() const;

 private:
  QLabel* text_;
};

// The program icon.
QIcon ProgramIcon();

}  // namespace kelvane
