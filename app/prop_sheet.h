#pragma once
// The property sheet of the main window: the Connection page, always there,
// followed by the configuration pages that the link state calls for.

#include <QTabWidget>
#include <QTimer>

#include <functional>
#include <map>

#include "config/adapter.h"
#include "ui/window_parts.h"

namespace kelvane {

class CTabConnection;

class CPropSheet : public QTabWidget, public PageSheet {
  Q_OBJECT

 public:
  CPropSheet(CAdapter& adapter, CTabConnection* connectionPage, QWidget* parent = nullptr);

  CTabConnection& ConnectionPage() { return *connection_; }

  // Builds the widget of a configuration page. A page kind that has no
  // factory is not offered. Its tab takes the title of its section.
  using PageFactory = std::function<QWidget*(QWidget* parent)>;
  void RegisterPage(int pageIndex, PageFactory factory);

  // Brings the configuration pages in line with LinkState and ModelType.
  // While Busy, the update is retried 100 ms later (timer 2); while a page
  // operation runs, it waits for the last one to end.
  void UpdatePages() override;
  static std::vector<int> WantedPages(int linkState, int modelType) { return kelvane::WantedPages(linkState, modelType); }
  // The configuration page of that index currently in the sheet, or null.
  QWidget* Page(int pageIndex) const;
  bool UpdatePending() const { return held_ || deferred_.isActive(); }

  // A page operation is a handler of a page that may run an event loop (a
  // transfer, a page command, a message box, a modal dialog). While one
  // runs, no page leaves the sheet: a page is never deleted while one of its
  // handlers is on the stack. An update asked for meanwhile runs from the
  // event loop once the last operation has ended.
  void BeginPageOperation() override { ++operations_; }
  void EndPageOperation() override;
  bool PageOperationRunning() const override { return operations_ > 0; }

  // As wide as the pages need and, where the window has the room, as wide as
  // the tab bar with every tab shown (no scroll arrows).
  QSize sizeHint() const override;

 protected:
  // The width that shows every tab changes with the tabs.
  void tabInserted(int index) override;
  void tabRemoved(int index) override;

 public:

  // Makes the Connection page current and refreshes it.
  void ActivateConnectionPage() override;
  void SelectPortSettings() override;
  // Refreshes whichever page is current (after the tool options changed, or
  // after a profile operation replaced the records).
  void ReactivateCurrentPage();
  // Every configuration page present whose section is among `sections`
  // takes its record as unchanged (after a write of all sections: the
  // sections it stored).
  void MarkPagesUnchanged(int sections);

 private:
  // Shows the page `step` places on (cyclic), as Ctrl+PageDown/PageUp do.
  void TurnPage(int step);
  void AddPage(int pageIndex);
  void RemovePage(int pageIndex);
  void ActivatePage(QWidget* page);

  CAdapter& adapter_;
  CTabConnection* connection_;
  std::map<int, PageFactory> factories_;
  std::map<int, QWidget*> present_;
  QTimer deferred_;
  int operations_ = 0;
  // An update was asked for while a page operation ran.
  bool held_ = false;
};

}  // namespace kelvane
