#include "config/read_engine.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "config/answer_cutting.h"
#include "config/field_table.h"
#include "config/operation_hold.h"
#include "config/page_values.h"

namespace kelvane {

namespace {

// A failed exchange, or an answer that lacks what the read needs. Thrown
// inside the read and caught once where it ends and cleans up.
struct ReadFailed {
  // Why, when the modem answered but its answer is not taken; empty for a
  // failed exchange.
  std::string reason;
};

constexpr std::string_view kOk = "OK\r\n";
// Line ends never belong to a value.
constexpr std::string_view kLineEnd = "\r\n";

template <typename T>
T Require(std::optional<T> v) {
  if (!v) throw ReadFailed{};
  return *v;
}

// Walks through one answer. Each key is searched in what is left after the
// previous one, so the keys of an answer are taken in order; a key that is
// not there fails the read.
class Cut {
 public:
  explicit Cut(std::string_view text) : rest_(text) {}

  Cut& After(std::string_view key) {
    rest_ = Require(TextAfter(rest_, key));
    return *this;
  }
  Cut& From(std::string_view key) {
    rest_ = Require(TextFrom(rest_, key));
    return *this;
  }
  Cut& Skip(size_t count) {
    rest_ = Require(SkipChars(rest_, count));
    return *this;
  }
  int NumberAfter(std::string_view key) { return LeadingDecimal(After(key).rest_); }
  // The text after the key up to the end of its line.
  std::string_view LineAfter(std::string_view key) { return TextUpToAny(After(key).rest_, kLineEnd); }
  std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// Up to four blank-separated decimal numbers; stops at the first that is not
// there and leaves the remaining values alone.
void ReadNumbers(std::string_view text, int32_t* values, int count) {
  for (int i = 0; i < count; ++i) {
    size_t p = 0;
    while (p < text.size() && (text[p] == ' ' || (text[p] >= '\t' && text[p] <= '\r'))) ++p;
    size_t digits = p;
    if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) ++digits;
    size_t end = digits;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == digits) return;
    values[i] = LeadingDecimal(text.substr(p, end - p));
    text.remove_prefix(end);
  }
}

struct CharFormat {
  std::string_view answer;
  int dataBits;
  char parity;
  int stopBits;
};

constexpr CharFormat kCharFormats[] = {
    {"4,4", 7, 'N', 2}, {"5,1", 7, 'E', 1}, {"5,0", 7, 'O', 1}, {"3,4", 8, 'N', 1},
    {"2,1", 8, 'E', 1}, {"2,0", 8, 'O', 1}, {"4,1", 7, 'E', 2}, {"4,2", 7, 'O', 2},
    {"1,4", 8, 'N', 2}, {"1,1", 8, 'E', 2}, {"1,2", 8, 'O', 2}, {"0", 8, 'N', 1},
};

// The fields of one profile of an "AT&V" listing, from `c` on (the active
// or the stored profile's lines).
void CutBasicListing(Cut c, BasicSettings& b) {
  b.ErrorCorrectionN = c.NumberAfter("\\N");
  b.S0 = c.NumberAfter("S00:");
  b.S7 = c.NumberAfter("S07:");
  b.S10 = c.NumberAfter("S10:");
  b.S25 = c.NumberAfter("S25:");
  b.S30 = c.NumberAfter("S30:");
  const int s40 = c.NumberAfter("S40:");
  b.BreakControl = (s40 >> 3) & 7;
  const int s41 = c.NumberAfter("S41:");
  b.CompressionC = s41 & 3;
  b.LineQuality = (s41 >> 2) & 0x11;
  if (b.LineQuality > 2) b.LineQuality = 2;
  b.S91 = c.NumberAfter("S91:");
}

void CutSerialListing(Cut c, SerialSettings& s) {
  s.LocalEcho = c.NumberAfter("E");
  s.ResultFormat = c.NumberAfter("V");
  s.EnhancedResults = c.NumberAfter("W");
  s.ReducedResults = c.NumberAfter("X");
  s.DcdControl = c.NumberAfter("&C");
  s.DtrControl = c.NumberAfter("&D");
  s.ModemFlowControl = c.NumberAfter("&K");
  s.DsrControl = c.NumberAfter("&S");
}

// Leaves `c` after "&B", where the active profile's listing goes on to the
// stored numbers.
void CutDialListing(Cut& c, DialSettings& d) {
  d.DialAbort = c.NumberAfter("&A");
  d.HotCall = c.NumberAfter("&B");
}

class ReadSession {
 public:
  ReadSession(CAdapter& a, StoredProfile* stored) : a_(a), ui_(a.Ui()), stored_(stored) {}

