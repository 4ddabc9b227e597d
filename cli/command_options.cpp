#include "cli/command_options.h"

#include <algorithm>

namespace kelvane::cli {

const std::vector<OptionInfo>& AllOptions() {
  static const std::vector<OptionInfo> options = {
      {"--port", "", "P", "the port: a device path, sim:TYPE, rfc2217://HOST:PORT or tcp://HOST:PORT"},
      {"--baud", "", "N", "300 to 115200 (default 115200)"},
      {"--parity", "", "X", "None, Odd or Even (default None)"},
      {"--data", "", "N", "7 or 8 (default 8)"},
      {"--stop", "", "N", "1 or 2 (default 1)"},
      {"--log", "", "FILE", "log every byte to and from the modem to FILE (passwords masked)"},
      {"--response-timeout", "", "N", "0 (short) to 5 (long); default 1"},
      {"--delay", "", "MS", "pause before every AT command, 0-1000 ms; default 0"},
      {"--debug", "", "", "show every modem answer on stderr (passwords masked)"},
      {"--remote", "", "NUMBER", "the modem on --port dials NUMBER and the command runs at the far modem"},
      {"--password-file", "", "F", "the remote password is the first line of F (\"-\": standard input)"},
      {"--sections", "", "LIST", "comma-separated from basic, serial, dial, callerid, remote, diagnostic, callback, "
                                 "io, all"},
      {"--output", "-o", "FILE", "the file the command writes"},
      {"--yes", "-y", "", "answer Yes to the questions the command asks"},
      {"--json", "", "", "print JSON"},
      {"--words", "", "", "name the fields and values as the window's pages show them"},
      {"--show-secrets", "", "", "print passwords in clear"},
      {"--stdin", "", "", "a field named without =VALUE takes the next line of standard input"},
      {"--inventory", "", "FILE", "the targets, one a line: port[ baud=N format=8N1][,number[,password-file]]"
                                   "[,FIELD=VALUE ...]"},
      {"--check", "", "", "read and compare only: write nothing"},
      {"--report-dir", "", "DIR",
       "each modem's HTML report and the run's apply-summary-<UTC time>.json go to DIR (made when missing)"},
      {"--jobs", "", "N", "at most N ports at the same time, 1-1000 (default 32)"},
      {"--failed", "", "FILE", "write the targets that failed or did not start to FILE, as an inventory"},
      {"--set", "", "FIELD=VALUE", "a value of every target's own over the profile, as set takes it (repeatable; "
                                    "VALUE @FILE: the first line of an owner-only file; -: a line of standard input)"},
      {"--backup-dir", "", "DIR", "save each modem's settings as read to DIR before it is written"},
      {"--via", "", "PORT", "a local modem of the dial-out pool for far targets (repeatable)"},
      {"--wait", "", "SECONDS", "how long to wait for a port that another run uses (apply: a free port of the pool), "
                                 "0-86400 (default 600)"},
  };
  return options;
}

namespace {

using Names = std::vector<std::string_view>;

Names Join(std::initializer_list<Names> parts) {
  Names out;
  for (const Names& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// The options of every command that talks to a modem, and of those that may
// do so through a remote login.
const Names kLine = {"--port", "--baud", "--parity", "--data", "--stop"};
const Names kTool = {"--log", "--response-timeout", "--delay", "--debug"};
const Names kRemote = {"--remote", "--password-file"};

}  // namespace

const std::vector<CommandInfo>& AllCommands() {
  static const std::vector<CommandInfo> commands = {
      {"ports", "", "List the serial ports with what the system knows of them.", {"--json"}},
      {"identify", "", "Find the modem and print its model name, model type and identification answer.",
       Join({kLine, kRemote, {"--json", "--wait"}, kTool})},
      {"scan", "", "Search the port for a modem at every setting, or at the ranges FROM:TO given.",
       Join({kLine, kTool, {"--json"}})},
      {"read", "", "Read the sections from the modem and save them as a profile (-o is required).",
       Join({kLine, kRemote, {"--sections", "--output"}, kTool})},
      {"write", "FILE.dat", "Write the profile's sections to the modem and store them with AT&W.",
       Join({kLine, kRemote, {"--sections", "--yes"}, kTool})},
      {"apply", "FILE.dat", "Bring modems to the profile, writing only the sections that differ.",
       Join({kLine, {"--inventory"}, kRemote,
             {"--sections", "--set", "--check", "--json", "--report-dir", "--backup-dir", "--jobs", "--failed",
              "--via", "--wait"},
             kTool})},
      {"show", "FILE.dat", "Print every field of a profile.", {"--words", "--json", "--show-secrets"}},
      {"diff", "A.dat B.dat", "Print the fields that differ.", {"--words", "--json", "--show-secrets"}},
      {"verify", "FILE.dat", "Read the modem and print where it differs from the profile.",
       Join({kLine, kRemote, {"--words", "--json", "--show-secrets"}, kTool})},
      {"report", "", "Write the HTML report of the modem (-o is required).",
       Join({kLine, kRemote, {"--output"}, kTool})},
      {"import", "FILE.json", "Turn what \"show --json --show-secrets\" printed back into a profile.", {"--output"}},
      {"set", "FILE.dat SECTION.FIELD=VALUE ...", "Change fields of a profile with the limits of the pages.",
       {"--stdin"}},
      {"fields", "", "List the fields \"set\" changes and the values each takes.", {}},
      {"flash", "FILE", "Load new firmware into the modem at 115200 baud.", Join({kLine, {"--yes"}, kTool})},
      {"help", "[COMMAND]", "Show the usage of the tool, or of one command.", {}},
  };
  return commands;
}

const CommandInfo* FindCommand(std::string_view name) {
  for (const CommandInfo& c : AllCommands()) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

const OptionInfo* FindOption(std::string_view nameOrAlias) {
  for (const OptionInfo& o : AllOptions()) {
    if (o.name == nameOrAlias || (!o.alias.empty() && o.alias == nameOrAlias)) return &o;
  }
  return nullptr;
}

bool CommandTakes(const CommandInfo& command, std::string_view longName) {
  return std::find(command.options.begin(), command.options.end(), longName) != command.options.end();
}

std::string CommandHelp(const CommandInfo& command) {
  std::string text = "Usage: kelvane-cli " + std::string(command.name);
  if (!command.arguments.empty()) text += " " + std::string(command.arguments);
  if (!command.options.empty()) text += " [OPTIONS]";
  text += "\n\n" + std::string(command.summary) + "\n\nOptions:\n";
  for (std::string_view name : command.options) {
    const OptionInfo* o = FindOption(name);
    if (!o) continue;
    std::string names = "  ";
    if (!o->alias.empty()) names += std::string(o->alias) + ", ";
    names += std::string(o->name);
    if (!o->value.empty()) names += " " + std::string(o->value);
    // The help in a column from 28, wrapped before 80.
    names.resize(std::max<size_t>(names.size() + 2, 28), ' ');
    std::string line = names;
    size_t start = 0;
    const std::string_view help = o->help;
    while (start < help.size()) {
      size_t end = help.find(' ', start);
      if (end == std::string_view::npos) end = help.size();
      if (line.size() > 28 && line.size() + 1 + (end - start) > 79) {
        text += line + "\n";
        line = std::string(28, ' ');
      } else if (line.size() > 28) {
        line += ' ';
      }
      line += help.substr(start, end - start);
      start = end + 1;
    }
    text += line + "\n";
  }
  text += "  -h, --help                show this text\n";
  text += "\n\"kelvane-cli --help\" describes every command and option in full.\n";
  return text;
}

}  // namespace kelvane::cli
