// End to end over pseudo-terminals: kelvane-cli apply brings simulated modems
// to a profile, writing only the sections that differ, and says what it did.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <sys/file.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <filesystem>
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

// The run summaries in a report folder, oldest first.
std::vector<std::string> SummaryFiles(const std::string& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("apply-summary-", 0) == 0 && name.ends_with(".json")) out.push_back(entry.path().string());
  }
  std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  return out;
}

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

// Values of a target's own win over the profile, are named (a password
// masked) and hold on the next run; the settings as read are saved first.
TEST(CliApply, OwnValuesOverTheProfile) {
  ApplyRig rig;
  const std::string secret = TempPath("secret"), inventory = TempPath("own.txt"), backups = TempPath("backups");
  std::ofstream(secret) << "Hidden42x\n";
  ::chmod(secret.c_str(), 0600);
  ::mkdir(backups.c_str(), 0700);
  std::ofstream(inventory) << rig.sim.SlavePath() << ", \"IoSettings.Data1[0]=Pump 7, low\" ,"
                           << "RemoteSettings.RemotePassword=@" << secret << " # station 7\n";
  struct Case {
    std::vector<std::string> extra;
    std::string result;
    std::vector<std::string> fields;
    bool backup;
  };
  const Case cases[] = {
      {{"--set", "BasicSettings.S0=4", "--backup-dir", backups}, "changed",
       {"BasicSettings.S0", "RemoteSettings.RemotePassword", "IoSettings.Data1[0]"}, true},
      {{"--set", "BasicSettings.S0=4", "--backup-dir", backups}, "unchanged", {}, false},
      // The line's own value wins over --set, a later --set over an earlier.
      {{"--set", "IoSettings.Data1[0]=Pump 8", "--set", "BasicSettings.S0=3", "--set", "BasicSettings.S0=4"},
       "unchanged", {}, false},
      {{"--set", "BasicSettings.S0=5", "--check"}, "would-change", {"BasicSettings.S0"}, false},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"apply", rig.profile, "--inventory", inventory, "--json", "--log", rig.log};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ::unlink(rig.log.c_str());
    const ProcessResult r = RunProcess(KELVANE_CLI, args, 90000);
    SCOPED_TRACE(c.extra.back());
    const auto j = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(j.is_array() && j.size() == 1) << r.out << r.err;
    EXPECT_EQ(j[0]["result"], c.result) << r.err;
    EXPECT_EQ(j[0]["fields"], nlohmann::json(c.fields));
    EXPECT_EQ(j[0]["settings"]["RemoteSettings.RemotePassword"], "********");
    EXPECT_EQ(j[0]["settings"]["IoSettings.Data1[0]"], "Pump 7, low");
    EXPECT_EQ(j[0]["backup"].is_string(), c.backup) << r.out;
    for (const std::string& text : {r.out, r.err, ReadFile(rig.log)}) EXPECT_FALSE(Has(text, "Hidden42x"));
    if (!c.backup) continue;
    const std::string saved = j[0]["backup"];
    struct stat st {};
    ASSERT_EQ(::stat(saved.c_str(), &st), 0) << saved;
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // The settings as read, before the write: the profile's S0, not 4.
    ConfigBlock before;
    FileProblem problem;
    ASSERT_TRUE(LoadProfileFile(saved, before, problem));
    ConfigBlock base;
    ASSERT_TRUE(LoadProfileFile(rig.profile, base, problem));
    EXPECT_EQ(before.basic.S0, base.basic.S0);
    EXPECT_TRUE(Has(saved, "_20")) << saved;
    ::unlink(saved.c_str());
  }
  EXPECT_EQ(RunProcess(KELVANE_CLI, {"verify", "--port", rig.sim.SlavePath(), rig.profile}).exitCode, 1);
  for (const std::string& f : {secret, inventory}) ::unlink(f.c_str());
  ::rmdir(backups.c_str());
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
    EXPECT_EQ(r.exitCode, check ? 4 : 0) << r.out << r.err;
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
  EXPECT_EQ(list.substr(list.find('\n') + 1), rig.sim.SlavePath() + " baud=9600 format=8N1\n");
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
  // The report folder and its parent are made, for the owner only.
  const std::string reports = dir + "/new/reports";
  ASSERT_EQ(::symlink(rig.sim.SlavePath().c_str(), first.c_str()), 0);
  ASSERT_EQ(::symlink(second.SlavePath().c_str(), other.c_str()), 0);
  const std::string absent = "/dev/nonexistent-kelvane-modem";
  const ProcessResult r = RunProcess(KELVANE_CLI,
                                     {"apply", rig.changed, "--port", first, "--port", absent, "--port", other,
                                      "--report-dir", reports, "--failed", failed},
                                     90000);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(Has(r.out, first + ": RM-40 485: changed (")) << r.out;
  EXPECT_TRUE(Has(r.out, other + ": RM-40: changed (")) << r.out;
  EXPECT_TRUE(Has(r.out, absent + ": failed: Unable to open COM-port...")) << r.out;
  EXPECT_TRUE(Has(r.out, "3 modems: 2 changed, 1 failed (" + absent + ")\n")) << r.out;
  for (const ModemSimProcess* sim : {&rig.sim, &second}) {
    EXPECT_EQ(RunProcess(KELVANE_CLI, {"verify", "--port", sim->SlavePath(), rig.changed}).exitCode, 0);
  }
  for (const std::string& folder : {dir + "/new", reports}) {
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0) << folder;
    EXPECT_EQ(st.st_mode & 07777, 0700u) << folder;
  }
  // The failed targets as an inventory, the summary and one report each,
  // the failed target's saying what failed.
  EXPECT_EQ(ReadFile(failed).substr(ReadFile(failed).find('\n') + 1), absent + "\n");
  ASSERT_EQ(SummaryFiles(reports).size(), 1u);
  const std::string firstSummary = SummaryFiles(reports)[0];
  const auto summary = nlohmann::json::parse(ReadFile(firstSummary));
  ASSERT_EQ(summary["targets"].size(), 3u);
  EXPECT_EQ(summary["summary"], "3 modems: 2 changed, 1 failed (" + absent + ")");
  const std::string report0 = summary["targets"][0]["report"], report2 = summary["targets"][2]["report"];
  const std::string report1 = summary["targets"][1]["report"];
  EXPECT_NE(report0, report2);
  EXPECT_TRUE(Has(ReadFile(report0), "RM-40 485") && Has(ReadFile(report0), "<td>Result</td><td>changed</td>"));
  EXPECT_TRUE(Has(ReadFile(report2), "RM-40") && Has(ReadFile(report2), "BasicSettings.S0"));
  EXPECT_TRUE(Has(ReadFile(report1), "<td>Result</td><td>failed</td>")) << report1;
  EXPECT_TRUE(Has(ReadFile(report1), "<td>What failed</td><td>Unable to open COM-port... " + absent)) << report1;
  // The rerun of the failed targets keeps the first run's summary.
  const std::string before = ReadFile(firstSummary);
  const ProcessResult rerun =
      RunProcess(KELVANE_CLI, {"apply", rig.changed, "--inventory", failed, "--report-dir", reports}, 90000);
  EXPECT_EQ(rerun.out, absent + ": failed: " + summary["targets"][1]["error"].get<std::string>() + "\n1 modem: 1 failed (" +
                           absent + ")\n");
  const auto summaries = SummaryFiles(reports);
  ASSERT_EQ(summaries.size(), 2u);
  EXPECT_EQ(summaries[0], firstSummary);
  EXPECT_EQ(ReadFile(firstSummary), before);
  EXPECT_EQ(nlohmann::json::parse(ReadFile(summaries[1]))["summary"], "1 modem: 1 failed (" + absent + ")");
  for (const std::string& f : {first, other, failed, summaries[0], summaries[1], report0, report1, report2}) {
    ::unlink(f.c_str());
  }
  ::rmdir(reports.c_str());
  ::rmdir((dir + "/new").c_str());
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
    for (const char* f : {"/pw", "/modems.txt", "/numbered.txt", "/ports.txt", "/far.dat", "/traffic.log"}) {
      ::unlink((dir + f).c_str());
    }
    for (const std::string& f : SummaryFiles(dir)) ::unlink(f.c_str());
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
  ASSERT_EQ(SummaryFiles(dir).size(), 1u);
  const std::string reportPath = nlohmann::json::parse(ReadFile(SummaryFiles(dir)[0]))["targets"][0]["report"];
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

