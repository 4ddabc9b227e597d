#include "connection/port_factory.h"

#include "serial/posix_serial_port.h"
#include "sim/simulated_port.h"

namespace kelvane {

bool IsSimulatedPortName(const std::string& name) {
  return name.size() == 5 && name.compare(0, 4, "sim:") == 0 && name[4] >= '1' && name[4] <= '4';
}

std::unique_ptr<SerialPort> MakePort(const std::string& name) {
  if (IsSimulatedPortName(name)) return std::make_unique<SimulatedPort>(SimulatedModem(name[4] - '0'));
  return std::make_unique<PosixSerialPort>();
}

}  // namespace kelvane
