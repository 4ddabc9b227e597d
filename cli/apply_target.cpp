// One target of kelvane-cli apply: identify, read the compared sections,
// compare with the profile, write only what differs, store it with "AT&W",
// read it back and compare again. Everything it uses is its own (adapter,
// port, traffic log, user interface), so targets on different ports run in
// threads side by side.

#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <optional>
#include <string>

#include "cli/apply.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/cli_ui.h"
#include "config/adapter.h"
#include "config/field_table.h"
#include "config/modem_comparison.h"
#include "config/page_words.h"
#include "config/profile.h"
#include "config/read_engine.h"
#include "config/replacement_file.h"
#include "config/write_engine.h"
#include "connection/connect.h"
#include "connection/port_factory.h"
#include "connection/remote_login.h"
#include "report/html_report.h"
#include "config/traffic_file_log.h"
#include "serial/user_interface.h"

namespace kelvane::cli {

namespace {

// A message box as one line: its line breaks ("\n\r\n\r" in the write's
// halted message) become blanks.
std::string OneLine(std::string_view text) {
  std::string out;
  bool blank = false;
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

// The user interface of one target: real-time waits with the target's own
// Cancel, messages kept for the target's result instead of printed (several
// targets run at once), progress handed to the plan's progress lines.
class TargetUserInterface : public HeadlessUserInterface {
 public:
  TargetUserInterface(CAdapter& a, std::string label, const ApplyPlan& plan)
      : HeadlessUserInterface(a), label_(std::move(label)), plan_(plan) {}

  MsgAnswer MessageBox(std::string_view text, MsgIcon, MsgButtons buttons) override {
    messages.push_back(OneLine(text));
    // No question is answered Yes behind the user's back.
    switch (buttons) {
      case MsgButtons::Ok: return MsgAnswer::Ok;
      case MsgButtons::OkCancel: return MsgAnswer::Cancel;
      default: return MsgAnswer::No;
    }
  }
  void SetProgressText(std::string_view text) override {
    if (plan_.progress) plan_.progress(label_ + ": " + std::string(text));
  }
  void TerminalOutput(std::string_view text) override {
    if (!plan_.debug) return;
    const std::string shown = DebugText(text, secret_);
    size_t start = 0;
    while (start < shown.size()) {
      const size_t end = shown.find('\n', start);
      if (end == std::string::npos) {
        plan_.debug(label_ + ": " + shown.substr(start));
        break;
      }
      plan_.debug(label_ + ": " + shown.substr(start, end - start));
      start = end + 1;
    }
  }
  // The remote password, shown as asterisks in the debug lines.
  void SetSecret(std::string secret) { secret_ = std::move(secret); }
  ~TargetUserInterface() override {
    volatile char* p = secret_.data();
    for (size_t i = 0; i < secret_.size(); ++i) p[i] = 0;
  }
  // The messages since the last call, joined.
  std::string TakeMessages() {
    std::string out;
    for (const std::string& m : messages) {
      if (m.empty()) continue;
      out += (out.empty() ? "" : " ") + m;
    }
    messages.clear();
    return out;
  }

  std::vector<std::string> messages;

 private:
  std::string label_;
  const ApplyPlan& plan_;
  std::string secret_;
};

class TargetRun {
 public:
  TargetRun(const ApplyTarget& target, const ApplyPlan& plan, int cancelFd)
      : target_(target),
        plan_(plan),
        ui_(a_, target.Label(), plan),
        log_([label = target.Label()] { return TrafficFileLog::LocalTimeStamp() + " " + label; }) {
    a_.SetUi(&ui_);
    ui_.WatchCancel(cancelFd);
    const Options& o = *plan.options;
    if (o.responseTimeout) a_.Options.ResponseTimeout = *o.responseTimeout;
    if (o.delayMs) a_.Options.DelayBeforeAT = *o.delayMs;
    a_.Options.Debug = o.debug ? 1 : 0;
  }
  ~TargetRun() {
    if (port_ && port_->IsOpen()) port_->Close();
    a_.SetPort(nullptr);
    a_.SetUi(nullptr);
  }

  ApplyOutcome Run();

 private:
  bool Connect();
  bool Cancelled() const { return ui_.CancelCount() > 0; }
  // Ends the run as failed with `what`, or with the cancel when that was
  // the cause.
  ApplyOutcome& Fail(std::string what);
  void EndLink();
  // "9600 bit/s 8N1": the port's settings now.
  std::string LineText() const;
  // Sets the port to the profile's line settings; false when the profile
  // has automatic rate detection or they are the ones set already.
  bool UseProfileLine();
  void WriteReport();
  // Saves the settings as read before the write; false (the run failed)
  // when they could not be saved.
  bool SaveBackup();
  bool AddRunToReport(const std::string& path, std::string& error);
  // Reads `sections`, the stored profile with them.
  bool Read(int sections);
  // Where the modem differs from the profile now or after a reset: the
  // active settings, then those only the stored profile holds differently.
  std::vector<FieldDifference> Differences(int sections);
  // A modem found with result codes suppressed is left so, active and
  // stored, as the window's Disconnect offers to do.
  void RestoreQuietMode();

  const ApplyTarget& target_;
  const ApplyPlan& plan_;
  CAdapter a_;
  TargetUserInterface ui_;
  TrafficFileLog log_;
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<TrafficLoggingPort> loggedPort_;
  ApplyOutcome out_;
  StoredProfile stored_;
  bool foundQuiet_ = false;
  bool wrote_ = false;  // "AT&W" stored the probe's result-code mode
  int storedQuiet_ = -1;  // -1 until a stored profile was listed
};

bool TargetRun::Read(int sections) {
  if (ReadConfiguration(a_, sections, stored_) != 1 || Cancelled()) return false;
  if (storedQuiet_ < 0 && stored_.known) storedQuiet_ = stored_.quiet;
  return true;
}

std::vector<FieldDifference> TargetRun::Differences(int sections) {
  if (!stored_.known) return CompareWithModem(plan_.profile, a_, sections);
  return CompareWithModemAndStored(plan_.profile, a_, sections, stored_.block);
}

void TargetRun::RestoreQuietMode() {
  // Over a remote link the probe found the local modem quiet, not the far
  // one: the logout puts it back (EndLink).
  if (a_.LinkState & LS_REMOTE) return;
  if (!(a_.LinkState & LS_IDENTIFIED) || !a_.PortIsOpen()) return;
  // In quiet mode the modem answers nothing: each command waits its budget.
  std::string command;
  if (wrote_ && storedQuiet_ == 1) {
    command = "ATQ1&W";
    a_.Transact(command, 1);
    if (!foundQuiet_) {
      command = "ATQ0";
      a_.Transact(command, 1, "OK\r\n");
    }
  } else if (foundQuiet_) {
    command = "ATQ1";
    a_.Transact(command, 1);
  }
}

ApplyOutcome& TargetRun::Fail(std::string what) {
  out_.result = ApplyResult::Failed;
  const std::string messages = ui_.TakeMessages();
  if (Cancelled()) {
    out_.error = CancelledText();
  } else {
    // The messages may say it already ("Modem disconnected during
    // process!" is both a message box and the run's own finding).
    out_.error = !what.empty() && messages.find(what) != std::string::npos ? std::string() : what;
    if (!messages.empty()) out_.error += (out_.error.empty() ? "" : " ") + messages;
  }
  return out_;
}

bool TargetRun::Connect() {
  const Options& o = *plan_.options;
  port_ = MakePort(target_.port);
  SerialPort* line = port_.get();
  if (!plan_.logPath.empty()) {
    std::string error;
    if (!log_.Open(plan_.logPath, error)) {
      Fail(error);
      return false;
    }
    loggedPort_ = std::make_unique<TrafficLoggingPort>(log_, port_.get());
    line = loggedPort_.get();
    // The login tells the log which send is the password.
    a_.TrafficFile = &log_;
  }
  a_.SetPort(line);
  a_.PortNumber = target_.port;
  a_.BaudRate = target_.baud.empty() ? o.baud : target_.baud;
  a_.Parity = target_.parity.empty() ? o.parity : target_.parity;
  a_.DataBits = target_.data.empty() ? o.data : target_.data;
  a_.StopBits = target_.stop.empty() ? o.stop : target_.stop;

  if (target_.remote.empty()) {
    int result = RunConnectOperation(a_);
    // A modem that an earlier run moved to the profile's line settings is
    // looked for there next.
    const std::string given = LineText();
    if (result == CONNECT_NOTHING_FOUND && a_.LinkState == LS_IDLE && UseProfileLine() && !Cancelled()) {
      result = RunConnectOperation(a_);
      if (result == CONNECT_IDENTIFIED) out_.lineNote = "found at the profile's " + LineText() + ", not at " + given;
    }
    if (result == CONNECT_IDENTIFIED) return true;
    std::string error = ConnectFailureMessage(a_, result);
    if (result == CONNECT_NOTHING_FOUND && a_.LinkState == LS_IDLE) {
      error += " (tried " + o.baud + " bit/s, " + o.data + " data bits, parity " + o.parity + ", " + o.stop +
               " stop bits; \"kelvane-cli scan --port " + target_.port + "\" searches every setting)";
    }
    if (a_.LinkState == LS_OPEN_FAILED && !a_.LastOpenError.empty()) error += " " + a_.LastOpenError;
    Fail(error);
    return false;
  }

  if (!OpenPortCancellably(a_)) {
    Fail("Unable to open COM-port... " + a_.LastOpenError);
    return false;
  }
  ui_.SetSecret(target_.password);
  // A rejected password ends the login as a cancelled password dialog does:
  // nobody is there to type another.
  bool passwordGiven = false;
  RemotePrompts prompts;
  prompts.askNumber = [this]() -> std::optional<std::string> { return target_.remote; };
  prompts.awaitPasswordPrompt = true;
  prompts.askPassword = [&]() -> std::optional<std::string> {
    if (passwordGiven) return std::nullopt;
    passwordGiven = true;
    return target_.password;
  };
  if (RunRemoteConnectOperation(a_, prompts) != 1) {
    a_.CloseLink();
    Fail(a_.PortLosses > 0 ? std::string(DisconnectedText) : "The remote login failed.");
    return false;
  }
  if (a_.ModelType == MT_NONE) {
    Fail("A modem was found, but it is unsupported by Kelvane.");
    EndLink();
    return false;
  }
  return true;
}

std::string TargetRun::LineText() const {
  return a_.BaudRate + " bit/s " + a_.DataBits + a_.Parity.substr(0, 1) + a_.StopBits;
}

bool TargetRun::UseProfileLine() {
  const SerialSettings& s = plan_.profile.serial;
  if (s.DteRate == 0) return false;
  const std::string baud = std::to_string(s.DteRate), data = std::to_string(s.DteDataBits),
                    stop = std::to_string(s.DteStopBits);
  const std::string parity = s.DteParity == 'E' ? "Even" : s.DteParity == 'O' ? "Odd" : "None";
  if (baud == a_.BaudRate && data == a_.DataBits && stop == a_.StopBits && parity == a_.Parity) return false;
  a_.BaudRate = baud;
  a_.DataBits = data;
  a_.StopBits = stop;
  a_.Parity = parity;
  return true;
}

// As every command ends its link: a remote session is ended ("AT*WRCE",
// "+++", "ATH") before the port closes, also after a failure or a cancel.
void TargetRun::EndLink() {
  if ((a_.LinkState & (LS_PORT_OPEN | LS_IDENTIFIED | LS_REMOTE)) == (LS_PORT_OPEN | LS_IDENTIFIED | LS_REMOTE)) {
    a_.AbortRequested = false;
    a_.Busy = false;
    // The local modem the probe switched to result codes is put back once
    // the call has ended.
    DisconnectCommand(a_, foundQuiet_);
  } else {
    a_.CloseLink();
  }
}

// The rows that say which target a report is of and what this run did to it.
std::string RunRows(const ApplyTarget& target, const ApplyPlan& plan, const ApplyOutcome& out) {
  auto row = [](const std::string& caption, const std::string& value) {
    return "<tr><td>" + caption + "</td><td>" + HtmlEscaped(value) + "</td></tr>\r\n";
  };
  auto names = [](const std::vector<FieldDifference>& list) {
    std::string text;
    for (const FieldDifference& d : list) text += (text.empty() ? "" : ", ") + d.name;
    return text.empty() ? std::string("none") : text;
  };
  std::string rows = "<h3>kelvane-cli apply</h3>\r\n<table border='0' CellPadding='5' CellSpacing='2'>\r\n";
  rows += row("Target", target.Label());
  if (!target.remote.empty()) rows += row("Remote number", target.remote);
  rows += row("Profile", plan.profilePath);
  if (!target.values.empty()) rows += row("Own values", ShownValuesText(target));
  if (!out.backup.empty()) rows += row("Settings saved before the write", out.backup);
  if (!out.model.empty()) rows += row("Modem", out.model);
  rows += row("Result", ResultWord(out.result));
  if (out.result == ApplyResult::Failed) {
    rows += row("What failed", out.error);
    rows += row("Settings written", out.written ? "yes, before the failure" : "no");
  }
  rows += row(plan.check ? "Fields that would change" : "Fields changed", names(out.fields));
  if (!out.skipped.empty()) rows += row("Fields left alone over the remote link", names(out.skipped));
  rows += "</table>\r\n";
  return rows;
}

bool TargetRun::AddRunToReport(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream html;
  html << in.rdbuf();
  std::string text = html.str();
  const size_t end = text.rfind("</body>");
  if (end == std::string::npos) {
    error = "The report has no end.";
    return false;
  }
  text.insert(end, RunRows(target_, plan_, out_));
  ReplacementFile file(path);
  return file.Create(error) && file.Commit(text, error);
}

// A target that failed gets a report too, saying what failed, so that the
// folder accounts for every target of the run.
void WriteFailureReport(const ApplyTarget& target, const ApplyPlan& plan, ApplyOutcome& out) {
  const std::string path = plan.reportDir + "/" + ReportFileName(target);
  const std::string html =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n<html>\r\n<head>\r\n"
      "<meta HTTP-EQUIV=\"Content-Type\" Content=\"text/html; CHARSET=iso-8859-1\">\r\n"
      "<title>Kelvane apply: " + HtmlEscaped(target.Label()) + " failed</title>\r\n</head>\r\n<body>\r\n" +
      RunRows(target, plan, out) + "</body>\r\n</html>\r\n";
  ReplacementFile file(path);
  std::string error;
  if (file.Create(error) && file.Commit(html, error)) {
    out.report = path;
  } else {
    out.error += " The report " + path + " was not written: " + error;
  }
}

bool TargetRun::SaveBackup() {
  // "ttyUSB0-5551234_20261208-141500.dat": the target as its report is
  // named, and the time; a second backup within the same second gets a
  // number rather than taking the place of the first.
  std::string name = ReportFileName(target_);
  name.resize(name.size() - 4);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "_%Y%m%d-%H%M%S", &local);
  const std::string base = plan_.backupDir + "/" + name + stamp;
  std::string path = base + ".dat";
  for (int n = 2; ::access(path.c_str(), F_OK) == 0 && n < 100; ++n) path = base + "-" + std::to_string(n) + ".dat";
  std::string error;
  if (!SaveProfileFile(path, a_.Config, error)) {
    Fail("The settings were not saved before the write, so nothing was written: " + error);
    return false;
  }
  out_.backup = path;
  return true;
}

void TargetRun::WriteReport() {
  if (plan_.reportDir.empty() || !(a_.LinkState & LS_IDENTIFIED) || Cancelled()) return;
  const std::string path = plan_.reportDir + "/" + ReportFileName(target_);
  ui_.TakeMessages();
  std::string error;
  if (CreateReport(a_, path, FailedDiagnosticRead::LeaveFileUntouched) == 1) {
    if (AddRunToReport(path, error)) {
      out_.report = path;
      return;
    }
    ui_.messages.push_back(error);
  }
  // The profile may well be in place; the record of it is missing.
  const std::string held = out_.result == ApplyResult::Failed ? out_.error : "";
  const std::string messages = ui_.TakeMessages();
  out_.reportFailed = true;
  out_.result = ApplyResult::Failed;
  out_.error = (held.empty() ? "" : held + " ") + "The report " + path + " was not written." +
               (messages.empty() ? "" : " " + messages);
}

ApplyOutcome TargetRun::Run() {
  if (!Connect()) return out_;
  out_.model = std::string(ModelName(a_.ModelType));
  out_.type = a_.ModelType;

  const int compared = plan_.sections & WritableSections(a_.ModelType);
  if (compared == 0) {
    Fail("The " + out_.model + " has no I/O section: leave io out of --sections for it (without --sections "
         "each model's own sections are compared).");
    EndLink();
    return out_;
  }
  foundQuiet_ = a_.QuietWasOn;
  // A backup holds every section of the model, not only those compared.
  if (!Read(plan_.backupDir.empty() ? compared : compared | WritableSections(a_.ModelType))) {
    Fail(a_.PortIsOpen() ? "Reading the configuration failed." : std::string(DisconnectedText));
    RestoreQuietMode();
    EndLink();
    return out_;
  }

  // Over a remote link a new Serial setting can cut the line and a new
  // Remote configuration lock the technician out: only when asked for by
  // name.
  const bool remote = a_.LinkState & LS_REMOTE;
  const int guarded = remote ? (SEC_SERIAL | SEC_REMOTE) & ~plan_.namedSections : 0;
  int toWrite = 0;
  for (FieldDifference& d : Differences(compared)) {
    const int section = SectionOfField(d.name);
    if (section & guarded) {
      out_.skipped.push_back(std::move(d));
    } else {
      toWrite |= section;
      out_.fields.push_back(std::move(d));
    }
  }

  // In words before the write puts the profile's records in place.
  out_.fieldWords = DifferencesInWords(out_.fields, plan_.profile, a_.Config);

  // A new rate or format of the modem's serial side: the next run must
  // look for it there (it does, after the given settings).
  const SerialSettings& ps = plan_.profile.serial;
  const bool lineChanges = (toWrite & SEC_SERIAL) && !remote && ps.DteRate != 0 &&
                           (a_.Config.serial.DteRate != ps.DteRate || a_.Config.serial.DteDataBits != ps.DteDataBits ||
                            a_.Config.serial.DteParity != ps.DteParity ||
                            a_.Config.serial.DteStopBits != ps.DteStopBits);
  const std::string newLine = std::to_string(ps.DteRate) + " bit/s " + std::to_string(ps.DteDataBits) +
                              std::string(1, ps.DteParity) + std::to_string(ps.DteStopBits);
  if (plan_.check && (toWrite != 0 || !out_.skipped.empty())) {
    out_.result = ApplyResult::WouldChange;
    if (lineChanges) out_.lineNote = "after the write the modem would answer at " + newLine;
  } else if (toWrite == 0) {
    out_.result = out_.skipped.empty() ? ApplyResult::Unchanged : ApplyResult::Partial;
  } else {
    // The profile's records take the place of what was read, and only those
    // sections are written, as a page's own Write does (the I/O page: its
    // parameters and all ten entries).
    if (!plan_.backupDir.empty() && !SaveBackup()) {
      RestoreQuietMode();
      EndLink();
      return out_;
    }
    ui_.TakeMessages();
    out_.written = true;
    const ProfileWrite written = WriteProfile(a_, toWrite | ((toWrite & SEC_IO) ? 0x03 : 0), &plan_.profile);
    // A write that stopped before its "AT&W" left the stored profile, and its
    // quiet mode, alone: storing again would keep half a write.
    wrote_ = written.stored != 0;
    if (written.result != 1 || written.notWritten || Cancelled()) {
      Fail(a_.PortIsOpen() ? "" : std::string(DisconnectedText));
      if (out_.error.empty()) out_.error = "Writing the configuration failed.";
      RestoreQuietMode();
      EndLink();
      return out_;
    }
    if (!Read(toWrite)) {
      Fail(a_.PortIsOpen() ? "The write went through, but reading it back failed."
                           : std::string(DisconnectedText));
      RestoreQuietMode();
      EndLink();
      return out_;
    }
    const auto still = Differences(toWrite);
    if (!still.empty()) {
      std::string names;
      for (const FieldDifference& d : still) names += (names.empty() ? "" : ", ") + d.name;
      Fail("After the write the modem still differs in " + names + ".");
    } else {
      out_.result = out_.skipped.empty() ? ApplyResult::Changed : ApplyResult::Partial;
      if (lineChanges) out_.lineNote = "the modem now answers at " + newLine + " (read back at it)";
    }
  }
  WriteReport();
  RestoreQuietMode();
  EndLink();
  return out_;
}

}  // namespace

ApplyOutcome ApplyToTarget(const ApplyTarget& target, const ApplyPlan& plan, int cancelFd) {
  ApplyOutcome out;
  {
    // A target with values of its own runs on the profile they make.
    ApplyPlan own = plan;
    if (target.profile) own.profile = *target.profile;
    TargetRun run(target, own, cancelFd);
    out = run.Run();
  }
  if (out.result == ApplyResult::Failed && out.report.empty() && !out.reportFailed && !plan.reportDir.empty()) {
    WriteFailureReport(target, plan, out);
  }
  return out;
}

}  // namespace kelvane::cli
