// kelvane-cli: the tool's operations without windows.

#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_ui.h"
#include "cli/command_options.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "config/adapter.h"
#include "config/operation_hold.h"
#include "config/version.h"
#include "connection/connect.h"
#include "connection/port_factory.h"
#include "serial/port_enumeration.h"
#include "sim/simulated_port.h"

namespace kelvane::cli {

void AttachPort(Session& s) {
  CAdapter& a = s.adapter;
  s.port = MakePort(s.options.port);
  a.SetPort(s.LinePort());
  a.PortNumber = s.options.port;
  a.BaudRate = s.options.baud;
  a.Parity = s.options.parity;
  a.DataBits = s.options.data;
  a.StopBits = s.options.stop;
}

int ConnectForCommand(Session& s) {
  if (!s.options.remote.empty()) return RemoteConnectForCommand(s);
  CAdapter& a = s.adapter;
  if (s.options.port.empty()) {
    std::fprintf(stderr, "kelvane-cli %s: --port is required\n", s.options.command.c_str());
    return EXIT_USAGE;
  }
  AttachPort(s);
  const int result = RunConnectOperation(a);
  s.ui.Finish();
  if (result == CONNECT_IDENTIFIED) return EXIT_OK;
  // A cancel is no finding about the modem; the session says it was cancelled.
  if (s.ui.CancelCount() > 0) return EXIT_FAILED;
  std::fprintf(stderr, "%s\n", ConnectFailureMessage(a, result).c_str());
  if (a.LinkState == LS_OPEN_FAILED && !a.LastOpenError.empty()) {
    std::fprintf(stderr, "%s\n", a.LastOpenError.c_str());
  }
  return result == CONNECT_UNSUPPORTED ? EXIT_UNSUPPORTED : EXIT_FAILED;
}

bool OpenPortCancellably(CAdapter& a) {
  const BusyHold busy(a);
  return a.OpenAndIdentify(false);
}

std::string Printable(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r') continue;
    if (c == '\n' || (c >= 0x20 && c < 0x7F)) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

int Main(int argc, char** argv) {
  RegisterPortMaker(MakeSimulatedPort);
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    const CommandInfo* command = FindCommand(options.command);
    std::fprintf(stderr, "kelvane-cli: %s\n\n%s", error.c_str(),
                 command ? CommandHelp(*command).c_str() : UsageText());
    return EXIT_USAGE;
  }
  if (options.version) {
    std::printf("kelvane-cli %s\n", kVersion);
    return EXIT_OK;
  }
  if (options.help || options.command == "help") {
    // "COMMAND --help" and "help COMMAND" show the one command.
    const std::string name = options.command == "help" && !options.positional.empty() ? options.positional[0]
                                                                                      : options.command;
    const CommandInfo* command = name == "help" ? nullptr : FindCommand(name);
    if (!command && !name.empty() && name != "help") {
      std::fprintf(stderr, "kelvane-cli: unknown command \"%s\"\n\n%s", name.c_str(), UsageText());
      return EXIT_USAGE;
    }
    std::printf("%s", command ? CommandHelp(*command).c_str() : UsageText());
    return EXIT_OK;
  }
  if (options.command.empty()) {
    std::fprintf(stderr, "%s", UsageText());
    return EXIT_USAGE;
  }

  Session s(options);
  if (options.responseTimeout) s.adapter.Options.ResponseTimeout = *options.responseTimeout;
  if (options.delayMs) s.adapter.Options.DelayBeforeAT = *options.delayMs;
  s.adapter.Options.Debug = options.debug ? 1 : 0;
  // apply keeps a traffic log for each modem it talks to.
  if (!options.log.empty() && options.command != "apply") {
    std::string error;
    if (!s.trafficLog.Open(options.log, error)) {
      std::fprintf(stderr, "kelvane-cli: %s\n", error.c_str());
      return EXIT_FAILED;
    }
    s.adapter.TrafficFile = &s.trafficLog;
  }

  if (options.command == "ports") return PortsCommand(s);
  if (options.command == "import") return ImportCommand(s);
  if (options.command == "set") return SetCommand(s);
  if (options.command == "fields") return FieldsCommand(s);
  if (options.command == "flash") return FlashCommand(s);
  // A call the logout could not end fails a command that otherwise succeeded.
  auto ended = [&s](int rc) { return rc == EXIT_OK && s.callLeftUp ? EXIT_FAILED : rc; };
  if (options.command == "identify") return ended(IdentifyCommand(s));
  if (options.command == "scan") return ScanCommand(s);
  if (options.command == "apply") return ApplyCommand(s);
  if (CommandFunction command = FindConfigCommand(options.command)) return ended(command(s));

  std::fprintf(stderr, "kelvane-cli: unknown command \"%s\"\n\n%s", options.command.c_str(), UsageText());
  return EXIT_USAGE;
}

}  // namespace kelvane::cli

int main(int argc, char** argv) { return kelvane::cli::Main(argc, argv); }
