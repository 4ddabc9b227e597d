#pragma once
// The traffic log row of the terminal pane: a button that starts logging
// every byte to and from the modem into a file the user chooses, and stops
// it again, with the file's name beside it while the log runs.

#include <QLabel>
#include <QToolButton>
#include <QWidget>

#include "config/adapter.h"

namespace kelvane {

class CTrafficLogControl : public QWidget {
  Q_OBJECT

 public:
  CTrafficLogControl(CAdapter& adapter, QWidget* parent = nullptr);

  // Asks for a file and starts the log there; false when the user cancelled
  // or the file could not be opened (which has been shown).
  bool StartLogging();
  void StopLogging();
  bool Logging() const;

  QToolButton* Button() const { return button_; }
  QString FileText() const { return file_->text(); }

 private:
  void ShowState();

  CAdapter& adapter_;
  QToolButton* button_;
  QLabel* file_;
};

}  // namespace kelvane
