#pragma once
// The "Send File" dialog: the chosen file, how many times to send it and the
// pause after each time.

#include <QDialog>
#include <QLineEdit>

#include "connection/raw_transfer.h"

namespace kelvane {

class CSendFileDlg : public QDialog {
  Q_OBJECT

 public:
  CSendFileDlg(QWidget* parent, const QString& path);

  // The count and the delay as typed; the delay is limited to 1000 ms.
  SendFileParams Params() const;

  QLineEdit* CountField() const { return count_; }
  QLineEdit* DelayField() const { return delay_; }
  QLineEdit* FileField() const { return file_; }

 private:
  QLineEdit* file_;
  QLineEdit* count_;
  QLineEdit* delay_;
};

}  // namespace kelvane
