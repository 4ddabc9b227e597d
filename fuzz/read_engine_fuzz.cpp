// Feeds the read engine arbitrary modem answers. The input's first byte sets
// the modem's echo and result-code mode (bits 0 and 1), the quiet flag of the
// probe (bit 2) and whether every section is read (bit 3); otherwise the
// second byte is the high byte of the section mask. The rest is split at zero
// bytes, and each configuration command gets the next slice as its answer
// (after the echo). The probe and the result-code commands are answered
// plainly so the fuzzer spends its time on the listings.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/read_engine.h"
#include "fuzz_port.h"

using namespace kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t mode = data[0];
  const int sections = (mode & 8) ? SEC_ALL : data[1] << 8;
  std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  const bool echo = mode & 1;
  bool verbose = mode & 2;

  CAdapter a;
  fuzz::FuzzPort port;
  fuzz::FuzzUi ui(a);
  fuzz::ConnectIdentified(a, port);
  a.QuietWasOn = mode & 4;

  port.respond = [&](const std::string& line) -> std::string {
    std::string out = echo ? line + "\r" : "";
    if (line.empty()) return out;
    if (line == "AT" || line == "ATV1" || line == "ATV0") {
      if (line == "ATV1") verbose = true;
      if (line == "ATV0") verbose = false;
      return out + (verbose ? "\r\nOK\r\n" : "0\r");
    }
    const size_t end = rest.find('\0');
    out.append(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return out;
  };

  const int result = ReadConfiguration(a, sections);
#ifdef FUZZ_VERBOSE
  std::fprintf(stderr, "result %d, valid pages:", result);
  for (const PageState& p : a.pages) std::fprintf(stderr, " %d", p.valid);
  std::fprintf(stderr, ", S0 %d, Data6[9] '%s'\n", a.Config.basic.S0, GetText(a.Config.io.Data6[9]).c_str());
#endif
  if (a.Busy || (result != 0 && result != 1)) std::abort();
  // Texts stored from the answers keep their terminating zero.
  if (a.Config.remote.RemotePassword[20] != 0 || a.Config.io.Data2[9][160] != 0) std::abort();
  return 0;
}
