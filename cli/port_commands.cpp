// kelvane-cli ports: the serial ports with what the system knows of them.

#include <cstdio>

#include "cli/commands.h"
#include "config/field_table.h"
#include "serial/port_enumeration.h"

namespace kelvane::cli {

namespace {

std::string PortsJson(const std::vector<PortInfo>& ports) {
  std::string out = "[";
  for (size_t i = 0; i < ports.size(); ++i) {
    const PortInfo& p = ports[i];
    out += i ? ",\n  {" : "\n  {";
    out += "\"path\": " + JsonString(p.path);
    out += ", \"byId\": " + JsonString(p.byId);
    out += ", \"manufacturer\": " + JsonString(p.manufacturer);
    out += ", \"product\": " + JsonString(p.product);
    out += ", \"serial\": " + JsonString(p.serial);
    out += ", \"accessProblem\": " + JsonString(p.accessProblem);
    out += ", \"description\": " + JsonString(p.description) + "}";
  }
  return out + (ports.empty() ? "]\n" : "\n]\n");
}

}  // namespace

int PortsCommand(Session& s) {
  const CAdapter& a = s.adapter;
  const auto ports = EnumeratePorts(a.Options.SearchPorts, a.Options.NumberOfPorts);
  if (s.options.json) {
    // An empty list is an answer too for a program reading it.
    std::printf("%s", PortsJson(ports).c_str());
    return EXIT_OK;
  }
  if (ports.empty()) {
    std::fprintf(stderr, "No serial ports found.\n");
    return EXIT_FAILED;
  }
  for (const auto& p : ports) {
    if (p.description.empty()) {
      std::printf("%s\n", p.path.c_str());
    } else {
      std::printf("%s\t%s\n", p.path.c_str(), p.description.c_str());
    }
  }
  return EXIT_OK;
}

}  // namespace kelvane::cli
