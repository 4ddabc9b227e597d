#pragma once
// kelvane-cli apply: brings modems to a profile, writing only the sections in
// which they differ. The parts: the targets (from --port and --inventory), one
// target's run on its own adapter, and the command that runs the ports side
// by side and reports.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/options.h"
#include "config/config_block.h"
#include "config/field_table.h"
#include "config/page_words.h"

namespace kelvane::cli {

// One modem to bring to the profile: the local modem on `port`, or with
// `remote` the modem that the local one dials.
struct ApplyTarget {
  std::string port;
  std::string remote;
  std::string passwordFile;  // empty: KELVANE_PASSWORD or the terminal
  std::string password;      // filled before the run starts
  // Line settings of the inventory line ("baud=9600 format=7E1"); empty:
  // those of the command line.
  std::string baud, data, parity, stop;
  // The line's own values, "SECTION.FIELD=VALUE" as written ("@FILE" and
  // "-" not yet read), and after PrepareTargetValues the values themselves
  // (those of --set first) with the profile they make.
  std::vector<std::string> settings;
  std::vector<std::string> values;
  std::shared_ptr<const ConfigBlock> profile;  // null: the plan's profile
  // "/dev/ttyUSB0" or "/dev/ttyUSB0,5551234", as the inventory writes it.
  std::string Label() const { return remote.empty() ? port : port + "," + remote; }
};

// Reads an inventory: one target a line, "port[,number[,password-file]]",
// and after the port, after a blank or a comma, line settings "baud=RATE"
// and "format=7E1" (data bits, parity N/E/O, stop bits), blank-separated
// ("/dev/ttyUSB3 baud=9600 format=7E1"; they may also end any later field);
// "#" starts a comment, blank lines are skipped, a field may stand in double
// quotes (a number with the dial pause ","). A relative password file is
// taken from the inventory's folder. On failure `error` names the file and
// line.
bool ReadInventory(const std::string& path, std::vector<ApplyTarget>& out, std::string& error);

// The same port twice without a number, or the same port and number twice,
// is a usage error: the two runs would fight over one modem.
bool CheckTargets(const std::vector<ApplyTarget>& targets, std::string& error);

// The report file name of a target: its port (and number) with every
// character a file name should not hold replaced, and then a checksum of
// the target so that two targets never share a name, e.g. "ttyUSB0.htm",
// "pts_3-5551234~5d0e21c4.htm".
std::string ReportFileName(const ApplyTarget& target);

// A target as an inventory line ("port[ baud=N format=8N1][,number[,password-file]]",
// fields in double quotes where they hold a comma, "#", "=", a quote or
// blanks; a local target names no password file): the
// failed targets of a run, written for the next run. A field holding a
// double quote cannot be read back; ports and numbers never hold one.
std::string InventoryLine(const ApplyTarget& target);

// An inventory field "SECTION.FIELD=VALUE" (a name with a dot before the
// "="): the target's own value, kept in `t.settings`; a value "@FILE" named
// relative to the inventory is taken from `folder`. False for any other
// field.
bool ReadTargetSetting(const std::string& field, const std::string& folder, ApplyTarget& t);

// Reads the values given as "@FILE" (the first line of a file only its owner
// may read or write; "@@" stands for a value that begins with "@") or "-"
// (the next line of standard input: those of --set first, then the
// inventory's in order), lays --set and then each target's own values over
// `profile` by the rules of kelvane-cli set, and gives each target with
// values its own profile. On a refusal `error` names the target and the
// field, a password never shown; clippings go to `notes`.
bool PrepareTargetValues(std::vector<ApplyTarget>& targets, const std::vector<std::string>& forAll,
                         const ConfigBlock& profile, std::vector<std::string>& notes, std::string& error);
// A target's values as reports show them, each field once (the last value
// given), passwords masked; and as "A=1, B=********".
std::vector<std::pair<std::string, std::string>> ShownValues(const ApplyTarget& t);
std::string ShownValuesText(const ApplyTarget& t);
void WipeTargetValues(ApplyTarget& t);

// Partial: every difference that may be written was, but some were left
// alone (Serial and Remote configuration over a remote link): the modem does
// not hold the profile.
enum class ApplyResult { Unchanged, Changed, WouldChange, Failed, NotStarted, Partial };
const char* ResultWord(ApplyResult result);  // "unchanged", "would-change", "partial", ...

struct ApplyOutcome {
  ApplyResult result = ApplyResult::Failed;
  std::string model;  // empty when no modem was identified
  int type = 0;
  // The fields written (or that would be), profile value left, modem value
  // right as the modem held them before.
  std::vector<FieldDifference> fields;
  // The same fields in the pages' words: `here` the profile's value,
  // `there` the modem's before the write (passwords masked).
  std::vector<WordsDifference> fieldWords;
  // Fields that differ but were left alone (Serial and Remote configuration
  // over a remote link).
  std::vector<FieldDifference> skipped;
  // The line settings the modem was found at, when not the given ones, or
  // that it answers at after the write (or would, with --check).
  std::string lineNote;
  std::string error;
  std::string report;  // the report's path when one was written
  std::string backup;  // the saved settings' path when a backup was made
  std::string via;  // the port of the dial-out pool a far target went through
  bool written = false;  // the modem's settings were changed (also when the run then failed)
  bool reportFailed = false;  // a report was due and could not be written
};

// What a target's run needs besides the target.
struct ApplyPlan {
  const Options* options = nullptr;
  ConfigBlock profile{};
  int sections = 0;  // the sections to compare
  // Sections named in --sections: the only ones written over a remote link
  // among Serial and Remote configuration.
  int namedSections = 0;
  bool check = false;
  std::string reportDir;
  // Where each modem's settings, as read, are saved before it is written.
  std::string backupDir;
  // The dial-out pool for far targets without a port, and how long a target
  // waits for a free port (of the pool, or its own in use by another run).
  std::vector<std::string> via;
  int waitSeconds = 600;
  std::string profilePath;  // named in each report
  std::string logPath;
  // Progress lines ("port: text") go here when set; called from the
  // target's thread.
  std::function<void(const std::string& line)> progress;
  // With --debug: the modem's answers, each line "port: text".
  std::function<void(const std::string& line)> debug;
};

// Runs one target from connect to the end of its link, on its own adapter
// and port, so targets on different ports may run in threads of their own.
// `cancelFd` is the target's Cancel button (readable when pressed).
ApplyOutcome ApplyToTarget(const ApplyTarget& target, const ApplyPlan& plan, int cancelFd);

}  // namespace kelvane::cli
