// End to end over pseudo-terminals: the modem's passwords never leave the
// tool in clear, whichever output a command writes, and a changed password
// still shows as changed.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/modemsim_process.h"
#include "support/run_process.h"

namespace kelvane {
namespace {

using testing::ProcessResult;
using testing::RunProcess;
namespace fs = std::filesystem;

std::string TempPath(const std::string& name) {
  return "/tmp/kelvane-secrets-e2e-" + std::to_string(::getpid()) + "-" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const char* const kSecrets[] = {"TopSecret9", "cbpass99", "smspw1", "Other0077", "cbother77"};

// A modem of model type 3, a profile read from it (no passwords), the same
// with passwords set, and one whose passwords differ from those.
struct SecretRig {
  SecretRig() {
    EXPECT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "3"}));
    EXPECT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", sim.SlavePath(), "-o", plain}).exitCode, 0);
    Derive(secret, {"RemoteSettings.RemotePassword=TopSecret9", "CallbackSettings.CallbackPasswords[0]=cbpass99",
                    "IoSettings.Service[0]=2", "IoSettings.Data5[0]=smspw1"});
    Derive(other, {"RemoteSettings.RemotePassword=Other0077", "CallbackSettings.CallbackPasswords[0]=cbother77",
                   "IoSettings.Service[0]=2", "IoSettings.Data5[0]=smspw1"});
  }
  ~SecretRig() {
    for (const std::string& f : {plain, secret, other, log, read}) ::unlink(f.c_str());
  }
  void Derive(const std::string& path, std::vector<std::string> fields) {
    fs::copy_file(plain, path, fs::copy_options::overwrite_existing);
    fields.insert(fields.begin(), {"set", path});
    const ProcessResult r = RunProcess(KELVANE_CLI, fields);
    EXPECT_EQ(r.exitCode, 0) << r.err;
  }
  ModemSimProcess sim;
  std::string plain = TempPath("plain.dat"), secret = TempPath("secret.dat"), other = TempPath("other.dat"),
              log = TempPath("traffic.log"), read = TempPath("read.dat");
};

TEST(CliSecrets, NoOutputShowsAPasswordAndAChangeStaysVisible) {
  SecretRig rig;
  const std::string port = rig.sim.SlavePath();
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string marked;  // what shows the change
  };
  const Case cases[] = {
      {"show", {"show", rig.secret}, "RemotePassword       ********"},
      {"show --words", {"show", rig.secret, "--words"}, "Remote Configuration Password [*WRCP]: ********"},
      {"show --json", {"show", rig.secret, "--json"}, "\"RemotePassword\": \"********\""},
      {"diff", {"diff", rig.secret, rig.other}, "A: ******** (differs)   B: ********"},
      {"diff from empty", {"diff", rig.plain, rig.secret}, "A:    B: ********"},
      {"diff --words", {"diff", rig.secret, rig.other, "--words"}, "******** (differs) \u2192 ********"},
      {"diff --json", {"diff", rig.secret, rig.other, "--json"}, "\"A\": \"******** (differs)\""},
      {"write --debug --log", {"write", "--port", port, rig.secret, "--yes", "--debug", "--log", rig.log}, "********"},
      {"read --debug --log", {"read", "--port", port, "--debug", "--log", rig.log, "-o", rig.read}, "_Password=********"},
      {"verify --words", {"verify", "--port", port, rig.other, "--words"}, "******** (differs) \u2192 ********"},
      {"verify --json --debug", {"verify", "--port", port, rig.plain, "--json", "--debug"}, "\"modem\": \"********\""},
      {"apply --json --debug --log",
       {"apply", rig.other, "--port", port, "--json", "--debug", "--log", rig.log, "--sections", "remote,callback"},
       "\"after\": \"******** (differs)\""},
  };
  for (const Case& c : cases) {
    ::unlink(rig.log.c_str());
    const ProcessResult r = RunProcess(KELVANE_CLI, c.args, 90000);
    const std::string all = r.out + r.err + ReadFile(rig.log);
    EXPECT_TRUE(Has(all, c.marked)) << c.name << ":\n" << all;
    for (const char* secret : kSecrets) EXPECT_FALSE(Has(all, secret)) << c.name << " shows " << secret << ":\n" << all;
  }
  // What was read is the modem's: its passwords are kept, for the owner only.
  EXPECT_TRUE(Has(ReadFile(rig.read), "cbpass99"));
  EXPECT_EQ(fs::status(rig.read).permissions() & fs::perms::mask, fs::perms::owner_read | fs::perms::owner_write);
  // Where a person asks for them.
  const ProcessResult shown = RunProcess(KELVANE_CLI, {"show", rig.secret, "--words", "--show-secrets"});
  EXPECT_TRUE(Has(shown.out, "Remote Configuration Password [*WRCP]: TopSecret9")) << shown.out;
  const ProcessResult exported = RunProcess(KELVANE_CLI, {"show", rig.secret, "--json", "--show-secrets"});
  EXPECT_TRUE(Has(exported.out, "\"cbpass99\"")) << exported.out;
}

