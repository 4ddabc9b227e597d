#include "app/prop_sheet.h"

#include <algorithm>
#include <tuple>

#include <QKeySequence>
#include <QShortcut>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>

#include "config/page_words.h"
#include "connection/ui/tab_connection.h"
#include "pages/config_page.h"

namespace kelvane {


CPropSheet::CPropSheet(CAdapter& adapter, CTabConnection* connectionPage, QWidget* parent)
    : QTabWidget(parent), adapter_(adapter), connection_(connectionPage) {
  setObjectName(QStringLiteral("Property Sheet"));
  addTab(connection_, QStringLiteral("Connection"));
  // The tab bar's scroll arrows stay out of the Tab chain: the bar itself
  // takes the keyboard, and Left and Right there turn the pages.
  for (QToolButton* arrow : tabBar()->findChildren<QToolButton*>()) arrow->setFocusPolicy(Qt::NoFocus);
  deferred_.setSingleShot(true);
  connect(&deferred_, &QTimer::timeout, this, &CPropSheet::UpdatePages);
  connect(this, &QTabWidget::currentChanged, this, [this](int index) { ActivatePage(widget(index)); });
  // Ctrl+PageDown and Ctrl+PageUp turn the pages wherever the focus is in
  // the window, and also when no control has it. Ctrl+Tab and Ctrl+Shift+Tab
  // do so from any control of the sheet (a combo box or an edit would
  // otherwise keep them); in the terminal they leave its output field, which
  // takes Tab as text. Shift turns Tab into Backtab.
  const std::tuple<QKeyCombination, int, Qt::ShortcutContext> turns[] = {
      {Qt::ControlModifier | Qt::Key_PageDown, 1, Qt::WindowShortcut},
      {Qt::ControlModifier | Qt::Key_PageUp, -1, Qt::WindowShortcut},
      {Qt::ControlModifier | Qt::Key_Tab, 1, Qt::WidgetWithChildrenShortcut},
      {Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Backtab, -1, Qt::WidgetWithChildrenShortcut},
      {Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Tab, -1, Qt::WidgetWithChildrenShortcut},
  };
  for (const auto& [keys, step, context] : turns) {
    auto* turn = new QShortcut(QKeySequence(keys), this);
    turn->setContext(context);
    connect(turn, &QShortcut::activated, this, [this, step = step] { TurnPage(step); });
  }
}

QSize CPropSheet::sizeHint() const {
  QSize hint = QTabWidget::sizeHint();
  // The tab widget bounds its bar's share of the hint while the bar can
  // scroll; the whole bar plus the frame's edges is what shows every tab.
  const int tabs = tabBar()->sizeHint().width() + 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) + 4;
  hint.setWidth(std::max({hint.width(), minimumWidth(), tabs}));
  return hint;
}

void CPropSheet::tabInserted(int index) {
  QTabWidget::tabInserted(index);
  updateGeometry();
}

void CPropSheet::tabRemoved(int index) {
  QTabWidget::tabRemoved(index);
  updateGeometry();
}

void CPropSheet::TurnPage(int step) {
  if (count() < 2) return;
  setCurrentIndex((currentIndex() + step + count()) % count());
  // The new page's first control takes the keyboard, so the next turn and
  // Tab work from there.
  QWidget* page = currentWidget();
  if (!page || page->isAncestorOf(window()->focusWidget())) return;
  for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
    if (page->isAncestorOf(w) && w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus)) {
      w->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  page->setFocus(Qt::TabFocusReason);
}

void CPropSheet::RegisterPage(int pageIndex, PageFactory factory) {
  factories_[pageIndex] = std::move(factory);
}

QWidget* CPropSheet::Page(int pageIndex) const {
  const auto it = present_.find(pageIndex);
  return it == present_.end() ? nullptr : it->second;
}

void CPropSheet::UpdatePages() {
  if (operations_ > 0) {
    held_ = true;
    return;
  }
  if (adapter_.Busy) {
    deferred_.start(100);
    return;
  }
  deferred_.stop();
  held_ = false;
  const std::vector<int> wanted = WantedPages(adapter_.LinkState, adapter_.ModelType);
  if (wanted.empty()) {
    // The Connection page becomes current first, so that removing the current
    // page does not activate (and read) its neighbour on the way out.
    if (currentWidget() != connection_) setCurrentWidget(connection_);
    for (int page : PagesInSheetOrder()) RemovePage(page);
    return;
  }
  // Pages already present stay; the missing ones are added in sheet order.
  for (int page : wanted) AddPage(page);
}

void CPropSheet::EndPageOperation() {
  if (operations_ > 0) --operations_;
  // Not now: the handler that ends the operation is still on the stack.
  if (operations_ == 0 && held_) deferred_.start(0);
}

void CPropSheet::AddPage(int pageIndex) {
  if (present_.count(pageIndex)) return;
  const auto it = factories_.find(pageIndex);
  if (it == factories_.end()) return;
  QWidget* page = it->second(this);
  if (!page) return;
  // After the Connection page and the present pages that come before it.
  int position = 1;
  for (int other : PagesInSheetOrder()) {
    if (other == pageIndex) break;
    if (present_.count(other)) ++position;
  }
  present_[pageIndex] = page;
  insertTab(position, page, QString::fromStdString(PageTitle(pageIndex)));
  PageState& state = adapter_.Page(pageIndex);
  state.present = 1;
  state.refreshing = 1;
}

void CPropSheet::RemovePage(int pageIndex) {
  adapter_.Page(pageIndex).present = 0;
  const auto it = present_.find(pageIndex);
  if (it == present_.end()) return;
  QWidget* page = it->second;
  present_.erase(it);
  removeTab(indexOf(page));
  page->deleteLater();
}

void CPropSheet::SelectPortSettings() { connection_->SelectPortSettings(); }

void CPropSheet::ActivateConnectionPage() {
  if (currentWidget() != connection_) {
    setCurrentWidget(connection_);  // refreshes through currentChanged
  } else {
    connection_->OnSetActive();
  }
}

void CPropSheet::ReactivateCurrentPage() { ActivatePage(currentWidget()); }

void CPropSheet::ActivatePage(QWidget* page) {
  if (!page) return;
  if (page == connection_) {
    connection_->OnSetActive();
  } else if (auto* config = qobject_cast<CConfigPage*>(page)) {
    config->OnSetActive();
  }
}

void CPropSheet::MarkPagesUnchanged(int sections) {
  for (const auto& [index, page] : present_) {
    auto* config = qobject_cast<CConfigPage*>(page);
    if (config && (config->SectionBit() & sections)) config->MarkUnchanged();
  }
}

}  // namespace kelvane
