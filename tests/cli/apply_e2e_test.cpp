// End to end over pseudo-terminals: kelvane-cli apply brings simulated modems
// to a profile, writing only the sections that differ, and says what it did.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "config/profile.h"
#include "sim/modemsim_process.h"
#include "support/run_process.h"

namespace kelvane {
namespace {

using testing::ProcessResult;
using testing::RunProcess;

std::string TempPath(const std::string& name) {
  return "/tmp/kelvane-apply-e2e-" + std::to_string(::getpid()) + "-" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The commands sent to the modem, in order, from a traffic log.
std::vector<std::string> SentCommands(const std::string& log) {
  std::vector<std::string> out;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    const size_t tx = line.find(" TX ");
    if (tx == std::string::npos) continue;
    std::string command = line.substr(tx + 4);
    if (command.size() >= 2 && command.compare(command.size() - 2, 2, "\\r") == 0) command.resize(command.size() - 2);
    if (!command.empty()) out.push_back(command);
  }
  return out;
}

size_t IndexOf(const std::vector<std::string>& list, const std::string& item, size_t from = 0) {
  for (size_t i = from; i < list.size(); ++i) {
    if (list[i] == item) return i;
  }
  return std::string::npos;
}

// What the modem answers to `command` typed straight at it, read until
// "OK" or a second of silence (a quiet modem never says OK).
std::string ModemAnswer(const std::string& path, const std::string& command) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return "cannot open " + path;
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::cfsetspeed(&t, B115200);
  ::tcsetattr(fd, TCSANOW, &t);
  const std::string line = command + "\r";
  EXPECT_EQ(::write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  std::string answer;
  pollfd p{fd, POLLIN, 0};
  while (!Has(answer, "OK\r\n") && ::poll(&p, 1, 1000) > 0) {
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    answer.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return answer;
}

// The active and the stored profile of "AT&V", one after the other.
std::pair<std::string, std::string> Profiles(const std::string& path) {
  const std::string listing = ModemAnswer(path, "AT&V");
  const size_t stored = listing.find("STORED PROFILE 0:");
  if (stored == std::string::npos) return {listing, ""};
  return {listing.substr(0, stored), listing.substr(stored)};
}

// A read answers a question ("?") or lists ("AT&V"); anything else that is
// not the probe or the result-code switch changes the modem.
bool ChangesTheModem(const std::string& command) {
  if (command.back() == '?' || command == "AT" || command == "ATV1" || command == "ATV0") return false;
  if (command == "AT&V" || command == "AT&V1" || command.rfind("ATI", 0) == 0) return false;
  return true;
}

// A modem of model type 3 and a profile read from it.
struct ApplyRig {
  ApplyRig() {
    EXPECT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "3"}));
    const ProcessResult r = RunProcess(KELVANE_CLI, {"read", "--port", sim.SlavePath(), "-o", profile});
    EXPECT_EQ(r.exitCode, 0) << r.err;
  }
  ~ApplyRig() {
    for (const std::string& f : {profile, changed, log}) ::unlink(f.c_str());
  }
  // The profile with `fields` set as kelvane-cli set takes them.
  void Change(const std::vector<std::string>& fields) {
    std::ifstream in(profile, std::ios::binary);
    std::ofstream(changed, std::ios::binary) << in.rdbuf();
    std::vector<std::string> args = {"set", changed};
    args.insert(args.end(), fields.begin(), fields.end());
    const ProcessResult r = RunProcess(KELVANE_CLI, args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  ProcessResult Apply(const std::string& file, std::vector<std::string> extra = {}) {
    ::unlink(log.c_str());
    std::vector<std::string> args = {"apply", file, "--port", sim.SlavePath(), "--log", log};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunProcess(KELVANE_CLI, args, 90000);
  }
  std::vector<std::string> Sent() const { return SentCommands(ReadFile(log)); }

  ModemSimProcess sim;
  std::string profile = TempPath("modem.dat"), changed = TempPath("changed.dat"), log = TempPath("traffic.log");
};

TEST(CliApply, AModemThatHoldsTheProfileIsOnlyRead) {
  ApplyRig rig;
  const ProcessResult r = rig.Apply(rig.profile);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, rig.sim.SlavePath() + ": RM-40 485: unchanged\n1 modem: 1 unchanged\n");
  const auto sent = rig.Sent();
  ASSERT_NE(IndexOf(sent, "AT*WIOL=10?"), std::string::npos) << "the I/O section was not compared";
  for (const std::string& command : sent) EXPECT_FALSE(ChangesTheModem(command)) << command;
}

TEST(CliApply, OneChangedFieldWritesItsSectionStoresAndReadsBack) {
  ApplyRig rig;
  rig.Change({"BasicSettings.S0=7"});
  const ProcessResult r = rig.Apply(rig.changed);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, rig.sim.SlavePath() + ": RM-40 485: changed (1 field: BasicSettings.S0)\n1 modem: 1 changed\n");