// Far targets without a port share a dial-out pool: one session a port, a
// port another process holds is waited for (up to --wait), and a killed
// holder leaves nothing behind.
TEST(CliApply, FarTargetsShareTheDialOutPool) {
  ModemSimProcess network;
  ASSERT_TRUE(network.Start(KELVANE_MODEMSIM, {"--model", "3", "--locals", "2", "--far", "5552001:3:FarPass21",
                                               "--far", "5552002:3:FarPass21"}));
  const std::string a = network.SlavePaths()[0], b = network.SlavePaths()[1];
  const std::string profile = TempPath("pool.dat"), password = TempPath("pool.pw"), locks = TempPath("locks");
  ASSERT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", "sim:3", "-o", profile}).exitCode, 0);
  std::ofstream(password) << "FarPass21\n";
  ::chmod(password.c_str(), 0600);
  ::mkdir(locks.c_str(), 0700);
  ::setenv("KELVANE_LOCK_DIR", locks.c_str(), 1);
  // Another process holding the lock of port `a` for `holdMs` (0: until
  // killed), as a second kelvane-cli would.
  auto holder = [&](int holdMs) {
    const std::string lock = locks + "/kelvane-port-" + a.substr(5).replace(a.substr(5).find('/'), 1, "_") + ".lock";
    int ready[2];
    EXPECT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int fd = ::open(lock.c_str(), O_RDONLY | O_CREAT, 0644);
      if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
      (void)!::write(ready[1], "x", 1);
      ::poll(nullptr, 0, holdMs > 0 ? holdMs : 600000);
      ::_exit(0);
    }
    char c = 0;
    EXPECT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return pid;
  };
  enum Holder { None, Held, HeldBriefly, Killed };
  struct Case {
    std::vector<std::string> via;
    std::vector<std::string> numbers;
    Holder holder;
    std::string wait;
    std::vector<std::string> ports;  // the port each target went through, "" failed
    double atLeast, atMost;          // seconds of the run
  };
  const Case cases[] = {
      {{a, b}, {"5552001", "5552002"}, None, "600", {"a|b", "a|b"}, 0, 25},
      {{a}, {"5552001", "5552002"}, None, "600", {"a", "a"}, 0, 40},
      {{a, b}, {"5552001"}, Held, "600", {"b"}, 0, 20},
      {{a}, {"5552001"}, Held, "1", {""}, 1, 15},
      {{a}, {"5552001"}, HeldBriefly, "30", {"a"}, 3, 25},
      {{a}, {"5552001"}, Killed, "1", {"a"}, 0, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(&c - cases));
    const std::string inventory = TempPath("pool.txt");
    std::ofstream list(inventory);
    for (const std::string& number : c.numbers) list << "," << number << "," << password << "\n";
    list.close();
    std::vector<std::string> args = {"apply", profile, "--inventory", inventory, "--json", "--check",
                                     "--sections", "basic", "--wait", c.wait};
    for (const std::string& port : c.via) args.insert(args.end(), {"--via", port});
    pid_t pid = c.holder == None ? -1 : holder(c.holder == HeldBriefly ? 3000 : 0);
    if (c.holder == Killed) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      pid = -1;
    }
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult r = RunProcess(KELVANE_CLI, args, 90000);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    const auto j = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(j.is_array() && j.size() == c.numbers.size()) << r.out << r.err;
    for (size_t i = 0; i < c.ports.size(); ++i) {
      if (c.ports[i].empty()) {
        EXPECT_EQ(j[i]["result"], "failed");
        EXPECT_EQ(j[i]["error"], "no port of the dial-out pool was free within 1 s");
        continue;
      }
      EXPECT_NE(j[i]["result"], "failed") << j[i];
      const std::string port = j[i]["port"];
      EXPECT_TRUE((port == a && Has(c.ports[i], "a")) || (port == b && Has(c.ports[i], "b"))) << port;
    }
    // Two targets through two ports ran side by side.
    if (c.via.size() == 2 && c.numbers.size() == 2) {
      EXPECT_NE(j[0]["port"], j[1]["port"]);
    }
    EXPECT_GE(took, c.atLeast);
    EXPECT_LE(took, c.atMost);
    ::unlink(inventory.c_str());
  }
  ::unsetenv("KELVANE_LOCK_DIR");
  std::filesystem::remove_all(locks);
  for (const std::string& f : {profile, password}) ::unlink(f.c_str());
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
  const std::string ioQuote = TempPath("io-quote.dat");
  ConfigBlock quoted = blank.Config;
  std::snprintf(quoted.io.Data2[3], sizeof quoted.io.Data2[3], "Door \"A\"");
  ASSERT_TRUE(SaveProfileFile(ioQuote, quoted, error)) << error;
  std::ofstream(inventory) << "sim:1\nsim:2,12ab\n";
  const std::string badSetting = TempPath("bad-setting.txt");
  std::ofstream(badSetting) << "/dev/ttyUSB3 baud=9601 format=7E1\n";
  const std::string comments = TempPath("comments.txt");
  std::ofstream(comments) << "# nothing here yet\n\n";
  const std::string open = TempPath("open-value"), ownInventory = TempPath("own-inventory.txt");
  std::ofstream(open) << "Secret99\n";
  ::chmod(open.c_str(), 0644);
  std::ofstream(ownInventory) << "sim:1,BasicSettings.S0=300\nsim:2,BasicSettings.S0=2 3\n";
  const std::string farInventory = TempPath("far-inventory.txt");
  std::ofstream(farInventory) << ",5551234\n";
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
      {{"apply", profile, "--inventory", badSetting}, 2, badSetting + " line 1: \"baud=9601\" is no line setting"},
      {{"apply", "/nonexistent/p.dat", "--port", "sim:1"}, 1, "Unable to open file..."},
      {{"apply", profile, "--port", "sim:1", "--report-dir", profile + "/reports"}, 1,
       "the report folder " + profile + "/reports cannot be made: " + profile + "/reports: Not a directory"},
      // Refused before any modem is asked: sim:1 would answer if it were.
      {{"apply", shortProfile, "--port", "sim:1"}, 1, "a short profile is refused; no modem was touched"},
      // Numbers beyond what a page lets a person type are only noted; the
      // text that cannot be sent as it stands refuses the profile.
      {{"apply", wide, "--port", "sim:1"}, 1, "note: BasicSettings.S7: 200 is outside what its page allows"},
      {{"apply", wide, "--port", "sim:1"}, 1, "note: CallbackSettings.CallbackTime: 500"},
      {{"apply", wide, "--port", "sim:1"}, 1, "BasicSettings.Modulation: a semicolon (;) is not taken"},
      {{"write", "--port", "sim:1", wide, "--yes"}, 1, "a text that cannot be sent as it stands; no modem was touched"},
      {{"write", "--port", "sim:1", shortProfile, "--yes"}, 1, "a short profile is refused; no modem was touched"},
      // Only the sections written are checked: the port is tried (and does
      // not exist) when the unsendable text lies in another section.
      {{"write", "--port", "/nonexistent/tty", ioQuote}, 1, "IoSettings.Data2[3]: a double quote"},
      {{"write", "--port", "/nonexistent/tty", ioQuote, "--sections", "dial"}, 1, "Unable to open COM-port..."},
      {{"write", "--port", "/nonexistent/tty", wide, "--sections", "callback"}, 1,
       "note: CallbackSettings.CallbackTime: 500"},
      {{"write", "--port", "/nonexistent/tty", wide, "--sections", "callback"}, 1, "Unable to open COM-port..."},
      // Each target's own values by the rules of set, a password never shown.
      {{"apply", profile, "--port", "sim:1", "--set", "BasicSettings.S0=abc"}, 1,
       "sim:1: BasicSettings.S0: \"abc\" is not a number"},
      {{"apply", profile, "--port", "sim:1", "--set", "RemoteSettings.RemotePassword=ab1"}, 1,
       "sim:1: RemoteSettings.RemotePassword: a password of 1 to 5 characters is not taken"},
      {{"apply", profile, "--port", "sim:1", "--set", "Nothing.S0=1"}, 1, "Nothing.S0: unknown section"},
      {{"apply", profile, "--port", "sim:1", "--set", "BasicSettings.S0"}, 1, "BasicSettings.S0: not SECTION.FIELD=VALUE"},
      {{"apply", profile, "--port", "sim:1", "--set", "BasicSettings.S0=@/nonexistent/v"}, 1,
       "--set BasicSettings.S0: cannot read /nonexistent/v"},
      {{"apply", profile, "--port", "sim:1", "--set", "RemoteSettings.RemotePassword=@" + open}, 1,
       open + " may be read or written by other users (chmod 600 " + open + ")"},
      {{"apply", profile, "--inventory", ownInventory}, 1, "sim:2: BasicSettings.S0: \"2 3\" is not a number"},
      // The dial-out pool is for far targets without a port.
      {{"apply", profile, "--inventory", farInventory}, 2, "the far target 5551234 has no port: give --via PORT"},
      {{"apply", profile, "--port", "sim:1", "--via", "sim:2"}, 2, "--via is for far targets without a port"},
      {{"apply", profile, "--inventory", farInventory, "--via", "sim:2", "--wait", "-1"}, 2, "--wait takes 0 to 86400"},
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

  // Each way of writing a line, local and far targets mixed, with a
  // password file for the far ones: the failed-targets list names the same
  // targets, and reads back as itself.
  const std::string pw = TempPath("usage-pw"), failed = TempPath("failed.txt"), again = TempPath("failed-again.txt");
  std::ofstream(pw) << "letmein\n";
  ::chmod(pw.c_str(), 0600);
  struct Line {
    std::string written, listed;
  };
  const std::string missing = "/dev/nonexistent-kelvane-";
  const Line lines[] = {
      {missing + "a baud=9600 format=7E1", missing + "a baud=9600 format=7E1"},
      {missing + "b, baud=1200", missing + "b baud=1200"},
      {missing + "c\tformat=8O2 baud=2400", missing + "c baud=2400 format=8O2"},
      {missing + "d", missing + "d"},
      {missing + "e,5551234 baud=4800", missing + "e baud=4800,5551234," + pw},
      {missing + "f baud=300,\"0,5551234\"", missing + "f baud=300,\"0,5551234\"," + pw},
      {"\"" + missing + "g h\" baud=19200", "\"" + missing + "g h\" baud=19200"},
  };
  {
    std::ofstream list(inventory);
    for (const Line& line : lines) list << line.written << "\n";
  }
  const ProcessResult first =
      RunProcess(KELVANE_CLI, {"apply", profile, "--inventory", inventory, "--password-file", pw, "--failed", failed});
  EXPECT_TRUE(Has(first.out, "7 modems: 7 failed")) << first.out << first.err;
  const std::string listed = ReadFile(failed);
  for (const Line& line : lines) EXPECT_TRUE(Has(listed, "\n" + line.listed + "\n")) << line.written << "\n" << listed;
  const ProcessResult rerun =
      RunProcess(KELVANE_CLI, {"apply", profile, "--inventory", failed, "--password-file", pw, "--failed", again});
  EXPECT_EQ(rerun.exitCode, 1) << rerun.err;
  // The same targets, finished in any order.
  auto sorted = [](const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    std::sort(out.begin(), out.end());
    return out;
  };
  EXPECT_EQ(sorted(rerun.out), sorted(first.out)) << rerun.err;
  EXPECT_EQ(ReadFile(again), listed);
  for (const std::string& f :
       {profile, inventory, shortProfile, wide, comments, ioQuote, badSetting, pw, failed, again, open, ownInventory, farInventory}) {
    ::unlink(f.c_str());
  }
}

