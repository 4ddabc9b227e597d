#include "config/write_engine.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "config/answer_cutting.h"
#include "config/field_table.h"
#include "config/entry_rules.h"
#include "config/operation_hold.h"
#include "config/traffic_file_log.h"

namespace kelvane {

namespace {

constexpr std::string_view kOk = "OK\r\n";

// A failed exchange: its answer text (or the transaction's failure text) is
// what the halted message shows. Caught once where the write ends.
struct WriteFailed {
  std::string answer;
};

// A text from the block as it may go into a command: a control character
// (from a damaged or foreign profile) would end the command line early and
// let the rest run as a command of its own, so none is sent.
template <size_t N>
std::string Field(const char (&field)[N]) {
  std::string text = GetText(field);
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20) out += c;
  }
  return out;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

struct CharFormat {
  std::string_view format;
  std::string_view pair;
  int dataBits;
  char parity;
  int stopBits;
};

constexpr CharFormat kCharFormats[] = {
    {"7N2", "4,4", 7, 'N', 2}, {"7E1", "5,1", 7, 'E', 1}, {"7O1", "5,0", 7, 'O', 1},
    {"8N1", "3,4", 8, 'N', 1}, {"8E1", "2,1", 8, 'E', 1}, {"8O1", "2,0", 8, 'O', 1},
    {"7E2", "4,1", 7, 'E', 2}, {"7O2", "4,2", 7, 'O', 2}, {"8N2", "1,4", 8, 'N', 2},
    {"8E2", "1,1", 8, 'E', 2}, {"8O2", "1,2", 8, 'O', 2},
};
constexpr const CharFormat& kDefaultFormat = kCharFormats[3];  // "3,4"

class WriteSession {
 public:
  explicit WriteSession(CAdapter& a) : a_(a), ui_(a.Ui()) {}
  int Run(int sections);
  // The sections sent and stored by a write that went through.
  int Stored() const { return stored_; }

 private:
  // The members of the block that a command carries: named when the modem
  // refuses the command, since its "ERROR" does not say which value it took
  // amiss.
  using Members = std::initializer_list<const void*>;
  void Send(const std::string& command, Members members) {
    std::string text = command;
    // The answer echoes the command: its passwords stay out of the message.
    if (a_.Transact(text, 3, kOk, MatchExact) != 1) {
      throw WriteFailed{MaskPasswordFieldsInText(text) + RefusedFieldsText(text, members)};
    }
  }
  // Sends and advances the progress bar.
  void SendStep(const std::string& command, Members members) {
    Send(command, members);
    Advance();
  }
  std::string RefusedFieldsText(const std::string& answer, Members members) const;
  // A text that goes out bare is checked against its form once more as it
  // is put into its command: nothing but the form itself reaches the modem.
  template <size_t N>
  std::string Bare(const char (&field)[N]) const;
  void Advance() { ui_.StepProgress(); }

  void WriteBasic();
  void WriteSerial();
  void WriteDial();
  void WriteCallerId();
  void WriteRemote();
  void WriteCallback();
  void WriteIo(int selection);
  void ReportNotStored(const std::string& answer);
  void ReportSkippedPages();