  int Run(int sections);

 private:
  // A plain exchange: the whole collected answer, echo included.
  std::string Exchange(std::string_view command);
  std::string QueryText(std::string_view command);
  int QueryNumber(std::string_view command);
  // The text after the first ':' and the blank that follows it.
  static std::string_view AfterColon(std::string_view text) {
    return Cut(text).After(":").Skip(1).Rest();
  }
  // The active profile lines of an "AT&V" answer (after the heading's line end).
  static Cut ActiveProfile(std::string_view answer) {
    Cut c(answer);
    c.After("ACTIVE PROFILE:").Skip(2);
    return c;
  }
  void Advance() { ui_.StepProgress(); }
  void SetValid(int sectionBit) { a_.Page(PageOfSection(sectionBit)).valid = 1; }
  // Stores a text the write sends bare only when it is exactly its form:
  // otherwise a modem's answer could carry commands to the next modem the
  // profile is written to. Such an answer stops the read; the field keeps
  // what it held.
  template <size_t N, typename Store>
  void StoreBare(char (&field)[N], Store store);

  void ReadBasic();
  void ReadSerial();
  void ReadDial();
  void ReadCallerId();
  void ReadRemote();
  void ReadDiagnostic();
  void ReadCallback();
  void ReadIo();
  void ReadStored(int sections);

