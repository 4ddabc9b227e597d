#include "connection/port_factory.h"

#include <algorithm>
#include <vector>

#include "serial/network_serial_port.h"
#include "serial/posix_serial_port.h"

namespace kelvane {

namespace {
std::vector<PortMaker>& Makers() {
  static std::vector<PortMaker> makers;
  return makers;
}
}  // namespace

void RegisterPortMaker(PortMaker maker) {
  auto& makers = Makers();
  if (maker && std::find(makers.begin(), makers.end(), maker) == makers.end()) makers.push_back(maker);
}

std::unique_ptr<SerialPort> MakePort(const std::string& name) {
  for (PortMaker maker : Makers()) {
    if (auto port = maker(name)) return port;
  }
  if (IsNetworkPortName(name)) return std::make_unique<NetworkSerialPort>();
  return std::make_unique<PosixSerialPort>();
}

}  // namespace kelvane
