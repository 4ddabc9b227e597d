#include "app/compare_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/profile_comparison.h"
#include "ui/qt_user_interface.h"
#include "report/comparison_report.h"

namespace kelvane {

namespace {

QString FromLatin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList Cells(const WordsDifference& d) {
  return {FromLatin1(d.here.page), FromLatin1(d.here.caption), FromLatin1(d.here.shown), FromLatin1(d.there)};
}

QPushButton* MakeButton(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  // Enter in the filter box must not press a button.
  button->setAutoDefault(false);
  return button;
}

}  // namespace

namespace {

// Sizes a cell for its text wrapped in the column's width, so the row is as
// high as its longest value needs (the view asks without a width).
class WrappingDelegate : public QStyledItemDelegate {
 public:
  explicit WrappingDelegate(QTreeView* view) : QStyledItemDelegate(view), view_(view) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem sized(option);
    // The style wraps only within a valid rectangle: any height will do.
    sized.rect = QRect(0, 0, view_->header()->sectionSize(index.column()), 1 << 16);
    return QStyledItemDelegate::sizeHint(sized, index);
  }

 private:
  QTreeView* view_;
};

}  // namespace

CCompareDlg::CCompareDlg(ProfileComparison& comparison, QtUserInterface& ui, QWidget* parent)
    : QDialog(parent), comparison_(comparison), ui_(ui) {
  setWindowTitle(QStringLiteral("Compare with Profile"));
  setObjectName(QStringLiteral("Compare"));

  summary_ = new QLabel(this);
  summary_->setWordWrap(true);
  summary_->setTextFormat(Qt::PlainText);

  filter_ = new QLineEdit(this);
  filter_->setClearButtonEnabled(true);
  auto* filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
  filterLabel->setBuddy(filter_);

  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  // A value is shown whole: a long one wraps in its column, and its row
  // grows, instead of being cut in the middle.
  list_->setUniformRowHeights(false);
  list_->setWordWrap(true);
  list_->setItemDelegate(new WrappingDelegate(list_));
  list_->setAlternatingRowColors(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setTextElideMode(Qt::ElideMiddle);
  list_->setAccessibleName(QStringLiteral("Differences"));
  const auto headings = ComparisonHeadings(FileNameUtf8());
  QStringList labels;
  for (const std::string& h : headings) labels << QString::fromUtf8(h.c_str());
  list_->setHeaderLabels(labels);
  QHeaderView* header = list_->header();
  header->setStretchLastSection(true);
  header->setSectionResizeMode(QHeaderView::Interactive);
  // A column the user makes narrower wraps its texts onto more lines.
  connect(header, &QHeaderView::sectionResized, list_, [this] {
    QTimer::singleShot(0, list_, [this] { list_->doItemsLayout(); });
  });

  pageGroup_ = new QGroupBox(this);
  takePage_ = MakeButton(QStringLiteral("Take the File's Values"), pageGroup_);
  auto* pageRow = new QHBoxLayout(pageGroup_);
  pageRow->setContentsMargins(6, 4, 6, 6);
  pageRow->addWidget(takePage_);
  auto* allGroup = new QGroupBox(QStringLiteral("All pages"), this);
  takeAll_ = MakeButton(QStringLiteral("Take the File's Values"), allGroup);
  // The two buttons read alike; a screen reader tells them apart.
  takeAll_->setAccessibleName(QStringLiteral("Take the File's Values for all pages"));
  auto* allRow = new QHBoxLayout(allGroup);
  allRow->setContentsMargins(6, 4, 6, 6);
  allRow->addWidget(takeAll_);

  copy_ = MakeButton(QStringLiteral("Copy"), this);
  saveHtml_ = MakeButton(QStringLiteral("Save as HTML"), this);
  auto* close = MakeButton(QStringLiteral("Close"), this);

  auto* filterRow = new QHBoxLayout;
  filterRow->addWidget(filterLabel);
  filterRow->addWidget(filter_, 1);
  auto* takeRow = new QHBoxLayout;
  takeRow->addWidget(pageGroup_);
  takeRow->addWidget(allGroup);
  takeRow->addStretch(1);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addWidget(copy_);
  buttonRow->addWidget(saveHtml_);
  buttonRow->addStretch(1);
  buttonRow->addWidget(close);
  auto* column = new QVBoxLayout(this);
  column->addWidget(summary_);
  column->addLayout(filterRow);
  column->addWidget(list_, 1);
  column->addLayout(takeRow);
  column->addLayout(buttonRow);

  list_->viewport()->installEventFilter(this);
  connect(filter_, &QLineEdit::textChanged, this, [this] { ShowRows(-1); });
  connect(list_, &QTreeWidget::currentItemChanged, this, [this] { OnCurrentRowChanged(); });
  connect(takePage_, &QPushButton::clicked, this, &CCompareDlg::OnTakePage);
  connect(takeAll_, &QPushButton::clicked, this, &CCompareDlg::OnTakeAll);
  connect(copy_, &QPushButton::clicked, this, &CCompareDlg::OnCopy);
  connect(saveHtml_, &QPushButton::clicked, this, &CCompareDlg::OnSaveHtml);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  // Usable beside the main window at its minimum size.
  setMinimumSize(520, 320);
  resize(780, 460);
  Refresh();
  list_->setFocus();
}

std::string CCompareDlg::FileNameUtf8() const { return comparison_.FileName().toUtf8().toStdString(); }

void CCompareDlg::SetFilter(const QString& text) { filter_->setText(text); }

void CCompareDlg::Refresh(int keepPage) {
  rows_ = comparison_.Differences();
  QString summary = rows_.empty() ? QStringLiteral("No differences from %1.").arg(comparison_.FileName())
                                  : QString::fromUtf8(ComparisonTitle(FileNameUtf8()).c_str()) +
                                        QStringLiteral(": %1.").arg(rows_.size());
  const QStringList notCompared = comparison_.PagesNotCompared();
  if (!notCompared.isEmpty()) {
    summary += QStringLiteral(" Not compared, because not read: %1.").arg(notCompared.join(QStringLiteral(", ")));
  }
  if (const int unlisted = comparison_.UnlistedDifferences()) {
    summary += QStringLiteral(" Not listed: %1 in values no page shows.").arg(unlisted);
  }
  summary_->setText(summary);
  takeAll_->setEnabled(!rows_.empty());
  ShowRows(keepPage);
}

void CCompareDlg::ShowRows(int keepPage) {
  const QString filter = filter_->text().trimmed();
  shown_.clear();
  list_->clear();
  QTreeWidgetItem* current = nullptr;
  for (const WordsDifference& d : rows_) {
    const QStringList cells = Cells(d);
    if (!filter.isEmpty() &&
        std::none_of(cells.begin(), cells.end(), [&](const QString& c) { return c.contains(filter, Qt::CaseInsensitive); })) {
      continue;
    }
    auto* item = new QTreeWidgetItem(list_, cells);
    // Long texts are cut in the columns; the tooltip shows them whole.
    for (int c = 0; c < cells.size(); ++c) item->setToolTip(c, cells[c]);
    item->setData(0, Qt::UserRole, d.here.pageIndex);
    if (!current && (keepPage < 0 || d.here.pageIndex == keepPage)) current = item;
    shown_.push_back(d);
  }
  if (!current && list_->topLevelItemCount() > 0) current = list_->topLevelItem(0);
  FitColumns();
  list_->setCurrentItem(current);
  copy_->setEnabled(!shown_.empty());
  saveHtml_->setEnabled(!shown_.empty());
  OnCurrentRowChanged();
}

void CCompareDlg::FitColumns() {
  // The page names whole; the captions and the current values as wide as
  // they need up to a share of the rest; the file's values take what is left.
  // The widths the texts need on one line (the view's own measure would
  // take the wrapped texts in the present widths).
  const int margin = 2 * (list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 1) + 2;
  auto natural = [this, margin](int column) {
    int width = list_->fontMetrics().horizontalAdvance(list_->headerItem()->text(column)) + 3 * margin;
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
      width = std::max(width, list_->fontMetrics().horizontalAdvance(list_->topLevelItem(row)->text(column)) + margin);
    }
    return width;
  };
  list_->setColumnWidth(0, natural(0));
  const int rest = std::max(0, list_->viewport()->width() - list_->columnWidth(0));
  const double shares[] = {0.45, 0.27};
  for (int c = 1; c <= 2; ++c) {
    list_->setColumnWidth(c, std::min(natural(c), static_cast<int>(rest * shares[c - 1])));
  }
  // The rows take the height their wrapped texts need in the new widths.
  list_->doItemsLayout();
}

