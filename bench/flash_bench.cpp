// The record download of a firmware flash update: 1000 records at 115200
// baud over a pseudo-terminal, with kelvane-modemsim taking and sending
// characters no faster than the line allows. Prints the download's wall time
// against the wire time of the bytes exchanged during it (counted in the same
// run; goal: ratio <= 1.15), and the time of the whole update.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include <fstream>

#include "bench/bench_support.h"
#include "connection/flash_update.h"
#include "serial/posix_serial_port.h"
#include "sim/modemsim_process.h"

using namespace kelvane;
using namespace kelvane::bench;

namespace {

// Times the download: from the first record written after the loader
// announced itself to the acknowledgement of the last record, with the
// bytes that crossed the port meanwhile.
class DownloadTimingPort : public PosixSerialPort {
 public:
  explicit DownloadTimingPort(size_t records) : records_(records) {}
  size_t Write(std::string_view bytes) override {
    const size_t n = PosixSerialPort::Write(bytes);
    if (loaderReady_ && acks_ < records_) {
      if (start_ == 0) start_ = WallSeconds();
      sent += n;
    }
    return n;
  }
  std::string ReadAll() override {
    std::string data = PosixSerialPort::ReadAll();
    if (!loaderReady_) {
      seen_ += data;
      loaderReady_ = seen_.find("Download initiated...") != std::string::npos ||
                     seen_.find("Downloading Record Data...") != std::string::npos;
    } else if (start_ != 0 && acks_ < records_) {
      for (char c : data) {
        if (acks_ == records_) break;
        ++received;
        if (c == '.' && ++acks_ == records_) end_ = WallSeconds();
      }
    }
    return data;
  }
  double Seconds() const { return end_ - start_; }
  bool Complete() const { return acks_ == records_ && end_ > 0; }
  size_t sent = 0, received = 0;

 private:
  size_t records_;
  size_t acks_ = 0;
  bool loaderReady_ = false;
  std::string seen_;
  double start_ = 0, end_ = 0;
};

std::string FirmwareFile(int lines) {
  std::string text = "S00F000068656C6C6F202020202000003C\r\n";
  for (int i = 0; i < lines - 2; ++i) {
    const int address = i * 16;
    int sum = 0x13 + (address >> 8 & 0xFF) + (address & 0xFF);
    char line[64];
    int n = std::snprintf(line, sizeof line, "S113%04X", address & 0xFFFF);
    for (int k = 0; k < 16; ++k) {
      const int b = (i * 7 + k) & 0xFF;
      sum += b;
      n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X", b);
    }
    std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X", (~sum) & 0xFF);
    text += std::string(line) + "\r\n";
  }
  return text + "S9030000FC\r\n";
}

// The reference: the same records through the same simulated modem by a
// bare loop on the descriptor (write a record, wait for its "."), so the
// machine's own latencies count in both. Seconds, or a negative value.
double BareDownload(const std::string& path, const std::vector<std::string>& records) {
  const int fd = OpenRawTty(path, 115200);
  if (fd < 0) return -1;
  double seconds = -1;
  if (RawExchange(fd, "AT**\r", "...", 3000)) {
    const double start = WallSeconds();
    bool ok = true;
    for (const std::string& r : records) {
      if (!RawExchange(fd, r + "\r", ".", 3000)) {
        ok = false;
        break;
      }
    }
    if (ok) seconds = WallSeconds() - start;
  }
  ::close(fd);
  // The loader programs its flash before it takes commands again.
  ::usleep(1500000);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int baud = 115200;
  // One line more than records: the first line of a firmware file is never sent.
  const std::string path = "/tmp/kelvane-flash-bench-" + std::to_string(::getpid()) + ".s19";
  std::ofstream(path, std::ios::binary) << FirmwareFile(records + 1);

  ModemSimProcess sim;
  if (!sim.Start(ModemSimPath(argv[0]),
                 {"--model", "3", "--rate", "115200", "--pace", "--pace-input", "--flash-mode", "2"})) {
    std::fprintf(stderr, "cannot start kelvane-modemsim\n");
    return 1;
  }
  std::vector<std::string> bareRecords;
  {
    const std::string text = FirmwareFile(records + 1);
    size_t start = text.find("\r\n") + 2;
    while (start < text.size()) {
      const size_t end = text.find("\r\n", start);
      bareRecords.push_back(text.substr(start, end - start));
      start = end + 2;
    }
  }
  const double bareBefore = BareDownload(sim.SlavePath(), bareRecords);

  CAdapter a;
  QuietUi ui(a);
  a.SetUi(&ui);
  DownloadTimingPort port(static_cast<size_t>(records));
  if (!ConnectAdapter(a, port, sim.SlavePath(), baud)) return 1;

  bool success = false;
  const double wall0 = WallSeconds(), cpu0 = CpuSeconds();
  const int result = FlashFirmwareFile(a, path, &success);
  const double whole = WallSeconds() - wall0, cpu = CpuSeconds() - cpu0;
  a.CloseLink();
  ::unlink(path.c_str());
  ::usleep(1500000);
  const double bareAfter = BareDownload(sim.SlavePath(), bareRecords);
  const double bare = (bareBefore + bareAfter) / 2;
  if (result != 1 || !success || !port.Complete()) {
    std::fprintf(stderr, "the flash update failed\n");
    return 1;
  }
  const double wire = static_cast<double>(port.sent + port.received) * 10 / baud;
  std::printf("Flash update of %d records at %d baud (paced simulated modem, both directions):\n", records, baud);
  std::printf("  bytes sent %zu, received %zu during the download\n", port.sent, port.received);
  std::printf("  download wall time   %7.3f s\n", port.Seconds());
  std::printf("  wire time            %7.3f s   ratio %.3f (goal <= 1.15)\n", wire, port.Seconds() / wire);
  if (bareBefore > 0 && bareAfter > 0) {
    std::printf("  bare loop, same records %7.3f s   ratio %.3f (the tool's own share)\n", bare, port.Seconds() / bare);
  }
  std::printf("  whole update         %7.3f s (with the waits the loader is given)\n", whole);
  std::printf("  CPU time %.4f s: share %.2f %%\n", cpu, 100.0 * cpu / whole);
  return 0;
}
