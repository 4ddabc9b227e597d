#include "ui/wait_dlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace kelvane {

CWaitDlg::CWaitDlg(QtUserInterface& ui, QWidget* parent) : QDialog(parent), ui_(ui) {
  setWindowTitle(QStringLiteral("Wait"));
  setModal(false);
  setWindowFlag(Qt::WindowCloseButtonHint, false);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  message_ = new QLabel(this);
  message_->setAlignment(Qt::AlignCenter);
  message_->setMinimumWidth(240);
  bar_ = new QProgressBar(this);
  message_->setBuddy(bar_);  // the bar reads as the step it shows
  bar_->setTextVisible(false);
  bar_->setRange(0, 1);
  bar_->setValue(0);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(16, 14, 16, 14);
  column->setSpacing(10);
  column->addWidget(message_);
  column->addWidget(bar_);
  adjustSize();
  setFixedSize(sizeHint());
  if (parent) {
    const QWidget* top = parent->window();
    move(top->geometry().center() - rect().center());
  }
  show();
  ui_.PushProgressSink(this);
}

CWaitDlg::~CWaitDlg() { ui_.PopProgressSink(this); }

void CWaitDlg::SetProgressCaption(const QString& caption) { setWindowTitle(caption); }

void CWaitDlg::SetProgressText(const QString& text) {
  message_->setText(text);
  message_->repaint();
}

void CWaitDlg::SetProgressRange(int low, int high) {
  bar_->setRange(low, std::max(low, high));
  bar_->setValue(low);
}

void CWaitDlg::StepProgress() { bar_->setValue(std::min(bar_->maximum(), bar_->value() + step_)); }

void CWaitDlg::keyPressEvent(QKeyEvent* event) {
  // Neither Escape nor Enter ends the wait window; its user does.
  event->accept();
}

void CWaitDlg::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace kelvane