TEST(CliSecrets, AMaskedExportIsNotImportedAsAPassword) {
  SecretRig rig;
  const std::string json = TempPath("masked.json"), out = TempPath("imported.dat");
  std::ofstream(json) << RunProcess(KELVANE_CLI, {"show", rig.secret, "--json"}).out;
  const ProcessResult r = RunProcess(KELVANE_CLI, {"import", json, "-o", out});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "RemoteSettings.RemotePassword: holds the mask that show prints for a password")) << r.err;
  EXPECT_FALSE(fs::exists(out));
  ::unlink(json.c_str());
}

TEST(CliSecrets, PasswordSources) {
  ModemSimProcess sim;
  ASSERT_TRUE(sim.Start(KELVANE_MODEMSIM, {"--model", "2", "--rate", "9600", "--remote-number", "5551234",
                                           "--password", "FarPass21", "--remote-model", "3"}));
  const std::string dir = TempPath("pw");
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  const std::string file = dir + "/pw", empty = dir + "/empty", profile = dir + "/far.dat", log = dir + "/log";
  std::ofstream(file) << "FarPass21\n";
  ::chmod(file.c_str(), 0644);
  std::ofstream(empty) << "";
  ASSERT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", "sim:3", "-o", profile}).exitCode, 0);
  const std::vector<std::string> remote = {"apply", profile, "--port", sim.SlavePath(), "--baud", "9600",
                                           "--remote", "5551234", "--check", "--log", log, "--password-file"};
  auto apply = [&](const std::string& source, const std::string& input = "") {
    std::vector<std::string> args = remote;
    args.push_back(source);
    ::unlink(log.c_str());
    return RunProcess(KELVANE_CLI, args, 90000, input);
  };
  // A file anyone may read works, with a warning; the log masks the login.
  ProcessResult r = apply(file);
  EXPECT_NE(r.exitCode, 1) << r.err;
  EXPECT_TRUE(Has(r.err, "warning: the password file " + file + " is readable by every user")) << r.err;
  EXPECT_TRUE(Has(ReadFile(log), "TX ********")) << ReadFile(log);
  EXPECT_FALSE(Has(ReadFile(log) + r.out + r.err, "FarPass21"));
  // Standard input.
  r = apply("-", "FarPass21\n");
  EXPECT_NE(r.exitCode, 1) << r.err;
  EXPECT_FALSE(Has(ReadFile(log) + r.out + r.err, "FarPass21"));
  // Refused with the reason, before any modem is asked.
  r = apply(empty);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(Has(r.err, "the password file " + empty + " is empty")) << r.err;
  r = apply(dir);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(Has(r.err, "the password file " + dir + " is not a regular file")) << r.err;

  // set takes a password from standard input, so it is in no process list.
  r = RunProcess(KELVANE_CLI, {"set", profile, "CallbackSettings.CallbackPasswords[1]", "--stdin"}, 60000,
                 "piped77\n");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(RunProcess(KELVANE_CLI, {"show", profile, "--json", "--show-secrets"}).out, "\"piped77\""));
  for (const std::string& f : {file, empty, profile, log}) ::unlink(f.c_str());
  ::rmdir(dir.c_str());
}

