#include "serial/port_enumeration.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace kelvane {

namespace fs = std::filesystem;

namespace {

// "ttyUSB10" sorts after "ttyUSB9".
bool NaturalLess(const std::string& a, const std::string& b) {
  auto split = [](const std::string& s) {
    size_t i = s.size();
    while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') --i;
    const std::string digits = s.substr(i);
    long n = digits.empty() || digits.size() > 9 ? -1 : std::stol(digits);
    return std::make_pair(s.substr(0, i), n);
  };
  return split(a) < split(b);
}

// A ttyS entry is a real UART when the kernel bound it to a device and the
// port type is known (an unprobed 8250 slot reports type 0).
bool IsRealUart(const fs::path& sysTty) {
  std::error_code ec;
  if (!fs::exists(sysTty / "device", ec)) return false;
  std::ifstream type(sysTty / "type");
  int value = -1;
  if (type && (type >> value)) return value != 0;
  return true;
}

}  // namespace

std::vector<PortInfo> EnumeratePorts(int searchPorts, int numberOfPorts, const std::string& devRoot,
                                     const std::string& sysRoot) {
  const int limit = std::clamp(numberOfPorts, 0, 255) + 1;
  std::vector<PortInfo> ports;
  if (searchPorts != 1) {
    for (int i = 0; i < limit; ++i) ports.push_back({devRoot + "/ttyS" + std::to_string(i), ""});
    return ports;
  }

  std::vector<std::string> names;
  std::error_code ec;
  const fs::path sysClass = fs::path(sysRoot) / "class" / "tty";
  for (const auto& entry : fs::directory_iterator(sysClass, ec)) {
    const std::string name = entry.path().filename().string();
    const bool usb = name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
    const bool uart = name.rfind("ttyS", 0) == 0 && IsRealUart(entry.path());
    if ((usb || uart) && fs::exists(fs::path(devRoot) / name, ec)) names.push_back(name);
  }
  // Without sysfs (a container), fall back to the device nodes themselves.
  if (names.empty()) {
    for (const auto& entry : fs::directory_iterator(devRoot, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end(), NaturalLess);

  std::map<std::string, std::string> byId;
  for (const auto& entry : fs::directory_iterator(fs::path(devRoot) / "serial" / "by-id", ec)) {
    std::error_code linkError;
    const fs::path target = fs::read_symlink(entry.path(), linkError);
    if (!linkError) byId[target.filename().string()] = entry.path().filename().string();
  }

  for (const auto& name : names) {
    if (static_cast<int>(ports.size()) >= limit) break;
    auto it = byId.find(name);
    ports.push_back({devRoot + "/" + name, it == byId.end() ? "" : it->second});
  }
  return ports;
}

}  // namespace kelvane
