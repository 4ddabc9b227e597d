#include "pages/tab_diagnostic.h"

#include <QDesktopServices>
#include <QFont>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <ctime>

#include "ui/transfer_dlg.h"
#include "config/diagnostic_values.h"
#include "controls/bitmaps.h"
#include "controls/gradient_progress.h"
#include "controls/image_button.h"
#include "pages/dip_switches.h"
#include "pages/entry_edits.h"
#include "report/html_report.h"

namespace kelvane {

namespace {

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace

CTabDiagnostic::CTabDiagnostic(QtUserInterface& ui, QWidget* parent)
    : CConfigPage(ui, PG_DIAGNOSTIC, parent) {
  setObjectName(QStringLiteral("Diagnostic"));
  InitKelvaneResources();
  off_ = QPixmap(BitmapResourcePath(IDB_DIP_OFF));
  on_ = QPixmap(BitmapResourcePath(IDB_DIP_ON));
  unknown_ = QPixmap(BitmapResourcePath(IDB_DIP_UNKNOWN));
  openDocument = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };

  // --- Information ---
  auto* information = new QGroupBox(QStringLiteral("Information"), this);
  info_ = new QPlainTextEdit(information);
  info_->setReadOnly(true);
  info_->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The modem's listing is laid out in columns: a fixed-width face keeps them.
  QFont fixed = font();
  fixed.setFamily(QStringLiteral("Courier New"));
  fixed.setStyleHint(QFont::TypeWriter);
  fixed.setFixedPitch(true);
  if (!QFontInfo(fixed).fixedPitch()) fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  info_->setFont(fixed);
  info_->setMinimumWidth(150);
  info_->setAccessibleName(QStringLiteral("Information"));

  software_ = new QLineEdit(information);
  software_->setReadOnly(true);
  revision_ = new QLineEdit(information);
  revision_->setReadOnly(true);

  // The two version lines across the whole box, so they are shown whole;
  // under them the listing and, beside it, the bars.
  auto* versions = new QGridLayout;
  versions->setHorizontalSpacing(6);
  versions->setVerticalSpacing(4);
  auto* softwareLabel = new QLabel(QStringLiteral("Software version [ATI9]"), information);
  softwareLabel->setBuddy(software_);
  versions->addWidget(softwareLabel, 0, 0);
  versions->addWidget(software_, 0, 1);
  auto* revisionLabel = new QLabel(QStringLiteral("Revision identification [ATI6]"), information);
  revisionLabel->setBuddy(revision_);
  versions->addWidget(revisionLabel, 1, 0);
  versions->addWidget(revision_, 1, 1);
  versions->setColumnStretch(1, 1);
  auto* values = new QGridLayout;
  values->setHorizontalSpacing(6);
  values->setVerticalSpacing(4);
  const char* names[6] = {"RXSpeed", "TXSpeed", "SNR", "RXLevel", "Near Echo Level", "Far Echo Level"};
  const char* units[6] = {"kbps", "kbps", "dB", "dB", "dB", "dB"};
  for (int i = 0; i < 6; ++i) {
    auto* bar = new CGradientProgress(information);
    bar->setMinimumWidth(30);
    bar->setFixedHeight(14);
    auto* value = new QLabel(QStringLiteral("00"), information);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("-000.0")));
    bars_[static_cast<size_t>(i)] = bar;
    values_[static_cast<size_t>(i)] = value;
    auto* caption = new QLabel(QString::fromLatin1(names[i]), information);
    caption->setBuddy(bar);
    values->addWidget(caption, i, 0);
    values->addWidget(bar, i, 1);
    values->addWidget(value, i, 2);
    values->addWidget(new QLabel(QString::fromLatin1(units[i]), information), i, 3);
  }
  values->setRowStretch(6, 1);
  values->setColumnStretch(1, 1);
  auto* infoRow = new QHBoxLayout;
  infoRow->addWidget(info_);
  infoRow->addLayout(values, 1);
  auto* infoColumn = new QVBoxLayout(information);
  infoColumn->addLayout(versions);
  infoColumn->addLayout(infoRow, 1);

  // --- DIP Switches ---
  dip_ = new CDipSwitches(unknown_, this);
  for (int i = 0; i < 32; ++i) switchBitmaps_[static_cast<size_t>(i)] = IDB_DIP_UNKNOWN;

  // --- buttons ---
  report_ = new QPushButton(QStringLiteral("Create Report"), this);
  report_->setAutoDefault(false);
  auto* own = new QGroupBox(QStringLiteral("Diagnostic page"), this);
  auto* read = new CImageButton(QStringLiteral("Read"), own);
  read->SetLayout(kImageButtonDefaultLayout);
  read->SetBitmap(IDB_READ, QColor(0xFF, 0x00, 0xFF));
  read->setMinimumSize(82, 30);
  read->setAutoDefault(false);
  read->setObjectName(QStringLiteral("Read"));
  readButton_ = read;
  auto* ownRow = new QHBoxLayout(own);
  ownRow->setContentsMargins(8, 4, 8, 8);
  ownRow->addWidget(read);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(report_, 0, Qt::AlignBottom);
  bottom->addStretch(1);
  bottom->addWidget(own);

  auto* column = new QVBoxLayout(this);
  column->addWidget(information, 1);
  column->addWidget(dip_);
  column->addLayout(bottom);

  AddValueControl(info_);
  AddValueControl(software_);
  AddValueControl(revision_);
  for (int i = 0; i < 6; ++i) {
    AddValueControl(bars_[static_cast<size_t>(i)]);
    AddValueControl(values_[static_cast<size_t>(i)]);
  }
  for (int i = 0; i < 32; ++i) AddValueControl(dip_->Switch(i / 8, i % 8));

  connect(read, &QPushButton::clicked, this, &CTabDiagnostic::OnReadDiagnostic);
  connect(report_, &QPushButton::clicked, this, &CTabDiagnostic::OnCreateReport);
  SetTip(report_, QStringLiteral("Creates an HTML-report file."));
  SetTip(read, QStringLiteral("Reads configuration from adapter."));
  SetTip(software_, QStringLiteral("Software version creation date"));
  SetTip(revision_, QStringLiteral("Version string."));
}