  const auto sent = rig.Sent();
  const size_t s0 = IndexOf(sent, "ATS0=7"), store = IndexOf(sent, "AT&W");
  ASSERT_NE(s0, std::string::npos);
  ASSERT_NE(store, std::string::npos);
  EXPECT_LT(s0, store);
  // Only the Basic section went out, then the store, then Basic was read back.
  for (const std::string& command : sent) {
    if (!ChangesTheModem(command)) continue;
    const bool basic = command.rfind("ATS", 0) == 0 || command.rfind("AT+MS=", 0) == 0 ||
                       command.rfind("AT+GCI=", 0) == 0 || command.rfind("AT%", 0) == 0 ||
                       command.rfind("AT\\\\", 0) == 0 || command.rfind("AT*WFD=", 0) == 0;
    EXPECT_TRUE(basic || command == "AT&W") << command;
  }
  EXPECT_NE(IndexOf(sent, "AT+MS?", store), std::string::npos) << "no read-back";
  EXPECT_EQ(IndexOf(sent, "AT*WCB?", store), std::string::npos) << "read back more than was written";

  // Now it holds the profile: the next run writes nothing.
  const ProcessResult again = rig.Apply(rig.changed, {"--json"});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  const auto j = nlohmann::json::parse(again.out);
  ASSERT_EQ(j.size(), 1u);
  EXPECT_EQ(j[0]["result"], "unchanged");
  EXPECT_EQ(IndexOf(rig.Sent(), "AT&W"), std::string::npos);
}

// A change that was never stored is lost at the next reset: the modem does
// not hold the profile until "AT&W" stored it.
TEST(CliApply, AnUnstoredChangeCountsAsADifference) {
  ApplyRig rig;
  rig.Change({"BasicSettings.S0=3"});
  EXPECT_TRUE(Has(ModemAnswer(rig.sim.SlavePath(), "ATS0=3"), "OK"));
  ASSERT_TRUE(Has(Profiles(rig.sim.SlavePath()).first, "S00:003"));
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"verify", "--port", rig.sim.SlavePath(), rig.changed}).exitCode, 1);
  const ProcessResult r = rig.Apply(rig.changed);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, rig.sim.SlavePath() + ": RM-40 485: changed (1 field: BasicSettings.S0)\n1 modem: 1 changed\n");
  EXPECT_NE(IndexOf(rig.Sent(), "AT&W"), std::string::npos);
  EXPECT_TRUE(Has(Profiles(rig.sim.SlavePath()).second, "S00:003"));
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"verify", "--port", rig.sim.SlavePath(), rig.changed}).exitCode, 0);
}

// A modem found with result codes suppressed is left so, active and stored,
// whether the run only looked or wrote.
TEST(CliApply, AQuietModemStaysQuiet) {
  ApplyRig rig;
  rig.Change({"BasicSettings.S0=7"});
  ModemSimProcess quiet;
  ASSERT_TRUE(quiet.Start(KELVANE_MODEMSIM, {"--model", "3", "--quiet"}));
  for (const bool check : {true, false}) {
    std::vector<std::string> args = {"apply", rig.changed, "--port", quiet.SlavePath()};
    if (check) args.push_back("--check");
    const ProcessResult r = RunProcess(KELVANE_CLI, args, 90000);
    EXPECT_EQ(r.exitCode, check ? 4 : 0) << r.err;
    const auto [active, stored] = Profiles(quiet.SlavePath());
    EXPECT_TRUE(Has(active, " Q1 ")) << active;
    EXPECT_TRUE(Has(stored, " Q1 ")) << stored;
    EXPECT_EQ(Has(stored, "S00:007"), !check) << stored;
  }
  // A write the modem refused partway: quiet again, and nothing of the half
  // write stored with it.
  rig.Change({"BasicSettings.S0=9", "DialSettings.BackupNumber=abc"});
  const ProcessResult refused = RunProcess(KELVANE_CLI, {"apply", rig.changed, "--port", quiet.SlavePath()}, 90000);
  EXPECT_EQ(refused.exitCode, 1) << refused.out;
  {
    const auto [active, stored] = Profiles(quiet.SlavePath());
    EXPECT_TRUE(Has(active, " Q1 ") && Has(active, "S00:009")) << active;
    EXPECT_TRUE(Has(stored, " Q1 ") && Has(stored, "S00:007")) << stored;
  }
}

