#include "connection/ui/autoconnect_dlg.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>

namespace kelvane {

namespace {

template <size_t N>
QComboBox* RangeCombo(QWidget* parent, const char* const (&entries)[N], int selected) {
  auto* combo = new QComboBox(parent);
  for (const char* e : entries) combo->addItem(QString::fromLatin1(e));
  combo->setCurrentIndex(selected);
  return combo;
}

}  // namespace

CAutoConnectDlg::CAutoConnectDlg(QtUserInterface& ui, QWidget* parent)
    : QDialog(parent), ui_(ui), a_(ui.Adapter()) {
  setWindowTitle(QStringLiteral("Autoconnect"));
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  const AutoConnectRanges initial;
  auto* group = new QGroupBox(QStringLiteral("Search intervals"), this);
  baudFrom_ = RangeCombo(group, kAutoBaudRates, initial.baudFrom);
  baudTo_ = RangeCombo(group, kAutoBaudRates, initial.baudTo);
  parityFrom_ = RangeCombo(group, kAutoParities, initial.parityFrom);
  parityTo_ = RangeCombo(group, kAutoParities, initial.parityTo);
  dataFrom_ = RangeCombo(group, kAutoDataBits, initial.dataFrom);
  dataTo_ = RangeCombo(group, kAutoDataBits, initial.dataTo);
  stopFrom_ = RangeCombo(group, kAutoStopBits, initial.stopFrom);
  stopTo_ = RangeCombo(group, kAutoStopBits, initial.stopTo);

  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel(QStringLiteral("From"), group), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("To"), group), 0, 2);
  const struct {
    const char* label;
    QComboBox* from;
    QComboBox* to;
  } rows[] = {{"Baud rate:", baudFrom_, baudTo_},
              {"Parity:", parityFrom_, parityTo_},
              {"Data bits:", dataFrom_, dataTo_},
              {"Stop bits:", stopFrom_, stopTo_}};
  int row = 1;
  for (const auto& r : rows) {
    auto* caption = new QLabel(QString::fromLatin1(r.label), group);
    caption->setBuddy(r.from);
    r.to->setAccessibleName(QString::fromLatin1(r.label) + QStringLiteral(" To"));
    grid->addWidget(caption, row, 0);
    grid->addWidget(r.from, row, 1);
    grid->addWidget(r.to, row, 2);
    ++row;
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);

  status_ = new QLabel(QStringLiteral("Press Search to begin."), this);
  // The widest status text fits without the dialog growing while it runs.
  status_->setMinimumWidth(
      status_->fontMetrics().horizontalAdvance(QStringLiteral("Searching : 115200 bps, Even, 8, 2")) + 8);
  bar_ = new QProgressBar(this);
  status_->setBuddy(bar_);  // the bar reads as the search it shows
  bar_->setRange(0, 1);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  auto* note = new QLabel(QStringLiteral("This may take several minutes."), this);
  note->setForegroundRole(QPalette::PlaceholderText);

  search_ = new QPushButton(QStringLiteral("Search"), this);
  search_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setAutoDefault(false);
  connect(search_, &QPushButton::clicked, this, &CAutoConnectDlg::Search);
  connect(cancel_, &QPushButton::clicked, this, &CAutoConnectDlg::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(search_);
  buttons->addWidget(cancel_);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(14, 12, 14, 12);
  column->setSpacing(8);
  column->addWidget(group);
  column->addWidget(status_);
  column->addWidget(bar_);
  column->addWidget(note);
  column->addLayout(buttons);
  adjustSize();
  setFixedSize(sizeHint());
}

CAutoConnectDlg::~CAutoConnectDlg() { ui_.PopProgressSink(this); }

int CAutoConnectDlg::Run() {
  // With "userAutoConnect" 0 the search begins once the dialog is up.
  if (a_.Options.userAutoConnect == 0) QTimer::singleShot(0, this, &CAutoConnectDlg::Search);
  return exec();
}

AutoConnectRanges CAutoConnectDlg::Ranges() const {
  AutoConnectRanges r;
  r.baudFrom = baudFrom_->currentIndex();
  r.baudTo = baudTo_->currentIndex();
  r.parityFrom = parityFrom_->currentIndex();
  r.parityTo = parityTo_->currentIndex();
  r.dataFrom = dataFrom_->currentIndex();
  r.dataTo = dataTo_->currentIndex();
  r.stopFrom = stopFrom_->currentIndex();
  r.stopTo = stopTo_->currentIndex();
  return r;
}

void CAutoConnectDlg::Search() {
  if (running_) return;
  for (QWidget* w : std::initializer_list<QWidget*>{baudFrom_, baudTo_, parityFrom_, parityTo_, dataFrom_,
                                                    dataTo_, stopFrom_, stopTo_, search_})
    w->setEnabled(false);
  // The quick pass belongs to the search that starts by itself.
  running_ = std::make_unique<AutoConnectSearch>(a_, Ranges(), a_.Options.userAutoConnect == 0);
  ui_.PushProgressSink(this);
  const int result = running_->Run();
  ui_.PopProgressSink(this);
  done(result);
}

void CAutoConnectDlg::reject() {
  if (!running_ || !running_->Running()) {
    // Before a search Cancel closes the dialog; after one the dialog is
    // already ending with the search's result.
    if (!running_) done(AUTOCONNECT_ABORTED);
    return;
  }
  running_->Cancel();
}

void CAutoConnectDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  reject();
}

void CAutoConnectDlg::SetProgressText(const QString& text) {
  status_->setText(text);
  status_->repaint();
}

void CAutoConnectDlg::SetProgressRange(int low, int high) {
  bar_->setRange(low, std::max(low, high));
  bar_->setValue(low);
}

void CAutoConnectDlg::StepProgress() { bar_->setValue(std::min(bar_->maximum(), bar_->value() + step_)); }

}  // namespace kelvane
