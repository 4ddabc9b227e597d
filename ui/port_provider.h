#pragma once
// The serial port objects of the application. A port name "sim:N" (N = model
// type 1 to 4) is a simulated modem inside the program; "rfc2217://HOST:PORT"
// and "tcp://HOST:PORT" a port behind a device server; any other name is a
// tty device. Each simulated modem is kept for the whole run, so what was
// written to it is still there at the next connect.

#include <map>
#include <memory>
#include <string>

#include "config/adapter.h"
#include "serial/network_serial_port.h"
#include "serial/posix_serial_port.h"
#include "config/traffic_file_log.h"
#include "sim/simulated_port.h"

namespace kelvane {

class PortProvider {
 public:
  PortProvider();
  ~PortProvider();
  PortProvider(const PortProvider&) = delete;
  PortProvider& operator=(const PortProvider&) = delete;

  // Gives the adapter the port object for `name`. While the adapter's port is
  // open it is kept (the name cannot change then).
  void Select(CAdapter& a, const std::string& name);

  // The simulated port of a model type (created on first use), or null.
  SimulatedPort* Simulated(int modelType);

  // Offers another port object under a name of its own (not owned), e.g. a
  // simulated modem of a particular article.
  void Register(const std::string& name, SerialPort* port) { named_[name] = port; }

  // The traffic log of the run. The adapter always talks through it, so a
  // log started while connected sees the rest of the session.
  TrafficFileLog& TrafficLog() { return log_; }
  // Makes the log the adapter's traffic file; the provider takes it (and its
  // port) back from the adapter when it goes.
  void AttachTrafficLog(CAdapter& a);

 private:
  CAdapter* attached_ = nullptr;
  TrafficFileLog log_;
  TrafficLoggingPort logged_{log_};
  PosixSerialPort tty_;
  NetworkSerialPort network_;
  std::map<int, std::unique_ptr<SimulatedPort>> simulated_;
  std::map<std::string, SerialPort*> named_;
};

}  // namespace kelvane
