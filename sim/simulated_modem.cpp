#include "sim/simulated_modem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace kelvane {

namespace {

enum ResultCode {
  RC_OK = 0,
  RC_CONNECT = 1,
  RC_NO_CARRIER = 3,
  RC_ERROR = 4,
  RC_NO_DIALTONE = 6,
  RC_BUSY = 7,
  RC_NO_ANSWER = 8,
  RC_NONE = -1,  // the line ends without a result now (dialling, download)
};

enum CommandKind { K_ACTION, K_READ, K_TEST, K_SET };

struct ArticleRow {
  const char* article;
  int type;
};

constexpr ArticleRow kArticles[] = {
    {"7730-01", 1}, {"7730-02", 2}, {"7730-03", 3}, {"7730-06", 1},
    {"7730-07", 2}, {"7730-08", 3}, {"7730-14", 4}, {"7730-43", 1},
    {"7730-44", 2}, {"7730-45", 3}, {"7730-46", 4},
};

const char* NameOfType(int type) {
  switch (type) {
    case 1: return "RMX-21";
    case 2: return "RM-40";
    case 3: return "RM-40 485";
    case 4: return "RP-40";
    default: return "RM-30";
  }
}

// The character formats the modem knows, as +ICF pairs.
struct FormatRow {
  int format, parity;
  int dataBits;
  char parityChar;
  int stopBits;
};
constexpr FormatRow kFormats[] = {
    {4, 4, 7, 'N', 2}, {5, 1, 7, 'E', 1}, {5, 0, 7, 'O', 1}, {3, 4, 8, 'N', 1},
    {2, 1, 8, 'E', 1}, {2, 0, 8, 'O', 1}, {4, 1, 7, 'E', 2}, {4, 2, 7, 'O', 2},
    {1, 4, 8, 'N', 2}, {1, 1, 8, 'E', 2}, {1, 2, 8, 'O', 2},
};

const FormatRow* FindFormat(int format, int parity) {
  for (const FormatRow& r : kFormats)
    if (r.format == format && r.parity == parity) return &r;
  return nullptr;
}

bool LineFits(int rate, int format, int parity, const LineSettings& line) {
  if (rate == 0) return true;  // automatic rate also detects the format
  if (line.baud != rate) return false;
  if (format == 0) return true;
  const FormatRow* f = FindFormat(format, parity);
  if (!f) return true;
  return line.dataBits == f->dataBits && line.parity == f->parityChar &&
         line.stopBits == f->stopBits;
}

constexpr int kRates[] = {0, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

constexpr int kCountryCodes[] = {
    0x00, 0x04, 0x07, 0x09, 0x0A, 0x0F, 0x16, 0x20, 0x22, 0x25, 0x2B, 0x2C, 0x2E, 0x31,
    0x35, 0x37, 0x3C, 0x3D, 0x46, 0x4F, 0x50, 0x51, 0x54, 0x57, 0x59, 0x5B, 0x61, 0x69,
    0x6C, 0x73, 0x7B, 0x7E, 0x82, 0x84, 0x85, 0x87, 0x89, 0x8A, 0x8B, 0x9C, 0x9F, 0xA0,
    0xA1, 0xA3, 0xA5, 0xA6, 0xA9, 0xAE, 0xB4, 0xB5, 0xB7, 0xB8, 0xC5, 0xC7,
};

constexpr const char* kCarriers[] = {"V21",  "V22",  "V22B", "V23C", "V23HDX", "V23FDX", "V32",
                                     "V32B", "V34",  "V34FC", "V90A", "V90D",  "B103",   "B212"};

constexpr size_t kMaxLine = 512;

char Up(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }
bool IsPrintable(std::string_view t) {
  return std::all_of(t.begin(), t.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::string Upper(std::string_view t) {
  std::string u(t);
  for (char& c : u) c = Up(c);
  return u;
}

std::string_view Trim(std::string_view t) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return t;
}

// A whole decimal number (digits only, at most `max`).
bool ParseNumber(std::string_view t, int max, int& out) {
  t = Trim(t);
  if (t.empty() || t.size() > 9) return false;
  int v = 0;
  for (char c : t) {
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - '0');
  }
  if (v > max) return false;
  out = v;
  return true;
}

bool OnlyDialDigits(std::string_view t) {
  return std::all_of(t.begin(), t.end(), [](char c) { return IsDigit(c) || c == '+'; });
}

struct Arg {
  std::string text;
  bool quoted = false;
};

// Splits "a,"b c",d" into arguments. A quoted argument ends at the first quote
// that is followed (after blanks) by a comma or the end, so a quote inside a
// text survives; an unterminated quote fails.
bool SplitArgs(std::string_view t, std::vector<Arg>& args) {
  args.clear();
  size_t i = 0;
  while (true) {
    while (i < t.size() && t[i] == ' ') ++i;
    Arg a;
    if (i < t.size() && t[i] == '"') {
      size_t close = std::string_view::npos;
      for (size_t j = i + 1; j < t.size(); ++j) {
        if (t[j] != '"') continue;
        size_t k = j + 1;
        while (k < t.size() && t[k] == ' ') ++k;
        if (k == t.size() || t[k] == ',') {
          close = j;
          break;
        }
      }
      if (close == std::string_view::npos) return false;
      a.text = std::string(t.substr(i + 1, close - i - 1));
      a.quoted = true;
      i = close + 1;
      while (i < t.size() && t[i] == ' ') ++i;
    } else {
      const size_t comma = t.find(',', i);
      const size_t end = comma == std::string_view::npos ? t.size() : comma;
      a.text = std::string(Trim(t.substr(i, end - i)));
      i = end;
    }
    args.push_back(std::move(a));
    if (i >= t.size()) return true;
    if (t[i] != ',') return false;
    ++i;
  }
}

// A numeric argument: an omitted one keeps `current`.
bool NumArg(const std::vector<Arg>& args, size_t index, int max, int& value) {
  if (index >= args.size() || (args[index].text.empty() && !args[index].quoted)) return true;
  if (args[index].quoted) return false;
  return ParseNumber(args[index].text, max, value);
}

// A text argument, quoted or not, of at most `limit` printable characters.
bool TextArg(const std::vector<Arg>& args, size_t index, size_t limit, std::string& value) {
  if (index >= args.size()) return true;
  const std::string& t = args[index].text;
  if (t.size() > limit || !IsPrintable(t)) return false;
  value = t;
  return true;
}

std::string Format(const char* fmt, int a) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, a);
  return buf;
}

