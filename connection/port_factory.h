#pragma once
// Makes the port object for a port name. A program that offers ports of its
// own kind (the built-in simulated modems, "sim:TYPE") registers a maker for
// them at start. Of the names no maker takes, "rfc2217://HOST:PORT" and
// "tcp://HOST:PORT" are ports behind a device server, anything else a tty
// device path.

#include <memory>
#include <string>

#include "serial/serial_port.h"

namespace kelvane {

// Returns the port for a name it knows, null for any other name.
using PortMaker = std::unique_ptr<SerialPort> (*)(const std::string& name);

// Register before the first MakePort (not thread-safe against it); makers are
// asked in the order registered, and registering one twice has no effect.
void RegisterPortMaker(PortMaker maker);

std::unique_ptr<SerialPort> MakePort(const std::string& name);

}  // namespace kelvane
