#pragma once
// The modal "Transfer" dialog in which every long modem operation runs: a
// status text, a progress bar and Cancel. The operation starts as soon as the
// dialog is shown and the dialog ends with its result. Cancel and Escape do
// not close it: they ask the running operation to stop.

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "ui/qt_user_interface.h"

namespace kelvane {

enum TransferOperation : int {
  OP_READ = 1,
  OP_WRITE = 2,
  OP_REMOTE_CONNECT = 4,
  OP_ESCAPE = 8,
  OP_SEND_FILE = 16,
  OP_FLASH = 32,
  OP_CONNECT = 64,
};

class CTransferDlg : public QDialog, public ProgressSink {
  Q_OBJECT

 public:
  CTransferDlg(QWidget* parent, QtUserInterface& ui, int sections, int operation);
  ~CTransferDlg() override;

  // Shows the dialog modally, runs the operation, returns its result.
  int Run();
  // The operation alone, for the dialog's own use and for tests that want to
  // watch the dialog while it runs.
  int RunOperation();

  // After a write: the sections sent and stored in the modem.
  int StoredSections() const { return stored_; }

  QString StatusText() const { return text_->text(); }
  const QProgressBar& Bar() const { return *bar_; }
  QPushButton* CancelButton() const { return cancel_; }

  void SetProgressCaption(const QString& caption) override;
  void SetProgressText(const QString& text) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressStep(int step) override { step_ = step; }
  void StepProgress() override;
  void EnableCancel(bool enabled) override;

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Start();

  QtUserInterface& ui_;
  int sections_;
  int operation_;
  int step_ = 1;
  int stored_ = 0;
  QLabel* text_;
  QProgressBar* bar_;
  QPushButton* cancel_;
};

}  // namespace kelvane
