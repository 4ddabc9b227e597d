#pragma once
// What the page tests share: an adapter with the test user interface on
// virtual time, a status panel for the change markers, and an in-process
// simulated modem on the same clock that the adapter can be linked to as if
// Connect had identified it.

#include <memory>
#include <string>

#include "ui/status_panel.h"
#include "config/adapter.h"
#include "sim/simulated_port.h"
#include "test_ui.h"

namespace kelvane::testing {

struct PageRig {
  CAdapter a;
  VirtualTimeUi ui{a};
  CStatusPanel status;
  std::unique_ptr<SimulatedPort> port;

  explicit PageRig(int modelType = 2);
  ~PageRig();

  // Opens the simulated port and sets the link as an identification does:
  // port open + identified, the model type, every page flagged refreshing.
  void Identify();
  // Offline editing of a profile: no modem, LS_FILE.
  void Offline();
  SimulatedModem& Modem() { return port->Modem(); }
  // Whether the modem received this command line since the rig was made.
  bool Received(const std::string& line) const;
  // The number of command lines the modem has received.
  std::size_t ReceivedCount() const;
};

}  // namespace kelvane::testing
