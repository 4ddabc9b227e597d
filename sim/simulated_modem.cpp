#include "sim/simulated_modem.h"

#include <algorithm>

#include "sim/sim_text.h"

// The modem's core: time, output, the routing of received bytes by state,
// and the command-line dispatcher. Each command family has a file of its own.

namespace kelvane {

using namespace simtext;

namespace {

constexpr size_t kMaxLine = 512;

}  // namespace

// --- time and output -------------------------------------------------------

void SimulatedModem::Emit(std::string bytes, int delayMs) {
  if (bytes.empty()) return;
  long long due = now_ + std::max(delayMs, 0);
  // Output keeps its order: nothing overtakes an answer that is held back.
  if (!out_.empty() && out_.back().first >= due) {
    out_.back().second += bytes;
    return;
  }
  out_.emplace_back(due, std::move(bytes));
}

void SimulatedModem::InjectOutput(std::string_view raw) { Emit(std::string(raw)); }

std::string SimulatedModem::TakeOutput() {
  std::string bytes;
  while (!out_.empty() && out_.front().first <= now_) {
    bytes += out_.front().second;
    out_.pop_front();
  }
  return bytes;
}

bool SimulatedModem::OutputPending() const {
  return !out_.empty() && out_.front().first <= now_;
}

long long SimulatedModem::NextEventMs() const {
  long long next = -1;
  auto consider = [&next](long long t) {
    if (t >= 0 && (next < 0 || t < next)) next = t;
  };
  if (!out_.empty()) consider(out_.front().first);
  consider(dialDue_);
  consider(escapeDue_);
  consider(downloadIdleDue_);
  consider(flashEndDue_);
  consider(stallDue_);
  return next;
}

void SimulatedModem::Advance(long long nowMs) { RunDueEvents(nowMs); }

void SimulatedModem::RunDueEvents(long long until) {
  const long long target = std::max(until, now_);
  // Each event runs at its own time, so what it schedules (a result after a
  // guard time, the flashing after a download) lands where it belongs even
  // when the clock jumps far ahead at once.
  while (true) {
    long long* due = nullptr;
    for (long long* t : {&dialDue_, &escapeDue_, &downloadIdleDue_, &flashEndDue_, &stallDue_})
      if (*t >= 0 && *t <= target && (!due || *t < *due)) due = t;
    if (!due) break;
    now_ = std::max(now_, *due);
    *due = -1;
    if (due == &dialDue_) {
      FinishDial();
    } else if (due == &escapeDue_) {
      EscapeConfirmed();
    } else if (due == &stallDue_) {
      std::string held;
      held.swap(held_);
      FeedNow(held, heldLine_);
    } else if (due == &downloadIdleDue_) {
      if (mode_ == Mode::Download) StartFlashing();
    } else {
      mode_ = Mode::Command;
    }
  }
  now_ = target;
}

std::string SimulatedModem::Noise(size_t n) {
  // What a character at the wrong speed looks like: never plain text, never
  // a line end, so no result code can be read out of it.
  std::string bytes(n, '\0');
  for (char& c : bytes) {
    noiseState_ ^= noiseState_ << 13;
    noiseState_ ^= noiseState_ >> 17;
    noiseState_ ^= noiseState_ << 5;
    c = static_cast<char>(0x80 | (noiseState_ & 0x7F));
  }
  return bytes;
}

std::string SimulatedModem::Receive(std::string_view bytes, const LineSettings& line) {
  Feed(bytes, line);
  return TakeOutput();
}

std::string SimulatedModem::Info(std::string_view text) const {
  if (active_.verbose) return "\r\n" + std::string(text) + "\r\n";
  return std::string(text) + "\r\n";
}

std::string SimulatedModem::Result(int code) const {
  if (code == RC_NONE || active_.quiet) return {};
  if (!active_.verbose) return std::to_string(code) + "\r";
  std::string word;
  switch (code) {
    case RC_OK: word = "OK"; break;
    case RC_CONNECT:
      word = active_.reduced > 0 ? "CONNECT " + std::to_string(options_.connectRate) : "CONNECT";
      break;
    case RC_NO_CARRIER: word = "NO CARRIER"; break;
    case RC_NO_DIALTONE: word = "NO DIALTONE"; break;
    case RC_BUSY: word = "BUSY"; break;
    case RC_NO_ANSWER: word = "NO ANSWER"; break;
    default: word = "ERROR"; break;
  }
  return "\r\n" + word + "\r\n";
}

// --- input -------------------------------------------------------------------

void SimulatedModem::Feed(std::string_view bytes, const LineSettings& line) {
  RunDueEvents(now_);
  if (options_.silent) return;
  if (stallDue_ >= 0) {
    held_ += bytes;
    heldLine_ = line;
    return;
  }
  FeedNow(bytes, line);
}

void SimulatedModem::FeedNow(std::string_view bytes, const LineSettings& line) {
  for (size_t k = 0; k < bytes.size() && !lineCut_; ++k) {
    // Checked per character: a new rate or format is in force as soon as the
    // command line that set it has been answered.
    if (!active_.AcceptsLine(line)) {
      Garbage(bytes.size() - k);
      return;
    }
    const char c = bytes[k];
    switch (mode_) {
      case Mode::Command:
      case Mode::OnlineCommand:
        CommandChar(c, nullptr);
        break;
      case Mode::Dialling:
        // Any character aborts the call attempt unless dial abort is off.
        if (active_.dialAbort == 0) {
          dialDue_ = -1;
          mode_ = Mode::Command;
          Emit(Result(RC_NO_CARRIER));
        }
        break;
      case Mode::Online:
        if (InRemoteSession()) sessionSeen_ = true;
        if (options_.stallEscapeMs > 0 && sessionSeen_ && c == static_cast<char>(active_.s[2]) && plusCount_ == 0 &&
            now_ - lastDataMs_ >= static_cast<long long>(active_.s[12]) * 20) {
          stallDue_ = now_ + options_.stallEscapeMs;
          options_.stallEscapeMs = 0;
          held_.assign(bytes.substr(k));
          heldLine_ = line;
          return;
        }
        OnlineData(std::string_view(&c, 1));
        break;
      case Mode::Download:
        DownloadData(std::string_view(&c, 1));
        break;
      case Mode::Flashing:
        break;
    }
  }
}

void SimulatedModem::Garbage(size_t n) {
  // At the wrong speed the modem hears garbage and recognises nothing; with
  // echo on it sends that garbage back, which is noise at the DTE's speed.
  lineBuf_.clear();
  if (mode_ == Mode::Dialling && active_.dialAbort == 0) {
    dialDue_ = -1;
    mode_ = Mode::Command;
    Emit(Result(RC_NO_CARRIER));
  }
  if ((mode_ == Mode::Command || mode_ == Mode::OnlineCommand) && active_.echo) Emit(Noise(n));
}

void SimulatedModem::CommandChar(char c, std::string* sink) {
  const bool remote = sink != nullptr;
  auto put = [&](std::string bytes, int delay) {
    if (sink)
      *sink += bytes;
    else
      Emit(std::move(bytes), delay);
  };
  if (active_.echo) put(std::string(1, c), 0);
  if (c == '\n') return;
  if (c == '\b' || c == 0x7F) {
    if (!lineBuf_.empty()) lineBuf_.pop_back();
    return;
  }
  if (c != '\r') {
    if (lineBuf_.size() < kMaxLine)
      lineBuf_ += c;
    else
      lineOverflow_ = true;
    return;
  }

  std::string line;
  line.swap(lineBuf_);
  const bool overflow = lineOverflow_;
  lineOverflow_ = false;
  lines_.push_back(line);

  if (!remote && !options_.cutLineOn.empty() && Upper(line).rfind(Upper(options_.cutLineOn), 0) == 0) {
    options_.cutLineOn.clear();
    lineCut_ = true;
    return;
  }

  std::string answer;
  if (overflow) {
    answer = Result(RC_ERROR);
  } else if (!remote && options_.dropAnswers > 0 && Upper(line).find("AT") != std::string::npos) {
    --options_.dropAnswers;
  } else {
    answer = ExecuteLine(line, remote);
  }
  put(std::move(answer), remote ? 0 : options_.answerDelayMs);
  // The remote prompt follows every line while the session lasts.
  if (remote && session_ == LineSession::Remote) *sink += ">";
}

bool SimulatedModem::TakeLineCut() {
  const bool cut = lineCut_;
  lineCut_ = false;
  return cut;
}

// --- the command line ----------------------------------------------------------

std::string SimulatedModem::ExecuteLine(const std::string& raw, bool remote) {
  const std::string U = Upper(raw);
  const size_t at = U.find("AT");
  if (at == std::string::npos) return {};  // no command on this line
  const std::string ubody = U.substr(at + 2);

  const std::string key(Trim(ubody));
  if (auto it = options_.rawAnswers.find(key); it != options_.rawAnswers.end()) return it->second;
  for (const std::string& prefix : options_.errorFor)
    if (!prefix.empty() && key.compare(0, prefix.size(), prefix) == 0) return Result(RC_ERROR);

  CommandLine cl;
  cl.body = std::string_view(raw.data() + at + 2, raw.size() - at - 2);
  cl.ubody = ubody;
  cl.remote = remote;
  const size_t n = cl.Size();

  while (cl.i < n && cl.result == RC_OK) {
    const char c = cl.ubody[cl.i];
    if (c == ' ' || c == ';') {
      ++cl.i;
      continue;
    }
    if (c == '+' || c == '*') {
      ExtendedCommand(cl);
    } else if (c == '&') {
      AmpersandCommand(cl);
    } else if (c == '%' || c == '\\') {
      PercentCommand(cl);
    } else if (c == 'S') {
      RegisterCommand(cl);
    } else if (c == 'D') {
      DialCommand(cl);
    } else {
      // A basic command: one letter and an optional number.
      ++cl.i;
      int v = 0;
      const bool has = cl.Number(v);
      if (!SettingCommand(c, v, has, cl) && !CallCommand(c, v, cl) &&
          !InformationCommand(c, v, cl))
        cl.result = RC_ERROR;
    }
  }
  return cl.out + Result(cl.result);
}

void SimulatedModem::ExtendedCommand(CommandLine& cl) {
  const std::string_view body = cl.body;
  const std::string_view ubody = cl.ubody;
  const size_t n = cl.Size();
  const size_t i = cl.i;
  if (ubody[i] == '*' && i + 1 < n && ubody[i + 1] == '*') {
    StartDownload(cl);
    return;
  }
  size_t j = i + 1;
  while (j < n && IsAlnum(ubody[j])) ++j;
  const std::string name(ubody.substr(i, j - i));
  if (name.size() < 2) {
    cl.result = RC_ERROR;
    return;
  }
  int kind = K_ACTION;
  size_t argsBegin = j, argsEnd = j;
  if (j < n && ubody[j] == '?') {
    kind = K_READ;
    argsBegin = argsEnd = j + 1;
  } else if (j < n && ubody[j] == '=') {
    if (j + 1 < n && ubody[j + 1] == '?') {
      kind = K_TEST;
      argsBegin = argsEnd = j + 2;
    } else {
      kind = K_SET;
      argsBegin = j + 1;
      // Texts may hold anything, so commands with text parameters take
      // the rest of the line; the others end at ';'.
      static const char* const kTextCommands[] = {"*WDB", "*WACCTAB", "*WCBTAB", "*WIOL",
                                                  "*WRCP"};
      const bool text = std::any_of(std::begin(kTextCommands), std::end(kTextCommands),
                                    [&](const char* t) { return name == t; });
      argsEnd = text ? n : std::min(n, body.find(';', argsBegin));
    }
  }

  if (name == "+MS" && kind == K_SET) {
    // The modulation takes what reads as its fields; more commands may follow.
    const size_t consumed = SetModulation(body.substr(argsBegin));
    if (consumed == std::string_view::npos) {
      cl.result = RC_ERROR;
      return;
    }
    cl.i = argsBegin + consumed;
    return;
  }

  const std::string_view args = body.substr(argsBegin, argsEnd - argsBegin);
  Handled handled = IdentificationCommand(name, kind, cl.out);
  if (handled == Handled::No) handled = ConfigurationCommand(name, kind, args, cl.out);
  if (handled == Handled::No) handled = IoCommand(name, kind, args, cl.out);
  if (handled == Handled::No) handled = RemoteCommand(name, kind, args, cl.out);
  if (handled != Handled::Done) {
    cl.result = RC_ERROR;
    return;
  }
  cl.i = argsEnd;
}

}  // namespace kelvane