bool CCompareDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport() && event->type() == QEvent::Resize) FitColumns();
  return QDialog::eventFilter(watched, event);
}

void CCompareDlg::OnCurrentRowChanged() {
  const QTreeWidgetItem* item = list_->currentItem();
  if (!item) {
    pageGroup_->setTitle(QStringLiteral("Page"));
    takePage_->setEnabled(false);
    return;
  }
  // As the pages caption their own group: "Basic page".
  pageGroup_->setTitle(item->text(0) + QStringLiteral(" page"));
  takePage_->setAccessibleName(QStringLiteral("Take the File's Values for the %1 page").arg(item->text(0)));
  takePage_->setEnabled(true);
}

void CCompareDlg::OnTakePage() {
  const QTreeWidgetItem* item = list_->currentItem();
  if (!item) return;
  const int page = item->data(0, Qt::UserRole).toInt();
  comparison_.TakeFileValues(page);
  Refresh(page);
}

void CCompareDlg::OnTakeAll() {
  comparison_.TakeAllFileValues();
  Refresh();
}

void CCompareDlg::OnCopy() {
  QApplication::clipboard()->setText(QString::fromUtf8(ComparisonText(FileNameUtf8(), shown_).c_str()));
}

void CCompareDlg::OnSaveHtml() {
  FileDialogRequest request;
  request.kind = FileDialogKind::Save;
  request.title = "Save as HTML";
  request.filter = "HTML files (*.htm)|*.htm|All files (*.*)|*.*||";
  request.defaultExtension = "htm";
  request.promptOverwrite = true;
  request.folderKind = "reports";
  request.suggestedName = QFileInfo(comparison_.FileName()).completeBaseName().toStdString() + "-differences.htm";
  const auto path = ui_.AskFileName(request);
  if (!path) return;
  FileProblem problem;
  if (!SaveComparisonHtml(*path, ComparisonHtml(FileNameUtf8(), shown_), problem)) {
    ui_.MessageBoxWithDetail(problem.message, problem.detail, MsgIcon::Warning, MsgButtons::Ok);
  }
}

}  // namespace kelvane
