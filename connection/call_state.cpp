#include "connection/call_state.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "serial/clock.h"
#include "serial/tick_watch.h"

namespace kelvane {

namespace {

// A folder of this user's alone: created 0700 where missing, refused when it
// is a link or belongs to another user or others may write in it.
bool OwnFolder(const std::string& path, bool create) {
  if (create && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return st.st_uid == ::getuid() && (st.st_mode & 0077) == 0;
}

std::string MarkerFolder() {
  const std::string uid = std::to_string(::getuid());
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
    struct stat st {};
    if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && OwnFolder(std::string(runtime) + "/kelvane", true)) {
      return std::string(runtime) + "/kelvane";
    }
  }
  const std::string run = "/run/user/" + uid;
  struct stat st {};
  if (::stat(run.c_str(), &st) == 0 && st.st_uid == ::getuid() && OwnFolder(run + "/kelvane", true)) {
    return run + "/kelvane";
  }
  const std::string tmp = "/tmp/kelvane-" + uid;
  return OwnFolder(tmp, true) ? tmp : std::string();
}

// The marker's name: the resolved path with every byte outside [A-Za-z0-9.-]
// written as %XX, so two ports never share one.
std::string MarkerName(const std::string& key) {
  std::string name = "call-";
  for (unsigned char c : key) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-') {
      name += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      name += hex;
    }
  }
  return name;
}

void WriteMarker(const std::string& portName, const std::string& text) {
  const std::string path = CallMarkerPath(portName);
  if (path.empty()) return;
  const std::string temp = path + ".new";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  if (!written || ::rename(temp.c_str(), path.c_str()) != 0) ::unlink(temp.c_str());
}

// The answer holds a line that is exactly `word` (verbose, CR LF around it)
// or the numeric `code` on a line of its own.
bool HasResult(std::string_view answer, std::string_view word, std::string_view code) {
  if (answer.find("\r\n" + std::string(word) + "\r\n") != std::string_view::npos) return true;
  const std::string numeric = std::string(code) + "\r";
  size_t at = answer.find(numeric);
  while (at != std::string_view::npos) {
    const bool lineStart = at == 0 || answer[at - 1] == '\r' || answer[at - 1] == '\n';
    const bool lineEnd = at + numeric.size() == answer.size() || answer[at + numeric.size()] != '\n';
    if (lineStart && lineEnd) return true;
    at = answer.find(numeric, at + 1);
  }
  return false;
}

bool CallGone(std::string_view answer) { return HasResult(answer, "NO CARRIER", "3"); }

// What the modem says after `text` goes out, within `budgetMs` or until
// `enough` holds. A cancel does not end the wait: it is noted in `cancelled`.
template <typename Enough>
std::string Collect(CAdapter& a, std::string_view text, int budgetMs, bool& cancelled, Enough enough) {
  std::string answer;
  if (!text.empty()) a.SendText(text);
  TickWatch watch(a.TickCount);
  const long long ticks = (budgetMs + 49) / 50;
  constexpr size_t kKept = 4096;
  while (a.PortIsOpen()) {
    answer += a.ReadText(false);
    // A line that keeps talking cannot make the answer grow without bound.
    if (answer.size() > kKept) answer.erase(0, answer.size() - kKept);
    if (enough(answer) || watch.Elapsed() >= ticks) break;
    SerialPort* port = a.Port();
    a.Ui().PumpEvents(port ? port->PollFd() : -1);
    if (a.AbortRequested) {
      cancelled = true;
      a.AbortRequested = false;
    }
  }
  if (a.Options.Debug == 1 && !answer.empty()) a.Ui().TerminalOutput(answer);
  return answer;
}

// "ATH" and whether the local modem took it in command mode.
bool SendHangUp(CAdapter& a, bool& cancelled, std::string* answer = nullptr) {
  const std::string got = Collect(a, "ATH\r", a.TimeoutTicks * 3 * 50, cancelled, [](std::string_view s) {
    return LocalModemAnswered(s) || s.find("ERROR") != std::string_view::npos || s.find('>') != std::string_view::npos;
  });
  if (answer) *answer = got;
  return LocalModemAnswered(got);
}

CallEnd Finish(CAdapter& a, CallEnd end, bool cancelled) {
  if (cancelled) a.AbortRequested = true;
  if (end == CallEnd::Ended) ClearCallMark(a.PortNumber);
  return end;
}

// Tried kHangUpAttempts times, and further until `untilMs` (monotonic): a
// call attempt that no character aborts may connect only then.
CallEnd EscapeAndHangUp(CAdapter& a, bool& cancelled, long long untilMs = -1) {
  UserInterface& ui = a.Ui();
  for (int attempt = 0; attempt < kHangUpAttempts || MonotonicMs() < untilMs; ++attempt) {
    if (!a.PortIsOpen()) return CallEnd::Lost;
    // The guard time before the escape: no byte may go out meanwhile.
    ui.Sleep(1000);
    a.ReadText(false);
    // The escape's "OK" comes one guard time after the last '+'.
    Collect(a, "+++", 2500, cancelled, [](std::string_view s) { return LocalModemAnswered(s) || CallGone(s); });
    if (!a.PortIsOpen()) return CallEnd::Lost;
    if (SendHangUp(a, cancelled)) return CallEnd::Ended;
    if (!a.PortIsOpen()) return CallEnd::Lost;
  }
  return CallEnd::StillUp;
}

}  // namespace

