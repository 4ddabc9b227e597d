#include "cli/options.h"

#include <charconv>
#include <cstring>

#include "cli/command_options.h"
#include "connection/remote_login.h"

namespace kelvane::cli {

namespace {

bool ParseInt(const std::string& text, int low, int high, int& out) {
  int value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || value < low || value > high) return false;
  out = value;
  return true;
}

bool OneOf(const std::string& v, std::initializer_list<const char*> allowed) {
  for (const char* a : allowed) {
    if (v == a) return true;
  }
  return false;
}

// A value or a FROM:TO range (scan), each side one of `allowed`.
bool ValueOrRange(const std::string& v, std::initializer_list<const char*> allowed) {
  const size_t colon = v.find(':');
  if (colon == std::string::npos) return OneOf(v, allowed);
  return OneOf(v.substr(0, colon), allowed) && OneOf(v.substr(colon + 1), allowed);
}

}  // namespace

const char* UsageText() {
  return R"(Usage: kelvane-cli COMMAND [OPTIONS]

Configures Dalmarin modems through a serial port. Each command takes only
the options shown with it here; "kelvane-cli COMMAND --help" lists them.

Commands:
  ports [--json]             List the serial ports with what the system knows of
                             them: USB manufacturer, product and serial number, the
                             /dev/serial/by-id name, and why a port may not be opened.
      kelvane-cli ports --json
  identify --port P [--json] Open the port, find the modem and print its model name,
                             model type and identification answer; with --json also
                             the article, the versions and the DIP switches.
      kelvane-cli identify --port /dev/ttyUSB0 --baud 9600
  read --port P [--sections LIST] -o FILE.dat
                             Read the sections from the modem and save them as a
                             profile. LIST is comma-separated from basic, serial,
                             dial, callerid, remote, diagnostic, callback, io, all
                             (default all).
      kelvane-cli read --port sim:3 --sections basic,serial -o modem.dat
  write --port P FILE.dat [--sections LIST] [--yes]
                             Write the profile's sections to the modem and store
                             them with AT&W. "all" asks "Write current profile to
                             adapter?": --yes answers Yes; without it the question
                             is asked on the terminal, or refused when there is none.
      kelvane-cli write --port /dev/ttyUSB0 modem.dat --yes
  apply FILE.dat --port P [--port P2 ...] [--inventory FILE] [--sections LIST]
        [--remote NUMBER [--password-file F]] [--check] [--json]
        [--report-dir DIR] [--jobs N] [--failed FILE] [--set FIELD=VALUE ...]
        [--backup-dir DIR] [--via PORT ... [--wait SECONDS]]
                             Bring modems to the profile: read the sections of
                             LIST (default every section a write changes),
                             compare, write only the sections that differ, store
                             them with AT&W, read them back and compare again.
                             A setting whose stored value (AT&V) differs counts.
                             A modem that holds the profile is only read. A short
                             profile or a value its page would not hold is
                             refused before any modem is touched. Ports run at
                             the same time (at most N with --jobs, default 32).
                             --inventory lists targets one a line:
                             port[,number[,password-file]] (# comments), after
                             the port (a blank or a comma) its own line settings:
                             "/dev/ttyUSB3 baud=9600 format=7E1";
                             --remote and --password-file hold for lines without
                             their own. Over a remote link the serial and remote
                             sections are written only when LIST names them; the
                             others leave the result "partial". --check writes
                             nothing. --report-dir (made when missing, for its
                             owner only) gets each modem's HTML report and the
                             run's apply-summary-YYYYMMDDTHHMMSSZ.json (UTC);
                             --failed writes the failed targets as an
                             inventory. One line a modem,
                             then a summary; --json prints a JSON array instead.
                             --set FIELD=VALUE gives every target a value of
                             its own over the profile, by the rules of set; an
                             inventory line gives its own after the port, one a
                             field: ,FIELD=VALUE or ,"FIELD=VALUE with blanks".
                             VALUE @FILE is the first line of an owner-only
                             file, - a line of standard input, @@ a leading @.
                             --backup-dir saves each modem's settings as read
                             before it is written. --via PORT (repeated): far
                             targets without a port go through whichever local
                             modem of the pool is free, one session a port, also
                             across processes, waiting up to --wait seconds.
                             Exit 0 when every modem holds the profile, 4 when
                             --check found modems that would change, 5 when
                             differences were left alone, 1 when any failed.
      kelvane-cli apply golden.dat --port /dev/ttyUSB0 --port /dev/ttyUSB1
      kelvane-cli apply golden.dat --inventory modems.txt --check --json
  show FILE.dat [--words] [--json] [--show-secrets]
                             Print every field of a profile. --words prints them
                             page by page as the window shows them: the page, the
                             caption beside the control and the value as the page
                             shows it. Passwords are masked (********, empty when
                             empty) unless --show-secrets.
      kelvane-cli show modem.dat --json --show-secrets > modem.json
      kelvane-cli show modem.dat --words
  diff A.dat B.dat [--words] [--json] [--show-secrets]
                             Print the fields that differ (exit 0 when equal);
                             with --words page by page, "Basic  Rings to
                             Auto-Answer [S0]: 2 → 3" (A's value, then B's). A
                             password set on both sides but different shows as
                             ******** (differs) unless --show-secrets.
      kelvane-cli diff old.dat new.dat --words
  verify --port P FILE.dat [--words] [--json] [--show-secrets]
                             Read the modem and print where it differs from the
                             profile (exit 0 when it holds the profile); with
                             --words the profile's value, then the modem's.
      kelvane-cli verify --port /dev/ttyUSB0 modem.dat --words
  report --port P -o FILE.htm
                             Write the HTML report of the modem.
      kelvane-cli report --port sim:3 -o report.htm
  import FILE.json -o FILE.dat
                             Turn what "show --json --show-secrets" printed back
                             into a profile, byte for byte. Fields left out keep
                             the values of a new profile; an unknown field, a value
                             that does not fit or a masked password is an error
                             naming it.
      kelvane-cli import modem.json -o modem.dat
  set FILE.dat SECTION.FIELD=VALUE ... [SECTION.FIELD ... --stdin]
                             Change fields of a profile (names as "show" prints
                             them, array elements as NAME[i]) with the limits and
                             lists of the configuration pages: an S-register above
                             its maximum is clipped (with a note), any other value
                             the page would not take is an error naming the field,
                             and then the file is left untouched. Numbers in
                             decimal or 0x hex; list values by number, by name
                             or as --words shows them ("3D - France", "3D",
                             "France"); --words names a table's rows as set does.
                             With --stdin a field named without "=VALUE" takes
                             the next line of standard input (a password then
                             shows neither in ps nor in the shell's history).
      kelvane-cli set modem.dat BasicSettings.S0=2 DialSettings.StoredNumbers[1]=5551234
      kelvane-cli set modem.dat RemoteSettings.RemotePassword --stdin < pw.txt
  fields                     List the fields "set" changes and the values each takes.
      kelvane-cli fields | grep Callback
  scan --port P [--baud FROM[:TO]] [--parity FROM[:TO]] [--data FROM[:TO]]
       [--stop FROM[:TO]] [--json]
                             Search the port for a modem (Autoconnect). Without
                             range options: every rate with None, 8, 1 first,
                             then 115200 down to 300, None to Even, 8 then 7
                             data bits, 1 then 2 stop bits. With any, only the
                             given ranges (the others as above), without the
                             first pass. Prints the model and the settings found.
      kelvane-cli scan --port /dev/ttyUSB0 --baud 19200:1200
  flash --port P FILE [--yes]
                             Load new firmware (a text file of records) into the
                             modem at 115200 baud. Asks "Du you wish to contiune?"
                             first: --yes answers Yes. Progress on standard error;
                             exit 0 only when the modem reported success.
      kelvane-cli flash --port /dev/ttyUSB0 firmware.txt --yes

Remote connection (identify, read, write, verify, report, apply):
  --remote NUMBER   The modem on --port dials NUMBER, the tool logs in to the
                    remote modem and the command runs there; at the end the
                    session is ended ("AT*WRCE", "+++", "ATH").
  --password-file F The password is the first line of F ("-": standard input);
                    else the environment variable KELVANE_PASSWORD; else it is
                    asked on the terminal. An empty file or one that is not a
                    regular file is refused; one every user may read is warned of.
      kelvane-cli read --port /dev/ttyUSB0 --remote 0123456 --password-file pw.txt -o far.dat

Port and line options (commands that connect):
  --port P          A device path such as /dev/ttyUSB0 or a /dev/serial/by-id
                    name, or sim:TYPE (TYPE 1-4) for the built-in simulated
                    modem of that model type. A modem behind a device server:
                    rfc2217://HOST:PORT (Telnet with COM port control: the
                    tool sets speed, format, DTR, RTS, flow control and break)
                    or tcp://HOST:PORT (a plain byte stream: the server's line
                    settings hold, scan refuses it). ser2net, for example:
                      connection: &modem1
                        accepter: telnet(rfc2217),tcp,2001
                        connector: serialdev,/dev/ttyUSB0,9600n81,local
      kelvane-cli read --port rfc2217://station7.example:2001 --baud 19200 -o modem.dat
  --baud N          300 600 1200 2400 4800 9600 19200 38400 57600 115200
                    (default 115200)
  --parity X        None, Odd or Even (default None)
  --data N          7 or 8 (default 8)
  --stop N          1 or 2 (default 1)
  --log FILE        log every byte to and from the modem to FILE, one line at a
                    time with its time and direction (passwords are masked; a
                    new log is readable by its owner only)
      kelvane-cli read --port /dev/ttyUSB0 -o modem.dat --log traffic.log

Ctrl-C cancels a running command as the window's Cancel does: the current
exchange ends, the port is closed and the modem left in command mode.

Tool options:
  --response-timeout N   0 (short) to 5 (long); default 1
  --delay MS             pause before every AT command, 0-1000 ms; default 0
  --debug                show every modem answer on stderr (passwords masked)
  --yes                  answer Yes to the questions a command asks
  -h, --help             show this text; after a command, its options
  --version              show the version

Files written anew (profiles, reports, logs) are readable by their owner only;
a replaced file keeps its mode. A symbolic link of another user in a sticky
folder anyone may write (such as /tmp) is refused, not followed.

Exit codes:
  0  done
  1  failed: "No Dalmarin modem found!", "Unable to open COM-port..." (with the
     reason) or a failed operation
  2  usage error
  3  "A modem was found, but it is unsupported by Kelvane."
  4  apply --check: a modem does not hold the profile yet
  5  apply: a modem was left with differences it was not to write (partial)
Ctrl-C, SIGTERM, SIGHUP and SIGPIPE cancel alike.
)";
}