// Through a quiet local modem to a far one: the local modem is quiet again
// once the call has ended.
TEST(CliApply, AQuietLocalModemStaysQuietAfterARemoteTarget) {
  ApplyRig rig;
  rig.Change({"BasicSettings.S0=7"});
  ModemSimProcess local;
  ASSERT_TRUE(local.Start(KELVANE_MODEMSIM,
                          {"--model", "3", "--quiet", "--remote-number", "5551234", "--password", "letmein"}));
  ::setenv("KELVANE_PASSWORD", "letmein", 1);
  const ProcessResult r =
      RunProcess(KELVANE_CLI, {"apply", rig.changed, "--port", local.SlavePath(), "--remote", "5551234", "--check"},
                 90000);
  ::unsetenv("KELVANE_PASSWORD");
  EXPECT_EQ(r.exitCode, 4) << r.err;
  EXPECT_TRUE(Has(r.out, "would change (1 field: BasicSettings.S0)")) << r.out;
  const auto [active, stored] = Profiles(local.SlavePath());
  EXPECT_TRUE(Has(active, " Q1 ")) << active;
  EXPECT_TRUE(Has(stored, " Q1 ")) << stored;
}

// A profile with another port rate: the result says where the modem answers
// now, and the next run finds it there, from an inventory line's settings or
// from the profile's.
TEST(CliApply, ANewPortRateIsSaidAndFoundAgain) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "3", "--rate", "1200"}));
  const std::string profile = TempPath("fast.dat"), inventory = TempPath("fast.txt");
  ASSERT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", sim.SlavePath(), "--baud", "1200", "-o", profile}).exitCode, 0);
  ASSERT_EQ(RunProcess(KELVANE_CLI, {"set", profile, "SerialSettings.DteRate=9600"}).exitCode, 0);
  const std::string label = sim.SlavePath() + ": RM-40 485: ";
  struct Step {
    std::vector<std::string> extra;
    int exitCode;
    std::string out;
  };
  const Step steps[] = {
      {{"--check"}, 4, "would change (1 field: SerialSettings.DteRate); after the write the modem would answer at 9600 "
                       "bit/s 8N1\n"},
      {{}, 0, "changed (1 field: SerialSettings.DteRate); the modem now answers at 9600 bit/s 8N1 (read back at it)\n"},
      {{}, 0, "unchanged; found at the profile's 9600 bit/s 8N1, not at 1200 bit/s 8N1\n"},
  };
  for (const Step& step : steps) {
    std::vector<std::string> args = {"apply", profile, "--port", sim.SlavePath(), "--baud", "1200"};
    args.insert(args.end(), step.extra.begin(), step.extra.end());
    const ProcessResult r = RunProcess(KELVANE_CLI, args, 90000);
    EXPECT_EQ(r.exitCode, step.exitCode) << r.err;
    EXPECT_TRUE(Has(r.out, label + step.out)) << r.out;
  }
  std::ofstream(inventory) << sim.SlavePath() << ", baud=9600 format=8N1\n";
  const ProcessResult r = RunProcess(KELVANE_CLI, {"apply", profile, "--inventory", inventory, "--baud", "1200"});
  EXPECT_EQ(r.out, label + "unchanged\n1 modem: 1 unchanged\n");
  for (const std::string& f : {profile, inventory}) ::unlink(f.c_str());
}

TEST(CliApply, CheckReportsWhatWouldChangeAndWritesNothing) {
  ApplyRig rig;
  rig.Change({"BasicSettings.S0=7", "CallbackSettings.CallbackPasswords[2]=secret9", "IoSettings.Data1[0]=pump"});
  const ProcessResult r = rig.Apply(rig.changed, {"--check", "--json"});
  EXPECT_EQ(r.exitCode, 4) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 1u);
  EXPECT_EQ(j[0]["result"], "would-change");
  EXPECT_EQ(j[0]["model"], "RM-40 485");
  EXPECT_EQ(j[0]["type"], 3);
  EXPECT_EQ(j[0]["fields"], nlohmann::json({"BasicSettings.S0", "CallbackSettings.CallbackPasswords[2]",
                                            "IoSettings.Data1[0]"}));
  EXPECT_EQ(j[0]["changes"][0]["name"], "BasicSettings.S0");
  EXPECT_EQ(j[0]["changes"][0]["page"], "Basic");
  EXPECT_EQ(j[0]["changes"][0]["caption"], "Rings to Auto-Answer [S0]");
  EXPECT_EQ(j[0]["changes"][0]["after"], "7");
  EXPECT_NE(j[0]["changes"][0]["before"], "7");
  // A password is never shown, not even in the listing of changes.
  EXPECT_EQ(j[0]["changes"][1]["after"], "********");
  EXPECT_FALSE(Has(r.out + r.err, "secret9"));
  EXPECT_TRUE(Has(r.err, "1 modem: 1 would change")) << r.err;
  for (const std::string& command : rig.Sent()) EXPECT_FALSE(ChangesTheModem(command)) << command;
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"verify", "--port", rig.sim.SlavePath(), rig.changed}).exitCode, 1);
}