QPushButton* CTabDiagnostic::DiagnosticReadButton() const { return readButton_; }

QLabel* CTabDiagnostic::Switch(int block, int sw) const { return dip_->Switch(block, sw); }

void CTabDiagnostic::OnSetActive() {
  PageOperation hold(*this);
  const bool offline = a_.LinkState & LS_FILE;
  readButton_->setEnabled(!offline);
  report_->setEnabled(!offline);
  // The base then only switches the tooltips: the read that is due runs
  // here, because this page shows its data even when that read fails.
  PageState& s = State();
  const bool due = s.refreshing;
  s.refreshing = 0;
  s.reloadPending = 0;
  CConfigPage::OnSetActive();
  if (!due) return;
  SetValueControlsEnabled(true);
  if (!s.valid && RunTransfer(OP_READ, SEC_DIAGNOSTIC) != 1) SetValueControlsEnabled(false);
  ShowData();
}

void CTabDiagnostic::OnReadDiagnostic() {
  PageOperation hold(*this);
  SetValueControlsEnabled(true);
  if (RunTransfer(OP_READ, SEC_DIAGNOSTIC) == 1) {
    ShowData();
  } else {
    SetValueControlsEnabled(false);
    ShowSwitches(false);
  }
}

void CTabDiagnostic::ShowData() {
  const DiagnosticInfo& d = a_.Diagnostic;
  const DiagnosticDisplay view = DisplayDiagnostic(d);
  for (size_t i = 0; i < 6; ++i) {
    CGradientProgress* bar = bars_[i];
    const LevelBar& v = view.bars[i];
    if (!view.idle) {
      bar->SetStartColor(CGradientProgress::FromColorRef(0x0000FF));
      bar->SetEndColor(CGradientProgress::FromColorRef(0x00FF00));
    }
    bar->SetRange(v.lower, v.upper);
    bar->SetPos(v.position);
    values_[i]->setText(Latin1Text(v.text));
  }
  revision_->setText(Latin1Text(d.AdapterVersion));
  software_->setText(Latin1Text(d.SoftwareVersion));
  revision_->setCursorPosition(0);
  software_->setCursorPosition(0);
  const QString listing = Latin1Text(d.InfoText);
  info_->setPlainText(listing);
  // The listing's lines are shown whole ("Termination     LOCAL REQUEST"):
  // the box takes the width of the longest, the bars beside it give way.
  const QFontMetrics fm(info_->font());
  int widest = 0;
  for (const QString& line : listing.split(QRegularExpression(QStringLiteral("[\r\n]")))) {
    widest = std::max(widest, fm.horizontalAdvance(line));
  }
  const int chrome = 2 * info_->frameWidth() + 2 * static_cast<int>(info_->document()->documentMargin()) +
                     info_->verticalScrollBar()->sizeHint().width() + 2;
  info_->setMinimumWidth(std::max(150, widest + chrome));
  ShowSwitches(true);
}

void CTabDiagnostic::ShowSwitches(bool known) {
  const auto images = DipSwitchImages(a_.ModelType, a_.Diagnostic.DipSwitches, known);
  for (size_t i = 0; i < 32; ++i) {
    const DipImage image = images[i];
    switchBitmaps_[i] = image == DipImage::On    ? IDB_DIP_ON
                        : image == DipImage::Off ? IDB_DIP_OFF
                                                 : IDB_DIP_UNKNOWN;
  }
  dip_->Show(images, a_.Diagnostic.DipSwitches, off_, on_, unknown_);
}

void CTabDiagnostic::OnCreateReport() {
  PageOperation hold(*this);
  const std::tm now = LocalTimeNow();
  const std::optional<std::string> path = ui_.AskFileName(ReportFileDialog());
  if (!path) return;
  int written = 0;
  const int losses = a_.PortLosses;
  {
    // The report reads the diagnostics afresh; its progress shows in the
    // transfer dialog, whose Cancel stops that read.
    CTransferDlg progress(ui_.DialogParent() ? ui_.DialogParent() : window(), ui_, SEC_DIAGNOSTIC,
                          OP_READ);
    progress.show();
    ui_.PushProgressSink(&progress);
    written = CreateReport(a_, *path, now);
    ui_.PopProgressSink(&progress);
  }
  // The report is written without the diagnostics; the user must know why.
  ui_.ReportLostLink(losses);
  if (written && openDocument) openDocument(QString::fromLocal8Bit(path->c_str()));
}

}  // namespace kelvane
