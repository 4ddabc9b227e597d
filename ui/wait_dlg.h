#pragma once
// The small "Wait" window shown over a page while a short command sequence
// runs: a message and a progress bar. Modeless; it shows the progress of the
// core while it is alive.

#include <QDialog>
#include <QLabel>
#include <QProgressBar>

#include "ui/qt_user_interface.h"

namespace kelvane {

class CWaitDlg : public QDialog, public ProgressSink {
  Q_OBJECT

 public:
  // Shown and centred over `parent`; receives the core's progress until it
  // is destroyed.
  CWaitDlg(QtUserInterface& ui, QWidget* parent);
  ~CWaitDlg() override;

  QString Message() const { return message_->text(); }
  const QProgressBar& Bar() const { return *bar_; }

  void SetProgressCaption(const QString& caption) override;
  void SetProgressText(const QString& text) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressStep(int step) override { step_ = step; }
  void StepProgress() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QtUserInterface& ui_;
  QLabel* message_;
  QProgressBar* bar_;
  int step_ = 1;
};

}  // namespace kelvane