// A value its page takes and the modem refuses: the failure names the fields
// of the refused command, and the failed-targets file gives the line its own
// settings back, so that a rerun tries the modem the same way.
TEST(CliApply, ARefusedWriteNamesItsFieldsAndIsListedToRunAgain) {
  ApplyRig rig;
  rig.Change({"DialSettings.BackupNumber=abc"});
  const std::string inventory = TempPath("refused.txt"), failed = TempPath("refused-failed.txt");
  std::ofstream(inventory) << rig.sim.SlavePath() << ", baud=9600 format=8N1\n";
  const ProcessResult r =
      RunProcess(KELVANE_CLI, {"apply", rig.changed, "--inventory", inventory, "--failed", failed}, 90000);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(Has(r.out, "AT*WDB=\"abc\",0,0 ERROR The modem refused one of DialSettings.BackupNumber (Dial Backup "
                         "[*WDB] Number), DialSettings.BackupRetries (Dial Backup [*WDB] Retries), "
                         "DialSettings.BackupTime (Dial Backup [*WDB] Time).\n"))
      << r.out;
  const std::string list = ReadFile(failed);
  EXPECT_EQ(list.substr(list.find('\n') + 1), rig.sim.SlavePath() + ", baud=9600 format=8N1\n");
  for (const std::string& f : {inventory, failed}) ::unlink(f.c_str());
}

TEST(CliApply, ThreeModemsAtOnceOneAbsent) {
  ApplyRig rig;
  ModemSimProcess second;
  ASSERT_TRUE(second.Start(KELVANE_MODEMSIM, {"--model", "2"}));
  rig.Change({"BasicSettings.S0=3"});
  // Two names that lose different characters in a file name.
  const std::string dir = TempPath("reports");
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  const std::string first = dir + "/modem:1", other = dir + "/modem_1", failed = dir + "/failed.txt";
  ASSERT_EQ(::symlink(rig.sim.SlavePath().c_str(), first.c_str()), 0);
  ASSERT_EQ(::symlink(second.SlavePath().c_str(), other.c_str()), 0);
  const std::string absent = "/dev/nonexistent-kelvane-modem";
  const ProcessResult r = RunProcess(KELVANE_CLI,
                                     {"apply", rig.changed, "--port", first, "--port", absent, "--port", other,
                                      "--report-dir", dir, "--failed", failed},
                                     90000);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(Has(r.out, first + ": RM-40 485: changed (")) << r.out;
  EXPECT_TRUE(Has(r.out, other + ": RM-40: changed (")) << r.out;
  EXPECT_TRUE(Has(r.out, absent + ": failed: Unable to open COM-port...")) << r.out;
  EXPECT_TRUE(Has(r.out, "3 modems: 2 changed, 1 failed (" + absent + ")\n")) << r.out;
  for (const ModemSimProcess* sim : {&rig.sim, &second}) {
    EXPECT_EQ(RunProcess(KELVANE_CLI, {"verify", "--port", sim->SlavePath(), rig.changed}).exitCode, 0);
  }
  // The failed targets as an inventory, the summary and one report each.
  EXPECT_EQ(ReadFile(failed).substr(ReadFile(failed).find('\n') + 1), absent + "\n");
  const auto summary = nlohmann::json::parse(ReadFile(dir + "/apply-summary.json"));
  ASSERT_EQ(summary["targets"].size(), 3u);
  EXPECT_EQ(summary["summary"], "3 modems: 2 changed, 1 failed (" + absent + ")");
  const std::string report0 = summary["targets"][0]["report"], report2 = summary["targets"][2]["report"];
  EXPECT_NE(report0, report2);
  EXPECT_TRUE(Has(ReadFile(report0), "RM-40 485") && Has(ReadFile(report0), "<td>Result</td><td>changed</td>"));
  EXPECT_TRUE(Has(ReadFile(report2), "RM-40") && Has(ReadFile(report2), "BasicSettings.S0"));
  for (const std::string& f : {first, other, failed, dir + "/apply-summary.json", report0, report2}) {
    ::unlink(f.c_str());
  }
  ::rmdir(dir.c_str());
}

