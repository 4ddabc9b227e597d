#pragma once
// What the commands of kelvane-cli share: one session with its adapter, port
// and user interface.

#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_ui.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "config/adapter.h"
#include "config/traffic_file_log.h"

namespace kelvane::cli {

struct Session {
  explicit Session(const Options& o) : options(o), ui(adapter, o.yes, o.debug) {
    adapter.SetUi(&ui);
    // Ctrl-C is the Cancel button of every long command.
    ui.WatchCancel(InstallInterruptPipe());
  }
  ~Session() {
    if (ui.CancelCount() > cancelsDuringLogout) std::fprintf(stderr, "%s\n", CancelledText().c_str());
    if (port && port->IsOpen()) port->Close();
    adapter.SetPort(nullptr);
    adapter.SetUi(nullptr);
  }
  // The port the adapter talks through: `port` itself, or with --log the
  // same port seen through the traffic log.
  SerialPort* LinePort() {
    if (!trafficLog.IsOpen()) return port.get();
    if (!loggedPort) loggedPort = std::make_unique<TrafficLoggingPort>(trafficLog);
    loggedPort->SetInner(port.get());
    return loggedPort.get();
  }
  Options options;
  CAdapter adapter;
  CliUserInterface ui;
  TrafficFileLog trafficLog;
  std::unique_ptr<SerialPort> port;
  std::unique_ptr<TrafficLoggingPort> loggedPort;
  // Cancels heard while a remote session was being ended (see EndForCommand).
  int cancelsDuringLogout = 0;
  // The logout could not end the call: the command fails however it went.
  bool callLeftUp = false;
};

// Opens the port of --port, probes and identifies. Prints the failure message
// and returns the exit code (EXIT_OK when identified).
int ConnectForCommand(Session& s);
// Makes the session's port from --port and gives the adapter the line
// settings of the options (nothing is opened yet).
void AttachPort(Session& s);
// Opens the port without talking to the modem, as an operation: with Busy
// held, a network port's connect (lookup, connection, negotiation) waits
// through the user interface, so Ctrl-C ends it instead of the 5 s bound.
bool OpenPortCancellably(CAdapter& a);
// With --remote: opens the port, logs in to the remote modem through the
// local one and identifies it. Prints the failure and returns the exit code.
int RemoteConnectForCommand(Session& s);
// Ends a command's link: a remote session is ended ("AT*WRCE", "+++",
// "ATH") before the port closes, also after a failure or a cancel.
void EndForCommand(Session& s);
// kelvane-cli identify [--json] (identify_command.cpp).
int IdentifyCommand(Session& s);
// kelvane-cli flash.
int FlashCommand(Session& s);
// Answer text made printable (CR dropped, other control bytes as \xNN).
std::string Printable(std::string_view text);

// kelvane-cli import FILE.json -o FILE.dat.
int ImportCommand(Session& s);
// kelvane-cli set FILE.dat SECTION.FIELD=VALUE ... and kelvane-cli fields.
int SetCommand(Session& s);
int FieldsCommand(Session& s);
// kelvane-cli ports [--json].
int PortsCommand(Session& s);
// The Autoconnect search on --port (scan_command.cpp).
int ScanCommand(Session& s);

// kelvane-cli apply (apply_command.cpp).
int ApplyCommand(Session& s);
// A comma-separated section list as a mask; 0 with `error` on an unknown name.
int ParseSections(const std::string& list, std::string& error);
// The sections a list names one by one ("all" names none).
int NamedSections(const std::string& list);
// Loads a profile for a command; prints what is wrong with it, and names the
// sections a short file left at their defaults.
bool LoadProfileForCommand(const std::string& path, ConfigBlock& block);
// Loads a profile that is to go to modems. Refused, before any modem is
// touched: a file that cannot be read, a short one (a run must not spread
// defaults that nobody chose), and a text among `sections` that cannot be
// sent as it stands. A number its page would not let a person type is
// written as it stands and named in a note.
bool LoadProfileForWriting(const std::string& command, const std::string& path, ConfigBlock& block, int sections);
// The remote password of --password-file, KELVANE_PASSWORD or the terminal,
// by the rules of --remote.
bool ObtainRemotePassword(const Options& o, std::string& password, std::string& error);

using CommandFunction = int (*)(Session&);
// The configuration commands (read, write, show, ...), or nullptr.
CommandFunction FindConfigCommand(const std::string& name);

}  // namespace kelvane::cli
