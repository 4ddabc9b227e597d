#include "page_test_rig.h"

#include <algorithm>

namespace kelvane::testing {

PageRig::PageRig(int modelType) : port(std::make_unique<SimulatedPort>(SimulatedModem(modelType))) {
  port->SetClock([this] { return ui.NowMs(); });
  ui.SetStatusPanel(&status);
  a.Options.AutoLoad = 0;
}

PageRig::~PageRig() {
  ui.SetStatusPanel(nullptr);
  a.SetPort(nullptr);
}

void PageRig::Identify() {
  std::string reason;
  port->Open("sim", reason);
  a.SetPort(port.get());
  a.LinkState = LS_PORT_OPEN | LS_IDENTIFIED;
  a.ModelType = port->Modem().ModelType();
  a.ResetPageFlags();
}

void PageRig::Offline() {
  a.LinkState = LS_IDLE | LS_FILE;
  a.ModelType = 0;
}

bool PageRig::Received(const std::string& line) const {
  const auto& lines = port->Modem().ReceivedLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::size_t PageRig::ReceivedCount() const { return port->Modem().ReceivedLines().size(); }

}  // namespace kelvane::testing
