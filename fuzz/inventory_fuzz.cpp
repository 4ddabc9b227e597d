// Reads arbitrary bytes as an apply inventory. A file is either refused with
// a reason naming its line, or every target has a port (or, for the dial-out
// pool, a number), a number the modem may dial (or none), and a report name
// that stays inside the report folder; each target's inventory line reads
// back as the same target, its own values included.
// Links: cli/apply_targets.cpp cli/apply_settings.cpp

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/apply.h"
#include "connection/remote_login.h"

using namespace kelvane;
using namespace kelvane::cli;

namespace {

// The bytes as a file the parser opens by name, without touching the disk.
std::string AsFile(const uint8_t* data, size_t size, int& fd) {
  fd = ::memfd_create("inventory", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  int fd = -1;
  const std::string path = AsFile(data, size, fd);
  std::vector<ApplyTarget> targets;
  std::string error;
  const bool read = ReadInventory(path, targets, error);
  ::close(fd);
  if (!read) {
    if (error.empty() || error.find(path) == std::string::npos) std::abort();
    return 0;
  }
  for (const ApplyTarget& t : targets) {
    // A target without a port is a far one for the dial-out pool.
    if (t.port.empty() && t.remote.empty()) std::abort();
    if (!t.remote.empty() && !IsDialNumber(t.remote)) std::abort();
    const std::string name = ReportFileName(t);
    if (name.empty() || name.find('/') != std::string::npos || name[0] == '.') std::abort();
  }
  std::string checked;
  CheckTargets(targets, checked);
  // A target written back as an inventory line is read as the same target.
  for (const ApplyTarget& t : targets) {
    const std::string line = InventoryLine(t) + "\n";
    int again = -1;
    const std::string copy = AsFile(reinterpret_cast<const uint8_t*>(line.data()), line.size(), again);
    std::vector<ApplyTarget> back;
    std::string backError;
    const bool ok = ReadInventory(copy, back, backError);
    ::close(again);
    if (!ok || back.size() != 1 || back[0].port != t.port || back[0].remote != t.remote ||
        back[0].settings != t.settings) {
      std::abort();
    }
  }
  return 0;
}
