#pragma once
// The "Autoconnect" dialog: the four search ranges (From and To for baud
// rate, parity, data bits and stop bits), Search, Cancel, a status text and a
// progress bar. With "userAutoConnect" 0 the search starts as soon as the
// dialog is shown; with 1 it waits for Search. The dialog ends with the
// search's result (connection/autoconnect.h).

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <memory>

#include "ui/qt_user_interface.h"
#include "connection/autoconnect.h"

namespace kelvane {

class CAutoConnectDlg : public QDialog, public ProgressSink {
  Q_OBJECT

 public:
  CAutoConnectDlg(QtUserInterface& ui, QWidget* parent);
  ~CAutoConnectDlg() override;

  // Shows the dialog modally and returns how it ended (1 found, 2 aborted or
  // closed before a search, 0 nothing found).
  int Run();

  // The ranges as the eight combo boxes select them.
  AutoConnectRanges Ranges() const;

  QComboBox* BaudFrom() const { return baudFrom_; }
  QComboBox* BaudTo() const { return baudTo_; }
  QComboBox* ParityFrom() const { return parityFrom_; }
  QComboBox* ParityTo() const { return parityTo_; }
  QComboBox* DataFrom() const { return dataFrom_; }
  QComboBox* DataTo() const { return dataTo_; }
  QComboBox* StopFrom() const { return stopFrom_; }
  QComboBox* StopTo() const { return stopTo_; }
  QPushButton* SearchButton() const { return search_; }
  QPushButton* CancelButton() const { return cancel_; }
  QString StatusText() const { return status_->text(); }
  const QProgressBar& Bar() const { return *bar_; }
  bool Searching() const { return running_ && running_->Running(); }

  void SetProgressCaption(const QString&) override {}
  void SetProgressText(const QString& text) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressStep(int step) override { step_ = step; }
  void StepProgress() override;

 public slots:
  // Starts the search with the selected ranges.
  void Search();
  // Cancel: closes the dialog before a search, stops a running one.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QtUserInterface& ui_;
  CAdapter& a_;
  QComboBox* baudFrom_;
  QComboBox* baudTo_;
  QComboBox* parityFrom_;
  QComboBox* parityTo_;
  QComboBox* dataFrom_;
  QComboBox* dataTo_;
  QComboBox* stopFrom_;
  QComboBox* stopTo_;
  QPushButton* search_;
  QPushButton* cancel_;
  QLabel* status_;
  QProgressBar* bar_;
  int step_ = 1;
  std::unique_ptr<AutoConnectSearch> running_;
};

}  // namespace kelvane
