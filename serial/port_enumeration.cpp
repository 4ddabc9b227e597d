#include "serial/port_enumeration.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The first line of a sysfs attribute, at most 128 printable characters.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  std::string out;
  for (unsigned char c : line) {
    if (out.size() >= 128) break;
    if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The USB device a tty hangs off: the nearest folder above the tty's device
// that has a vendor id, never above the sysfs root.
void ReadUsbAttributes(const fs::path& sysRoot, const fs::path& sysTty, PortInfo& info) {
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(sysRoot, ec);
  fs::path dir = fs::canonical(sysTty / "device", ec);
  if (ec) return;
  for (int depth = 0; depth < 8 && !dir.empty() && dir != root && dir != dir.root_path(); ++depth) {
    if (fs::exists(dir / "idVendor", ec)) {
      info.manufacturer = Attribute(dir / "manufacturer");
      info.product = Attribute(dir / "product");
      info.serial = Attribute(dir / "serial");
      return;
    }
    dir = dir.parent_path();
  }
}

std::string Describe(const PortInfo& p) {
  std::string text = p.manufacturer;
  if (!p.product.empty()) text += (text.empty() ? "" : " ") + p.product;
  if (!p.serial.empty()) text += (text.empty() ? "serial " : ", serial ") + p.serial;
  if (!p.byId.empty()) text += text.empty() ? p.byId : " (" + p.byId + ")";
  if (!p.accessProblem.empty()) text += (text.empty() ? "" : "; ") + p.accessProblem;
  return text;
}

std::string DeviceAccessProblem(const std::string& path, const AccessIdentity& who) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return {};
  return AccessProblem(st.st_uid, st.st_gid, st.st_mode, who);
}

}  // namespace

AccessIdentity ProcessIdentity() {
  AccessIdentity who;
  who.uid = ::geteuid();
  who.groups.push_back(::getegid());
  const int count = ::getgroups(0, nullptr);
  if (count > 0) {
    std::vector<gid_t> extra(static_cast<size_t>(count));
    const int got = ::getgroups(count, extra.data());
    if (got > 0) who.groups.insert(who.groups.end(), extra.begin(), extra.begin() + got);
  }
  who.groupName = [](gid_t gid) -> std::string {
    const struct group* g = ::getgrgid(gid);
    return g && g->gr_name ? g->gr_name : "";
  };
  return who;
}

std::string AccessProblem(uid_t owner, gid_t group, mode_t mode, const AccessIdentity& who) {
  if (who.uid == 0) return {};
  constexpr mode_t kReadWrite = 06;
  mode_t granted = mode & kReadWrite;
  if (who.uid == owner) {
    granted = (mode >> 6) & kReadWrite;
  } else if (std::find(who.groups.begin(), who.groups.end(), group) != who.groups.end()) {
    granted = (mode >> 3) & kReadWrite;
  }
  if (granted == kReadWrite) return {};
  if (who.uid != owner && ((mode >> 3) & kReadWrite) == kReadWrite) {
    std::string name = who.groupName ? who.groupName(group) : std::string();
    if (name.empty()) name = std::to_string(group);
    return "no permission: not in the " + name + " group (sudo usermod -aG " + name +
           " $USER, then log in again)";
  }
  return "no permission to read and write the device";
}

std::vector<PortInfo> EnumeratePorts(int searchPorts, int numberOfPorts, const std::string& devRoot,
                                     const std::string& sysRoot) {
  const int limit = std::clamp(numberOfPorts, 0, 255) + 1;
  std::vector<PortInfo> ports;
  if (searchPorts != 1) {
    for (int i = 0; i < limit; ++i) {
      PortInfo info;
      info.path = devRoot + "/ttyS" + std::to_string(i);
      ports.push_back(std::move(info));
    }
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

  // The by-id links point at the device node ("../../ttyUSB0").
  std::map<std::string, std::string> byId;
  const fs::path byIdDir = fs::path(devRoot) / "serial" / "by-id";
  for (const auto& entry : fs::directory_iterator(byIdDir, ec)) {
    std::error_code linkError;
    const fs::path target = fs::read_symlink(entry.path(), linkError);
    if (!linkError) byId[target.filename().string()] = entry.path().string();
  }

  const AccessIdentity who = ProcessIdentity();
  for (const auto& name : names) {
    if (static_cast<int>(ports.size()) >= limit) break;
    PortInfo info;
    info.path = devRoot + "/" + name;
    if (auto it = byId.find(name); it != byId.end()) info.byId = it->second;
    ReadUsbAttributes(sysRoot, sysClass / name, info);
    info.accessProblem = DeviceAccessProblem(info.path, who);
    info.description = Describe(info);
    ports.push_back(std::move(info));
  }
  return ports;
}

}  // namespace kelvane