// Milliseconds of the day of the first traffic log line holding `part`
// ("2026-12-07 23:28:49.395 port TX ..."), -1 when there is none.
long long LoggedAt(const std::string& log, const std::string& part) {
  const size_t at = log.find(part);
  if (at == std::string::npos) return -1;
  const size_t line = log.rfind('\n', at) == std::string::npos ? 0 : log.rfind('\n', at) + 1;
  int h = 0, m = 0, sec = 0, ms = 0;
  if (std::sscanf(log.c_str() + line + 11, "%d:%d:%d.%d", &h, &m, &sec, &ms) != 4) return -1;
  return ((h * 60LL + m) * 60 + sec) * 1000 + ms;
}

// A local modem at 9600 bit/s that reaches a far modem of type 3 at
// 5551234 (password "letmein"), listed in inventories beside a password
// file, and a profile read from a local modem of the far modem's type. The
// far modem asks for the password late: sent at once, it would be lost.
struct RemoteFleet {
  RemoteFleet(const std::string& name, const std::vector<std::string>& profileFields) : dir(TempPath(name)) {
    EXPECT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "2", "--rate", "9600", "--remote-number", "5551234",
                                             "--password", "letmein", "--remote-model", "3", "--prompt-delay",
                                             "1500"}));
    EXPECT_EQ(::mkdir(dir.c_str(), 0700), 0);
    std::ofstream(pw) << "letmein\n";
    // The password file is found beside the inventory.
    std::ofstream(dir + "/modems.txt") << "# pumping stations\n\n" << sim.SlavePath() << ", 5551234, pw  # north\n";
    // The number and the password file from the command line, for lines that
    // do not give their own.
    std::ofstream(dir + "/numbered.txt") << sim.SlavePath() << ",5551234\n";
    std::ofstream(dir + "/ports.txt") << sim.SlavePath() << "\n";
    // Its remote configuration (off, no password) would lock the far modem.
    EXPECT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", "sim:3", "-o", profile}).exitCode, 0);
    if (profileFields.empty()) return;
    std::vector<std::string> args = {"set", profile};
    args.insert(args.end(), profileFields.begin(), profileFields.end());
    EXPECT_EQ(RunProcess(KELVANE_CLI, args).exitCode, 0);
  }
  ~RemoteFleet() {
    for (const char* f : {"/pw", "/modems.txt", "/numbered.txt", "/ports.txt", "/far.dat", "/traffic.log",
                          "/apply-summary.json"}) {
      ::unlink((dir + f).c_str());
    }
    for (const std::string& f : extraFiles) ::unlink(f.c_str());
    ::rmdir(dir.c_str());
  }

  ModemSimProcess sim;
  std::string dir;
  std::string pw = dir + "/pw", profile = dir + "/far.dat", log = dir + "/traffic.log";
  std::vector<std::string> extraFiles;
};

