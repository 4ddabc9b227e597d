// kelvane-modemsim: a simulated Dalmarin modem on a pseudo-terminal. Prints
// the slave's path on the first line of standard output and serves until
// SIGINT or SIGTERM.

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>
#include <memory>

#include "config/version.h"
#include "sim/pty_server.h"
#include "sim/simulated_modem.h"
#include "sim/telephone_network.h"

namespace {

constexpr const char* kUsage =
    "Usage: kelvane-modemsim [options]\n"
    "Serves a simulated Dalmarin modem on a pseudo-terminal and prints its path.\n"
    "\n"
    "  --model N        model type 1-4 (default 2)\n"
    "  --article TEXT   article number, e.g. 7730-08 (any other gives an unsupported modem)\n"
    "  --echo 0|1       command echo (default 1)\n"
    "  --numeric        numeric result codes (V0)\n"
    "  --quiet          result codes suppressed (Q1)\n"
    "  --rate N         DTE rate in bit/s, 0 = automatic (default 0)\n"
    "  --format F       character format such as 8N1 or 7E1 (default 8N1)\n"
    "  --line STATE     last line connection for AT&V1: idle, v34 (default), v90 or v32b\n"
    "  --pace           send no faster than the line speed (10 bits a character)\n"
    "  --pace-input     receive no faster than the line speed either\n"
    "  --link PATH      also make PATH a symbolic link to the pseudo-terminal\n"
    "  --remote-number N   only N reaches the far modem; other numbers ring unanswered\n"
    "  --password TEXT     the far modem's remote configuration password (default empty)\n"
    "  --prompt-delay MS   the far modem asks for the password MS after \"++++\"; a\n"
    "                      password typed before it asks is lost\n"
    "  --remote-model M    the far modem: a type 1-4 or an article number (default: as this one)\n"
    "  --dial-result WORD  every call ends so: BUSY, NO ANSWER, NO CARRIER, NO DIALTONE\n"
    "  --drop-after N      the far modem hangs up at the Nth command of a remote session\n"
    "  --drop-on TEXT      the line goes away (the simulator ends) when a command line\n"
    "                      beginning with TEXT arrives, e.g. AT&F or AT*WIOD\n"
    "  --far-drop-on TEXT  the same when such a line reaches the far modem in a remote\n"
    "                      session\n"
    "  --flash-mode 1|2    the loader answers \"Download initiated...\" (1) or\n"
    "                      \"Downloading Record Data...\" (2)\n"
    "  --flash-fail        the flash fails even with good records\n"
    "  --answer CMD=TEXT   \"AT\" CMD (e.g. +MS?) is answered with the line TEXT and OK\n"
    "                      instead of being run (a modem with answers of its own)\n"
    "  --dial-delay MS     a call's result comes MS after the dial (default 1500)\n"
    "  --dial-abort-off    a character does not abort a call attempt (AT&A1)\n"
    "  --stall-escape MS   the line stalls MS when the logout's escape (\"+++\" after a\n"
    "                      remote session) begins: it and what follows arrive together\n"
    "  --events            after the path, print a line on standard output for every\n"
    "                      command line received (\"line\", \"far-line\") and every\n"
    "                      change of the call's state (\"state command\", \"state\n"
    "                      dialling\", online, password, session, escape, online-command)\n"
    "                      and \"hangup\" when the program on the port closes it\n"
    "  --far NUMBER[:M[:PASSWORD]]  a telephone network: a far modem (type or article M,\n"
    "                      default as the local one) that NUMBER reaches from any local\n"
    "                      modem; repeatable. A far modem in a call answers others BUSY\n"
    "  --locals N          serve N local modems alike, each on its own pseudo-terminal\n"
    "                      (its path a line), all reaching the far modems of --far\n"
    "  --help           this text\n"
    "  --version        the version\n"
    "\n"
    "Example:\n"
    "  kelvane-modemsim --model 2 --rate 9600 &\n"
    "  kelvane-cli identify --port /dev/pts/N --baud 9600\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "kelvane-modemsim: %s\n%s", problem, kUsage);
  return 2;
}