std::string ProfileText(const ModemSettings& p) {
  char line[160];
  std::snprintf(line, sizeof line,
                "B%d E%d L%d M%d N%d Q%d %c V%d W%d X%d Y0 &A%d &B%d &C%d &D%d &K%d &S%d \\N%d",
                p.bell, p.echo, p.speakerVolume, p.speaker, p.autoMode, p.quiet,
                p.pulseDial ? 'P' : 'T', p.verbose, p.enhanced, p.reduced, p.dialAbort,
                p.hotCall, p.dcdControl, p.dtrControl, p.flowControl, p.dsrControl,
                p.errorCorrection);
  std::string text = line;
  static constexpr int kShown[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                   18, 25, 26, 30, 36, 37, 38, 40, 41, 46, 48, 91, 95};
  int column = 0;
  for (int reg : kShown) {
    text += column == 0 ? "\r\n" : " ";
    char cell[16];
    std::snprintf(cell, sizeof cell, "S%02d:%03d", reg, p.s[static_cast<size_t>(reg)] & 0xFF);
    text += cell;
    column = (column + 1) % 10;
  }
  return text;
}

std::string NumberColumn(int n, const std::string& number) {
  std::string cell = std::to_string(n) + "=" + number;
  // Always at least one blank after the number: the number ends there.
  cell.resize(std::max<size_t>(cell.size() + 1, 36), ' ');
  return cell;
}

// "<carrier>,<automode>,<tx min>,<tx max>,<rx min>,<rx max>" at the start of
// `text`, possibly followed at once by more commands ("...,33600B0"). The
// carrier is the longest known name after which the rest still reads as
// fields and commands: "V32B0" is V32 then B0, not V32B then a stray 0.
// Stores the modulation text and returns how much of `text` it took, or npos.
size_t ParseModulation(std::string_view text, std::string& modulation) {
  const std::string up = Upper(text);
  std::string_view best;
  size_t consumed = 0;
  for (const char* carrier : kCarriers) {
    const std::string_view name(carrier);
    if (up.compare(0, name.size(), name) != 0) continue;
    size_t k = name.size();
    int fields = 0;
    bool ok = true;
    while (k < up.size() && up[k] == ',' && fields < 5) {
      ++k;
      size_t digits = 0;
      while (k < up.size() && IsDigit(up[k])) ++k, ++digits;
      // The automode is one digit, 0 or 1; a rate has at most five digits.
      if (fields == 0 ? digits > 1 || (digits == 1 && up[k - 1] > '1') : digits > 5) ok = false;
      ++fields;
    }
    if (!ok || (k < up.size() && (IsDigit(up[k]) || up[k] == ','))) continue;
    if (name.size() > best.size()) {
      best = name;
      consumed = k;
    }
  }
  if (best.empty()) return std::string_view::npos;
  modulation = std::string(best) + std::string(text.substr(best.size(), consumed - best.size()));
  return consumed;
}

// A stored number: the rest of the line, without its blanks.
bool ParseDialString(std::string_view text, std::string& number) {
  std::string digits;
  for (char d : text) {
    if (d == ' ') continue;
    if (!IsDigit(d) && std::string_view("*#+,;!@WwPpTtAaBbCcDd").find(d) == std::string_view::npos)
      return false;
    digits += d;
  }
  if (digits.size() > 31) return false;
  number = digits;
  return true;
}

bool IsEndRecord(std::string_view r) {
  if (r.size() >= 2 && Up(r[0]) == 'S' && (r[1] == '7' || r[1] == '8' || r[1] == '9')) return true;
  return Upper(r) == ":00000001FF";
}

}  // namespace

std::array<int, 256> DefaultRegisters() {
  std::array<int, 256> s{};
  const std::pair<int, int> values[] = {
      {2, 43},  {3, 13},  {4, 10},  {5, 8},   {6, 2},   {7, 50},  {8, 2},   {9, 6},
      {10, 14}, {11, 95}, {12, 50}, {25, 5},  {26, 1},  {36, 7},  {38, 20},
      {40, 5 << 3},            // \K5
      {41, 3 | 0x44},          // %C3, %E2
      {46, 138}, {48, 7}, {91, 13}};
  for (auto [reg, v] : values) s[static_cast<size_t>(reg)] = v;
  return s;
}

