#include "connection/raw_transfer.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "config/file_problem.h"
#include "config/operation_hold.h"

namespace kelvane {

int SendEscapeSequence(CAdapter& a) {
  if (a.Busy || !a.PortIsOpen()) return 0;
  BusyHold busy(a);
  UserInterface& ui = a.Ui();
  ui.SetProgressText("Sending Escape Sequence...");
  ui.SetProgressRange(0, 2);
  ui.SetProgressStep(1);
  ui.StepProgress();
  // The modem recognises the escape only with a second of silence on both
  // sides of the three plus signs.
  ui.Sleep(1200);
  a.SendText("+++");
  ui.StepProgress();
  ui.Sleep(1000);
  // Cancel has nothing to stop here; a press meanwhile must not cancel the
  // first command of the next operation.
  a.AbortRequested = false;
  return 1;
}

namespace {

// The progress bar counts at most this many steps, however large the file.
constexpr long long kProgressUnits = 1000;

// Advances the bar to the share of `sent` in `total` bytes.
class ByteProgress {
 public:
  ByteProgress(UserInterface& ui, long long total)
      : ui_(ui), total_(total), units_(total < kProgressUnits ? total : kProgressUnits) {
    ui_.SetProgressRange(0, static_cast<int>(units_));
    ui_.SetProgressStep(1);
  }
  void Reached(long long sent) {
    if (total_ <= 0) return;
    const long long target = sent >= total_ ? units_ : sent * units_ / total_;
    for (; shown_ < target; ++shown_) ui_.StepProgress();
  }

 private:
  UserInterface& ui_;
  long long total_;
  long long units_;
  long long shown_ = 0;
};

}  // namespace

int SendRepeated(CAdapter& a, const std::vector<uint8_t>& bytes, int count, int delayMs) {
  UserInterface& ui = a.Ui();
  ui.SetProgressText("Sending file...");
  const size_t total = bytes.size();
  const long long allBytes = count > 0 ? static_cast<long long>(total) * count : 0;
  ByteProgress progress(ui, allBytes);

  int done = 0;
  bool aborted = false;
  long long sentBytes = 0;
  for (int repetition = 1; repetition <= count && !aborted; ++repetition) {
    size_t sent = 0;
    while (sent < total) {
      // Lets Cancel through, and waits for the output buffer to drain when
      // the last chunk filled it.
      ui.PumpEvents(-1);
      if (a.AbortRequested) {
        aborted = true;
        break;
      }
      // A port that went away would never take the rest.
      if (!a.PortIsOpen()) break;
      const size_t left = total - sent;
      const int chunk = left > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(left);
      const int accepted = a.SendBytes(bytes.data() + sent, chunk);
      if (accepted > 0) {
        sent += static_cast<size_t>(accepted);
        sentBytes += accepted;
        progress.Reached(sentBytes);
      }
    }
    if (sent < total) break;
    if (a.AbortRequested) {
      aborted = true;
      break;
    }
    ++done;
    if (delayMs > 0) ui.Sleep(delayMs);
  }
  // A Cancel pressed in the pause after the last repetition found nothing to
  // stop; left set, it would cancel the next operation's first command.
  a.AbortRequested = false;

  const std::string result = aborted ? "Send File cancelled after " + std::to_string(sentBytes) + " bytes."
                                     : std::to_string(sentBytes) + " bytes sent.";
  ui.SetProgressText(result);
  ui.SetStatusNote(result);
  ui.TerminalOutput("\r\n" + result + "\r\n");
  return done;
}

int SendFileOperation(CAdapter& a, const AskSendFileParams& ask) {
  a.AbortRequested = false;
  UserInterface& ui = a.Ui();
  FileDialogRequest request;
  request.kind = FileDialogKind::Open;
  request.title = "Send File";
  request.filter = "All files (*.*)|*.*||";
  request.defaultExtension = "*";
  const std::optional<std::string> path = ui.AskFileName(request);
  if (!path) return 0;

  std::vector<uint8_t> bytes;
  std::string reason;
  if (!ReadWholeFile(*path, bytes, reason)) {
    ui.MessageBoxWithDetail("Unable to open file...", FileDetail(*path, reason), MsgIcon::Stop, MsgButtons::Ok);
    return 0;
  }

  SendFileParams params;
  if (!ask || !ask(*path, params)) return 0;
  SendRepeated(a, bytes, params.count, ClipSendDelay(params.delayMs));
  return 0;
}

int LeadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int>(value);
}

int ClipSendDelay(int delayMs) {
  return static_cast<unsigned>(delayMs) > 1000u ? 1000 : delayMs;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& reason) {
  out.clear();
  // Only regular files: a device such as /dev/zero would never end, and
  // opening a pipe would wait for a writer.
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec) {
    reason = ec.message();
    return false;
  }
  if (status.type() != std::filesystem::file_type::regular) {
    reason = status.type() == std::filesystem::file_type::directory ? std::strerror(EISDIR) : "not a regular file";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    reason = std::strerror(errno);
    return false;
  }
  bool ok = true;
  try {
    uint8_t buffer[65536];
    for (;;) {
      const size_t n = std::fread(buffer, 1, sizeof buffer, f);
      out.insert(out.end(), buffer, buffer + n);
      if (n < sizeof buffer) {
        ok = !std::ferror(f);
        break;
      }
    }
    if (!ok) reason = std::strerror(errno);
  } catch (const std::bad_alloc&) {
    ok = false;
    reason = "too large to read into memory";
  }
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

}  // namespace kelvane