// A profile read from a modem goes back to a modem of its kind as it stands:
// write, apply and verify all take it, also when the modem holds numbers no
// page lets a person type (those are named in notes), and an apply after the
// write finds nothing to do. One row a model and profile.
struct WriteBackCase {
  int model;
  bool beyondTyping;
};

class WriteBack : public ::testing::TestWithParam<WriteBackCase> {};

TEST_P(WriteBack, ReadWriteApplyVerifyOfTheSameFile) {
  const WriteBackCase c = GetParam();
  ModemSimProcess source, target;
  ASSERT_TRUE(source.Start(KELVANE_MODEMSIM, {"--model", std::to_string(c.model)}));
  ASSERT_TRUE(target.Start(KELVANE_MODEMSIM, {"--model", std::to_string(c.model)}));
  if (c.beyondTyping) {
    // S7 above the page's 60, the smallest and largest register, a
    // compression pair the combo has no item for; on the I/O model a
    // negative Data 4 and the smallest and largest the modem holds.
    std::vector<std::string> commands = {"ATS7=255", "ATS0=0", "ATS91=255", "AT\\N1%C3"};
    if (c.model == 3) {
      for (const char* data4 : {"-5", "-2147483648", "2147483647"}) {
        commands.push_back("AT*WIOL=" + std::to_string(commands.size() - 3) + ",1,0,30,0,\"123\",\"\",\"\"," + data4 +
                           ",\"\",\"\"");
      }
    }
    for (const std::string& command : commands) EXPECT_TRUE(Has(ModemAnswer(source.SlavePath(), command), "OK")) << command;
  }
  const std::string profile = TempPath("write-back.dat"), log = TempPath("write-back.log");
  const ProcessResult read = RunProcess(KELVANE_CLI, {"read", "--port", source.SlavePath(), "-o", profile});
  ASSERT_EQ(read.exitCode, 0) << read.err;

  const ProcessResult write = RunProcess(KELVANE_CLI, {"write", "--port", target.SlavePath(), profile, "--yes"}, 90000);
  EXPECT_EQ(write.exitCode, 0) << write.err;
  EXPECT_FALSE(Has(write.err, "was not saved")) << write.err;
  EXPECT_EQ(Has(write.err, "note: BasicSettings.S7: 255"), c.beyondTyping) << write.err;
  EXPECT_EQ(Has(write.err, "note: IoSettings.Data4[0]: -5"), c.beyondTyping && c.model == 3) << write.err;

  const ProcessResult apply = RunProcess(KELVANE_CLI, {"apply", profile, "--port", target.SlavePath()}, 90000);
  EXPECT_EQ(apply.exitCode, 0) << apply.err;
  const ProcessResult verify = RunProcess(KELVANE_CLI, {"verify", "--port", target.SlavePath(), profile}, 90000);
  EXPECT_EQ(verify.exitCode, 0) << verify.out << verify.err;

  const ProcessResult again =
      RunProcess(KELVANE_CLI, {"apply", profile, "--port", target.SlavePath(), "--log", log}, 90000);
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_TRUE(Has(again.out, ": unchanged\n")) << again.out;
  const auto sent = SentCommands(ReadFile(log));
  EXPECT_NE(IndexOf(sent, "AT+MS?"), std::string::npos) << "nothing was compared";
  for (const std::string& command : sent) EXPECT_FALSE(ChangesTheModem(command)) << command;
  for (const std::string& f : {profile, log}) ::unlink(f.c_str());
}

