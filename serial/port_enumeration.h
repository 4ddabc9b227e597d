#pragma once
// Which serial ports to offer, and what the system knows of each. Ports are
// device paths.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace kelvane {

struct PortInfo {
  std::string path;          // what goes into PortNumber, e.g. "/dev/ttyUSB0"
  std::string byId;          // the stable "/dev/serial/by-id/..." name, or empty
  std::string manufacturer;  // of a USB adapter, from sysfs
  std::string product;
  std::string serial;
  std::string accessProblem;  // why the user may not open it, or empty
  // One line for a list or a tooltip: "FTDI FT232R USB UART, serial A1B2C3D4
  // (/dev/serial/by-id/...)", and the access problem when there is one.
  std::string description;
};

// searchPorts: 1 = offer the ports that exist (ttyUSB*, ttyACM*, and ttyS* with
// a real UART behind them); anything else = offer /dev/ttyS0 ... without
// looking. numberOfPorts: the options index; at most numberOfPorts + 1 ports
// are offered. The roots are parameters so tests can use a fake tree.
std::vector<PortInfo> EnumeratePorts(int searchPorts, int numberOfPorts,
                                     const std::string& devRoot = "/dev",
                                     const std::string& sysRoot = "/sys");

// What the process may do with a device node.
struct AccessIdentity {
  uid_t uid = 0;
  std::vector<gid_t> groups;  // effective group first, then the supplementary ones
  // The name of a group ("dialout"), empty when unknown.
  std::function<std::string(gid_t)> groupName;
};
// The identity of this process.
AccessIdentity ProcessIdentity();

// Why a device node with this owner and mode cannot be opened for reading and
// writing by `who`, or empty when it can.
std::string AccessProblem(uid_t owner, gid_t group, mode_t mode, const AccessIdentity& who);

}  // namespace kelvane