bool LocalModemAnswered(std::string_view answer) {
  if (answer.find('>') != std::string_view::npos || answer.find("C_PASSWORD:") != std::string_view::npos) return false;
  return HasResult(answer, "OK", "0");
}

std::string CallMarkerPath(const std::string& portName) {
  std::string key;
  if (portName.rfind('/', 0) == 0) {
    char resolved[PATH_MAX];
    // A device that is not there has no modem behind it to remember.
    if (!::realpath(portName.c_str(), resolved)) return {};
    key = resolved;
  } else if (portName.find("://") != std::string::npos) {
    key = portName;
  } else {
    return {};
  }
  const std::string folder = MarkerFolder();
  return folder.empty() ? std::string() : folder + "/" + MarkerName(key);
}

void MarkDialling(const std::string& portName, long long dialBudgetMs) {
  WriteMarker(portName, "dialling " + std::to_string(MonotonicMs() + dialBudgetMs) + "\n");
}

void MarkCallUp(const std::string& portName) { WriteMarker(portName, "call\n"); }

void ClearCallMark(const std::string& portName) {
  const std::string path = CallMarkerPath(portName);
  if (!path.empty()) ::unlink(path.c_str());
}

bool CallMarked(const std::string& portName, long long* dialDueMs) {
  if (dialDueMs) *dialDueMs = -1;
  const std::string path = CallMarkerPath(portName);
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  char text[64] = {};
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (n > 9 && std::string_view(text, 9) == "dialling " && dialDueMs) {
    char* end = nullptr;
    const long long due = std::strtoll(text + 9, &end, 10);
    if (end != text + 9 && due > 0) *dialDueMs = due;
  }
  return true;
}

CallEnd HangUpCall(CAdapter& a) {
  bool cancelled = false;
  const CallEnd end = EscapeAndHangUp(a, cancelled);
  return Finish(a, end, cancelled);
}

bool FarSessionAnswered(std::string_view answer) {
  return answer.find("OK\r\n>") != std::string_view::npos || answer.find("0\r>") != std::string_view::npos;
}

CallEnd EndCallLeftUp(CAdapter& a, bool suspected) {
  long long dialDue = -1;
  const bool marked = CallMarked(a.PortNumber, &dialDue);
  SerialPort* port = a.Port();
  const bool carrier = port && port->ReportsCarrier() && port->CdHolding();
  if (!marked && !carrier && !suspected) return CallEnd::NoCall;
  if (!a.PortIsOpen()) return CallEnd::Lost;
  UserInterface& ui = a.Ui();
  ui.SetProgressText("Ending a call left up by an earlier run...");
  bool cancelled = false;

  // A call attempt the killed run left is abandoned with any character; one
  // that no character aborts (dial abort off) may still connect until its
  // dial time is over, which the run that started it recorded: the hang-up
  // is tried until then.
  std::string answer;
  if (dialDue > 0) {
    a.SendText("\r");
    Collect(a, "", 1000, cancelled, [](std::string_view s) { return CallGone(s) || LocalModemAnswered(s); });
  }
  // In command mode and online command mode "ATH" is taken at once. A modem
  // with result codes suppressed only echoes it (the far modem's echo comes
  // with its answer and prompt).
  if (SendHangUp(a, cancelled, &answer)) return Finish(a, CallEnd::Ended, cancelled);
  if (!a.PortIsOpen()) return Finish(a, CallEnd::Lost, cancelled);
  if (answer == "ATH\r") return Finish(a, CallEnd::Ended, cancelled);
  if (answer.empty()) {
    // Silence: a quiet modem without echo, or a call whose far end says
    // nothing. Result codes on for one question tell them apart; a quiet
    // modem is put back to quiet at once.
    const std::string quiet = Collect(a, "ATQ0\r", a.TimeoutTicks * 50, cancelled, LocalModemAnswered);
    if (LocalModemAnswered(quiet)) {
      Collect(a, "ATQ1\r", a.TimeoutTicks * 50, cancelled, [](std::string_view) { return false; });
      return Finish(a, CallEnd::Ended, cancelled);
    }
    if (!a.PortIsOpen()) return Finish(a, CallEnd::Lost, cancelled);
  }
  // A far session still answers (its prompt ">"): it is ended first, so the
  // far modem is left as a logout leaves it.
  if (answer.find('>') != std::string::npos) {
    Collect(a, "AT*WRCE\r", a.TimeoutTicks * 3 * 50, cancelled, [](std::string_view s) {
      return s.find("OK\r\n") != std::string_view::npos || s.find("ERROR") != std::string_view::npos;
    });
  }
  return Finish(a, EscapeAndHangUp(a, cancelled, std::min(dialDue, MonotonicMs() + 300000)), cancelled);
}

}  // namespace kelvane
