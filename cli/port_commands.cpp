// kelvane-cli ports: the serial ports with what the system knows of them.

#include <cstdio>

#include "cli/commands.h"
#include "config/json_text.h"
#include "serial/port_enumeration.h"

namespace kelvane::cli {

namespace {

// The system's texts (sysfs, by-id names) are UTF-8 already; a byte that is
// not comes out as U+FFFD.
std::string PortsJson(const std::vector<PortInfo>& ports) {
  Json out = Json::array();
  for (const PortInfo& p : ports) {
    out.push_back(Json{{"path", p.path},
                       {"byId", p.byId},
                       {"manufacturer", p.manufacturer},
                       {"product", p.product},
                       {"serial", p.serial},
                       {"accessProblem", p.accessProblem},
                       {"description", p.description}});
  }
  return JsonText(out, 1) + "\n";
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
