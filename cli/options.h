#pragma once
// Command-line options shared by the commands of kelvane-cli.

#include <optional>
#include <string>
#include <vector>

namespace kelvane::cli {

struct Options {
  std::string command;
  std::vector<std::string> positional;
  std::string port;
  std::string baud = "115200";
  std::string parity = "None";
  std::string data = "8";
  std::string stop = "1";
  // Which of the four line options were given (scan searches only those).
  bool baudGiven = false, parityGiven = false, dataGiven = false, stopGiven = false;
  std::optional<int> responseTimeout;
  std::optional<int> delayMs;
  bool debug = false;
  bool yes = false;
  bool json = false;
  bool words = false;  // show, diff, verify: the pages' captions and values
  bool showSecrets = false;  // show, diff, verify: passwords in clear
  bool valuesFromStdin = false;  // set: assignments without "=" read their value from stdin
  std::string sections = "all";
  std::string output;
  std::string log;  // traffic log file, empty for none
  bool help = false;
  // A remote connection: the number the local modem dials, and where the
  // password comes from (never from the command line itself).
  std::string remote;
  std::string passwordFile;
  bool version = false;
  // apply: every --port given (in order), the inventory of targets, write
  // nothing, where the reports go, how many ports run at once (0: all).
  std::vector<std::string> ports;
  std::string inventory;
  std::string failedPath;  // --failed: the failed targets, as an inventory
  bool check = false;
  std::string reportDir;
  int jobs = 0;
  // apply: values of every target's own ("SECTION.FIELD=VALUE", in order),
  // where each modem's settings are saved before a write, the dial-out pool
  // for far targets and how long a target waits for a free port of it.
  std::vector<std::string> settings;
  std::string backupDir;
  std::vector<std::string> via;
  int waitSeconds = 600;
};

// Exit codes.
enum Exit : int {
  EXIT_OK = 0,
  EXIT_FAILED = 1,
  EXIT_USAGE = 2,
  EXIT_UNSUPPORTED = 3,
  EXIT_WOULD_CHANGE = 4,  // apply --check: a modem does not hold the profile yet
  EXIT_PARTIAL = 5,       // apply: a modem was left with differences it was not to write
};

// Parses argv; on a usage error returns false with `error` set.
bool ParseOptions(int argc, char** argv, Options& out, std::string& error);
const char* UsageText();

}  // namespace kelvane::cli
