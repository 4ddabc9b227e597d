#include "sim/simulated_modem.h"

#include <algorithm>
#include <cctype>

#include "sim/sim_text.h"

// Configuration commands: the Hayes settings, "&" and "%"/"\" commands,
// S-registers, factory profiles and "&W", the line settings (+IPR, +ICF), and
// the Dalmarin settings kept in the profile (*WFD, *WDB, *WCID, *WACCTAB,
// *WCB...).

namespace kelvane {

using namespace simtext;

namespace {

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

bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

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

// --- basic commands ------------------------------------------------------------

bool SimulatedModem::SettingCommand(char letter, int v, bool has, CommandLine& cl) {
  int& result = cl.result;
  switch (letter) {
    case 'E': if (InRange(v, 0, 1)) active_.echo = v; else result = RC_ERROR; break;
    case 'V': if (InRange(v, 0, 1)) active_.verbose = v; else result = RC_ERROR; break;
    case 'Q': if (InRange(v, 0, 1)) active_.quiet = v; else result = RC_ERROR; break;
    case 'W': if (InRange(v, 0, 2)) active_.enhanced = v; else result = RC_ERROR; break;
    case 'X': if (InRange(v, 0, 4)) active_.reduced = v; else result = RC_ERROR; break;
    case 'B': if (InRange(v, 0, 1)) active_.bell = v; else result = RC_ERROR; break;
    case 'L': if (InRange(v, 0, 3)) active_.speakerVolume = v; else result = RC_ERROR; break;
    case 'M': if (InRange(v, 0, 3)) active_.speaker = v; else result = RC_ERROR; break;
    case 'N': if (InRange(v, 0, 1)) active_.autoMode = v; else result = RC_ERROR; break;
    case 'T': if (has) result = RC_ERROR; else active_.pulseDial = false; break;
    case 'P': if (has) result = RC_ERROR; else active_.pulseDial = true; break;
    case 'Y': if (v != 0) result = RC_ERROR; break;
    case 'Z':
      if (v != 0 || cl.remote) {
        result = RC_ERROR;
      } else {
        if (Connected()) HangUp();
        active_ = stored_;
      }
      break;
    default:
      return false;
  }
  return true;
}

void SimulatedModem::AmpersandCommand(CommandLine& cl) {
  const size_t n = cl.Size();
  if (cl.i + 1 >= n) {
    cl.result = RC_ERROR;
    return;
  }
  const char letter = cl.ubody[cl.i + 1];
  cl.i += 2;
  int v = 0;
  if (letter == 'Z') {
    cl.Number(v);
    if (!InRange(v, 0, 3)) {
      cl.result = RC_ERROR;
      return;
    }
    auto& slot = active_.storedNumbers[static_cast<size_t>(v)];
    if (cl.i < n && cl.ubody[cl.i] == '?') {
      cl.out += Info(slot);
      ++cl.i;
      return;
    }
    if (cl.i >= n || cl.ubody[cl.i] != '=' || !ParseDialString(cl.body.substr(cl.i + 1), slot)) {
      cl.result = RC_ERROR;
      return;
    }
    cl.i = n;
    return;
  }
  cl.Number(v);
  int& result = cl.result;
  switch (letter) {
    case 'V':
      if (v == 0) cl.out += Info(ProfileReport());
      else if (v == 1) cl.out += Info(ConnectionReport());
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
      if (InRange(v, 0, 1)) active_.dialAbort = v; else result = RC_ERROR;
      break;
    case 'B':
      if (InRange(v, 0, 2)) active_.hotCall = v; else result = RC_ERROR;
      break;
    case 'C':
      if (InRange(v, 0, 1)) active_.dcdControl = v; else result = RC_ERROR;
      break;
    case 'D':
      if (InRange(v, 0, 3)) active_.dtrControl = v; else result = RC_ERROR;
      break;
    case 'K':
      if (v == 0 || InRange(v, 3, 5)) active_.flowControl = v; else result = RC_ERROR;
      break;
    case 'S':
      if (InRange(v, 0, 1)) active_.dsrControl = v; else result = RC_ERROR;
      break;
    default:
      result = RC_ERROR;
  }
}

void SimulatedModem::PercentCommand(CommandLine& cl) {
  if (cl.i + 1 >= cl.Size()) {
    cl.result = RC_ERROR;
    return;
  }
  const char c = cl.ubody[cl.i];
  const char letter = cl.ubody[cl.i + 1];
  cl.i += 2;
  int v = 0;
  cl.Number(v);
  if (c == '%' && letter == 'C' && InRange(v, 0, 3)) active_.SetCompressionC(v);
  else if (c == '%' && letter == 'E' && InRange(v, 0, 2)) active_.SetLineQuality(v);
  else if (c == '\\' && letter == 'N' && InRange(v, 0, 5)) active_.errorCorrection = v;
  else if (c == '\\' && letter == 'K' && InRange(v, 0, 5)) active_.SetBreakControl(v);
  else cl.result = RC_ERROR;
}

void SimulatedModem::RegisterCommand(CommandLine& cl) {
  const size_t n = cl.Size();
  ++cl.i;
  int reg = 0;
  if (!cl.Number(reg) || reg > 255) {
    cl.result = RC_ERROR;
    return;
  }
  auto& r = active_.s[static_cast<size_t>(reg)];
  if (cl.i < n && cl.ubody[cl.i] == '?') {
    ++cl.i;
    cl.out += Info(Format("%03d", r));
  } else if (cl.i < n && cl.ubody[cl.i] == '=') {
    ++cl.i;
    int v = 0;
    cl.Number(v);
    if (v > 255) cl.result = RC_ERROR;
    else r = v;
  } else {
    cl.result = RC_ERROR;
  }
}

// --- extended commands -----------------------------------------------------------

size_t SimulatedModem::SetModulation(std::string_view text) {
  return ParseModulation(text, active_.modulation);
}

SimulatedModem::Handled SimulatedModem::ConfigurationCommand(const std::string& name, int kind,
                                                             std::string_view args,
                                                             std::string& out) {
  auto done = [](bool ok) { return ok ? Handled::Done : Handled::Refused; };
  ModemSettings& a = active_;
  std::vector<Arg> list;

  if (name == "+MS") {
    if (kind != K_READ) return Handled::Refused;
    out += Info("+MS: " + a.modulation);
    return Handled::Done;
  }
  if (name == "+GCI") {
    if (kind == K_READ) {
      out += Info(Format("+GCI: %02X", a.countryCode));
      return Handled::Done;
    }
    const std::string t(Trim(args));
    if (kind != K_SET || t.empty() || t.size() > 2 ||
        !std::all_of(t.begin(), t.end(), [](char h) { return std::isxdigit(static_cast<unsigned char>(h)) != 0; }))
      return Handled::Refused;
    const int code = static_cast<int>(std::stoul(t, nullptr, 16));
    if (std::find(std::begin(kCountryCodes), std::end(kCountryCodes), code) == std::end(kCountryCodes))
      return Handled::Refused;
    a.countryCode = code;
    return Handled::Done;
  }
  if (name == "+IPR") {
    if (kind == K_READ) {
      out += Info(Format("+IPR: %d", a.dteRate));
      return Handled::Done;
    }
    int rate = -1;
    if (kind != K_SET || !ParseNumber(args, 115200, rate) ||
        std::find(std::begin(kRates), std::end(kRates), rate) == std::end(kRates))
      return Handled::Refused;
    a.dteRate = rate;
    return Handled::Done;
  }
  if (name == "+ICF") {
    if (kind == K_READ) {
      if (a.icfFormat == 0) out += Info("+ICF: (0)");
      else out += Info("+ICF: (" + std::to_string(a.icfFormat) + "," + std::to_string(a.icfParity) + ")");
      return Handled::Done;
    }
    if (kind != K_SET || !SplitArgs(args, list) || list.empty() || list.size() > 2)
      return Handled::Refused;
    int format = -1, parity = a.icfParity;
    if (!ParseNumber(list[0].text, 6, format)) return Handled::Refused;
    if (list.size() == 2 && !ParseNumber(list[1].text, 4, parity)) return Handled::Refused;
    if (format != 0 && !FindFormat(format, parity)) return Handled::Refused;
    a.icfFormat = format;
    if (format != 0) a.icfParity = parity;
    return Handled::Done;
  }
  if (name == "*WFD" || name == "*WIE") {
    int& field = name == "*WFD" ? a.fastDisconnect : a.ignoreErrors;
    if (kind == K_READ) {
      out += Info(name + ": " + std::to_string(field));
      return Handled::Done;
    }
    return done(kind == K_SET && OneNumber(args, 0, 1, field));
  }
  if (name == "*WCB" || name == "*WCBTIME") {
    int& field = name == "*WCB" ? a.callbackMode : a.callbackTime;
    if (kind == K_READ) {
      out += Info(name + ": " + std::to_string(field));
      return Handled::Done;
    }
    return done(kind == K_SET && OneNumber(args, 0, name == "*WCB" ? 6 : 255, field));
  }
  if (name == "*WDB") {
    if (features_ != 3) return Handled::Refused;
    if (kind == K_READ) {
      out += Info("*WDB: " + a.backupNumber + "," + std::to_string(a.backupRetries) + "," +
                  std::to_string(a.backupTime));
      return Handled::Done;
    }
    std::string number = a.backupNumber;
    int retries = a.backupRetries, time = a.backupTime;
    if (kind != K_SET || !SplitArgs(args, list) || list.size() > 3 ||
        !TextArg(list, 0, 16, number) || !OnlyDialDigits(number) || !NumArg(list, 1, 9, retries) ||
        !NumArg(list, 2, 999, time))
      return Handled::Refused;
    a.backupNumber = number;
    a.backupRetries = retries;
    a.backupTime = time;
    return Handled::Done;
  }
  if (name == "*WCID") {
    if (kind == K_READ) {
      out += Info("*WCID: (" + std::to_string(a.cidFormat) + "," + std::to_string(a.cidMode) + ")");
      return Handled::Done;
    }
    int format = a.cidFormat, mode = a.cidMode;
    if (kind != K_SET || !SplitArgs(args, list) || list.size() > 2 || list[0].text.empty() ||
        !NumArg(list, 0, 3, format) || !NumArg(list, 1, 3, mode))
      return Handled::Refused;
    a.cidFormat = format;
    a.cidMode = mode;
    return Handled::Done;
  }
  if (name == "*WACCTAB") {
    if (kind == K_READ) {
      std::string table = "*WACCTAB:\r\nNO NUMBER";
      for (int k = 0; k < 10; ++k)
        table += "\r\n" + std::to_string(k + 1) + " " + a.acceptedNumbers[static_cast<size_t>(k)];
      out += Info(table);
      return Handled::Done;
    }
    int index = 0;
    std::string number;
    if (kind != K_SET || !SplitArgs(args, list) || list.size() != 2 ||
        !ParseNumber(list[0].text, 10, index) || index < 1 || !TextArg(list, 1, 20, number) ||
        !OnlyDialDigits(number))
      return Handled::Refused;
    a.acceptedNumbers[static_cast<size_t>(index - 1)] = number;
    return Handled::Done;
  }
  if (name == "*WCBTAB") {
    int index = 0;
    if (IndexedQuery(kind, args, index)) {
      out += Info(std::to_string(index) + "_Number=" + a.callbackNumbers[static_cast<size_t>(index - 1)] +
                  "\r\n" + std::to_string(index) + "_Password=" +
                  a.callbackPasswords[static_cast<size_t>(index - 1)]);
      return Handled::Done;
    }
    std::string number, password;
    if (kind != K_SET || !SplitArgs(args, list) || list.size() != 3 ||
        !ParseNumber(list[0].text, 10, index) || index < 1 || !TextArg(list, 1, 20, number) ||
        !OnlyDialDigits(number) || !TextArg(list, 2, 12, password) ||
        (!password.empty() && password.size() < 6))
      return Handled::Refused;
    a.callbackNumbers[static_cast<size_t>(index - 1)] = number;
    a.callbackPasswords[static_cast<size_t>(index - 1)] = password;
    return Handled::Done;
  }
  return Handled::No;
}

}  // namespace kelvane
