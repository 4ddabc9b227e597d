#include "ui/transfer_dlg.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>

#include "config/field_table.h"
#include "config/page_words.h"
#include "config/read_engine.h"
#include "config/write_engine.h"
#include "connection/connect.h"
#include "connection/flash_update.h"
#include "connection/raw_transfer.h"
#include "connection/remote_login.h"
#include "ui/window_parts.h"

namespace kelvane {

namespace {

// The pages of `sections` that this modem (or profile) has, by their tab
// titles: "Basic", "Basic and Serial", "Basic, Serial and I/O"; more than
// three are counted ("5 pages").
std::string SectionsPhrase(const CAdapter& a, int sections) {
  std::vector<std::string> names;
  for (int page : WantedPages(a.LinkState, a.ModelType)) {
    const SectionInfo* section = SectionOfPage(page);
    if (section && (section->bit & sections)) names.push_back(PageTitle(page));
  }
  if (names.size() > 3) return std::to_string(names.size()) + " pages";
  std::string phrase;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) phrase += i + 1 == names.size() ? " and " : ", ";
    phrase += names[i];
  }
  return phrase;
}

}  // namespace

CTransferDlg::CTransferDlg(QWidget* parent, QtUserInterface& ui, int sections, int operation)
    : QDialog(parent), ui_(ui), sections_(sections), operation_(operation) {
  setWindowTitle(QStringLiteral("Transfer"));
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  text_ = new QLabel(QStringLiteral("Transfering data"), this);
  text_->setAlignment(Qt::AlignCenter);
  // Room for two lines of the longest status texts without resizing.
  text_->setWordWrap(true);
  text_->setFixedWidth(text_->fontMetrics().horizontalAdvance(QStringLiteral("M")) * 24);
  text_->setMinimumHeight(text_->fontMetrics().lineSpacing() * 2);
  bar_ = new QProgressBar(this);
  text_->setBuddy(bar_);  // the bar reads as the step it shows
  bar_->setRange(0, 1);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setAutoDefault(false);
  connect(cancel_, &QPushButton::clicked, this, &CTransferDlg::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  buttons->addStretch(1);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(18, 14, 18, 12);
  column->setSpacing(10);
  column->addWidget(text_);
  column->addWidget(bar_);
  column->addLayout(buttons);
  adjustSize();
  setFixedSize(sizeHint());
}

CTransferDlg::~CTransferDlg() { ui_.PopProgressSink(this); }

int CTransferDlg::Run() {
  const int losses = ui_.Adapter().PortLosses;
  // The operation starts once the dialog is on the screen, inside its modal
  // loop.
  QTimer::singleShot(0, this, &CTransferDlg::Start);
  const int result = exec();
  // A write and a flash update name the failed exchange in their own
  // message; every other operation ends silently or with a message that does
  // not say the modem is gone.
  if (operation_ != OP_WRITE && operation_ != OP_FLASH) ui_.ReportLostLink(losses);
  // A read or write that worked says so: the pages alone would not show it.
  const CAdapter& a = ui_.Adapter();
  if (operation_ == OP_WRITE && stored_ != 0) {
    const std::string pages = SectionsPhrase(a, stored_);
    if (!pages.empty()) ui_.SetStatusNote(pages + " written and stored.");
  } else if (operation_ == OP_READ && result == 1) {
    const std::string pages = SectionsPhrase(a, sections_);
    if (!pages.empty()) ui_.SetStatusNote(pages + " read from the modem.");
  }
  return result;
}

void CTransferDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QWidget* p = parentWidget()) move(p->window()->geometry().center() - rect().center());
}

void CTransferDlg::Start() { done(RunOperation()); }

int CTransferDlg::RunOperation() {
  CAdapter& a = ui_.Adapter();
  ui_.PushProgressSink(this);
  int result = 0;
  switch (operation_) {
    case OP_READ: result = ReadConfiguration(a, sections_); break;
    case OP_WRITE: {
      const ProfileWrite written = WriteProfile(a, sections_);
      stored_ = written.stored;
      result = written.result;
      break;
    }
    case OP_ESCAPE: result = SendEscapeSequence(a); break;
    case OP_SEND_FILE:
      result = SendFileOperation(a, [this](const std::string& path, SendFileParams& params) {
        return ui_.AskSendFile(path, params);
      });
      break;
    case OP_CONNECT: result = RunConnectOperation(a); break;
    case OP_REMOTE_CONNECT: {
      RemotePrompts prompts;
      prompts.askNumber = [this] { return ui_.AskRemoteNumber(); };
      prompts.askPassword = [this] { return ui_.AskRemotePassword(); };
      result = RunRemoteConnectOperation(a, prompts);
      break;
    }
    case OP_FLASH: result = RunFlashUpdate(a); break;
    default: result = 0; break;
  }
  ui_.PopProgressSink(this);
  emit ui_.TransferRan(operation_, sections_);
  return result;
}

void CTransferDlg::reject() {
  // Cancel (the button or Escape) stops the running operation, which then
  // ends the dialog; not while the operation has disabled it.
  if (cancel_->isEnabled()) ui_.Adapter().AbortRequested = true;
}

void CTransferDlg::EnableCancel(bool enabled) { cancel_->setEnabled(enabled); }

void CTransferDlg::closeEvent(QCloseEvent* event) {
  if (cancel_->isEnabled()) ui_.Adapter().AbortRequested = true;
  event->ignore();
}

void CTransferDlg::SetProgressCaption(const QString& caption) { setWindowTitle(caption); }

void CTransferDlg::SetProgressText(const QString& text) {
  text_->setText(text);
  text_->repaint();
}

void CTransferDlg::SetProgressRange(int low, int high) {
  bar_->setRange(low, std::max(low, high));
  bar_->setValue(low);
}

void CTransferDlg::StepProgress() { bar_->setValue(std::min(bar_->maximum(), bar_->value() + step_)); }

}  // namespace kelvane
