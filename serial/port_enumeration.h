#pragma once
// Which serial ports to offer. Ports are device paths.

#include <string>
#include <vector>

namespace kelvane {

struct PortInfo {
  std::string path;         // what goes into PortNumber, e.g. "/dev/ttyUSB0"
  std::string description;  // the stable /dev/serial/by-id name, when there is one
};

// searchPorts: 1 = offer the ports that exist (ttyUSB*, ttyACM*, and ttyS* with
// a real UART behind them); anything else = offer /dev/ttyS0 ... without
// looking. numberOfPorts: the options index; at most numberOfPorts + 1 ports
// are offered. The roots are parameters so tests can use a fake tree.
std::vector<PortInfo> EnumeratePorts(int searchPorts, int numberOfPorts,
                                     const std::string& devRoot = "/dev",
                                     const std::string& sysRoot = "/sys");

}  // namespace kelvane
