#include "report/os_text.h"

#include <sys/utsname.h>

#include <fstream>

namespace kelvane {

namespace {

// Values longer than this are not a distribution name.
constexpr size_t kMaxValue = 200;

// An os-release value: quoted with " or ', or bare; a backslash takes the next
// character literally.
std::string Unquote(std::string_view value) {
  std::string out;
  char quote = 0;
  size_t i = 0;
  if (!value.empty() && (value[0] == '"' || value[0] == '\'')) quote = value[i++];
  for (; i < value.size() && out.size() < kMaxValue; ++i) {
    const char c = value[i];
    if (quote && c == quote) break;
    if (c == '\\' && i + 1 < value.size()) {
      out += value[++i];
      continue;
    }
    out += c;
  }
  return out;
}

std::string ValueOf(std::string_view osRelease, std::string_view key) {
  while (!osRelease.empty()) {
    const size_t end = osRelease.find('\n');
    std::string_view line = osRelease.substr(0, end);
    osRelease = end == std::string_view::npos ? std::string_view() : osRelease.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == '=') {
      return Unquote(line.substr(key.size() + 1));
    }
  }
  return {};
}

std::string ReadHead(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text(16384, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

}  // namespace

std::string DistributionName(std::string_view osRelease) {
  std::string name = ValueOf(osRelease, "PRETTY_NAME");
  if (!name.empty()) return name;
  name = ValueOf(osRelease, "NAME");
  const std::string version = ValueOf(osRelease, "VERSION");
  if (!name.empty() && !version.empty()) return name + " " + version;
  if (!name.empty()) return name;
  return "Linux";
}

std::string OsDescription(std::string_view distribution, std::string_view kernelRelease) {
  std::string text(distribution);
  if (!kernelRelease.empty()) text += ", kernel " + std::string(kernelRelease);
  return text;
}

std::string OsDescription() {
  std::string osRelease = ReadHead("/etc/os-release");
  if (osRelease.empty()) osRelease = ReadHead("/usr/lib/os-release");
  utsname u{};
  const std::string release = ::uname(&u) == 0 ? std::string(u.release) : std::string();
  return OsDescription(DistributionName(osRelease), release);
}

}  // namespace kelvane
