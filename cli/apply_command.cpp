// kelvane-cli apply: the targets, the ports run side by side (one thread a
// port, each target on its own adapter), Ctrl-C handed to every running
// target, one line a target as it finishes, the summary and the JSON.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/apply.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "config/file_problem.h"
#include "cli/port_lock.h"
#include "config/json_text.h"
#include "config/modem_comparison.h"
#include "config/replacement_file.h"
#include "serial/network_serial_port.h"
#include "config/traffic_file_log.h"

namespace kelvane::cli {

namespace {

constexpr size_t kDefaultJobs = 32;
// Beside the reports; no report name ends in ".json". Each run keeps its
// own summary, "apply-summary-20261208T121314Z.json" (UTC), so that a rerun of
// the failed targets does not overwrite the first run's; two runs within one
// second get "-2", "-3", ...
std::string SummaryPath(const std::string& dir) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  const std::string base = dir + "/apply-summary-" + stamp;
  std::string path = base + ".json";
  struct stat st {};
  for (int n = 2; ::lstat(path.c_str(), &st) == 0 && n < 1000; ++n) path = base + "-" + std::to_string(n) + ".json";
  return path;
}

constexpr const char* kUsage =
    "usage: kelvane-cli apply FILE.dat --port P [--port P2 ...] [--inventory FILE] [--sections LIST]\n"
    "                         [--remote NUMBER [--password-file F]] [--check] [--json] [--report-dir DIR]\n"
    "                         [--jobs N] [--log FILE] [--failed FILE] [--set FIELD=VALUE ...]\n"
    "                         [--backup-dir DIR] [--via PORT ... [--wait SECONDS]]\n";

std::string FieldList(const std::vector<FieldDifference>& fields) {
  std::string out = std::to_string(fields.size()) + (fields.size() == 1 ? " field: " : " fields: ");
  for (size_t i = 0; i < fields.size(); ++i) out += (i ? ", " : "") + fields[i].name;
  return out;
}

std::string OutcomeLine(const ApplyTarget& t, const ApplyOutcome& o) {
  std::string line = t.Label() + ": ";
  if (o.result == ApplyResult::NotStarted) return line + "not started";
  if (!o.model.empty()) line += o.model + ": ";
  switch (o.result) {
    case ApplyResult::Unchanged: line += "unchanged"; break;
    case ApplyResult::Changed: line += "changed (" + FieldList(o.fields) + ")"; break;
    case ApplyResult::WouldChange:
      line += o.fields.empty() ? "would change (only fields not written over the remote link)"
                               : "would change (" + FieldList(o.fields) + ")";
      break;
    case ApplyResult::Partial:
      line += "partial: " + (o.fields.empty() ? std::string("nothing written") : "changed (" + FieldList(o.fields) + ")");
      break;
    default: line += "failed: " + o.error; break;
  }
  if (!o.lineNote.empty()) line += "; " + o.lineNote;
  if (!o.via.empty()) line += "; through " + o.via;
  if (!t.values.empty()) line += "; own values: " + ShownValuesText(t);
  if (!o.skipped.empty()) {
    line += "; not written over the remote link (name serial or remote in --sections to write them): " +
            FieldList(o.skipped);
  }
  return line;
}

std::string Summary(const std::vector<ApplyTarget>& targets, const std::vector<ApplyOutcome>& outcomes) {
  int counts[6] = {0, 0, 0, 0, 0, 0};
  std::string failed;
  for (size_t i = 0; i < outcomes.size(); ++i) {
    ++counts[static_cast<int>(outcomes[i].result)];
    if (outcomes[i].result == ApplyResult::Failed) failed += (failed.empty() ? "" : ", ") + targets[i].Label();
  }
  std::string out = std::to_string(outcomes.size()) + (outcomes.size() == 1 ? " modem:" : " modems:");
  const char* words[6] = {"unchanged", "changed", "would change", "failed", "not started", "partial"};
  bool first = true;
  for (int k = 0; k < 6; ++k) {
    if (!counts[k]) continue;
    out += std::string(first ? " " : ", ") + std::to_string(counts[k]) + " " + words[k];
    if (k == static_cast<int>(ApplyResult::Failed)) out += " (" + failed + ")";
    first = false;
  }
  return out;
}

Json OutcomeJson(const ApplyTarget& t, const ApplyOutcome& o) {
  // Paths and messages (which may quote the modem) are taken byte for byte
  // as single-byte text, so any bytes make valid JSON.
  Json j;
  j["port"] = Utf8FromLatin1(o.via.empty() ? t.port : o.via);
  j["remote"] = t.remote.empty() ? Json(nullptr) : Json(t.remote);
  j["model"] = o.model.empty() ? Json(nullptr) : Json(o.model);
  j["type"] = o.type ? Json(o.type) : Json(nullptr);
  j["result"] = ResultWord(o.result);
  auto names = [](const std::vector<FieldDifference>& list) {
    Json a = Json::array();
    for (const FieldDifference& d : list) a.push_back(d.name);
    return a;
  };
  j["fields"] = names(o.fields);
  j["skipped"] = names(o.skipped);
  std::string error = o.error;
  if (o.result == ApplyResult::NotStarted) {
    std::string why = CancelledText();
    why[0] = 'c';
    error = "Not started: " + why;
  }
  j["error"] = error.empty() ? Json(nullptr) : Json(Utf8FromLatin1(error));
  // Before and after of every field written (or that would be), in the
  // pages' words, for a reader that shows the change.
  Json changes = Json::array();
  for (const WordsDifference& w : o.fieldWords) {
    changes.push_back({{"name", w.here.name},
                       {"page", Utf8FromLatin1(w.here.page)},
                       {"caption", Utf8FromLatin1(w.here.caption)},
                       {"before", Utf8FromLatin1(w.there)},
                       {"after", Utf8FromLatin1(w.here.shown)}});
  }
  j["changes"] = changes;
  j["report"] = o.report.empty() ? Json(nullptr) : Json(Utf8FromLatin1(o.report));
  j["written"] = o.written;
  j["line"] = o.lineNote.empty() ? Json(nullptr) : Json(o.lineNote);
  // The target's own values over the profile, passwords masked.
  Json own = Json::object();
  for (const auto& [name, value] : ShownValues(t)) own[name] = Utf8FromLatin1(value);
  j["settings"] = own;
  j["backup"] = o.backup.empty() ? Json(nullptr) : Json(Utf8FromLatin1(o.backup));
  return j;
}

// The report folder, made with its parents (readable by the owner only) when
// missing. A folder that another user may have put in place for this run
// (a link of theirs in a shared folder, or a folder they own) is refused:
// they could swap the reports for links to any file.
bool PrepareReportFolder(std::string dir, std::string& error, int depth = 0) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  int err = 0;
  std::string refused;
  std::string resolved = FollowLinks(dir, err, refused);
  if (resolved.empty() && refused.empty() && err == ENOENT && depth < 64) {
    const std::string parent = std::filesystem::path(dir).parent_path().string();
    if (!parent.empty() && parent != dir && !PrepareReportFolder(parent, error, depth + 1)) return false;
    resolved = FollowLinks(dir, err, refused);
  }
  if (!refused.empty()) {
    error = "the report folder " + dir + " is not used: " + ForeignLinkReason(refused);
    return false;
  }
  if (resolved.empty() || (::mkdir(resolved.c_str(), 0700) != 0 && errno != EEXIST)) {
    error = "the report folder " + dir + " cannot be made: " + FileDetail(dir, resolved.empty() ? err : errno);
    return false;
  }
  const int fd = ::open(resolved.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st {};
  const bool opened = fd >= 0 && ::fstat(fd, &st) == 0;
  err = errno;
  if (fd >= 0) ::close(fd);
  if (!opened) {
    error = "the report folder " + dir + " cannot be used: " + FileDetail(dir, err);
    return false;
  }
  // Only the report folder itself: its parents may well be another user's.
  if (depth == 0 && st.st_uid != ::geteuid() && st.st_uid != 0) {
    error = "the report folder " + dir + " belongs to another user (uid " + std::to_string(st.st_uid) +
            "); not used";
    return false;
  }
  return true;
}

// The state the port threads and the main thread share.
struct ApplyRun {
  std::mutex mutex;
  std::vector<std::vector<size_t>> groups;  // target indices, one group a port
  size_t nextGroup = 0;
  bool cancelled = false;
  std::vector<int> runningCancel;  // write ends of the running targets' Cancel
  std::vector<std::optional<ApplyOutcome>> outcomes;
  std::vector<size_t> finished;  // indices in the order they finished
  int doneWrite = -1;
};

// Runs a target once its port is its own: a far target without a port
// takes whichever port of the pool is free, any other target the lock of its
// port, waiting up to --wait while another run (another process too) has it.
ApplyOutcome RunOnFreePort(const ApplyTarget& target, const ApplyPlan& plan, int cancelFd) {
  const bool pooled = target.port.empty();
  ApplyOutcome out;
  PortLock lock;
  std::string port = target.port, error;
  if (pooled || UsesPortLock(target.port)) {
    const std::vector<std::string> ports = pooled ? plan.via : std::vector<std::string>{target.port};
    switch (TakeFreePort(ports, plan.waitSeconds, cancelFd, lock, port, error)) {
      case PoolWait::Taken: break;
      case PoolWait::TimedOut:
        out.error = pooled ? "no port of the dial-out pool was free within " + std::to_string(plan.waitSeconds) + " s"
                           : "the port " + target.port + " was in use by another run for " +
                                 std::to_string(plan.waitSeconds) + " s";
        return out;
      case PoolWait::Cancelled: out.error = CancelledText(); return out;
      case PoolWait::Failed: out.error = error; return out;
    }
  }
  if (!pooled) return ApplyToTarget(target, plan, cancelFd);
  ApplyTarget through = target;
  through.port = port;
  out = ApplyToTarget(through, plan, cancelFd);
  out.via = port;
  return out;
}

void RunPorts(ApplyRun& run, const std::vector<ApplyTarget>& targets, const ApplyPlan& plan) {
  auto report = [&run](size_t index, ApplyOutcome outcome) {
    {
      std::lock_guard lock(run.mutex);
      run.outcomes[index] = std::move(outcome);
      run.finished.push_back(index);
    }
    const char done = 'd';
    (void)!::write(run.doneWrite, &done, 1);
  };
  for (;;) {
    std::vector<size_t> group;
    {
      std::lock_guard lock(run.mutex);
      if (run.nextGroup >= run.groups.size()) return;
      group = run.groups[run.nextGroup++];
    }
    // Several numbers on one port: one call after another.
    for (size_t index : group) {
      int cancel[2];
      if (::pipe2(cancel, O_CLOEXEC | O_NONBLOCK) != 0) {
        ApplyOutcome o;
        o.error = std::string("cannot make a pipe: ") + std::strerror(errno);
        report(index, std::move(o));
        continue;
      }
      bool start = false;
      {
        std::lock_guard lock(run.mutex);
        start = !run.cancelled;
        if (start) run.runningCancel.push_back(cancel[1]);
      }
      ApplyOutcome outcome;
      if (start) {
        outcome = RunOnFreePort(targets[index], plan, cancel[0]);
        std::lock_guard lock(run.mutex);
        std::erase(run.runningCancel, cancel[1]);
      } else {
        outcome.result = ApplyResult::NotStarted;
      }
      ::close(cancel[0]);
      ::close(cancel[1]);
      report(index, std::move(outcome));
    }
  }
}

// Every line of `text` as "kelvane-cli apply: line".
std::string Prefixed(const std::string& text) {
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find('\n', start);
    out += (out.empty() ? "" : "\n") + std::string("kelvane-cli apply: ") +
           text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

void Wipe(std::string& text) {
  volatile char* p = text.data();
  for (size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}

}  // namespace

int ApplyCommand(Session& s) {
  const Options& o = s.options;
  if (o.positional.size() != 1) {
    std::fprintf(stderr, "%s", kUsage);
    return EXIT_USAGE;
  }
  std::string error;
  int sections = ParseSections(o.sections, error);
  if (!sections) {
    std::fprintf(stderr, "kelvane-cli apply: %s\n", error.c_str());
    return EXIT_USAGE;
  }
  if (sections != SEC_ALL && (sections & SEC_DIAGNOSTIC)) {
    std::fprintf(stderr, "kelvane-cli apply: the diagnostic section is read only\n");
    return EXIT_USAGE;
  }
  sections &= ~(SEC_DIAGNOSTIC | 0xFF);

  std::vector<ApplyTarget> targets;
  for (const std::string& port : o.ports) {
    ApplyTarget t;
    t.port = port;
    t.remote = o.remote;
    if (!t.remote.empty()) t.passwordFile = o.passwordFile;
    targets.push_back(std::move(t));
  }
  // --remote without --port: the far modem goes through the pool.
  if (o.ports.empty() && !o.via.empty() && !o.remote.empty()) {
    ApplyTarget t;
    t.remote = o.remote;
    t.passwordFile = o.passwordFile;
    targets.push_back(std::move(t));
  }
  const size_t fromInventory = targets.size();
  if (!o.inventory.empty() && !ReadInventory(o.inventory, targets, error)) {
    std::fprintf(stderr, "kelvane-cli apply: %s\n", error.c_str());
    return EXIT_USAGE;
  }
  // --remote and --password-file hold for every inventory line that does not
  // give its own.
  for (size_t i = fromInventory; i < targets.size(); ++i) {
    if (targets[i].remote.empty()) targets[i].remote = o.remote;
    if (targets[i].passwordFile.empty() && !targets[i].remote.empty()) targets[i].passwordFile = o.passwordFile;
  }
  if (!o.passwordFile.empty() &&
      std::none_of(targets.begin(), targets.end(), [](const ApplyTarget& t) { return !t.remote.empty(); })) {
    std::fprintf(stderr, "kelvane-cli apply: --password-file is for remote targets: give --remote or numbers in "
                         "the inventory\n");
    return EXIT_USAGE;
  }
  if (targets.empty()) {
    std::fprintf(stderr, "kelvane-cli apply: --port or --inventory is required\n%s", kUsage);
    return EXIT_USAGE;
  }
  for (const ApplyTarget& t : targets) {
    if (!t.port.empty() || (!o.via.empty() && !t.remote.empty())) continue;
    std::fprintf(stderr, "kelvane-cli apply: %s\n",
                 t.remote.empty() ? "a target without a port"
                                  : ("the far target " + t.remote + " has no port: give --via PORT (the dial-out pool)").c_str());
    return EXIT_USAGE;
  }
  if (!o.via.empty() && std::none_of(targets.begin(), targets.end(), [](const ApplyTarget& t) { return t.port.empty(); })) {
    std::fprintf(stderr, "kelvane-cli apply: --via is for far targets without a port: give --remote without --port, "
                         "or inventory lines that start with the number (,NUMBER)\n");
    return EXIT_USAGE;
  }
  if (!CheckTargets(targets, error)) {
    std::fprintf(stderr, "kelvane-cli apply: %s\n", error.c_str());
    return EXIT_USAGE;
  }

  // Everything that can be checked is, before any modem is asked.
  ApplyPlan plan;
  plan.options = &o;
  if (!LoadProfileForWriting("apply", o.positional[0], plan.profile,
                             sections | ((sections & SEC_IO) ? 0x03 : 0))) return EXIT_FAILED;
  // Each target's own values, checked as set checks them, before any modem
  // is asked.
  std::vector<std::string> notes;
  if (!PrepareTargetValues(targets, o.settings, plan.profile, notes, error)) {
    std::fprintf(stderr, "%s\n", Prefixed(error).c_str());
    std::fprintf(stderr, "kelvane-cli apply: no modem was touched\n");
    return EXIT_FAILED;
  }
  for (const std::string& note : notes) std::fprintf(stderr, "kelvane-cli apply: note: %s\n", note.c_str());
  plan.sections = sections;
  plan.namedSections = NamedSections(o.sections);
  plan.check = o.check;
  plan.reportDir = o.reportDir;
  plan.profilePath = o.positional[0];
  plan.backupDir = o.backupDir;
  plan.via = o.via;
  plan.waitSeconds = o.waitSeconds;
  if (!plan.backupDir.empty() && !PrepareReportFolder(plan.backupDir, error)) {
    std::fprintf(stderr, "kelvane-cli apply: %s\n", error.c_str());
    return EXIT_FAILED;
  }
  if (!plan.reportDir.empty() && !PrepareReportFolder(plan.reportDir, error)) {
    std::fprintf(stderr, "kelvane-cli apply: %s\n", error.c_str());
    return EXIT_FAILED;
  }
  // The list of failed targets is written at the end; whether it can be
  // is known before any modem is touched.
  std::optional<ReplacementFile> failedList;
  if (!o.failedPath.empty()) {
    failedList.emplace(o.failedPath);
    if (!failedList->Create(error)) {
      std::fprintf(stderr, "kelvane-cli apply: cannot write %s: %s\n", o.failedPath.c_str(), error.c_str());
      return EXIT_FAILED;
    }
  }
  plan.logPath = o.log;
  if (!plan.logPath.empty()) {
    std::FILE* log = OpenTrafficLogFile(plan.logPath, error);
    if (!log) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return EXIT_FAILED;
    }
    std::fclose(log);
  }

  // Passwords: each file read once; the others share one from
  // KELVANE_PASSWORD or the terminal, asked before anything runs.
  std::map<std::string, std::string> passwords;
  for (ApplyTarget& t : targets) {
    if (t.remote.empty()) continue;
    auto known = passwords.find(t.passwordFile);
    if (known == passwords.end()) {
      Options asked = o;
      asked.passwordFile = t.passwordFile;
      std::string password;
      if (!ObtainRemotePassword(asked, password, error)) {
        std::fprintf(stderr, "kelvane-cli apply: %s\n", error.c_str());
        for (auto& p : passwords) Wipe(p.second);
        return EXIT_USAGE;
      }
      known = passwords.emplace(t.passwordFile, std::move(password)).first;
    }
    t.password = known->second;
  }
  for (auto& p : passwords) Wipe(p.second);

  std::mutex printing;
  if (::isatty(STDERR_FILENO) == 1) {
    plan.progress = [&printing](const std::string& line) {
      std::lock_guard lock(printing);
      std::fprintf(stderr, "%s\n", line.c_str());
    };
  }

  if (o.debug) {
    plan.debug = [&printing](const std::string& line) {
      std::lock_guard lock(printing);
      std::fprintf(stderr, "%s\n", line.c_str());
    };
  }

  ApplyRun run;
  run.outcomes.resize(targets.size());
  std::map<std::string, size_t> groupOfPort;
  for (size_t i = 0; i < targets.size(); ++i) {
    // Each far target of the pool is a group of its own: it waits for a port.
    if (targets[i].port.empty()) {
      run.groups.push_back({i});
      continue;
    }
    // Two names of one device server port are one port: its targets run one
    // after another.
    const std::vector<std::string> endpoints = PortEndpoints(targets[i].port);
    size_t group = run.groups.size();
    for (const std::string& endpoint : endpoints) {
      if (const auto at = groupOfPort.find(endpoint); at != groupOfPort.end()) group = std::min(group, at->second);
    }
    if (group == run.groups.size()) run.groups.emplace_back();
    run.groups[group].push_back(i);
    for (const std::string& endpoint : endpoints) groupOfPort.emplace(endpoint, group);
  }
  int done[2];
  if (::pipe2(done, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::fprintf(stderr, "kelvane-cli apply: cannot make a pipe: %s\n", std::strerror(errno));
    return EXIT_FAILED;
  }
  run.doneWrite = done[1];
  // Without --jobs at most kDefaultJobs ports at once: a thread, a port and
  // a log for each line of a long inventory would run out of both.
  const size_t jobs = o.jobs > 0 ? static_cast<size_t>(o.jobs) : kDefaultJobs;
  const size_t threads = std::min(jobs, run.groups.size());
  std::vector<std::thread> workers;
  for (size_t i = 0; i < threads; ++i) workers.emplace_back([&] { RunPorts(run, targets, plan); });

  // The main thread watches Ctrl-C and prints each target as it finishes.
  const int interrupt = InstallInterruptPipe();
  size_t printed = 0;
  bool cancelled = false;
  while (printed < targets.size()) {
    pollfd p[2] = {{done[0], POLLIN, 0}, {interrupt, POLLIN, 0}};
    if (::poll(p, 2, -1) < 0 && errno != EINTR) break;
    char drain[64];
    if (p[1].revents & POLLIN) {
      while (::read(interrupt, drain, sizeof drain) > 0) {
      }
      cancelled = true;
      std::lock_guard lock(run.mutex);
      run.cancelled = true;
      const char press = 'c';
      for (int fd : run.runningCancel) (void)!::write(fd, &press, 1);
    }
    while (::read(done[0], drain, sizeof drain) > 0) {
    }
    std::vector<size_t> now;
    {
      std::lock_guard lock(run.mutex);
      now.assign(run.finished.begin() + static_cast<std::ptrdiff_t>(printed), run.finished.end());
    }
    for (size_t index : now) {
      if (!o.json) {
        std::lock_guard lock(printing);
        // A failure may quote the modem: no control byte reaches the terminal.
        std::printf("%s\n", Printable(OutcomeLine(targets[index], *run.outcomes[index])).c_str());
        std::fflush(stdout);
      }
    }
    printed += now.size();
    if (plan.progress && !now.empty()) {
      plan.progress(std::to_string(printed) + " of " + std::to_string(targets.size()) + " done");
    }
  }
  for (std::thread& w : workers) w.join();
  ::close(done[0]);
  ::close(done[1]);
  for (ApplyTarget& t : targets) Wipe(t.password);

  std::vector<ApplyOutcome> outcomes;
  for (auto& outcome : run.outcomes) outcomes.push_back(std::move(*outcome));
  bool failed = false, wouldChange = false, partial = false;
  for (const ApplyOutcome& outcome : outcomes) {
    failed |= outcome.result == ApplyResult::Failed || outcome.result == ApplyResult::NotStarted;
    wouldChange |= outcome.result == ApplyResult::WouldChange;
    partial |= outcome.result == ApplyResult::Partial;
  }
  const std::string summary = Summary(targets, outcomes);
  if (o.json) {
    Json all = Json::array();
    for (size_t i = 0; i < targets.size(); ++i) all.push_back(OutcomeJson(targets[i], outcomes[i]));
    std::printf("%s\n", JsonText(all, 3).c_str());
    std::fprintf(stderr, "%s\n", summary.c_str());
  } else {
    std::printf("%s\n", summary.c_str());
  }
  // A cancel that came while the last targets were logging out stopped
  // nothing: every target ended as its work did, and the run says only that.
  if (cancelled && failed) std::fprintf(stderr, "%s\n", CancelledText().c_str());

  // The failed targets as an inventory for the next run, and the run's
  // summary beside the reports.
  if (failedList) {
    std::string text = "# kelvane-cli apply " + o.positional[0] + ": the targets that failed or did not start\n";
    for (size_t i = 0; i < targets.size(); ++i) {
      const ApplyResult r = outcomes[i].result;
      if (r == ApplyResult::Failed || r == ApplyResult::NotStarted) text += InventoryLine(targets[i]) + "\n";
    }
    if (!failedList->Commit(text, error)) {
      std::fprintf(stderr, "kelvane-cli apply: cannot write %s: %s\n", o.failedPath.c_str(), error.c_str());
      failed = true;
    }
  }
  if (!plan.reportDir.empty()) {
    Json all = Json::array();
    for (size_t i = 0; i < targets.size(); ++i) all.push_back(OutcomeJson(targets[i], outcomes[i]));
    const Json total{{"profile", Utf8FromLatin1(o.positional[0])},
                     {"check", o.check},
                     {"summary", Utf8FromLatin1(summary)},
                     {"targets", all}};
    const std::string summaryPath = SummaryPath(plan.reportDir);
    ReplacementFile file(summaryPath);
    if (!file.Create(error) || !file.Commit(JsonText(total, 2) + "\n", error)) {
      std::fprintf(stderr, "kelvane-cli apply: the summary %s was not written: %s\n", summaryPath.c_str(),
                   error.c_str());
      failed = true;
    }
  }
  for (ApplyTarget& t : targets) WipeTargetValues(t);
  if (failed) return EXIT_FAILED;
  if (partial) return EXIT_PARTIAL;
  return wouldChange ? EXIT_WOULD_CHANGE : EXIT_OK;
}

}  // namespace kelvane::cli