  CAdapter& a_;
  UserInterface& ui_;
  VerboseResultsSession verbose_{a_};
  std::vector<int> skipped_;
  int stored_ = 0;
};

std::string WriteSession::RefusedFieldsText(const std::string& answer, Members members) const {
  if (answer.find("ERROR") == std::string::npos) return {};
  std::string names;
  for (const void* member : members) {
    size_t element = 0;
    const auto offset = static_cast<size_t>(static_cast<const char*>(member) -
                                            reinterpret_cast<const char*>(&a_.Config));
    const FieldInfo* f = FindFieldAt(offset, &element);
    if (!f) continue;
    if (!names.empty()) names += ", ";
    names += f->ElementName(element);
    if (f->page != kNotShownPage) names += " (" + f->ElementCaption(element) + ")";
  }
  if (names.empty()) return {};
  return std::string("\n\r\n\rThe modem refused ") + (members.size() > 1 ? "one of " : "") + names + ".";
}

template <size_t N>
std::string WriteSession::Bare(const char (&field)[N]) const {
  const std::string text = Field(field);
  size_t element = 0;
  const auto offset = static_cast<size_t>(field - reinterpret_cast<const char*>(&a_.Config));
  const FieldInfo* f = FindFieldAt(offset, &element);
  if (!f) throw WriteFailed{"A text outside the settings table was to be sent."};
  if (std::string problem = CommandCharacterProblem(*f, text); !problem.empty()) {
    throw WriteFailed{f->ElementCaption(element) + ": " + problem + "."};
  }
  return text;
}

void WriteSession::WriteBasic() {
  ui_.SetProgressText(SectionProgressText("Writing", SEC_BASIC));
  const BasicSettings& b = a_.Config.basic;
  const std::string modulation = Bare(b.Modulation);
  std::string ms = "AT+MS=" + modulation;
  ms = ReplaceAll(ms, "V32B", "V32");
  ms = ReplaceAll(ms, "AUTOV8", "V34");
  ms = ReplaceAll(ms, "AUTO", "V32B");
  ms += (!modulation.empty() && modulation[0] == 'B') ? "B1" : "B0";
  SendStep(ms, {&b.Modulation});

  char gci[32];
  std::snprintf(gci, sizeof gci, "AT+GCI=%02X", static_cast<unsigned>(b.CountryCode));
  SendStep(gci, {&b.CountryCode});
  SendStep("AT%C" + std::to_string(b.CompressionC), {&b.CompressionC});
  SendStep("AT%E" + std::to_string(b.LineQuality), {&b.LineQuality});
  SendStep("AT\\N" + std::to_string(b.ErrorCorrectionN), {&b.ErrorCorrectionN});
  SendStep("AT\\K" + std::to_string(b.BreakControl), {&b.BreakControl});
  SendStep("AT*WFD=" + std::to_string(b.FastDisconnect), {&b.FastDisconnect});
  SendStep("ATS0=" + std::to_string(b.S0), {&b.S0});
  SendStep("ATS7=" + std::to_string(b.S7), {&b.S7});
  SendStep("ATS10=" + std::to_string(b.S10), {&b.S10});
  SendStep("ATS25=" + std::to_string(b.S25), {&b.S25});
  SendStep("ATS30=" + std::to_string(b.S30), {&b.S30});
  SendStep("ATS91=" + std::to_string(b.S91), {&b.S91});
}

void WriteSession::WriteSerial() {
  ui_.SetProgressText(SectionProgressText("Writing", SEC_SERIAL));
  const SerialSettings& s = a_.Config.serial;

  SendStep("AT+IPR=" + std::to_string(s.DteRate), {&s.DteRate});
  // Over a remote connection "AT+IPR" and "AT+ICF" set the far modem's own
  // port: the line to the local modem keeps its settings, or the link would
  // be cut in the middle of the write.
  const bool remote = a_.LinkState & LS_REMOTE;
  // The local port follows the modem's new rate; 0 (automatic) keeps it.
  const std::string rate = std::to_string(s.DteRate);
  if (!remote && rate != a_.BaudRate) {
    ui_.Sleep(100);
    if (rate != "0") {
      a_.BaudRate = rate;
      a_.ApplyPortSettings();
    }
  }

  std::string format = std::to_string(s.DteDataBits);
  format += s.DteParity;
  format += std::to_string(s.DteStopBits);
  const CharFormat* sent = &kDefaultFormat;
  for (const CharFormat& f : kCharFormats) {
    if (f.format == format) sent = &f;
  }
  SendStep("AT+ICF=" + std::string(sent->pair), {&s.DteDataBits, &s.DteParity, &s.DteStopBits});
  // The local port takes the format the modem was really given: a format
  // outside the table went out as 8N1, and a port set to anything else
  // would no longer understand the modem.
  if (!remote) {
    ui_.Sleep(100);
    a_.DataBits = std::to_string(sent->dataBits);
    a_.StopBits = std::to_string(sent->stopBits);
    a_.Parity = sent->parity == 'O' ? "Odd" : sent->parity == 'E' ? "Even" : "None";
    a_.ApplyPortSettings();
  }

  SendStep("AT&C" + std::to_string(s.DcdControl), {&s.DcdControl});
  SendStep("AT&D" + std::to_string(s.DtrControl), {&s.DtrControl});
  SendStep("AT&K" + std::to_string(s.ModemFlowControl), {&s.ModemFlowControl});
  SendStep("AT&S" + std::to_string(s.DsrControl), {&s.DsrControl});
  SendStep("ATW" + std::to_string(s.EnhancedResults), {&s.EnhancedResults});
  SendStep("ATX" + std::to_string(s.ReducedResults), {&s.ReducedResults});
  SendStep("ATE" + std::to_string(s.LocalEcho), {&s.LocalEcho});
  SendStep("AT*WIE=" + std::to_string(s.IgnoreErrors), {&s.IgnoreErrors});

  // The profile decides the result-code mode the modem is left in.
  a_.QuietWasOn = s.ResultSuppression != 0;
  verbose_.SetRestoreNumeric(s.ResultFormat == 0);
}

void WriteSession::WriteDial() {
  ui_.SetProgressText(SectionProgressText("Writing", SEC_DIAL));
  const DialSettings& d = a_.Config.dial;
  SendStep("AT&A" + std::to_string(d.DialAbort), {&d.DialAbort});
  SendStep("AT&B" + std::to_string(d.HotCall), {&d.HotCall});
  for (int n = 0; n < 4; ++n) {
    SendStep("AT&Z" + std::to_string(n) + "=" + Bare(d.StoredNumbers[n]), {&d.StoredNumbers[n]});
  }
  if (a_.ModelType == MT_RM40_485) {
    Send("AT*WDB=" + Quoted(Field(d.BackupNumber)) + "," + std::to_string(d.BackupRetries) + "," +
             std::to_string(d.BackupTime),
         {&d.BackupNumber, &d.BackupRetries, &d.BackupTime});
  }
}

void WriteSession::WriteCallerId() {
  ui_.SetProgressText(SectionProgressText("Writing", SEC_CALLERID));
  const CallerIdSettings& c = a_.Config.callerId;
  if (c.CidFormat != 0) {
    SendStep("AT*WCID=" + std::to_string(c.CidFormat) + "," + std::to_string(c.CidMode), {&c.CidFormat, &c.CidMode});
  } else {
    SendStep("AT*WCID=0", {&c.CidFormat});
  }
  for (int n = 1; n <= 10; ++n) {
    Send("AT*WACCTAB=" + std::to_string(n) + "," + Quoted(Field(c.AcceptedNumbers[n - 1])),
         {&c.AcceptedNumbers[n - 1]});
  }
  Advance();
}

void WriteSession::WriteRemote() {
  ui_.SetProgressText(SectionProgressText("Writing", SEC_REMOTE));
  const RemoteSettings& r = a_.Config.remote;
  SendStep(r.RemoteEnable != 0 ? "AT*WRCA=1" : "AT*WRCA=0", {&r.RemoteEnable});
  SendStep("AT*WRCP=" + Bare(r.RemotePassword), {&r.RemotePassword});
}

void WriteSession::WriteCallback() {
  ui_.SetProgressText(SectionProgressText("Writing", SEC_CALLBACK));
  const CallbackSettings& c = a_.Config.callback;
  SendStep("AT*WCB=" + std::to_string(c.CallbackMode), {&c.CallbackMode});
  SendStep("AT*WCBTIME=" + std::to_string(c.CallbackTime), {&c.CallbackTime});
  for (int n = 1; n <= 10; ++n) {
    Send("AT*WCBTAB=" + std::to_string(n) + "," + Quoted(Field(c.CallbackNumbers[n - 1])) + "," +
             Quoted(Field(c.CallbackPasswords[n - 1])),
         {&c.CallbackNumbers[n - 1], &c.CallbackPasswords[n - 1]});
  }
  Advance();
}

void WriteSession::WriteIo(int selection) {
  ui_.SetProgressText(SectionProgressText("Writing", SEC_IO));
  const IoSettings& io = a_.Config.io;
  if (selection & 1) {
    Send("AT*WIOP=" + std::to_string(io.PulseTa) + "," + std::to_string(io.PulseTp) + "," +
             std::to_string(io.TrigType) + "," + std::to_string(io.TrigLevel) + "," + std::to_string(io.OutputCtrl),
         {&io.PulseTa, &io.PulseTp, &io.TrigType, &io.TrigLevel, &io.OutputCtrl});
  }
  Advance();
  if (!(selection & 2)) return;
  for (int n = 1; n <= 10; ++n) {
    if (WritesIoEntry(selection, n)) {
      const size_t i = static_cast<size_t>(n - 1);
      Send("AT*WIOL=" + std::to_string(n) + "," + std::to_string(io.Service[i]) + "," +
               std::to_string(io.Retry[i]) + "," + std::to_string(io.Timeout[i]) + "," +
               std::to_string(io.Priority[i]) + "," + Quoted(Field(io.Data1[i])) + "," +
               Quoted(Field(io.Data2[i])) + "," + Quoted(Field(io.Data3[i])) + "," +
               std::to_string(io.Data4[i]) + "," + Quoted(Field(io.Data5[i])) + "," +
               Quoted(Field(io.Data6[i])),
           {&io.Service[i], &io.Retry[i], &io.Timeout[i], &io.Priority[i], &io.Data1[i], &io.Data2[i], &io.Data3[i],
            &io.Data4[i], &io.Data5[i], &io.Data6[i]});
    }
    Advance();
  }
}

void WriteSession::ReportNotStored(const std::string& answer) {
  ui_.MessageBox(
      "The configuration was sent, but the modem did not store it (\"AT&W\" failed). The modem keeps "
      "the new settings only until its next reset.\n\r\n\r" +
          (answer.empty() ? std::string("No response from modem.") : answer),
      MsgIcon::Error, MsgButtons::Ok);
}

void WriteSession::ReportSkippedPages() {
  if (skipped_.empty()) return;
  std::string text = "The following pages was not saved: \r\n";
  for (int bit : skipped_) {
    if (const SectionInfo* section = SectionOfBit(bit); section && *section->words) {
      text += std::string(section->words) + "\r\n";
    }
  }
  ui_.MessageBox(text, MsgIcon::None, MsgButtons::Ok);
}

int WriteSession::Run(int sections) {
  if (sections == SEC_ALL &&
      ui_.MessageBox(kWriteAllQuestion, MsgIcon::Question, MsgButtons::YesNo) !=
          MsgAnswer::Yes) {
    return 0;
  }

  const int selection = sections & 0xFF;
  const bool ioModel = a_.ModelType == MT_RM40_485;
  // One step for the start and one after the result-code switch, then one per
  // advance of each section written.
  int count = 2;
  struct Section {
    int bit;
    int steps;
  };
  const Section scanned[] = {
      {SEC_BASIC, 13},   {SEC_SERIAL, 10},  {SEC_DIAL, 6},
      {SEC_CALLERID, 2}, {SEC_REMOTE, 2},   {SEC_CALLBACK, 3},
      {SEC_IO, 1 + ((selection & 2) ? 10 : 0)},
  };
  // What is left to write: the sections that are requested, exist on this
  // model and hold data. The I/O row selector and the Diagnostic bit stay in
  // the mask but are nothing to write on their own.
  int toWrite = 0;
  for (const Section& s : scanned) {
    if (!(sections & s.bit) || (s.bit == SEC_IO && !ioModel)) continue;
    if (!a_.Page(PageOfSection(s.bit)).valid) {
      sections &= ~s.bit;
      skipped_.push_back(s.bit);
    } else {
      count += s.steps;
      toWrite |= s.bit;
    }
  }
  ui_.SetProgressRange(0, count);
  ui_.SetProgressStep(1);
  Advance();

  bool failed = false;
  try {
    // Nothing to write: stop before the probe, so that no "AT&W" stores
    // whatever the modem's working memory happens to hold.
    if (toWrite == 0) throw WriteFailed{};
    // A text that would end its command early (a double quote in a quoted
    // text, a semicolon in a bare one) is refused before anything is sent,
    // wherever it came from: a page, set, import, a profile file or a modem.
    if (const auto bad = FindUnsendableText(a_.Config, sections, a_.ModelType)) {
      const std::string command = bad->command.empty() ? std::string() : " (" + bad->command + ")";
      throw WriteFailed{bad->where + ": " + bad->problem + command + ". Nothing was sent."};
    }
    if (a_.ProbeModem() <= 0) {
      // A cancelled probe (-1) stops the write as well; a lost port says so.
      throw WriteFailed{a_.PortIsOpen() ? std::string() : std::string(DisconnectedText)};
    }
    if (std::string v1; !verbose_.Begin(v1, MatchExact)) throw WriteFailed{v1};
    Advance();
    if (sections & SEC_BASIC) WriteBasic();
    if (sections & SEC_SERIAL) WriteSerial();
    if (sections & SEC_DIAL) WriteDial();
    if (sections & SEC_CALLERID) WriteCallerId();
    if (sections & SEC_REMOTE) WriteRemote();
    if (sections & SEC_CALLBACK) WriteCallback();
    if ((sections & SEC_IO) && ioModel) WriteIo(selection);
  } catch (const WriteFailed& f) {
    failed = true;
    if (!f.answer.empty()) {
      ui_.MessageBox("The write operation halted with the following error string:\n\r\n\r" + f.answer,
                     MsgIcon::Error, MsgButtons::Ok);
    } else {
      ui_.MessageBox("Write operation halted, no response from modem.", MsgIcon::Error,
                     MsgButtons::Ok);
    }
  }

  verbose_.End();
  int result = 0;
  if (!failed) {
    // Stored only after a complete write; the modem may already be in
    // numeric mode again.
    std::string store = "AT&W";
    result = a_.Transact(store, 3, kOk, "0\r", MatchExact) >= 1 ? 1 : 0;
    // Without the store the new settings live only in the modem's working
    // memory and are gone at its next reset: the user must know.
    if (!result) ReportNotStored(store);
    if (result) stored_ = toWrite;
  }
  // The list is shown while the write still holds Busy, so that nothing
  // else (a page update after a lost link among them) runs inside its box.
  ReportSkippedPages();
  return result;
}

}  // namespace

