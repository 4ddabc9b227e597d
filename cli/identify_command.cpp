// kelvane-cli identify: who the modem is. As text the model, the type and the
// identification answer; with --json also the texts of the report's head
// (article, software, adapter with hardware and DSP versions, DIP switches),
// for a reader such as the Ansible module kelvane.modems.info.

#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/port_lock.h"
#include "config/json_text.h"
#include "config/read_engine.h"

namespace kelvane::cli {

namespace {

// The information text of an answer: without the echoed command, the result
// code and blank lines.
std::string InformationText(const std::string& answer, const std::string& command) {
  std::string out;
  size_t start = 0;
  while (start < answer.size()) {
    size_t end = answer.find('\n', start);
    if (end == std::string::npos) end = answer.size();
    const std::string line = answer.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line == command || line == "OK" || line == "0") continue;
    out += line + "\n";
  }
  return out;
}

std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// "Dalmarin adapter HW 1.30 DSP 2.07": the word after `key`, or null.
Json WordAfter(const std::string& text, const std::string& key) {
  const size_t at = text.find(key + " ");
  if (at == std::string::npos) return nullptr;
  const size_t start = at + key.size() + 1;
  const size_t end = text.find_first_of(" \r\n", start);
  return Utf8FromLatin1(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

}  // namespace

int IdentifyCommand(Session& s) {
  // The port is this run's alone (as apply takes it): forks of a play that
  // identify far modems through one local modem wait for each other.
  PortLock lock;
  if (UsesPortLock(s.options.port)) {
    std::string taken, error;
    switch (TakeFreePort({s.options.port}, s.options.waitSeconds, InstallInterruptPipe(), lock, taken, error)) {
      case PoolWait::Taken: break;
      case PoolWait::Cancelled:
        std::fprintf(stderr, "%s\n", CancelledText().c_str());
        return EXIT_FAILED;
      case PoolWait::TimedOut:
        std::fprintf(stderr, "kelvane-cli identify: the port %s was in use by another run for %d s\n",
                     s.options.port.c_str(), s.options.waitSeconds);
        return EXIT_FAILED;
      case PoolWait::Failed:
        std::fprintf(stderr, "kelvane-cli identify: %s\n", error.c_str());
        return EXIT_FAILED;
    }
  }
  const int rc = ConnectForCommand(s);
  if (rc != EXIT_OK) return rc;
  CAdapter& a = s.adapter;
  if (!s.options.json) {
    std::printf("Model: %s\nModel type: %d\nIdentification:\n%s", std::string(ModelName(a.ModelType)).c_str(),
                a.ModelType, InformationText(Printable(a.IdentificationAnswer), "ATI9").c_str());
    EndForCommand(s);
    return EXIT_OK;
  }
  // The report's identification rows come with the diagnostic section; the
  // software version alone is "ATI3".
  const bool read = ReadConfiguration(a, SEC_DIAGNOSTIC) == 1;
  std::string version = "ATI3";
  const bool versionRead = read && a.Transact(version, 1, "OK\r\n") == 1;
  const int cancelled = s.ui.CancelCount();
  s.ui.Finish();
  if (!read || cancelled > 0) {
    if (!cancelled) std::fprintf(stderr, "Reading the identification failed.\n");
    EndForCommand(s);
    return EXIT_FAILED;
  }
  const DiagnosticInfo& d = a.Diagnostic;
  std::string article;
  for (const ModelRow& row : ModelTable) {
    if (row.type == a.ModelType && row.article &&
        a.IdentificationAnswer.find(row.article) != std::string::npos) {
      article = row.article;
      break;
    }
  }
  Json j;
  j["model"] = std::string(ModelName(a.ModelType));
  j["type"] = a.ModelType;
  j["article"] = article.empty() ? Json(nullptr) : Json(article);
  j["identification"] = Utf8FromLatin1(OneLine(InformationText(Printable(a.IdentificationAnswer), "ATI9")));
  j["software_version"] = Utf8FromLatin1(OneLine(Printable(d.SoftwareVersion)));
  j["version"] = versionRead ? Json(Utf8FromLatin1(OneLine(InformationText(Printable(version), "ATI3"))))
                             : Json(nullptr);
  j["adapter_version"] = Utf8FromLatin1(OneLine(Printable(d.AdapterVersion)));
  j["hardware"] = WordAfter(d.AdapterVersion, "HW");
  j["dsp"] = WordAfter(d.AdapterVersion, "DSP");
  // As the report shows them, in hex; only models 2 and 3 have switches.
  if (a.ModelType == MT_RM40 || a.ModelType == MT_RM40_485) {
    char dip[64];
    std::snprintf(dip, sizeof dip, "%02X %02X %02X %02X", static_cast<unsigned>(d.DipSwitches[0]),
                  static_cast<unsigned>(d.DipSwitches[1]), static_cast<unsigned>(d.DipSwitches[2]),
                  static_cast<unsigned>(d.DipSwitches[3]));
    j["dip_switches"] = dip;
  } else {
    j["dip_switches"] = nullptr;
  }
  j["port"] = Utf8FromLatin1(s.options.port);
  j["remote"] = s.options.remote.empty() ? Json(nullptr) : Json(s.options.remote);
  std::printf("%s\n", JsonText(j, 2).c_str());
  EndForCommand(s);
  return EXIT_OK;
}

}  // namespace kelvane::cli