INSTANTIATE_TEST_SUITE_P(Models, WriteBack,
                         ::testing::Values(WriteBackCase{1, false}, WriteBackCase{1, true}, WriteBackCase{2, false},
                                           WriteBackCase{2, true}, WriteBackCase{3, false}, WriteBackCase{3, true},
                                           WriteBackCase{4, false}, WriteBackCase{4, true}),
                         [](const ::testing::TestParamInfo<WriteBackCase>& info) {
                           return "Type" + std::to_string(info.param.model) +
                                  (info.param.beyondTyping ? "BeyondTyping" : "Plain");
                         });

// A text the modem gets bare is exactly its form, whichever way it came in:
// kelvane-cli set, import, a profile file given to write and apply, or a
// modem's own answer read into a profile. No "+MS", "&Z" or "*WRCP" line
// other than its own form reaches a modem, and the smuggled command never.
enum class WayIn { Set, Import, ProfileFile, ModemAnswer };

struct BareTextCase {
  const char* name;
  const char* field;    // as set and show name it
  const char* text;
  const char* payload;  // what must never reach a modem
  WayIn way;
};

class BareTexts : public ::testing::TestWithParam<BareTextCase> {};

// A command line of the bare-text commands in nothing but its own form.
bool InItsOwnForm(const std::string& command) {
  auto only = [](std::string_view text, std::string_view allowed) {
    return std::all_of(text.begin(), text.end(), [&](char ch) {
      return (ch >= '0' && ch <= '9') || allowed.find(ch) != std::string_view::npos;
    });
  };
  if (command == "AT+MS?" || command == "AT*WRCP?") return true;
  if (command.rfind("AT+MS=", 0) == 0) {
    std::string_view rest = std::string_view(command).substr(6);
    if (rest.size() < 2 || rest[rest.size() - 2] != 'B') return false;
    rest.remove_suffix(2);
    const size_t comma = rest.find(',');
    const std::string_view carrier = rest.substr(0, comma);
    return only(carrier, "VBFCDHXA") && (comma == std::string_view::npos || only(rest.substr(comma), ","));
  }
  if (command.rfind("AT&Z", 0) == 0) return command.size() > 5 && only(command.substr(6), " *#+,!@ABCDPTW");
  if (command.rfind("AT*WRCP=", 0) == 0) return true;
  return command.find("+MS") == std::string::npos && command.find("&Z") == std::string::npos &&
         command.find("*WRCP") == std::string::npos;
}