bool ParseOptions(int argc, char** argv, Options& out, std::string& error) {
  // The options given, as spelled, with their entries in the table.
  std::vector<std::pair<std::string, const OptionInfo*>> given;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (const OptionInfo* option = FindOption(arg)) given.emplace_back(arg, option);
    auto value = [&](std::string& target) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      target = argv[++i];
      return true;
    };
    std::string text;
    // A line setting: one of `allowed` or a range of them. A wrong one is
    // `problem`, followed by the value given when `namesValue`.
    auto choice = [&](std::string& target, bool& given, std::initializer_list<const char*> allowed,
                      const char* problem, bool namesValue = false) {
      if (!value(target)) return false;
      given = true;
      if (ValueOrRange(target, allowed)) return true;
      error = problem + (namesValue ? target : std::string());
      return false;
    };
    // A whole number of low..high; a wrong one is "<option> takes <low> to <high>".
    auto number = [&](int low, int high, int& target, const char* unit = "") {
      if (!value(text)) return false;
      if (ParseInt(text, low, high, target)) return true;
      error = arg + " takes " + std::to_string(low) + " to " + std::to_string(high) + unit;
      return false;
    };
    if (arg == "-h" || arg == "--help") {
      out.help = true;
    } else if (arg == "--version") {
      out.version = true;
    } else if (arg == "--log") {
      if (!value(out.log)) return false;
    } else if (arg == "--port") {
      if (!value(out.port)) return false;
      out.ports.push_back(out.port);
    } else if (arg == "--baud") {
      if (!choice(out.baud, out.baudGiven,
                  {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"},
                  "unsupported baud rate: ", true)) {
        return false;
      }
    } else if (arg == "--parity") {
      if (!choice(out.parity, out.parityGiven, {"None", "Odd", "Even"}, "parity must be None, Odd or Even")) {
        return false;
      }
    } else if (arg == "--data") {
      if (!choice(out.data, out.dataGiven, {"7", "8"}, "data bits must be 7 or 8")) return false;
    } else if (arg == "--stop") {
      if (!choice(out.stop, out.stopGiven, {"1", "2"}, "stop bits must be 1 or 2")) return false;
    } else if (arg == "--response-timeout") {
      int v = 0;
      if (!number(0, 5, v)) return false;
      out.responseTimeout = v;
    } else if (arg == "--delay") {
      int v = 0;
      if (!number(0, 1000, v, " (milliseconds)")) return false;
      out.delayMs = v;
    } else if (arg == "--debug") {
      out.debug = true;
    } else if (arg == "--remote") {
      if (!value(out.remote)) return false;
      if (!IsDialNumber(out.remote)) {
        error = "--remote takes a telephone number (digits and the dial characters \" *#+,-()/PTW\")";
        return false;
      }
    } else if (arg == "--password-file") {
      if (!value(out.passwordFile)) return false;
    } else if (arg == "--yes" || arg == "-y") {
      out.yes = true;
    } else if (arg == "--json") {
      out.json = true;
    } else if (arg == "--words") {
      out.words = true;
    } else if (arg == "--show-secrets") {
      out.showSecrets = true;
    } else if (arg == "--stdin") {
      out.valuesFromStdin = true;
    } else if (arg == "--sections") {
      if (!value(out.sections)) return false;
    } else if (arg == "--inventory") {
      if (!value(out.inventory)) return false;
    } else if (arg == "--failed") {
      if (!value(out.failedPath)) return false;
    } else if (arg == "--check") {
      out.check = true;
    } else if (arg == "--report-dir") {
      if (!value(out.reportDir)) return false;
    } else if (arg == "--set") {
      if (!value(text)) return false;
      out.settings.push_back(text);
    } else if (arg == "--backup-dir") {
      if (!value(out.backupDir)) return false;
    } else if (arg == "--via") {
      if (!value(text)) return false;
      out.via.push_back(text);
    } else if (arg == "--wait") {
      if (!number(0, 86400, out.waitSeconds, " (seconds)")) return false;
    } else if (arg == "--jobs") {
      if (!number(1, 1000, out.jobs)) return false;
    } else if (arg == "-o" || arg == "--output") {
      if (!value(out.output)) return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option: " + arg;
      return false;
    } else if (out.command.empty()) {
      out.command = arg;
    } else {
      out.positional.push_back(arg);
    }
  }
  if (const CommandInfo* command = FindCommand(out.command)) {
    for (const auto& [spelled, option] : given) {
      if (CommandTakes(*command, option->name)) continue;
      error = out.command + " does not take " + spelled + " (\"kelvane-cli " + out.command +
              " --help\" lists the options it takes)";
      return false;
    }
  }
  if (out.command != "scan") {
    for (const std::string* v : {&out.baud, &out.parity, &out.data, &out.stop}) {
      if (v->find(':') != std::string::npos) {
        error = "FROM:TO ranges are for scan only: " + *v;
        return false;
      }
    }
  }
  return true;
}

}  // namespace kelvane::cli