int WriteConfiguration(CAdapter& a, int sections, int* storedSections) {
  if (storedSections) *storedSections = 0;
  if (a.Busy || !(a.LinkState & LS_IDENTIFIED)) return 0;
  BusyHold busy(a);
  a.Ui().SetProgressText("Writing configuration...");
  WriteSession session(a);
  const int result = session.Run(sections);
  if (storedSections) *storedSections = session.Stored();
  return result;
}

ProfileWrite WriteProfile(CAdapter& a, int sections, const ConfigBlock* profile) {
  ProfileWrite out;
  int asked = 0;
  for (const SectionInfo& s : Sections()) {
    if (!(sections & s.bit) || s.size == 0 || (s.bit == SEC_IO && a.ModelType != MT_RM40_485)) continue;
    asked |= s.bit;
  }
  if (profile && !a.Busy && (a.LinkState & LS_IDENTIFIED)) {
    CopySections(a.Config, *profile, asked);
    for (const SectionInfo& s : Sections()) {
      if (!(asked & s.bit)) continue;
      a.Page(s.page).valid = 1;
      a.Page(s.page).reloadPending = 1;
    }
  }
  out.result = WriteConfiguration(a, sections, &out.stored);
  out.notWritten = asked & ~out.stored;
  return out;
}

}  // namespace kelvane