TEST_P(BareTexts, NoSmuggledCommandReachesTheModem) {
  const BareTextCase c = GetParam();
  const std::string base = TempPath("bare-base.dat"), file = TempPath("bare.dat"), json = TempPath("bare.json");
  const std::string log = TempPath("bare.log");
  ModemSimProcess target;
  ASSERT_TRUE(target.Start(KELVANE_MODEMSIM, {"--model", "3"}));
  {
    const ProcessResult r = RunProcess(KELVANE_CLI, {"read", "--port", target.SlavePath(), "-o", base});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  std::ifstream in(base, std::ios::binary);
  std::ofstream(file, std::ios::binary) << in.rdbuf();
  ProcessResult way;
  switch (c.way) {
    case WayIn::Set: way = RunProcess(KELVANE_CLI, {"set", file, std::string(c.field) + "=" + c.text}); break;
    case WayIn::Import: {
      const std::string name(c.field);
      const std::string record = name.substr(0, name.find('.'));
      std::string field = name.substr(name.find('.') + 1);
      const size_t open = field.find('[');
      nlohmann::json value = c.text;
      if (open != std::string::npos) {
        value = nlohmann::json::array({"", "", "", ""});
        value[std::stoul(field.substr(open + 1))] = c.text;
        field.resize(open);
      }
      std::ofstream(json) << nlohmann::json{{record, {{field, value}}}}.dump();
      ::unlink(file.c_str());
      way = RunProcess(KELVANE_CLI, {"import", json, "-o", file});
      break;
    }
    case WayIn::ProfileFile: {
      // Put straight into the file's bytes, as another program could.
      ConfigBlock block;
      std::string error;
      ASSERT_TRUE(LoadProfileFile(file, block, error)) << error;
      const std::string name(c.field);
      char* at = name.find("Modulation") != std::string::npos ? block.basic.Modulation
                 : name.find("StoredNumbers") != std::string::npos ? block.dial.StoredNumbers[1]
                                                                  : block.remote.RemotePassword;
      std::strcpy(at, c.text);
      ASSERT_TRUE(SaveProfileFile(file, block, error)) << error;
      way.exitCode = 0;
      break;
    }
    case WayIn::ModemAnswer: {
      // A modem whose own answer carries the text.
      ModemSimProcess source;
      const std::string query = std::string(c.field).find("Modulation") != std::string::npos ? "+MS?" : "*WRCP?";
      const std::string key = query == "+MS?" ? "+MS: " : "*WRCP: ";
      ASSERT_TRUE(source.Start(KELVANE_MODEMSIM, {"--model", "3", "--answer", query + "=" + key + c.text}));
      ::unlink(file.c_str());
      way = RunProcess(KELVANE_CLI, {"read", "--port", source.SlavePath(), "-o", file});
      if (way.exitCode != 0) {
        EXPECT_TRUE(Has(way.err, "was not stored")) << way.err;
        EXPECT_FALSE(::access(file.c_str(), F_OK) == 0) << "a profile was written";
      }
      break;
    }
  }
  // Whatever file the way in left is given to write and apply.
  bool refused = way.exitCode != 0;
  std::vector<std::string> sent;
  if (::access(file.c_str(), F_OK) == 0) {
    for (const char* command : {"write", "apply"}) {
      ::unlink(log.c_str());
      const ProcessResult r =
          std::string(command) == "write"
              ? RunProcess(KELVANE_CLI, {"write", "--port", target.SlavePath(), file, "--yes", "--log", log}, 90000)
              : RunProcess(KELVANE_CLI, {"apply", file, "--port", target.SlavePath(), "--log", log}, 90000);
      if (r.exitCode != 0) {
        refused = true;
        EXPECT_TRUE(Has(r.err, "cannot be sent as it stands")) << command << ": " << r.err;
      }
      const auto lines = SentCommands(ReadFile(log));
      sent.insert(sent.end(), lines.begin(), lines.end());
    }
  }
  EXPECT_TRUE(refused) << "the text was taken on every way";
  for (const std::string& command : sent) {
    EXPECT_TRUE(InItsOwnForm(command)) << command;
    EXPECT_FALSE(Has(command, c.payload)) << command;
  }
  // The modem did not take the smuggled command either.
  EXPECT_FALSE(Has(ModemAnswer(target.SlavePath(), "AT*WRCP?"), "owned12"));
  EXPECT_TRUE(Has(ModemAnswer(target.SlavePath(), "AT*WRCA?"), "*WRCA: 0"));
  for (const std::string& f : {base, file, json, log}) ::unlink(f.c_str());
}

std::vector<BareTextCase> BareTextCases() {
  struct Text {
    const char* name;
    const char* field;
    const char* text;
    const char* payload;
    bool fromModem;  // the simulator can answer with it
  };
  const Text texts[] = {
      {"ModulationSetsThePassword", "BasicSettings.Modulation", "V34*WRCP=owned12", "*WRCP=owned12", false},
      {"ModulationResetsTheModem", "BasicSettings.Modulation", "V34&F", "&F", false},
      {"ModulationOfTheModemEnablesRemote", "BasicSettings.Modulation", "V34*WRCA=1", "*WRCA=1", true},
      {"StoredNumberResetsTheModem", "DialSettings.StoredNumbers[1]", "555&F", "&F", false},
      {"PasswordEnablesRemote", "RemoteSettings.RemotePassword", "owned12;*WRCA=1", "*WRCA=1", true},
  };
  const std::pair<WayIn, const char*> ways[] = {{WayIn::Set, "Set"},
                                                {WayIn::Import, "Import"},
                                                {WayIn::ProfileFile, "ProfileFile"},
                                                {WayIn::ModemAnswer, "ModemAnswer"}};
  std::vector<BareTextCase> out;
  static std::vector<std::string> names;
  names.reserve(std::size(texts) * std::size(ways));
  for (const Text& t : texts) {
    for (const auto& [way, wayName] : ways) {
      if (way == WayIn::ModemAnswer && !t.fromModem) continue;
      names.push_back(std::string(t.name) + "By" + wayName);
      out.push_back({names.back().c_str(), t.field, t.text, t.payload, way});
    }
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(WaysIn, BareTexts, ::testing::ValuesIn(BareTextCases()),
                         [](const ::testing::TestParamInfo<BareTextCase>& info) { return std::string(info.param.name); });

// write and apply write a profile the same way: the same modem state after
// either, the Remote configuration section included.
TEST(CliApply, WriteAndApplyLeaveTheSameModem) {
  ApplyRig rig;
  rig.Change({"BasicSettings.S0=5", "RemoteSettings.RemoteEnable=1", "RemoteSettings.RemotePassword=Secret99",
              "DialSettings.StoredNumbers[2]=0W5551234", "IoSettings.Data4[4]=42"});
  ModemSimProcess written, applied;
  ASSERT_TRUE(written.Start(KELVANE_MODEMSIM, {"--model", "3"}));
  ASSERT_TRUE(applied.Start(KELVANE_MODEMSIM, {"--model", "3"}));
  const ProcessResult w = RunProcess(KELVANE_CLI, {"write", "--port", written.SlavePath(), rig.changed, "--yes"}, 90000);
  EXPECT_EQ(w.exitCode, 0) << w.err;
  EXPECT_FALSE(Has(w.err, "not saved")) << w.err;
  const ProcessResult a = RunProcess(KELVANE_CLI, {"apply", rig.changed, "--port", applied.SlavePath()}, 90000);
  EXPECT_EQ(a.exitCode, 0) << a.err;
  for (const char* query : {"AT&V", "AT+MS?", "AT*WRCA?", "AT*WRCP?", "AT*WIOL=5?", "AT*WCBTAB=1?", "AT+IPR?"}) {
    EXPECT_EQ(ModemAnswer(written.SlavePath(), query), ModemAnswer(applied.SlavePath(), query)) << query;
  }
  EXPECT_TRUE(Has(ModemAnswer(written.SlavePath(), "AT*WRCP?"), "Secret99"));
  EXPECT_TRUE(Has(ModemAnswer(written.SlavePath(), "AT*WRCA?"), "*WRCA: 1"));
  // Asked for alone, the Remote configuration goes out too.
  const ProcessResult remote =
      RunProcess(KELVANE_CLI, {"write", "--port", rig.sim.SlavePath(), rig.changed, "--sections", "remote"}, 90000);
  EXPECT_EQ(remote.exitCode, 0) << remote.err;
  EXPECT_TRUE(Has(ModemAnswer(rig.sim.SlavePath(), "AT*WRCP?"), "Secret99"));
}

}  // namespace
}  // namespace kelvane
