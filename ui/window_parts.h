#pragma once
// The main window's parts as the shared window code (the Qt user interface,
// the transfer dialog, the pages' operations) sees them. The parts live in
// the folders above this one and implement these: the property sheet in
// app/, the terminal in connection/ui/.

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// The property sheet: the Connection page and the configuration pages.
class PageSheet {
 public:
  virtual ~PageSheet() = default;
  // Brings the configuration pages in line with the link state.
  virtual void UpdatePages() = 0;
  // Makes the Connection page current and refreshes it.
  virtual void ActivateConnectionPage() = 0;
  // The Connection page shows the port's rate and format again.
  virtual void SelectPortSettings() = 0;
  // A page operation is a handler of a page that may run an event loop; while
  // one runs, no page leaves the sheet. They nest.
  virtual void BeginPageOperation() = 0;
  virtual void EndPageOperation() = 0;
  virtual bool PageOperationRunning() const = 0;
};

// The terminal pane of the Connection page.
class TerminalView {
 public:
  virtual ~TerminalView() = default;
  virtual void RefreshTerminalInfo() = 0;
  virtual void AppendToTerminal(std::string_view text) = 0;
  // The password just given for a remote login, masked in the pane.
  virtual void SetLoginSecret(const std::string& secret) = 0;
};

// The configuration pages the link state calls for, in sheet order.
std::vector<int> WantedPages(int linkState, int modelType);

}  // namespace kelvane