TEST(CliApply, RemoteTargetFromAnInventoryWritesNoSerialSettingsUnlessNamed) {
  RemoteFleet fleet("fleet", {"BasicSettings.S0=4", "SerialSettings.IgnoreErrors=1"});
  const std::string& dir = fleet.dir;
  const std::string label = fleet.sim.SlavePath() + ",5551234";
  // What was left alone is a difference: a result of its own, exit 5.
  const ProcessResult first = RunProcess(KELVANE_CLI, {"apply", fleet.profile, "--inventory", dir + "/modems.txt",
                                                       "--baud", "9600", "--report-dir", dir, "--log", fleet.log},
                                         90000);
  EXPECT_EQ(first.exitCode, 5) << first.err;
  const std::string skipped = "; not written over the remote link (name serial or remote in --sections to write "
                              "them): ";
  EXPECT_EQ(first.out, label + ": RM-40 485: partial: changed (1 field: BasicSettings.S0)" + skipped +
                           "3 fields: SerialSettings.IgnoreErrors, RemoteSettings.RemoteEnable, "
                           "RemoteSettings.RemotePassword\n1 modem: 1 partial\n");
  const std::string reportPath = nlohmann::json::parse(ReadFile(dir + "/apply-summary.json"))["targets"][0]["report"];
  fleet.extraFiles.push_back(reportPath);
  const std::string report = ReadFile(reportPath);
  EXPECT_TRUE(Has(report, "RM-40 485")) << "no report";
  EXPECT_TRUE(Has(report, "<td>Remote number</td><td>5551234</td>")) << report;
  EXPECT_TRUE(Has(report, "<td>Result</td><td>partial</td>")) << report;
  // The logout goes on as soon as the far modem has answered "AT*WRCE":
  // the guard time before "+++" and little more.
  const std::string traffic = ReadFile(fleet.log);
  const long long logout = LoggedAt(traffic, " TX AT*WRCE"), escape = LoggedAt(traffic, " TX +++");
  ASSERT_GE(logout, 0) << traffic;
  EXPECT_LT(escape - logout, 2500) << "the logout waited for nothing";
  const long long plus = LoggedAt(traffic, " TX ++++"), prompt = LoggedAt(traffic, " RX C_PASSWORD:");
  EXPECT_GE(prompt - plus, 1500) << traffic;
  EXPECT_GE(LoggedAt(traffic, " TX ********"), prompt) << traffic;

  const ProcessResult named = RunProcess(KELVANE_CLI, {"apply", fleet.profile, "--inventory", dir + "/numbered.txt",
                                                       "--password-file", fleet.pw, "--baud", "9600", "--sections",
                                                       "basic,serial"},
                                         90000);
  EXPECT_EQ(named.exitCode, 0) << named.err;
  // The remote configuration is not among the sections compared now.
  EXPECT_EQ(named.out, label + ": RM-40 485: changed (1 field: SerialSettings.IgnoreErrors)\n1 modem: 1 changed\n");
}

// --check over the remote link: the differences a write would leave alone
// (here the far modem's remote configuration, the profile's only ones) are
// differences.
TEST(CliApply, RemoteCheckCountsWhatIsNotWrittenOverTheLinkAsADifference) {
  RemoteFleet fleet("fleet-check", {});
  const std::string label = fleet.sim.SlavePath() + ",5551234";
  const ProcessResult check =
      RunProcess(KELVANE_CLI, {"apply", fleet.profile, "--inventory", fleet.dir + "/ports.txt", "--remote", "5551234",
                               "--password-file", fleet.pw, "--baud", "9600", "--check"},
                 90000);
  EXPECT_EQ(check.exitCode, 4) << check.err;
  EXPECT_TRUE(Has(check.out, label + ": RM-40 485: would change (only fields not written over the remote link)"))
      << check.out;
}

// The wrong line settings: which were tried, and what to do.
TEST(CliApply, ATargetAtTheWrongLineSettingsIsToldWhatWasTried) {
  RemoteFleet fleet("fleet-wrong", {"BasicSettings.S0=4"});
  const std::string& path = fleet.sim.SlavePath();
  // Nothing can answer at this speed: the shortest response time-out gives
  // the same failure in half the time.
  const ProcessResult wrong = RunProcess(
      KELVANE_CLI, {"apply", fleet.profile, "--port", path, "--baud", "1200", "--response-timeout", "0"});
  EXPECT_TRUE(Has(wrong.out, "No Dalmarin modem found! (tried 1200 bit/s, 8 data bits, parity None, 1 stop bits; "
                             "\"kelvane-cli scan --port " + path + "\" searches every setting)"))
      << wrong.out;
}

TEST(CliApply, ACancelledRemoteTargetIsHungUp) {
  RemoteFleet fleet("fleet-cancel", {"BasicSettings.S0=4"});
  const std::string& path = fleet.sim.SlavePath();
  // SIGTERM cancels as Ctrl-C does: the call is ended before the program.
  const ProcessResult terminated = testing::RunProcessInterrupted(
      KELVANE_CLI, {"apply", fleet.profile, "--inventory", fleet.dir + "/modems.txt", "--baud", "9600"}, 3000, 60000,
      "", SIGTERM);
  EXPECT_EQ(terminated.exitCode, 1) << terminated.err;
  EXPECT_TRUE(Has(terminated.err, "Cancelled by SIGTERM.")) << terminated.err;
  // The local modem is back in command mode, the call ended.
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"identify", "--port", path, "--baud", "9600"}).out.rfind("Model: RM-40\n", 0),
            0u);
}