// In a folder anyone may write (such as /tmp) another user may have put a
// file, a link or a folder for the next run to write through. None is taken
// over, whoever runs the tool; what the tool makes there is its user's alone.
TEST(CliSecrets, NothingAnotherUserPutInASharedFolderIsTakenOver) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant other users' files and to run as a second user";
  constexpr uid_t kPlanter = 65534, kSecondUser = 65533;
  const std::string shared = TempPath("shared"), own = TempPath("own");
  ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  ASSERT_EQ(::mkdir(own.c_str(), 0755), 0);
  const std::string profile = own + "/p.dat", json = own + "/p.json";
  ASSERT_EQ(RunProcess(KELVANE_CLI, {"read", "--port", "sim:3", "-o", profile}).exitCode, 0);
  std::ofstream(json) << RunProcess(KELVANE_CLI, {"show", profile, "--json", "--show-secrets"}).out;
  ::chmod(profile.c_str(), 0644);
  ::chmod(json.c_str(), 0644);
  const std::string port = "/dev/nonexistent-kelvane-shared";

  enum class Plant { Nothing, OwnFile, File, Link, Folder, ReportFile };
  struct Case {
    const char* what;
    uid_t runAs;
    Plant plant;
    std::vector<std::string> args;  // "@" stands for the planted path
    std::string said;               // empty: the command goes through
  };
  const std::string file = "a symbolic link of another user in a folder anyone may write; not followed";
  const Case cases[] = {
      {"read -o, another's file", 0, Plant::File, {"read", "--port", "sim:3", "-o", "@"}, "not taken over"},
      {"read -o, another's file", kSecondUser, Plant::File, {"read", "--port", "sim:3", "-o", "@"}, "not taken over"},
      {"read -o, another's link", 0, Plant::Link, {"read", "--port", "sim:3", "-o", "@"}, file},
      {"read -o, another's link", kSecondUser, Plant::Link, {"read", "--port", "sim:3", "-o", "@"}, file},
      {"read -o, through another's link to a folder", 0, Plant::Link, {"read", "--port", "sim:3", "-o", "@/p.dat"},
       file},
      {"import -o, another's file", 0, Plant::File, {"import", json, "-o", "@"}, "not taken over"},
      {"--failed, another's file", 0, Plant::File, {"apply", profile, "--port", port, "--failed", "@"},
       "not taken over"},
      {"--failed, another's link", kSecondUser, Plant::Link, {"apply", profile, "--port", port, "--failed", "@"}, file},
      {"--log, another's file", 0, Plant::File, {"apply", profile, "--port", port, "--log", "@"}, "not taken over"},
      {"--log, another's link", 0, Plant::Link, {"apply", profile, "--port", port, "--log", "@"}, file},
      {"read --log, another's link", kSecondUser, Plant::Link,
       {"read", "--port", "sim:3", "-o", own + "/r.dat", "--log", "@"}, file},
      {"--report-dir, another's link", 0, Plant::Link, {"apply", profile, "--port", port, "--report-dir", "@"}, file},
      {"--report-dir, a folder through another's link", 0, Plant::Link,
       {"apply", profile, "--port", port, "--report-dir", "@/reports"}, file},
      {"--report-dir, another's folder", 0, Plant::Folder, {"apply", profile, "--port", port, "--report-dir", "@"},
       "belongs to another user (uid 65534); not used"},
      {"a report planted in the folder", 0, Plant::ReportFile,
       {"apply", profile, "--port", port, "--report-dir", shared}, "not taken over"},
      {"read -o, a new file", 0, Plant::Nothing, {"read", "--port", "sim:3", "-o", "@"}, ""},
      {"read -o, a new file", kSecondUser, Plant::Nothing, {"read", "--port", "sim:3", "-o", "@"}, ""},
      {"read -o, the user's own file", kSecondUser, Plant::OwnFile, {"read", "--port", "sim:3", "-o", "@"}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + (c.runAs ? " (second user)" : " (root)"));
    const std::string planted = shared + "/" +
        (c.plant == Plant::ReportFile ? std::string("nonexistent-kelvane-shared.htm") : "planted");
    // What a link points to: a file only the user running the tool may read.
    const std::string victim = own + "/victim", victimFolder = own + "/folder";
    std::ofstream(victim) << "the user's own";
    ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
    ASSERT_EQ(::chown(victim.c_str(), c.runAs, c.runAs), 0);
    ASSERT_EQ(::mkdir(victimFolder.c_str(), 0700), 0);
    ASSERT_EQ(::chown(victimFolder.c_str(), c.runAs, c.runAs), 0);
    if (c.plant == Plant::File || c.plant == Plant::OwnFile || c.plant == Plant::ReportFile) {
      std::ofstream(planted) << "planted";
      const uid_t owner = c.plant == Plant::OwnFile ? c.runAs : kPlanter;
      ASSERT_EQ(::chown(planted.c_str(), owner, owner), 0);
      ASSERT_EQ(::chmod(planted.c_str(), c.plant == Plant::OwnFile ? 0640 : 0666), 0);
    } else if (c.plant == Plant::Link) {
      const bool folder = c.args.back().find("@/") != std::string::npos || c.args[c.args.size() - 2] == "--report-dir";
      ASSERT_EQ(::symlink((folder ? victimFolder : victim).c_str(), planted.c_str()), 0);
      ASSERT_EQ(::lchown(planted.c_str(), kPlanter, kPlanter), 0);
    } else if (c.plant == Plant::Folder) {
      ASSERT_EQ(::mkdir(planted.c_str(), 0777), 0);
      ASSERT_EQ(::chown(planted.c_str(), kPlanter, kPlanter), 0);
    }
    struct stat before {};
    const bool plantedBefore = ::lstat(planted.c_str(), &before) == 0;

    std::vector<std::string> args;
    for (std::string arg : c.args) {
      if (const size_t at = arg.find('@'); at != std::string::npos) arg.replace(at, 1, planted);
      args.push_back(arg);
    }
    std::string program = KELVANE_CLI;
    if (c.runAs != 0) {
      const std::string id = std::to_string(c.runAs);
      args.insert(args.begin(), {"--reuid=" + id, "--regid=" + id, "--clear-groups", program});
      program = "/usr/bin/setpriv";
    }
    const ProcessResult r = RunProcess(program, args);

    EXPECT_EQ(ReadFile(victim), "the user's own");
    EXPECT_TRUE(fs::is_empty(victimFolder));
    struct stat after {};
    const bool plantedAfter = ::lstat(planted.c_str(), &after) == 0;
    if (!c.said.empty()) {
      EXPECT_NE(r.exitCode, 0) << r.out;
      EXPECT_TRUE(Has(r.out + r.err, c.said)) << r.out << r.err;
      // The planted thing is as it was: its owner's, with its mode and bytes.
      ASSERT_TRUE(plantedAfter);
      EXPECT_EQ(after.st_ino, before.st_ino);
      EXPECT_EQ(after.st_uid, kPlanter);
      EXPECT_EQ(after.st_mode, before.st_mode);
      if (S_ISREG(after.st_mode)) {
        EXPECT_EQ(ReadFile(planted), "planted");
      }
    } else {
      EXPECT_EQ(r.exitCode, 0) << r.err;
      ASSERT_TRUE(plantedAfter);
      EXPECT_TRUE(S_ISREG(after.st_mode));
      EXPECT_EQ(after.st_uid, c.runAs);
      EXPECT_EQ(after.st_mode & 07777, plantedBefore ? (before.st_mode & 07777) : 0600u);
      EXPECT_NE(ReadFile(planted), "planted");
    }
    std::error_code ec;
    fs::remove_all(planted, ec);
    fs::remove_all(victimFolder, ec);
    ::unlink(victim.c_str());
    ::unlink((own + "/r.dat").c_str());
  }
  std::error_code ec;
  fs::remove_all(shared, ec);
  fs::remove_all(own, ec);
}

}  // namespace
}  // namespace kelvane