  CAdapter& a_;
  UserInterface& ui_;
  StoredProfile* stored_;
  VerboseResultsSession verbose_{a_};
};

std::string ReadSession::Exchange(std::string_view command) {
  std::string text(command);
  if (a_.Transact(text, 3, kOk, MatchExact) != 1) throw ReadFailed{};
  return text;
}

std::string ReadSession::QueryText(std::string_view command) {
  std::string text(command);
  if (a_.Transact(text, 3, kOk, MatchExact) != 1) throw ReadFailed{};
  std::string_view answer = text;
  if (a_.EchoOn) answer = WithoutEcho(answer, command);
  std::string result = WithoutChars(TextUpTo(answer, kOk), kLineEnd);
  if (result.empty()) throw ReadFailed{};
  return result;
}

int ReadSession::QueryNumber(std::string_view command) {
  std::string text(command);
  if (a_.Transact(text, 3, kOk, MatchExact) != 1) throw ReadFailed{};
  // The echo is dropped only when it is there: with echo off the answer's
  // own "\r\n*WFD:" is exactly as long as "AT*WFD?" and must not be dropped.
  return LeadingDecimal(AfterColon(WithoutEcho(text, command)));
}

template <size_t N, typename Store>
void ReadSession::StoreBare(char (&field)[N], Store store) {
  char answer[N];
  std::memcpy(answer, field, N);
  store(answer);
  size_t element = 0;
  const auto offset = static_cast<size_t>(field - reinterpret_cast<const char*>(&a_.Config));
  const FieldInfo* f = FindFieldAt(offset, &element);
  if (f) {
    if (std::string problem = CommandCharacterProblem(*f, FieldText(answer, N)); !problem.empty()) {
      throw ReadFailed{"The modem's answer for " + f->ElementCaption(element) + " was not stored: " + problem + "."};
    }
  }
  std::memcpy(field, answer, N);
}

void ReadSession::ReadBasic() {
  ui_.SetProgressText(SectionProgressText("Reading", SEC_BASIC));
  BasicSettings& b = a_.Config.basic;
  {
    const std::string answer = Exchange("AT&V");
    CutBasicListing(ActiveProfile(answer), b);
    Advance();
  }
  const std::string modulation = QueryText("AT+MS?");
  StoreBare(b.Modulation, [&](auto& field) { SetTextFull(field, AfterColon(modulation)); });
  Advance();
  b.CountryCode = LeadingHex(AfterColon(QueryText("AT+GCI?")));
  Advance();
  SetValid(SEC_BASIC);
  b.FastDisconnect = static_cast<uint8_t>(QueryNumber("AT*WFD?") & 1);
  Advance();
  SetValid(SEC_BASIC);
}

void ReadSession::ReadSerial() {
  ui_.SetProgressText(SectionProgressText("Reading", SEC_SERIAL));
  SerialSettings& s = a_.Config.serial;
  s.DteRate = LeadingDecimal(AfterColon(QueryText("AT+IPR?")));
  Advance();

  const CharFormat* format = &kCharFormats[3];  // 8N1 for the automatic rate
  if (s.DteRate != 0) {
    const std::string answer = QueryText("AT+ICF?");
    const std::string pair = WithoutChars(Cut(answer).From("(").Rest(), "()");
    format = nullptr;
    for (const CharFormat& f : kCharFormats) {
      if (f.answer == pair) format = &f;
    }
    if (!format) throw ReadFailed{};
  }
  s.DteDataBits = format->dataBits;
  s.DteParity = format->parity;
  s.DteStopBits = format->stopBits;
  Advance();

  {
    const std::string answer = Exchange("AT&V");
    CutSerialListing(ActiveProfile(answer), s);
    // The listing shows the verbose mode this read switched to; the modem's
    // own setting is the numeric mode it is switched back to at the end.
    if (verbose_.RestoresNumeric()) s.ResultFormat = 0;
    Advance();
  }
  s.IgnoreErrors = LeadingDecimal(AfterColon(QueryText("AT*WIE?")));
  Advance();
  s.ResultSuppression = a_.QuietWasOn ? 1 : 0;
  SetValid(SEC_SERIAL);
}

void ReadSession::ReadDial() {
  ui_.SetProgressText(SectionProgressText("Reading", SEC_DIAL));
  DialSettings& d = a_.Config.dial;
  {
    const std::string answer = Exchange("AT&V");
    Cut c = ActiveProfile(answer);
    CutDialListing(c, d);
    c.After("TELEPHONE NUMBERS:").Skip(1);
    for (int n = 0; n < 4; ++n) {
      const std::string key = std::to_string(n) + "=";
      // The numbers stand in blank-padded columns; a number never runs on
      // into the next line either.
      const std::string_view number = TextUpToAny(c.After(key).Rest(), " \r\n");
      StoreBare(d.StoredNumbers[n], [&](auto& field) { SetText(field, number, 31); });
    }
    Advance();
  }
  if (a_.ModelType == MT_RM40_485) {
    const std::string answer = QueryText("AT*WDB?");
    Cut c(answer);
    c.After("*WDB: ");
    SetText(d.BackupNumber, TextUpTo(c.Rest(), ","), 16);
    d.BackupRetries = c.NumberAfter(",");
    d.BackupTime = c.NumberAfter(",");
  }
  SetValid(SEC_DIAL);
}

void ReadSession::ReadCallerId() {
  ui_.SetProgressText(SectionProgressText("Reading", SEC_CALLERID));
  CallerIdSettings& c = a_.Config.callerId;
  {
    const std::string answer = Exchange("AT*WCID?");
    Cut cut(answer);
    c.CidFormat = cut.NumberAfter("*WCID: (");
    c.CidMode = cut.NumberAfter(",");
    Advance();
  }
  {
    const std::string answer = Exchange("AT*WACCTAB?");
    Cut cut(answer);
    cut.After("NUM");
    for (int n = 1; n <= 10; ++n) {
      // "\r\n" and the entry number, then one separator for entries 1 to 9:
      // the value starts four characters after the line end.
      cut.From("\r\n" + std::to_string(n)).Skip(4);
      SetText(c.AcceptedNumbers[n - 1], WithoutChars(TextUpToAny(cut.Rest(), kLineEnd), " "), 20);
    }
    Advance();
  }
  SetValid(SEC_CALLERID);
}

void ReadSession::ReadRemote() {
  ui_.SetProgressText(SectionProgressText("Reading", SEC_REMOTE));
  RemoteSettings& r = a_.Config.remote;
  {
    const std::string answer = Exchange("AT*WRCA?");
    r.RemoteEnable = static_cast<uint8_t>(Cut(answer).NumberAfter("*WRCA: "));
    Advance();
  }
  {
    const std::string answer = Exchange("AT*WRCP?");
    const std::string_view password = Cut(answer).LineAfter("*WRCP: ");
    StoreBare(r.RemotePassword, [&](auto& field) { SetText(field, password, 20); });
    Advance();
  }
  SetValid(SEC_REMOTE);
}

void ReadSession::ReadDiagnostic() {
  ui_.SetProgressText(SectionProgressText("Reading", SEC_DIAGNOSTIC));
  DiagnosticInfo& d = a_.Diagnostic;
  {
    const std::string answer = Exchange("AT&V1");
    Cut c(answer);
    c.From("Norm");
    d.InfoText = std::string(TextUpTo(c.Rest(), kOk));
    d.NormText = WithoutChars(c.LineAfter("Norm"), " ");
    d.RxSpeed = static_cast<float>(c.NumberAfter("Speed Rx/Tx") * 0.01);
    d.TxSpeed = static_cast<float>(c.NumberAfter("/") * 0.01);
    d.Snr = c.NumberAfter("SNR");
    d.RxLevel = Negated(c.NumberAfter("RXLevel"));
    d.EchoLevel = Negated(c.NumberAfter("Echo Level"));
    d.NearEchoLevel = Negated(c.NumberAfter("Near Echo Level"));
    d.FarEchoLevel = Negated(c.NumberAfter("Far Echo Level"));
    Advance();
  }
  d.SoftwareVersion = QueryText("ATI9");
  Advance();
  d.AdapterVersion = QueryText("ATI6");
  Advance();
  if (a_.ModelType == MT_RM40 || a_.ModelType == MT_RM40_485) ReadNumbers(QueryText("ATI8"), d.DipSwitches, 4);
  Advance();
  SetValid(SEC_DIAGNOSTIC);
}

void ReadSession::ReadCallback() {
  ui_.SetProgressText(SectionProgressText("Reading", SEC_CALLBACK));
  CallbackSettings& c = a_.Config.callback;
  c.CallbackMode = QueryNumber("AT*WCB?");
  Advance();
  c.CallbackTime = QueryNumber("AT*WCBTIME?");
  Advance();
  for (int n = 1; n <= 10; ++n) {
    const std::string number = std::to_string(n);
    const std::string answer = Exchange("AT*WCBTAB=" + number + "?");
    Cut cut(answer);
    SetText(c.CallbackNumbers[n - 1], cut.LineAfter(number + "_Number="), 20);
    SetText(c.CallbackPasswords[n - 1], cut.LineAfter(number + "_Password="), 20);
  }
  Advance();
  SetValid(SEC_CALLBACK);
}

void ReadSession::ReadIo() {
  ui_.SetProgressText(SectionProgressText("Reading", SEC_IO));
  IoSettings& io = a_.Config.io;
  {
    const std::string answer = Exchange("AT*WIOP?");
    Cut c(answer);
    io.PulseTa = c.NumberAfter("TA=");
    c.After(",");
    io.PulseTp = c.NumberAfter("TP=");
    c.After(",");
    io.TrigType = c.NumberAfter("TYPE=");
    c.After(",");
    io.TrigLevel = c.NumberAfter("TRIG=");
    c.After(",");
    io.OutputCtrl = c.NumberAfter("NORM=");
    Advance();
  }
  for (int n = 1; n <= 10; ++n) {
    const size_t i = static_cast<size_t>(n - 1);
    const std::string answer = Exchange("AT*WIOL=" + std::to_string(n) + "?");
    Cut c(answer);
    io.Service[i] = c.NumberAfter("_Service=");
    io.Retry[i] = c.NumberAfter("_Flag=");
    io.Timeout[i] = c.NumberAfter("_Timeout=");
    io.Priority[i] = c.NumberAfter("_Priority=");
    SetText(io.Data1[i], c.LineAfter("_Data1="), 20);
    SetText(io.Data2[i], c.LineAfter("_Data2="), 160);
    SetText(io.Data3[i], c.LineAfter("_Data3="), 20);
    io.Data4[i] = c.NumberAfter("_Data4=");
    SetText(io.Data5[i], c.LineAfter("_Data5="), 8);
    SetText(io.Data6[i], c.LineAfter("_Data6="), 15);
    Advance();
  }
  SetValid(SEC_IO);
}

void ReadSession::ReadStored(int sections) {
  StoredProfile& st = *stored_;
  st.block = a_.Config;
  const std::string answer = Exchange("AT&V");
  const auto listing = TextAfter(answer, "STORED PROFILE 0:");
  if (!listing) return;
  Cut c(*listing);
  c.Skip(2);
  if (sections & SEC_BASIC) CutBasicListing(c, st.block.basic);
  if (sections & SEC_SERIAL) CutSerialListing(c, st.block.serial);
  if (sections & SEC_DIAL) {
    Cut dial = c;
    CutDialListing(dial, st.block.dial);
  }
  st.quiet = Cut(c).NumberAfter("Q");
  st.known = true;
}

int ReadSession::Run(int sections) {
  const bool io = (sections & SEC_IO) && a_.ModelType == MT_RM40_485;
  // One step for the start and one after the result-code switch, then one
  // per advance of each section, so that the bar ends exactly at its end.
  int count = 2;
  struct Section {
    int bit;
    int steps;
  };
  const Section counted[] = {
      {SEC_BASIC, 4},    {SEC_SERIAL, 4},     {SEC_DIAL, 1},     {SEC_CALLERID, 2},
      {SEC_REMOTE, 2},   {SEC_DIAGNOSTIC, 4}, {SEC_CALLBACK, 3}, {SEC_IO, 11},
  };
  for (const Section& s : counted) {
    if (!(sections & s.bit) || (s.bit == SEC_IO && !io)) continue;
    count += s.steps;
    a_.Page(PageOfSection(s.bit)).valid = 0;
  }
  ui_.SetProgressRange(0, count);
  ui_.SetProgressStep(1);
  Advance();

  int result = 0;
  try {
    // A probe that was cancelled (-1) fails as well: the user asked to stop.
    if (a_.ProbeModem() <= 0) throw ReadFailed{};
    std::string failed;
    if (!verbose_.Begin(failed, MatchExact)) throw ReadFailed{};
    Advance();
    if (sections & SEC_BASIC) ReadBasic();
    if (sections & SEC_SERIAL) ReadSerial();
    if (sections & SEC_DIAL) ReadDial();
    if (sections & SEC_CALLERID) ReadCallerId();
    if (sections & SEC_REMOTE) ReadRemote();
    if (sections & SEC_DIAGNOSTIC) ReadDiagnostic();
    if (sections & SEC_CALLBACK) ReadCallback();
    if (io) ReadIo();
    if (stored_) ReadStored(sections);
    result = 1;
  } catch (const ReadFailed& f) {
    result = 0;
    if (!f.reason.empty()) ui_.MessageBox(f.reason, MsgIcon::Error, MsgButtons::Ok);
  }
  verbose_.End();
  return result;
}

}  // namespace

int ReadConfiguration(CAdapter& a, int sections) {
  if (a.Busy || !(a.LinkState & LS_IDENTIFIED)) return 0;
  BusyHold busy(a);
  a.Ui().SetProgressText("Reading configuration...");
  return ReadSession(a, nullptr).Run(sections);
}

int ReadConfiguration(CAdapter& a, int sections, StoredProfile& stored) {
  stored = StoredProfile{};
  if (a.Busy || !(a.LinkState & LS_IDENTIFIED)) return 0;
  BusyHold busy(a);
  a.Ui().SetProgressText("Reading configuration...");
  return ReadSession(a, &stored).Run(sections);
}

}  // namespace kelvane