// Without --jobs at most 32 ports run at once, with it at most N: ports
// where no modem answers each take a few seconds, and the traffic log's
// "started" and "ended" lines of each port show how many ran at a time.
TEST(CliApply, AtMost32PortsRunAtOnce) {
  const std::string profile = TempPath("capped.dat"), inventory = TempPath("capped.txt"), log = TempPath("capped.log");
  CAdapter blank;
  std::string error;
  ASSERT_TRUE(SaveProfileFile(profile, blank.Config, error)) << error;
  struct Case {
    size_t ports;
    std::vector<std::string> jobs;
    int most;
  };
  for (const Case& c : {Case{40, {}, 32}, Case{5, {"--jobs", "2"}, 2}}) {
    std::vector<int> masters;
    std::ofstream list(inventory);
    for (size_t i = 0; i < c.ports; ++i) {
      const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
      ASSERT_GE(master, 0);
      ASSERT_EQ(::grantpt(master), 0);
      ASSERT_EQ(::unlockpt(master), 0);
      masters.push_back(master);
      list << ::ptsname(master) << "\n";
    }
    list.close();
    ::unlink(log.c_str());
    std::vector<std::string> args = {"apply", profile, "--inventory", inventory, "--log", log};
    args.insert(args.end(), c.jobs.begin(), c.jobs.end());
    const ProcessResult r = RunProcess(KELVANE_CLI, args, 90000);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(Has(r.out, std::to_string(c.ports) + " modems: " + std::to_string(c.ports) + " failed")) << r.out;
    // (time, +1 for a start or -1 for an end); an end sorts before a start
    // of the same millisecond.
    std::vector<std::pair<long long, int>> events;
    std::istringstream lines(ReadFile(log));
    for (std::string line; std::getline(lines, line);) {
      const bool start = Has(line, " -- traffic log started"), end = Has(line, " -- traffic log ended");
      if (start || end) events.emplace_back(LoggedAt(line, " -- "), start ? 1 : -1);
    }
    ASSERT_EQ(events.size(), 2 * c.ports) << ReadFile(log);
    std::sort(events.begin(), events.end());
    int running = 0, most = 0;
    for (const auto& [at, step] : events) most = std::max(most, running += step);
    EXPECT_EQ(most, c.most);
    for (int master : masters) ::close(master);
  }
  for (const std::string& f : {profile, inventory, log}) ::unlink(f.c_str());
}

TEST(CliApply, CtrlCStopsEveryTargetAndSummarises) {
  ModemSimProcess first, second;
  for (ModemSimProcess* sim : {&first, &second}) {
    ASSERT_TRUE(sim->Start(KELVANE_MODEMSIM, {"--model", "3", "--rate", "1200", "--pace"}));
  }
  const std::string profile = TempPath("interrupted.dat");
  CAdapter blank;
  std::string error;
  ASSERT_TRUE(SaveProfileFile(profile, blank.Config, error)) << error;
  const ProcessResult r = testing::RunProcessInterrupted(
      KELVANE_CLI, {"apply", profile, "--port", first.SlavePath(), "--port", second.SlavePath(), "--baud", "1200"},
      2500, 60000);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  // Both were stopped where they were (reading, or still connecting on a
  // loaded machine).
  for (const ModemSimProcess* sim : {&first, &second}) {
    const size_t at = r.out.find(sim->SlavePath() + ": ");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_TRUE(r.out.substr(at, r.out.find('\n', at) - at).ends_with(": failed: Cancelled by Ctrl-C.")) << r.out;
  }
  EXPECT_TRUE(Has(r.out, "2 modems: 2 failed (")) << r.out;
  EXPECT_TRUE(Has(r.err, "Cancelled by Ctrl-C.")) << r.err;
  for (const ModemSimProcess* sim : {&first, &second}) {
    EXPECT_EQ(RunProcess(KELVANE_CLI, {"identify", "--port", sim->SlavePath(), "--baud", "1200"}).exitCode, 0);
  }
  ::unlink(profile.c_str());
}