bool ParseInt(const char* text, int& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < 0 || v > 10000000) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kelvane;
  int model = 2;
  std::string article;
  int echo = 1, rate = 0, format = 3, parity = 4;
  bool numeric = false, quiet = false, pace = false, paceInput = false, events = false, dialAbortOff = false;
  std::string link;
  LastConnection line;
  SimulationOptions sim;
  std::string password, remoteModel;
  std::vector<std::string> farModems;
  int locals = 1;

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto needValue = [&]() { return value != nullptr; };
    if (arg == "--version") {
      std::printf("kelvane-modemsim %s\n", kVersion);
      return 0;
    }
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--numeric") {
      numeric = true;
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--pace") {
      pace = true;
    } else if (arg == "--pace-input") {
      paceInput = true;
    } else if (arg == "--model") {
      if (!needValue() || !ParseInt(value, model) || model < 1 || model > 4)
        return Usage("--model needs a type from 1 to 4");
      ++i;
    } else if (arg == "--article") {
      if (!needValue()) return Usage("--article needs an article number");
      article = value;
      ++i;
    } else if (arg == "--echo") {
      if (!needValue() || !ParseInt(value, echo) || echo > 1) return Usage("--echo needs 0 or 1");
      ++i;
    } else if (arg == "--rate") {
      static constexpr int kRates[] = {0, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
      if (!needValue() || !ParseInt(value, rate) ||
          std::find(std::begin(kRates), std::end(kRates), rate) == std::end(kRates))
        return Usage("--rate needs 0 or a rate from 300 to 115200");
      ++i;
    } else if (arg == "--format") {
      if (!needValue() || !ParseFormatText(value, format, parity))
        return Usage("--format needs a format such as 8N1, 7E1 or 8O2");
      ++i;
    } else if (arg == "--line") {
      if (!needValue() || !LastConnectionPreset(value, line))
        return Usage("--line needs idle, v34, v90 or v32b");
      ++i;
    } else if (arg == "--remote-number") {
      if (!needValue()) return Usage("--remote-number needs a number");
      sim.remoteNumber = value;
      ++i;
    } else if (arg == "--password") {
      if (!needValue()) return Usage("--password needs a text");
      password = value;
      ++i;
    } else if (arg == "--prompt-delay") {
      if (!needValue() || !ParseInt(value, sim.promptDelayMs)) return Usage("--prompt-delay needs milliseconds");
      ++i;
    } else if (arg == "--remote-model") {
      if (!needValue()) return Usage("--remote-model needs a type 1-4 or an article number");
      remoteModel = value;
      ++i;
    } else if (arg == "--dial-result") {
      const std::string_view r = value ? value : "";
      if (r != "BUSY" && r != "NO ANSWER" && r != "NO CARRIER" && r != "NO DIALTONE")
        return Usage("--dial-result needs BUSY, NO ANSWER, NO CARRIER or NO DIALTONE");
      sim.dialResult = value;
      ++i;
    } else if (arg == "--drop-after") {
      if (!needValue() || !ParseInt(value, sim.dropLineAfter) || sim.dropLineAfter < 1)
        return Usage("--drop-after needs a count of 1 or more");
      ++i;
    } else if (arg == "--drop-on") {
      if (!needValue() || *value == '\0') return Usage("--drop-on needs the beginning of a command line");
      sim.cutLineOn = value;
      ++i;
    } else if (arg == "--far-drop-on") {
      if (!needValue() || *value == '\0') return Usage("--far-drop-on needs the beginning of a command line");
      sim.cutFarLineOn = value;
      ++i;
    } else if (arg == "--flash-mode") {
      if (!needValue() || !ParseInt(value, sim.downloadMode) || sim.downloadMode < 1 || sim.downloadMode > 2)
        return Usage("--flash-mode needs 1 or 2");
      ++i;
    } else if (arg == "--answer") {
      const std::string_view given = value ? value : "";
      const size_t eq = given.find('=');
      if (eq == std::string_view::npos || eq == 0) return Usage("--answer needs CMD=TEXT, e.g. +MS?=+MS: V34");
      std::string command(given.substr(0, eq));
      for (char& c : command) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      sim.rawAnswers[command] = "\r\n" + std::string(given.substr(eq + 1)) + "\r\n\r\nOK\r\n";
      ++i;
    } else if (arg == "--flash-fail") {
      sim.flashSucceeds = false;
    } else if (arg == "--events") {
      events = true;
    } else if (arg == "--dial-abort-off") {
      dialAbortOff = true;
    } else if (arg == "--dial-delay") {
      if (!needValue() || !ParseInt(value, sim.dialDelayMs)) return Usage("--dial-delay needs milliseconds");
      ++i;
    } else if (arg == "--stall-escape") {
      if (!needValue() || !ParseInt(value, sim.stallEscapeMs)) return Usage("--stall-escape needs milliseconds");
      ++i;
    } else if (arg == "--far") {
      if (!needValue() || *value == '\0') return Usage("--far needs NUMBER[:MODEL[:PASSWORD]]");
      farModems.emplace_back(value);
      ++i;
    } else if (arg == "--locals") {
      if (!needValue() || !ParseInt(value, locals) || locals < 1 || locals > 32)
        return Usage("--locals needs a count from 1 to 32");
      ++i;
    } else if (arg == "--link") {
      if (!needValue()) return Usage("--link needs a path");
      link = value;
      ++i;
    } else {
      return Usage(("unknown option " + std::string(arg)).c_str());
    }
  }

  // The telephone network of --far: far modems by number, shared by every
  // local modem.
  TelephoneNetwork network;
  for (const std::string& far : farModems) {
    const size_t colon = far.find(':');
    const std::string number = far.substr(0, colon);
    std::string farModel = colon == std::string::npos ? "" : far.substr(colon + 1), farPassword;
    const size_t second = farModel.find(':');
    if (second != std::string::npos) {
      farPassword = farModel.substr(second + 1);
      farModel.resize(second);
    }
    // As the local modem, a model type or an article number.
    int type = 0;
    std::string farArticle = farModel;
    if (farModel.empty()) farArticle = article.empty() ? SimulatedModem(model).Article() : article;
    if (farModel.size() == 1 && ParseInt(farModel.c_str(), type) && type >= 1 && type <= 4) {
      farArticle = SimulatedModem(type).Article();
    }
    if (number.empty()) return Usage("--far needs NUMBER[:MODEL[:PASSWORD]]");
    network.AddFarModem(number, farArticle, farPassword);
  }

  auto makeModem = [&]() {
  SimulatedModem modem = article.empty() ? SimulatedModem(model) : SimulatedModem(std::string_view(article));
  // The options describe the modem as it powers up: the stored profile too.
  for (ModemSettings* s : {&modem.State(), &modem.Stored()}) {
    s->echo = echo;
    s->verbose = numeric ? 0 : 1;
    s->quiet = quiet ? 1 : 0;
    s->dteRate = rate;
    s->icfFormat = format;
    s->icfParity = parity;
    s->dialAbort = dialAbortOff ? 1 : 0;
  }

  modem.Diagnostics() = line;
  SimulationOptions& o = modem.Options();
  o.remoteNumber = sim.remoteNumber;
  o.promptDelayMs = sim.promptDelayMs;
  o.dialResult = sim.dialResult;
  o.dropLineAfter = sim.dropLineAfter;
  o.cutLineOn = sim.cutLineOn;
  o.cutFarLineOn = sim.cutFarLineOn;
  o.dialDelayMs = sim.dialDelayMs;
  o.stallEscapeMs = sim.stallEscapeMs;
  o.downloadMode = sim.downloadMode;
  o.flashSucceeds = sim.flashSucceeds;
  o.rawAnswers = sim.rawAnswers;
  int remoteType = 0;
  if (remoteModel.size() == 1 && ParseInt(remoteModel.c_str(), remoteType) && remoteType >= 1 && remoteType <= 4) {
    o.farArticle = SimulatedModem(remoteType).Article();
  } else {
    o.farArticle = remoteModel;
  }
  // The far modem exists from here on, with the chosen article.
  for (ModemSettings* s : {&modem.FarModem().State(), &modem.FarModem().Stored()}) s->remotePassword = password;
  if (!farModems.empty()) o.network = &network;
  return modem;
  };
  SimulatedModem modem = makeModem();

  // The stop signals arrive on a descriptor, so the server's poll wakes up.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (stopFd < 0) {
    std::fprintf(stderr, "kelvane-modemsim: signalfd: %s\n", std::strerror(errno));
    return 1;
  }
  std::signal(SIGPIPE, SIG_IGN);

  PtyServer server(std::move(modem));
  server.SetPacing(pace);
  server.SetInputPacing(paceInput);
  if (events) server.SetEventOutput(stdout);
  std::string error;
  if (!server.Open(error)) {
    std::fprintf(stderr, "kelvane-modemsim: %s\n", error.c_str());
    return 1;
  }
  if (!link.empty() && !server.CreateLink(link, error)) {
    std::fprintf(stderr, "kelvane-modemsim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", server.SlavePath().c_str());
  // More local modems alike, in threads of their own: they share the far
  // modems, so every modem of the process runs under the network's lock.
  std::vector<std::unique_ptr<PtyServer>> more;
  for (int k = 1; k < locals; ++k) {
    more.push_back(std::make_unique<PtyServer>(makeModem()));
    more.back()->SetPacing(pace);
    more.back()->SetInputPacing(paceInput);
    if (!more.back()->Open(error)) {
      std::fprintf(stderr, "kelvane-modemsim: %s\n", error.c_str());
      return 1;
    }
    std::printf("%s\n", more.back()->SlavePath().c_str());
  }
  std::fflush(stdout);
  std::vector<std::thread> threads;
  if (locals > 1) {
    server.ShareLock(&network.Lock());
    for (auto& other : more) {
      other->ShareLock(&network.Lock());
      threads.emplace_back([&other, stopFd] { other->Run(stopFd); });
    }
  }
  const int result = server.Run(stopFd);
  for (std::thread& t : threads) t.join();
  close(stopFd);
  return result;
}
