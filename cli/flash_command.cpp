// kelvane-cli flash: the firmware flash update of the window's Transfer >
// Advanced menu, with the progress on standard error.

#include <chrono>
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "connection/flash_update.h"

namespace kelvane::cli {

int FlashCommand(Session& s) {
  if (s.options.positional.size() != 1) {
    std::fprintf(stderr, "usage: kelvane-cli flash --port P FILE [--yes]\n");
    return EXIT_USAGE;
  }
  const std::string& path = s.options.positional[0];
  // The file is checked before the modem is touched.
  FirmwareRecords firmware;
  FileProblem problem;
  if (!LoadFirmwareFile(path, firmware, problem)) {
    std::fprintf(stderr, "%s\n", problem.Text().c_str());
    return EXIT_FAILED;
  }
  const int rc = ConnectForCommand(s);
  if (rc != EXIT_OK) return rc;

  CAdapter& a = s.adapter;
  s.ui.progressToStderr = true;
  bool success = false;
  const auto start = std::chrono::steady_clock::now();
  const int result = FlashFirmwareFile(a, path, &success);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  s.ui.Finish();
  RestoreLineAfterFlash(a);
  const bool switched = a.BaudRate == "115200" && s.options.baud != "115200";
  EndForCommand(s);
  if (result == 1 && success) {
    std::printf("%zu records flashed in %.1f s.\n", firmware.records.size(), seconds);
  }
  if (switched) std::fprintf(stderr, "The modem's serial port now runs at 115200 baud.\n");
  return result == 1 && success ? EXIT_OK : EXIT_FAILED;
}

}  // namespace kelvane::cli