TEST(CliApply, InventoriesAndUsageErrors) {
  const std::string profile = TempPath("usage.dat"), inventory = TempPath("bad-inventory.txt");
  const std::string shortProfile = TempPath("short.dat"), wide = TempPath("wide.dat");
  CAdapter blank;
  std::string error;
  ASSERT_TRUE(SaveProfileFile(profile, blank.Config, error)) << error;
  std::ofstream(shortProfile, std::ios::binary) << ReadFile(profile).substr(0, 139);
  ConfigBlock outside = blank.Config;
  outside.basic.S7 = 200;
  outside.callback.CallbackTime = 500;
  std::snprintf(outside.basic.Modulation, sizeof outside.basic.Modulation, "V34;*WRCA=1;S0=1");
  ASSERT_TRUE(SaveProfileFile(wide, outside, error)) << error;
  std::ofstream(inventory) << "sim:1\nsim:2,12ab\n";
  const std::string comments = TempPath("comments.txt");
  std::ofstream(comments) << "# nothing here yet\n\n";
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  };
  const Case cases[] = {
      {{"apply", profile, "--port", "sim:1", "--port", "sim:1"}, 2, "the port sim:1 is given twice without a number"},
      {{"apply", profile}, 2, "--port or --inventory is required"},
      {{"apply", "--port", "sim:1"}, 2, "usage: kelvane-cli apply FILE.dat"},
      {{"apply", profile, "--port", "sim:1", "--sections", "basic,diagnostic"}, 2, "the diagnostic section is read only"},
      {{"apply", profile, "--port", "sim:1", "--jobs", "0"}, 2, "--jobs takes 1 to 1000"},
      {{"apply", profile, "--port", "sim:1", "--password-file", "pw"}, 2, "--password-file is for remote targets"},
      {{"apply", profile, "--inventory", comments}, 2, "the inventory " + comments + " lists no targets"},
      {{"apply", profile, "--port", "/dev/null", "--port", "/dev//null"}, 2,
       "the port /dev//null is given twice without a number (as /dev/null, the same device)"},
      // One device server port under its host's name and under its address.
      {{"apply", profile, "--port", "tcp://LOCALHOST:2001", "--port", "tcp://127.0.0.1:2001"}, 2,
       "the port tcp://127.0.0.1:2001 is given twice without a number (as tcp://LOCALHOST:2001, the same device)"},
      {{"apply", profile, "--inventory", inventory}, 2, inventory + " line 2: \"12ab\" is not a telephone number"},
      {{"apply", profile, "--inventory", "/nonexistent/inventory"}, 2, "cannot read the inventory /nonexistent/inventory"},
      {{"apply", "/nonexistent/p.dat", "--port", "sim:1"}, 1, "Unable to open file..."},
      {{"apply", profile, "--port", "sim:1", "--report-dir", "/nonexistent/reports"}, 1,
       "the report folder /nonexistent/reports does not exist"},
      // Refused before any modem is asked: sim:1 would answer if it were.
      {{"apply", shortProfile, "--port", "sim:1"}, 1, "a short profile is refused; no modem was touched"},
      {{"apply", wide, "--port", "sim:1"}, 1, "BasicSettings.S7: 200 is outside what its page allows"},
      {{"apply", wide, "--port", "sim:1"}, 1, "CallbackSettings.CallbackTime: 500"},
      {{"apply", wide, "--port", "sim:1"}, 1, "BasicSettings.Modulation: a semicolon (;) is not taken"},
      {{"write", "--port", "sim:1", wide, "--yes"}, 1, "values its pages do not allow; no modem was touched"},
  };
  for (const Case& c : cases) {
    const ProcessResult r = RunProcess(KELVANE_CLI, c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back() << "\n" << r.err;
    EXPECT_TRUE(Has(r.err, c.err)) << r.err;
    EXPECT_EQ(r.out, "");
  }

  // A number with the dial pause stands in double quotes; the password comes
  // from the environment when the line names no file.
  // An editor's byte-order mark is no part of the first port.
  std::ofstream(inventory) << "\xEF\xBB\xBF/dev/nonexistent-kelvane-a , \"0,5551234\" # pause after the 0\n"
                           << "\"/dev/nonexistent-kelvane-b\"\n";
  ::setenv("KELVANE_PASSWORD", "letmein", 1);
  const ProcessResult r = RunProcess(KELVANE_CLI, {"apply", profile, "--inventory", inventory, "--json"});
  ::unsetenv("KELVANE_PASSWORD");
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 2u);
  EXPECT_EQ(j[0]["port"], "/dev/nonexistent-kelvane-a");
  EXPECT_EQ(j[0]["remote"], "0,5551234");
  EXPECT_EQ(j[1]["port"], "/dev/nonexistent-kelvane-b");
  EXPECT_TRUE(j[1]["remote"].is_null());
  EXPECT_TRUE(Has(j[1]["error"].get<std::string>(), "Unable to open COM-port...")) << r.out;
  for (const std::string& f : {profile, inventory, shortProfile, wide, comments}) ::unlink(f.c_str());
}

}  // namespace
}  // namespace kelvane