ModemSettings FactorySettings(int profile) {
  ModemSettings p;
  if (profile == 2) {
    p.s[0] = 2;
    p.dtrControl = 0;
    p.flowControl = 0;
  }
  return p;
}

bool ModemSettings::AcceptsLine(const LineSettings& line) const {
  return LineFits(dteRate, icfFormat, icfParity, line);
}

// ===========================================================================

SimulatedModem::SimulatedModem(int modelType) {
  for (const ArticleRow& r : kArticles) {
    if (r.type == modelType) {
      Init(r.article);
      return;
    }
  }
  Init("7730-05");
}

SimulatedModem::SimulatedModem(std::string_view article) { Init(article); }
SimulatedModem::~SimulatedModem() = default;
SimulatedModem::SimulatedModem(SimulatedModem&&) noexcept = default;
SimulatedModem& SimulatedModem::operator=(SimulatedModem&&) noexcept = default;

void SimulatedModem::Init(std::string_view article) {
  article_ = std::string(article);
  modelType_ = 0;
  for (const ArticleRow& r : kArticles)
    if (article == r.article) modelType_ = r.type;
  features_ = modelType_ == 0 ? 2 : modelType_;
  name_ = NameOfType(modelType_);
  adapterVersion_ = "Dalmarin adapter HW 1.30 DSP 2.07";
  dip_ = {1, 0, 0, 1};
  stored_ = FactorySettings(2);
  active_ = stored_;
}

std::string SimulatedModem::IdentificationText() const {
  return "Dalmarin " + name_ + " " + article_ + " " + software_;
}

SimulatedModem& SimulatedModem::FarModem() {
  if (!far_) {
    far_ = std::make_unique<SimulatedModem>(article_);
    far_->active_.remoteEnable = 1;
    far_->stored_.remoteEnable = 1;
  }
  return *far_;
}

