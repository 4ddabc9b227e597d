// Reads arbitrary bytes as a firmware file. The records are the texts between
// line ends up to the first zero byte (carriage returns, line feeds dropped;
// line feeds in a text without a carriage return), the total counts every
// line end there, and a file is taken only when it is text, holds a record and
// ends its last line.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "connection/flash_update.h"

using namespace kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const FirmwareRecords split = SplitFirmwareRecords(bytes);
  const std::string_view text = bytes.substr(0, std::min(bytes.size(), bytes.find('\0')));
  const char end = text.find('\r') != std::string_view::npos ? '\r' : '\n';
  const auto crs = static_cast<int>(std::count(text.begin(), text.end(), end));
  if (split.total != crs) std::abort();
  if (static_cast<int>(split.records.size()) > std::max(0, crs - 1)) std::abort();
  for (const std::string& record : split.records) {
    if (record.find_first_of("\r\n") != std::string::npos) std::abort();
  }

  static const std::string path = "/tmp/kelvane-firmware-fuzz-" + std::to_string(::getpid());
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    FirmwareRecords loaded;
    FileProblem problem;
    const bool taken = LoadFirmwareFile(path, loaded, problem);
    // A last line without its carriage return is refused: the loader would
    // never send it.
    if (taken != (!split.binary && !split.records.empty() && !split.lastLineUnended)) std::abort();
    if (taken && loaded.records != split.records) std::abort();
    ::unlink(path.c_str());
  }
  return 0;
}
