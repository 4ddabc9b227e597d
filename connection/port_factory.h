#pragma once
// Makes the port object for a port name: "sim:TYPE" (TYPE 1-4) is the built-in
// simulated modem of that model type, anything else a tty device path.

#include <memory>
#include <string>

#include "serial/serial_port.h"

namespace kelvane {

bool IsSimulatedPortName(const std::string& name);
std::unique_ptr<SerialPort> MakePort(const std::string& name);

}  // namespace kelvane