bool SimulatedModem::Connected() const {
  return mode_ == Mode::Online || mode_ == Mode::OnlineCommand;
}
bool SimulatedModem::InRemoteSession() const {
  return Connected() && far_ && far_->session_ == LineSession::Remote;
}
bool SimulatedModem::Downloading() const {
  return mode_ == Mode::Download || mode_ == Mode::Flashing;
}
bool SimulatedModem::CdOn() const { return active_.dcdControl == 0 || Connected(); }
bool SimulatedModem::DsrOn() const { return active_.dsrControl == 0 || Connected(); }

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
    for (long long* t : {&dialDue_, &escapeDue_, &downloadIdleDue_, &flashEndDue_})
      if (*t >= 0 && *t <= target && (!due || *t < *due)) due = t;
    if (!due) break;
    now_ = std::max(now_, *due);
    *due = -1;
    if (due == &dialDue_) {
      FinishDial();
    } else if (due == &escapeDue_) {
      plusCount_ = 0;
      if (mode_ == Mode::Online) {
        mode_ = Mode::OnlineCommand;
        Emit(Result(RC_OK));
      }
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

  for (size_t k = 0; k < bytes.size(); ++k) {
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

std::string SimulatedModem::ExecuteLine(const std::string& raw, bool remote) {
  const std::string U = Upper(raw);
  const size_t at = U.find("AT");
  if (at == std::string::npos) return {};  // no command on this line
  const std::string_view body(raw.data() + at + 2, raw.size() - at - 2);
  const std::string ubody = U.substr(at + 2);

  const std::string key(Trim(ubody));
  if (auto it = options_.rawAnswers.find(key); it != options_.rawAnswers.end()) return it->second;
  for (const std::string& prefix : options_.errorFor)
    if (!prefix.empty() && key.compare(0, prefix.size(), prefix) == 0) return Result(RC_ERROR);

  std::string out;
  int result = RC_OK;
  const size_t n = body.size();
  size_t i = 0;

  // An optional decimal parameter of a basic command (0 when absent).
  auto number = [&](int& value) {
    value = 0;
    size_t digits = 0;
    while (i < n && IsDigit(body[i]) && digits < 4) {
      value = value * 10 + (body[i] - '0');
      ++i;
      ++digits;
    }
    return digits > 0;
  };
  auto inRange = [](int v, int lo, int hi) { return v >= lo && v <= hi; };

  while (i < n && result == RC_OK) {
    const char c = ubody[i];
    if (c == ' ' || c == ';') {
      ++i;
      continue;
    }

    // --- extended commands (+..., *...) -----------------------------------
    if (c == '+' || c == '*') {
      if (c == '*' && i + 1 < n && ubody[i + 1] == '*') {
        if (remote || mode_ != Mode::Command) {
          result = RC_ERROR;
          break;
        }
        mode_ = Mode::Download;
        records_.clear();
        recordBuf_.clear();
        downloadIdleDue_ = now_ + options_.downloadIdleMs;
        out += Info(options_.downloadMode == 2 ? "Downloading Record Data..."
                                               : "Download initiated...");
        result = RC_NONE;
        break;
      }
      size_t j = i + 1;
      while (j < n && IsAlnum(ubody[j])) ++j;
      const std::string name = ubody.substr(i, j - i);
      if (name.size() < 2) {
        result = RC_ERROR;
        break;
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
        const size_t consumed = ParseModulation(body.substr(argsBegin), active_.modulation);
        if (consumed == std::string_view::npos) {
          result = RC_ERROR;
          break;
        }
        i = argsBegin + consumed;
        continue;
      }

      if (!Extended(name, kind, body.substr(argsBegin, argsEnd - argsBegin), remote, out)) {
        result = RC_ERROR;
        break;
      }
      i = argsEnd;
      continue;
    }

    // --- & commands ----------------------------------------------------------
    if (c == '&') {
      if (i + 1 >= n) {
        result = RC_ERROR;
        break;
      }
      const char letter = ubody[i + 1];
      i += 2;
      int v = 0;
      if (letter == 'Z') {
        number(v);
        if (!inRange(v, 0, 3)) {
          result = RC_ERROR;
          break;
        }
        auto& slot = active_.storedNumbers[static_cast<size_t>(v)];
        if (i < n && ubody[i] == '?') {
          out += Info(slot);
          ++i;
          continue;
        }
        if (i >= n || ubody[i] != '=') {
          result = RC_ERROR;
          break;
        }
        if (!ParseDialString(body.substr(i + 1), slot)) {
          result = RC_ERROR;
          break;
        }
        i = n;
        continue;
      }
      number(v);
      switch (letter) {
        case 'V':
          if (v == 0) out += Info(ProfileReport());
          else if (v == 1) out += Info(ConnectionReport());
          else result = RC_ERROR;
          break;
        case 'W':
          if (v != 0) result = RC_ERROR;
          else stored_ = active_;
          break;
        case 'F':
          if (!LoadFactory(v)) result = RC_ERROR;
          break;
        case 'A':
          if (inRange(v, 0, 1)) active_.dialAbort = v; else result = RC_ERROR;
          break;
        case 'B':
          if (inRange(v, 0, 2)) active_.hotCall = v; else result = RC_ERROR;
          break;
        case 'C':
          if (inRange(v, 0, 1)) active_.dcdControl = v; else result = RC_ERROR;
          break;
        case 'D':
          if (inRange(v, 0, 3)) active_.dtrControl = v; else result = RC_ERROR;
          break;
        case 'K':
          if (v == 0 || inRange(v, 3, 5)) active_.flowControl = v; else result = RC_ERROR;
          break;
        case 'S':
          if (inRange(v, 0, 1)) active_.dsrControl = v; else result = RC_ERROR;
          break;
        default:
          result = RC_ERROR;
      }
      continue;
    }

    // --- % and \ commands ------------------------------------------------------
    if (c == '%' || c == '\\') {
      if (i + 1 >= n) {
        result = RC_ERROR;
        break;
      }
      const char letter = ubody[i + 1];
      i += 2;
      int v = 0;
      number(v);
      if (c == '%' && letter == 'C' && inRange(v, 0, 3)) active_.SetCompressionC(v);
      else if (c == '%' && letter == 'E' && inRange(v, 0, 2)) active_.SetLineQuality(v);
      else if (c == '\\' && letter == 'N' && inRange(v, 0, 5)) active_.errorCorrection = v;
      else if (c == '\\' && letter == 'K' && inRange(v, 0, 5)) active_.SetBreakControl(v);
      else result = RC_ERROR;
      continue;
    }

    // --- S-registers -------------------------------------------------------------
    if (c == 'S') {
      ++i;
      int reg = 0;
      if (!number(reg) || reg > 255) {
        result = RC_ERROR;
        break;
      }
      auto& r = active_.s[static_cast<size_t>(reg)];
      if (i < n && ubody[i] == '?') {
        ++i;
        out += Info(Format("%03d", r));
      } else if (i < n && ubody[i] == '=') {
        ++i;
        int v = 0;
        number(v);
        if (v > 255) result = RC_ERROR;
        else r = v;
      } else {
        result = RC_ERROR;
      }
      continue;
    }

    // --- dialling ------------------------------------------------------------------
    if (c == 'D') {
      if (remote || mode_ != Mode::Command) {
        result = RC_ERROR;
        break;
      }
      std::string number;
      std::string_view rest = body.substr(i + 1);
      const std::string urest = Upper(rest);
      if (urest.rfind("S=", 0) == 0 || urest == "S") {
        int slot = 0;
        if (urest.size() > 2 && !ParseNumber(urest.substr(2), 3, slot)) {
          result = RC_ERROR;
          break;
        }
        number = active_.storedNumbers[static_cast<size_t>(slot)];
      } else {
        for (char d : rest)
          if (d != ' ' && d != ';') number += d;
      }
      if (std::none_of(number.begin(), number.end(), IsDigit)) {
        result = RC_ERROR;
        break;
      }
      StartDial(number);
      result = RC_NONE;
      break;
    }

    // --- basic commands ---------------------------------------------------------------
    ++i;
    int v = 0;
    const bool has = number(v);
    switch (c) {
      case 'E': if (inRange(v, 0, 1)) active_.echo = v; else result = RC_ERROR; break;
      case 'V': if (inRange(v, 0, 1)) active_.verbose = v; else result = RC_ERROR; break;
      case 'Q': if (inRange(v, 0, 1)) active_.quiet = v; else result = RC_ERROR; break;
      case 'W': if (inRange(v, 0, 2)) active_.enhanced = v; else result = RC_ERROR; break;
      case 'X': if (inRange(v, 0, 4)) active_.reduced = v; else result = RC_ERROR; break;
      case 'B': if (inRange(v, 0, 1)) active_.bell = v; else result = RC_ERROR; break;
      case 'L': if (inRange(v, 0, 3)) active_.speakerVolume = v; else result = RC_ERROR; break;
      case 'M': if (inRange(v, 0, 3)) active_.speaker = v; else result = RC_ERROR; break;
      case 'N': if (inRange(v, 0, 1)) active_.autoMode = v; else result = RC_ERROR; break;
      case 'T': if (has) result = RC_ERROR; else active_.pulseDial = false; break;
      case 'P': if (has) result = RC_ERROR; else active_.pulseDial = true; break;
      case 'Y': if (v != 0) result = RC_ERROR; break;
      case 'Z':
        if (v != 0 || remote) {
          result = RC_ERROR;
        } else {
          if (Connected()) HangUp();
          active_ = stored_;
        }
        break;
      case 'H':
        if (v != 0 || remote) {
          result = RC_ERROR;
        } else if (Connected()) {
          HangUp();
        }
        break;
      case 'O':
        if (remote || v != 0) {
          result = RC_ERROR;
        } else if (mode_ == Mode::OnlineCommand) {
          mode_ = Mode::Online;
          lastDataMs_ = now_;
          result = RC_CONNECT;
        } else {
          result = RC_NO_CARRIER;
        }
        break;
      case 'A':
        // No call is ringing.
        result = remote ? RC_ERROR : RC_NO_CARRIER;
        break;
      case 'I':
        if (!Information(v, out)) result = RC_ERROR;
        break;
      default:
        result = RC_ERROR;
    }
  }
  return out + Result(result);
}

std::string SimulatedModem::ProfileReport() const {
  return "ACTIVE PROFILE:\r\n" + ProfileText(active_) + "\r\n\r\nSTORED PROFILE 0:\r\n" +
         ProfileText(stored_) + "\r\n\r\nTELEPHONE NUMBERS:\r\n" +
         NumberColumn(0, active_.storedNumbers[0]) + NumberColumn(1, active_.storedNumbers[1]) +
         "\r\n" + NumberColumn(2, active_.storedNumbers[2]) +
         NumberColumn(3, active_.storedNumbers[3]);
}

std::string SimulatedModem::ConnectionReport() const {
  // "Echo Level" stands before "Near Echo Level": a reader that looks for the
  // keys in turn must meet the plain one first.
  char text[512];
  std::snprintf(text, sizeof text,
                "LAST CONNECTION\r\n"
                "Norm            %s\r\n"
                "Speed Rx/Tx     %d/%d\r\n"
                "SNR             %d dB\r\n"
                "RXLevel         %d dBm\r\n"
                "Echo Level      %d dB\r\n"
                "Near Echo Level %d dB\r\n"
                "Far Echo Level  %d dB\r\n"
                "Termination     %s",
                diag_.norm.substr(0, 32).c_str(), diag_.rxSpeed, diag_.txSpeed, diag_.snr,
                diag_.rxLevel, diag_.echoLevel, diag_.nearEchoLevel, diag_.farEchoLevel,
                diag_.termination.substr(0, 64).c_str());
  return text;
}

bool SimulatedModem::LoadFactory(int profile) {
  if (profile == 2) {
    // Everything back to the Dalmarin defaults, stored at once.
    active_ = FactorySettings(2);
    stored_ = active_;
    return true;
  }
  if (profile != 0) return false;
  // The standard modem parameters; the Dalmarin settings stay as they are.
  const ModemSettings f = FactorySettings(0);
  ModemSettings& a = active_;
  a.echo = f.echo;
  a.verbose = f.verbose;
  a.quiet = f.quiet;
  a.enhanced = f.enhanced;
  a.reduced = f.reduced;
  a.bell = f.bell;
  a.speakerVolume = f.speakerVolume;
  a.speaker = f.speaker;
  a.autoMode = f.autoMode;
  a.pulseDial = f.pulseDial;
  a.dialAbort = f.dialAbort;
  a.hotCall = f.hotCall;
  a.dcdControl = f.dcdControl;
  a.dtrControl = f.dtrControl;
  a.flowControl = f.flowControl;
  a.dsrControl = f.dsrControl;
  a.errorCorrection = f.errorCorrection;
  a.s = f.s;
  a.modulation = f.modulation;
  a.dteRate = f.dteRate;
  a.icfFormat = f.icfFormat;
  a.icfParity = f.icfParity;
  return true;
}

bool SimulatedModem::Information(int number, std::string& out) const {
  switch (number) {
    case 0: out += Info(name_); return true;
    case 3: out += Info(software_); return true;
    case 4: out += Info("Dalmarin"); return true;
    case 6: out += Info(adapterVersion_); return true;
    case 8: {
      if (features_ != 2 && features_ != 3) return false;
      char dip[64];
      std::snprintf(dip, sizeof dip, "%d %d %d %d", dip_[0], dip_[1], dip_[2], dip_[3]);
      out += Info(dip);
      return true;
    }
    case 9: out += Info(IdentificationText()); return true;
    default: return false;
  }
}

bool SimulatedModem::Extended(const std::string& name, int kind, std::string_view args,
                              bool remote, std::string& out) {
  (void)remote;
  ModemSettings& a = active_;
  std::vector<Arg> list;
  const bool io = features_ == 3;
  // "=n?": the query form of the tables that are read entry by entry.
  auto indexedQuery = [&](int& index) {
    const std::string_view t = Trim(args);
    return kind == K_SET && !t.empty() && t.back() == '?' &&
           ParseNumber(t.substr(0, t.size() - 1), 10, index) && index >= 1;
  };
  auto one = [&](int lo, int hi, int& field) {
    int v = field;
    if (!SplitArgs(args, list) || list.size() != 1 || !NumArg(list, 0, hi, v) || v < lo) return false;
    field = v;
    return true;
  };

  if (name == "+MS") {
    if (kind != K_READ) return false;
    out += Info("+MS: " + a.modulation);
    return true;
  }
  if (name == "+GCI") {
    if (kind == K_READ) {
      out += Info(Format("+GCI: %02X", a.countryCode));
      return true;
    }
    const std::string t(Trim(args));
    if (kind != K_SET || t.empty() || t.size() > 2 ||
        !std::all_of(t.begin(), t.end(), [](char h) { return std::isxdigit(static_cast<unsigned char>(h)) != 0; }))
      return false;
    const int code = static_cast<int>(std::stoul(t, nullptr, 16));
    if (std::find(std::begin(kCountryCodes), std::end(kCountryCodes), code) == std::end(kCountryCodes))
      return false;
    a.countryCode = code;
    return true;
  }
  if (name == "+IPR") {
    if (kind == K_READ) {
      out += Info(Format("+IPR: %d", a.dteRate));
      return true;
    }
    int rate = -1;
    if (kind != K_SET || !ParseNumber(args, 115200, rate) ||
        std::find(std::begin(kRates), std::end(kRates), rate) == std::end(kRates))
      return false;
    a.dteRate = rate;
    return true;
  }
  if (name == "+ICF") {
    if (kind == K_READ) {
      if (a.icfFormat == 0) out += Info("+ICF: (0)");
      else out += Info("+ICF: (" + std::to_string(a.icfFormat) + "," + std::to_string(a.icfParity) + ")");
      return true;
    }
    if (kind != K_SET || !SplitArgs(args, list) || list.empty() || list.size() > 2) return false;
    int format = -1, parity = a.icfParity;
    if (!ParseNumber(list[0].text, 6, format)) return false;
    if (list.size() == 2 && !ParseNumber(list[1].text, 4, parity)) return false;
    if (format != 0 && !FindFormat(format, parity)) return false;
    a.icfFormat = format;
    if (format != 0) a.icfParity = parity;
    return true;
  }
  if (name == "+GMI" || name == "+GMM" || name == "+GMR") {
    if (kind != K_ACTION) return false;
    out += Info(name == "+GMI" ? "Dalmarin" : name == "+GMM" ? name_ : software_);
    return true;
  }
  if (name == "*WFD" || name == "*WIE" || name == "*WRCA") {
    int& field = name == "*WFD" ? a.fastDisconnect : name == "*WIE" ? a.ignoreErrors : a.remoteEnable;
    if (kind == K_READ) {
      out += Info(name + ": " + std::to_string(field));
      return true;
    }
    return kind == K_SET && one(0, 1, field);
  }
  if (name == "*WCB" || name == "*WCBTIME") {
    int& field = name == "*WCB" ? a.callbackMode : a.callbackTime;
    if (kind == K_READ) {
      out += Info(name + ": " + std::to_string(field));
      return true;
    }
    return kind == K_SET && one(0, name == "*WCB" ? 6 : 255, field);
  }
  if (name == "*WDB") {
    if (!io) return false;
    if (kind == K_READ) {
      out += Info("*WDB: " + a.backupNumber + "," + std::to_string(a.backupRetries) + "," +
                  std::to_string(a.backupTime));
      return true;
    }
    std::string number = a.backupNumber;
    int retries = a.backupRetries, time = a.backupTime;
    if (kind != K_SET || !SplitArgs(args, list) || list.size() > 3 ||
        !TextArg(list, 0, 16, number) || !OnlyDialDigits(number) || !NumArg(list, 1, 9, retries) ||
        !NumArg(list, 2, 999, time))
      return false;
    a.backupNumber = number;
    a.backupRetries = retries;
    a.backupTime = time;
    return true;
  }
  if (name == "*WCID") {
    if (kind == K_READ) {
      out += Info("*WCID: (" + std::to_string(a.cidFormat) + "," + std::to_string(a.cidMode) + ")");
      return true;
    }
    int format = a.cidFormat, mode = a.cidMode;
    if (kind != K_SET || !SplitArgs(args, list) || list.size() > 2 || list[0].text.empty() ||
        !NumArg(list, 0, 3, format) || !NumArg(list, 1, 3, mode))
      return false;
    a.cidFormat = format;
    a.cidMode = mode;
    return true;
  }
  if (name == "*WACCTAB") {
    if (kind == K_READ) {
      std::string table = "*WACCTAB:\r\nNO NUMBER";
      for (int k = 0; k < 10; ++k)
        table += "\r\n" + std::to_string(k + 1) + " " + a.acceptedNumbers[static_cast<size_t>(k)];
      out += Info(table);
      return true;
    }
    int index = 0;
    std::string number;
    if (kind != K_SET || !SplitArgs(args, list) || list.size() != 2 ||
        !ParseNumber(list[0].text, 10, index) || index < 1 || !TextArg(list, 1, 20, number) ||
        !OnlyDialDigits(number))
      return false;
    a.acceptedNumbers[static_cast<size_t>(index - 1)] = number;
    return true;
  }
  if (name == "*WRCP") {
    if (kind == K_READ) {
      out += Info("*WRCP: " + a.remotePassword);
      return true;
    }
    if (kind != K_SET) return false;
    // The password is the rest of the line as typed (quotes optional).
    std::string pw(args);
    if (pw.size() >= 2 && pw.front() == '"' && pw.back() == '"') pw = pw.substr(1, pw.size() - 2);
    if (pw.size() > 20 || !IsPrintable(pw)) return false;
    a.remotePassword = pw;
    return true;
  }
  if (name == "*WRCE") {
    if (kind != K_ACTION) return false;
    // Ends a remote configuration session once this answer is out.
    if (session_ == LineSession::Remote) session_ = LineSession::Data;
    return true;
  }
  if (name == "*WCBTAB") {
    int index = 0;
    if (indexedQuery(index)) {
      out += Info(std::to_string(index) + "_Number=" + a.callbackNumbers[static_cast<size_t>(index - 1)] +
                  "\r\n" + std::to_string(index) + "_Password=" +
                  a.callbackPasswords[static_cast<size_t>(index - 1)]);
      return true;
    }
    std::string number, password;
    if (kind != K_SET || !SplitArgs(args, list) || list.size() != 3 ||
        !ParseNumber(list[0].text, 10, index) || index < 1 || !TextArg(list, 1, 20, number) ||
        !OnlyDialDigits(number) || !TextArg(list, 2, 12, password) ||
        (!password.empty() && password.size() < 6))
      return false;
    a.callbackNumbers[static_cast<size_t>(index - 1)] = number;
    a.callbackPasswords[static_cast<size_t>(index - 1)] = password;
    return true;
  }
  if (name == "*WIOP") {
    if (!io) return false;
    if (kind == K_READ) {
      char text[128];
      std::snprintf(text, sizeof text, "*WIOP: TA=%d,TP=%d,TYPE=%d,TRIG=%d,NORM=%d", a.pulseTa,
                    a.pulseTp, a.trigType, a.trigLevel, a.outputCtrl);
      out += Info(text);
      return true;
    }
    int ta = a.pulseTa, tp = a.pulseTp, type = a.trigType, trig = a.trigLevel, norm = a.outputCtrl;
    if (kind != K_SET || !SplitArgs(args, list) || list.size() > 5 || !NumArg(list, 0, 65535, ta) ||
        !NumArg(list, 1, 65535, tp) || !NumArg(list, 2, 32, type) || !NumArg(list, 3, 6, trig) ||
        !NumArg(list, 4, 32, norm))
      return false;
    if ((type > 4 && type != 31 && type != 32) || (norm == 2 || (norm > 4 && norm != 31 && norm != 32)))
      return false;
    a.pulseTa = ta;
    a.pulseTp = tp;
    a.trigType = type;
    a.trigLevel = trig;
    a.outputCtrl = norm;
    return true;
  }
  if (name == "*WIOL") {
    if (!io) return false;
    int index = 0;
    if (indexedQuery(index)) {
      const SimIoEntry& e = a.io[static_cast<size_t>(index - 1)];
      const std::string p = std::to_string(index);
      out += Info(p + "_Service=" + std::to_string(e.service) + "\r\n" + p + "_Flag=" +
                  std::to_string(e.retry) + "\r\n" + p + "_Timeout=" + std::to_string(e.timeout) +
                  "\r\n" + p + "_Priority=" + std::to_string(e.priority) + "\r\n" + p +
                  "_Data1=" + e.data1 + "\r\n" + p + "_Data2=" + e.data2 + "\r\n" + p +
                  "_Data3=" + e.data3 + "\r\n" + p + "_Data4=" + std::to_string(e.data4) +
                  "\r\n" + p + "_Data5=" + e.data5 + "\r\n" + p + "_Data6=" + e.data6);
      return true;
    }
    if (kind != K_SET || !SplitArgs(args, list) || list.size() != 11 ||
        !ParseNumber(list[0].text, 10, index) || index < 1)
      return false;
    SimIoEntry e = a.io[static_cast<size_t>(index - 1)];
    if (!NumArg(list, 1, 7, e.service) || !NumArg(list, 2, 5, e.retry) ||
        !NumArg(list, 3, 255, e.timeout) || !NumArg(list, 4, 1, e.priority) ||
        !TextArg(list, 5, 20, e.data1) || !TextArg(list, 6, 160, e.data2) ||
        !TextArg(list, 7, 20, e.data3) || !NumArg(list, 8, 99999, e.data4) ||
        !TextArg(list, 9, 8, e.data5) || !TextArg(list, 10, 15, e.data6))
      return false;
    a.io[static_cast<size_t>(index - 1)] = e;
    return true;
  }
  if (name == "*WIOD" || name == "*WIOT") {
    if (!io) return false;
    int index = 0;
    if (kind != K_SET || !ParseNumber(args, 10, index) || index < 1) return false;
    if (name == "*WIOD") a.io[static_cast<size_t>(index - 1)] = SimIoEntry{};
    return true;
  }
  return false;
}

// --- calls -----------------------------------------------------------------------

void SimulatedModem::StartDial(std::string number) {
  dialled_ = std::move(number);
  mode_ = Mode::Dialling;
  dialDue_ = now_ + options_.dialDelayMs;
}

void SimulatedModem::FinishDial() {
  if (mode_ != Mode::Dialling) return;
  const std::string& r = options_.dialResult;
  if (!r.empty()) {
    mode_ = Mode::Command;
    const int code = r == "BUSY" ? RC_BUSY
                     : r == "NO ANSWER" ? RC_NO_ANSWER
                     : r == "NO DIALTONE" ? RC_NO_DIALTONE
                                          : RC_NO_CARRIER;
    Emit(Result(code));
    return;
  }
  mode_ = Mode::Online;
  lastDataMs_ = now_;
  plusCount_ = 0;
  SimulatedModem& far = FarModem();
  far.session_ = LineSession::Data;
  far.linePlus_ = 0;
  far.lineBuf_.clear();
  const std::string carrier = active_.modulation.substr(0, active_.modulation.find(','));
  diag_.norm = carrier;
  diag_.termination = "NONE";
  Emit(Result(RC_CONNECT));
}

void SimulatedModem::HangUp() {
  if (!Connected()) return;
  mode_ = Mode::Command;
  escapeDue_ = -1;
  plusCount_ = 0;
  diag_.termination = "LOCAL REQUEST";
  if (far_) far_->LineDropped();
}

void SimulatedModem::SetDtr(bool on) {
  if (on) return;
  if (mode_ == Mode::Dialling && active_.dtrControl >= 2) {
    dialDue_ = -1;
    mode_ = Mode::Command;
    Emit(Result(RC_OK));
  } else if (mode_ == Mode::Online && active_.dtrControl == 1) {
    mode_ = Mode::OnlineCommand;
    Emit(Result(RC_OK));
  } else if (Connected() && active_.dtrControl >= 2) {
    HangUp();
    Emit(Result(RC_OK));
  }
}

void SimulatedModem::OnlineData(std::string_view bytes) {
  const long long guard = static_cast<long long>(active_.s[12]) * 20;
  const char plus = static_cast<char>(active_.s[2]);
  for (char c : bytes) {
    // The escape sequence: three escape characters after a guard time of
    // silence; it takes effect after a second guard time without data.
    const bool starts = plusCount_ == 0 && now_ - lastDataMs_ >= guard;
    const bool continues =
        plusCount_ > 0 && plusCount_ < 3 && (guard == 0 || now_ - lastPlusMs_ < guard);
    if (c == plus && (starts || continues)) {
      ++plusCount_;
      lastPlusMs_ = now_;
      if (plusCount_ == 3) escapeDue_ = now_ + guard;
    } else {
      plusCount_ = 0;
      escapeDue_ = -1;
    }
    lastDataMs_ = now_;
    FarModem().Advance(now_);
    Emit(far_->LineInput(std::string_view(&c, 1)));
  }
}

std::string SimulatedModem::LineInput(std::string_view bytes) {
  std::string back;
  for (char c : bytes) {
    switch (session_) {
      case LineSession::Data:
        // Four '+' in a row ask for remote configuration.
        linePlus_ = c == '+' ? linePlus_ + 1 : 0;
        if (linePlus_ == 4) {
          linePlus_ = 0;
          if (active_.remoteEnable) {
            session_ = LineSession::Password;
            passwordBuf_.clear();
            back += "\r\nC_PASSWORD:";
          }
        }
        break;
      case LineSession::Password:
        if (c == '\n') break;
        if (c != '\r') {
          if (passwordBuf_.size() < 64) passwordBuf_ += c;
          break;
        }
        if (passwordBuf_ == active_.remotePassword) {
          session_ = LineSession::Remote;
          lineBuf_.clear();
          back += "\r\n>";
        } else {
          back += "\r\nC_PASSWORD:";
        }
        passwordBuf_.clear();
        break;
      case LineSession::Remote:
        CommandChar(c, &back);
        break;
    }
  }
  return back;
}

void SimulatedModem::LineDropped() {
  session_ = LineSession::Data;
  linePlus_ = 0;
  lineBuf_.clear();
  passwordBuf_.clear();
}

// --- firmware download -------------------------------------------------------

void SimulatedModem::DownloadData(std::string_view bytes) {
  for (char c : bytes) {
    if (c == '\n') continue;
    if (c != '\r') {
      if (recordBuf_.size() < 1024) recordBuf_ += c;
      continue;
    }
    records_.push_back(recordBuf_);
    const bool last = IsEndRecord(recordBuf_);
    recordBuf_.clear();
    Emit(".");
    if (last) {
      StartFlashing();
      return;
    }
    downloadIdleDue_ = now_ + options_.downloadIdleMs;
  }
}

void SimulatedModem::StartFlashing() {
  mode_ = Mode::Flashing;
  downloadIdleDue_ = -1;
  for (int k = 1; k <= 10; ++k) Emit(".", 100 * k);
  std::string outcome = "Download failed";
  if (options_.flashSucceeds)
    outcome = options_.downloadMode == 2 ? "Download successful" : "Download Success";
  Emit("\r\n" + outcome + "\r\n", 1100);
  flashEndDue_ = now_ + 1100;
}

}  // namespace kelvane
