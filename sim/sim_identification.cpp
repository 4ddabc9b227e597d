#include "sim/simulated_modem.h"

#include <algorithm>
#include <cstdio>

#include "sim/sim_text.h"

// Identification and listings: who the modem is (articles, "ATI", "+GMI"...)
// and the profile and connection listings of "AT&V".

namespace kelvane {

using namespace simtext;

namespace {

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

}  // namespace

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

bool SimulatedModem::InformationCommand(char letter, int v, CommandLine& cl) {
  if (letter != 'I') return false;
  if (!Information(v, cl.out)) cl.result = RC_ERROR;
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

SimulatedModem::Handled SimulatedModem::IdentificationCommand(const std::string& name, int kind,
                                                              std::string& out) {
  if (name != "+GMI" && name != "+GMM" && name != "+GMR") return Handled::No;
  if (kind != K_ACTION) return Handled::Refused;
  out += Info(name == "+GMI" ? "Dalmarin" : name == "+GMM" ? name_ : software_);
  return Handled::Done;
}

std::string SimulatedModem::ProfileReport() const {
  return "ACTIVE PROFILE:\r\n" + ProfileText(active_) + "\r\n\r\nSTORED PROFILE 0:\r\n" +
         ProfileText(stored_) + "\r\n\r\nTELEPHONE NUMBERS:\r\n" +
         NumberColumn(0, active_.storedNumbers[0]) + NumberColumn(1, active_.storedNumbers[1]) +
         "\r\n" + NumberColumn(2, active_.storedNumbers[2]) +
         NumberColumn(3, active_.storedNumbers[3]);
}

bool LastConnectionPreset(std::string_view name, LastConnection& out) {
  LastConnection c;
  if (name == "idle") {
    c = LastConnection{"IDLE", 0, 0, 0, 0, 0, 0, 0, "NONE"};
  } else if (name == "v34") {
    // The defaults: a V.34 line at 33600/31200.
  } else if (name == "v90") {
    c = LastConnection{"V90A", 50666, 31200, 41, -18, -47, -28, -49, "REMOTE REQUEST"};
  } else if (name == "v32b") {
    // Receive speed at the top of the V.32bis range and transmit beyond it;
    // SNR above and RX level at the end of their scales, the echo levels
    // beyond both ends.
    c = LastConnection{"V32B", 14400, 19200, 56, -45, -60, -12, -70, "LOST CARRIER"};
  } else {
    return false;
  }
  out = c;
  return true;
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

}  // namespace kelvane
