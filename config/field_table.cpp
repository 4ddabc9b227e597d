#include "config/field_table.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "config/adapter.h"
#include "config/basic_values.h"
#include "config/callback_values.h"
#include "config/callerid_values.h"
#include "config/dial_values.h"
#include "config/io_values.h"
#include "config/json_text.h"
#include "config/page_values.h"
#include "config/remote_values.h"
#include "config/serial_values.h"

namespace kelvane {

namespace {

// The kind, element width and count of a member, from its type.
template <typename T>
FieldInfo Member(const char* record, const char* name, size_t offset) {
  using E = std::remove_all_extents_t<T>;
  static_assert(std::is_same_v<E, int32_t> || std::is_same_v<E, uint8_t> || std::is_same_v<E, char>);
  FieldInfo f{record, name, offset, FieldKind::Int, sizeof(E), 1};
  if constexpr (std::is_same_v<E, char> && std::rank_v<T> == 0) {
    f.kind = FieldKind::Char;
  } else if constexpr (std::is_same_v<E, char> && std::rank_v<T> == 1) {
    f.kind = FieldKind::Text;
    f.width = std::extent_v<T, 0>;
  } else if constexpr (std::is_same_v<E, char>) {
    f.kind = FieldKind::TextArray;
    f.width = std::extent_v<T, 1>;
    f.count = std::extent_v<T, 0>;
  } else if constexpr (std::is_same_v<E, uint8_t>) {
    static_assert(std::rank_v<T> == 0);
    f.kind = FieldKind::Byte;
  } else if constexpr (std::rank_v<T> == 1) {
    f.kind = FieldKind::IntArray;
    f.count = std::extent_v<T, 0>;
  }
  return f;
}

#define KV_FIELD(rec, recname, field)                                                              \
  Member<decltype(decltype(ConfigBlock::rec)::field)>(                                            \
      recname, #field, offsetof(ConfigBlock, rec) + offsetof(decltype(ConfigBlock::rec), field))

// The row builders: where the page shows a field, then how its value maps.
struct Row {
  FieldInfo f;
  Row& On(int page, int place, const char* caption, int firstNumber = 1) {
    f.page = page;
    f.place = place;
    f.caption = caption;
    f.firstNumber = firstNumber;
    return *this;
  }
  Row& Tip(const char* tooltip) {
    f.tooltip = tooltip;
    return *this;
  }
  Row& Map(ValueMap map, ItemList items = nullptr) {
    f.map = map;
    f.items = items;
    return *this;
  }
  Row& Numbers(long long low, long long high, size_t characters = 0) {
    f.map = ValueMap::Range;
    f.low = low;
    f.high = high;
    f.limit = characters;
    return *this;
  }
  Row& Chars(ValueMap map, size_t limit) {
    f.map = map;
    f.limit = limit;
    return *this;
  }
  Row& ShownWhole() {
    f.shownWhole = true;
    return *this;
  }
  // An S-register of three digits; entries above `max` are clipped to it.
  Row& Register(long long max) {
    f.map = ValueMap::Register;
    f.high = max;
    f.limit = 3;
    return *this;
  }
  // Sent inside double quotes by `command`, as its argument `argument`.
  Row& Quoted(const char* command, int argument) {
    f.quoted = true;
    f.command = command;
    f.argument = argument;
    return *this;
  }
  // A password: masked after `answerKey` in the modem's answer and as
  // argument `argument` of `command`.
  Row& Secret(const char* command, int argument, const char* answerKey) {
    f.secret = true;
    f.command = command;
    f.argument = argument;
    f.answerKey = answerKey;
    return *this;
  }
  // Sent bare: the text must be exactly its form.
  Row& Bare(BareText rule) {
    f.bare = rule;
    return *this;
  }
  Row& Sent(SentWhen when) {
    f.sent = when;
    return *this;
  }
  operator FieldInfo() const { return f; }
};

#define SERIAL(field) Row{KV_FIELD(serial, "SerialSettings", field)}
#define BASIC(field) Row{KV_FIELD(basic, "BasicSettings", field)}
#define DIAL(field) Row{KV_FIELD(dial, "DialSettings", field)}
#define CALLERID(field) Row{KV_FIELD(callerId, "CallerIdSettings", field)}
#define REMOTE(field) Row{KV_FIELD(remote, "RemoteSettings", field)}
#define CALLBACK(field) Row{KV_FIELD(callback, "CallbackSettings", field)}
#define IO(field) Row{KV_FIELD(io, "IoSettings", field)}

constexpr long long kIntMin = INT32_MIN;
constexpr long long kIntMax = INT32_MAX;

std::vector<FieldInfo> BuildFields() {
  using M = ValueMap;
  constexpr size_t kIoData = 5;  // the first data argument of AT*WIOL
  return {
      SERIAL(DteRate)
          .On(PG_SERIAL, 10, "Baud rate [+IPR]")
          .Tip("Baudrate asynchronous\n\rDefault: 0 - Autobauding")
          .Map(M::BaudRate, BaudRateItems),
      SERIAL(DteStopBits)
          .On(PG_SERIAL, 12, "Stop bits [+ICF]")
          .Tip("Asynchronous stopbits\n\r Default: 1")
          .Map(M::Numbered, StopBitsItems),
      SERIAL(DteDataBits)
          .On(PG_SERIAL, 11, "Data bits [+ICF]")
          .Tip("Asynchronous databits\n\rDefault: 8")
          .Map(M::Numbered, DataBitsItems),
      SERIAL(DcdControl)
          .On(PG_SERIAL, 2, "DCD control [&C]")
          .Tip("DCD control\n\rDefault: 1 - DCD indicates a connection")
          .Map(M::Numbered, DcdControlItems),
      SERIAL(DsrControl)
          .On(PG_SERIAL, 3, "DSR control [&S]")
          .Tip("DSR control\n\rDefault: 0 - Always on")
          .Map(M::Numbered, DsrControlItems),
      SERIAL(DtrControl)
          .On(PG_SERIAL, 4, "DTR control [&D]")
          .Tip("DTR control\n\rDefault: 0 - The DTR signal is ignored")
          .Map(M::Numbered, DtrControlItems),
      SERIAL(LocalEcho)
          .On(PG_SERIAL, 8, "Local echo [E]")
          .Tip("Local echo")
          .Map(M::Numbered, LocalEchoItems),
      SERIAL(ModemFlowControl)
          .On(PG_SERIAL, 1, "Flow control [&K]")
          .Tip("Flow control\n\rDefault: 0 - No flow control")
          .Map(M::Numbered, FlowControlItems),
      SERIAL(DteParity)
          .On(PG_SERIAL, 13, "Parity [+ICF]")
          .Tip("Asynchronous parity\n\r Default: No parity")
          .Map(M::Parity, ParityItems),
      SERIAL(EnhancedResults)
          .On(PG_SERIAL, 6, "Enhanced result messages [W]")
          .Tip("Enhance result messages")
          .Map(M::Numbered, EnhancedResultItems),
      SERIAL(ReducedResults)
          .On(PG_SERIAL, 7, "Reduced result messages [X]")
          .Tip("Reduce result messages")
          .Map(M::Numbered, ReducedResultItems),
      SERIAL(ResultFormat)
          .On(PG_SERIAL, 5, "Result format [V]")
          .Tip("Result format")
          .Map(M::Numbered, ResultFormatItems),
      // The probe finds the quiet mode, and a write leaves it as it was.
      SERIAL(ResultSuppression)
          .On(PG_SERIAL, 9, "Result code suppression [Q]")
          .Tip("Supress result")
          .Map(M::Numbered, SuppressionItems)
          .Sent(SentWhen::Never),
      SERIAL(IgnoreErrors).On(PG_SERIAL, 14, "Ignore Errors [*WIE]").Map(M::Numbered, IgnoreErrorsItems),

      BASIC(S0).On(PG_BASIC, 8, "Rings to Auto-Answer [S0]").Tip("Rigns to Auto-Answer\n\rDefault: 2").Register(255),
      BASIC(S7)
          .On(PG_BASIC, 9, "Wait time for Carrier, Silence or Dial Tone [S7]")
          .Tip("Wait Time for Carrier, Silence, or Dial Tone\n\rDefault: 50s")
          .Register(60),
      BASIC(S10)
          .On(PG_BASIC, 10, "Lost Carrier To Hang Up delay [S10]")
          .Tip("Lost Carrier To Hang Up Delay\n\rDefault: 14 (1,4s)")
          .Register(255),
      BASIC(S25).On(PG_BASIC, 11, "Delay to DTR [S25]").Tip("Delay to DTR\n\rDefault: 5").Register(255),
      BASIC(S30)
          .On(PG_BASIC, 12, "Disconnect Inactivity Timer [S30]")
          .Tip("Disconnect Inactivity timer 0-255\n\rDefault: 0")
          .Register(255),
      BASIC(S91).On(PG_BASIC, 13, "PSTN Transmit Level [S91]").Tip("PSTN Transmit Level 0-15").Register(255),
      BASIC(FastDisconnect).On(PG_BASIC, 7, "Fast Disconnect [*WFD]").Map(M::FastDisconnect, FastDisconnectItems),
      BASIC(CompressionC)
          .On(PG_BASIC, 4, "Compression and Error correction [\\N%C] (%C)")
          .Map(M::CompressionPart, CompressionItems),
      // The page's one combo for the pair is bound to this half.
      BASIC(ErrorCorrectionN)
          .On(PG_BASIC, 3, "Compression and Error correction [\\N%C] (\\N)")
          .Tip("Compression and Error correction\n\rDefault: 2")
          .Map(M::CompressionPart, CompressionItems),
      BASIC(CountryCode).On(PG_BASIC, 2, "Country code [+GCI]").Tip("Country code [+GCI]").Map(M::Country, CountryItems),
      BASIC(BreakControl)
          .On(PG_BASIC, 5, "Break Control [\\K]")
          .Tip("Break Control [\\K]\n\rDefault: 5")
          .Map(M::Numbered, BreakControlItems),
      BASIC(LineQuality)
          .On(PG_BASIC, 6, "Line Quality and auto-retrain [%E]")
          .Tip("Line Quality and auto-retrain [%E]\n\rDefault: 2")
          .Map(M::Numbered, LineQualityItems),
      BASIC(Modulation).On(PG_BASIC, 1, "Modulation [+MS]").Tip("Modulation").Chars(M::Modulation, kModulationSize)
          .Bare(BareText::Modulation),

      DIAL(HotCall)
          .On(PG_DIAL, 1, "DTR/TX Hotcall [&B]")
          .Tip("DTR/TX Hotcall [&B]")
          .Map(M::Numbered, HotCallItems),
      DIAL(DialAbort).On(PG_DIAL, 2, "Dial abort [&A]").Tip("Dial abort [&A]").Map(M::Numbered, DialAbortItems),
      DIAL(StoredNumbers)
          .On(PG_DIAL, 3, "Stores phone numbers [&Z] %d", 0)
          .Tip("Number %d")
          .Chars(M::Text, kStoredNumberChars)
          .Bare(BareText::DialString),
      DIAL(BackupNumber)
          .On(PG_DIAL, 4, "Dial Backup [*WDB] Number")
          .Chars(M::Text, kBackupNumberChars)
          .Quoted("*WDB", 0)
          .Sent(SentWhen::IoModelOnly),
      DIAL(BackupRetries)
          .On(PG_DIAL, 5, "Dial Backup [*WDB] Retries")
          .Numbers(0, 9, kBackupRetriesChars)
          .Sent(SentWhen::IoModelOnly),
      DIAL(BackupTime)
          .On(PG_DIAL, 6, "Dial Backup [*WDB] Time")
          .Numbers(0, 999, kBackupTimeChars)
          .Sent(SentWhen::IoModelOnly),

      CALLERID(CidFormat).On(PG_CALLERID, 1, "Format of CID/A-number presentation").Map(M::Numbered, CidFormatItems),
      // Caller ID off is sent as "AT*WCID=0" alone: the modem keeps its mode.
      CALLERID(CidMode)
          .On(PG_CALLERID, 2, "Mode (Caller Identification standard)")
          .Map(M::Numbered, CidModeItems)
          .Sent(SentWhen::WithCallerId),
      CALLERID(AcceptedNumbers)
          .On(PG_CALLERID, 3, "Accepted numbers [*WACCTAB] %d")
          .Tip("Number entry\n\rMax 20 characters.")
          .Chars(M::TableNumber, kAcceptedNumberChars)
          .Quoted("*WACCTAB", 1),

      REMOTE(RemoteEnable).On(PG_REMOTE, 1, "Enable Remote Configuration [*WRCA]").Map(M::Indexed, RemoteEnableItems),
      REMOTE(RemotePassword)
          .On(PG_REMOTE, 2, "Remote Configuration Password [*WRCP]")
          .Chars(M::Password, kRemotePasswordLimit)
          .ShownWhole()
          .Bare(BareText::Password)
          .Secret("*WRCP", -1, "*WRCP: "),

      CALLBACK(CallbackMode).On(PG_CALLBACK, 1, "Callback security [*wcb]").Map(M::Indexed, CallbackModeItems),
      CALLBACK(CallbackTime).On(PG_CALLBACK, 3, "Delay before callback (*wcbtime)").Numbers(0, 255, kCallbackDelayChars),
      CALLBACK(CallbackNumbers)
          .On(PG_CALLBACK, 2, "Callback table [*wcbtab] %d: Number")
          .Tip("Callback number entry")
          .Chars(M::TableNumber, kCallbackNumberChars)
          .Quoted("*WCBTAB", 1),
      CALLBACK(CallbackPasswords)
          .On(PG_CALLBACK, 2, "Callback table [*wcbtab] %d: Password")
          .Tip("Callback password entry")
          .Chars(M::Password, kCallbackPasswordChars)
          .Quoted("*WCBTAB", 2)
          .Secret("*WCBTAB", 2, "_Password="),

      IO(PulseTa).On(PG_IO, 2, "Trig pulse time in 10 ms Ta").Tip("Input pulsing timings [ta]").Numbers(0, kIntMax),
      IO(PulseTp).On(PG_IO, 1, "Trig pulse time in 10 ms Tp").Tip("Input pulsing timings [tp]").Numbers(0, kIntMax),
      IO(TrigType).On(PG_IO, 4, "Trig type <type>").Tip("Trig source and type").Map(M::Numbered, TrigTypeItems),
      IO(TrigLevel).On(PG_IO, 3, "Trig level <trig>").Tip("Trigger level").Map(M::Indexed, TrigLevelItems),
      IO(OutputCtrl).On(PG_IO, 5, "Output ctrl <norm>").Map(M::Numbered, OutputCtrlItems),
      IO(Service).On(PG_IO, 6, "I/O List [*WIOL] %d: Service").Tip("Service").Map(M::Indexed, IoServiceItems),
      IO(Retry)
          .On(PG_IO, 6, "I/O List [*WIOL] %d: Retry <flag>")
          .Tip("Defines if the establishment of service shall br retried.")
          .Map(M::Indexed, IoRetryItems),
      IO(Timeout)
          .On(PG_IO, 6, "I/O List [*WIOL] %d: Time")
          .Tip("Timeout for service, used for Dail, text and Transparant IO")
          .Numbers(0, 999),
      IO(Priority)
          .On(PG_IO, 6, "I/O List [*WIOL] %d: Priority")
          .Tip("Priority ot he service.")
          .Map(M::Indexed, IoPriorityItems),
      IO(Data1).On(PG_IO, 6, "I/O Entry %d Data 1").Chars(M::IoText, kIoDataLimits[0]).Quoted("*WIOL", kIoData),
      IO(Data2).On(PG_IO, 6, "I/O Entry %d Data 2").Chars(M::IoText, kIoDataLimits[1]).Quoted("*WIOL", kIoData + 1),
      IO(Data3).On(PG_IO, 6, "I/O Entry %d Data 3").Chars(M::IoText, kIoDataLimits[2]).Quoted("*WIOL", kIoData + 2),
      IO(Data4).On(PG_IO, 6, "I/O Entry %d Data 4").Numbers(0, 99).Map(M::IoNumber),
      IO(Data5)
          .On(PG_IO, 6, "I/O Entry %d Data 5")
          .Chars(M::IoText, kIoDataLimits[4])
          .Quoted("*WIOL", kIoData + 4)
          .Secret("*WIOL", kIoData + 4, "_Data5="),
      IO(Data6).On(PG_IO, 6, "I/O Entry %d Data 6").Chars(M::IoText, kIoDataLimits[5]).Quoted("*WIOL", kIoData + 5),
      // The entry dialog keeps Data 7 hidden.
      IO(Data7).Numbers(kIntMin, kIntMax).Sent(SentWhen::Never),
  };
}

#undef KV_FIELD
#undef SERIAL
#undef BASIC
#undef DIAL
#undef CALLERID
#undef REMOTE
#undef CALLBACK
#undef IO

const uint8_t* Bytes(const ConfigBlock& block) { return reinterpret_cast<const uint8_t*>(&block); }

bool IsTextual(FieldKind k) { return k == FieldKind::Char || k == FieldKind::Text || k == FieldKind::TextArray; }

}  // namespace

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

std::string FieldInfo::FullName() const { return std::string(record) + "." + name; }

std::string FieldInfo::ElementName(size_t element) const {
  return IsArray() ? FullName() + "[" + std::to_string(element) + "]" : FullName();
}

std::string FieldInfo::ElementCaption(size_t element) const {
  if (page == kNotShownPage) return ElementName(element);
  std::string text = caption;
  const size_t mark = text.find("%d");
  if (mark != std::string::npos) text.replace(mark, 2, std::to_string(element + static_cast<size_t>(firstNumber)));
  return text;
}

const std::vector<FieldInfo>& ConfigFields() {
  static const std::vector<FieldInfo> fields = BuildFields();
  return fields;
}

const FieldInfo* FindField(std::string_view record, std::string_view name) {
  for (const FieldInfo& f : ConfigFields()) {
    if (record == f.record && name == f.name) return &f;
  }
  return nullptr;
}

const FieldInfo* FindField(std::string_view fullName) {
  const size_t dot = fullName.find('.');
  if (dot == std::string_view::npos) return nullptr;
  return FindField(fullName.substr(0, dot), fullName.substr(dot + 1));
}

const FieldInfo* FindFieldElement(std::string_view name, size_t* element) {
  size_t index = 0;
  bool indexed = false;
  if (const size_t open = name.find('['); open != std::string_view::npos) {
    const std::string_view digits = name.substr(open + 1, name.size() - open - 2);
    if (name.back() != ']' || digits.empty() || digits.size() > 3 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return nullptr;
    }
    index = static_cast<size_t>(std::stoi(std::string(digits)));
    indexed = true;
    name = name.substr(0, open);
  }
  const FieldInfo* f = FindField(name);
  if (!f || f->IsArray() != indexed || index >= f->count) return nullptr;
  if (element) *element = index;
  return f;
}

const FieldInfo* FindFieldAt(size_t offset, size_t* element) {
  for (const FieldInfo& f : ConfigFields()) {
    if (offset < f.offset || offset >= f.offset + f.width * f.count) continue;
    if (element) *element = (offset - f.offset) / f.width;
    return &f;
  }
  return nullptr;
}

bool IsSent(const FieldInfo& f, const ConfigBlock& block, int modelType) {
  switch (f.sent) {
    case SentWhen::Always: return true;
    case SentWhen::IoModelOnly: return modelType == MT_RM40_485;
    case SentWhen::Never: return false;
    case SentWhen::WithCallerId: return block.callerId.CidFormat != 0;
  }
  return true;
}

bool IsPasswordField(std::string_view name) {
  const FieldInfo* f = FindFieldElement(name);
  return f && IsSecret(*f);
}

void FieldNumberRange(const FieldInfo& f, long long& low, long long& high) {
  if (f.map == ValueMap::Range || f.map == ValueMap::IoNumber) {
    low = f.low;
    high = f.high;
  } else {
    low = f.kind == FieldKind::Byte ? 0 : kIntMin;
    high = f.kind == FieldKind::Byte ? 255 : kIntMax;
  }
}

long long ClipRegister(const FieldInfo& f, long long value) { return std::clamp(value, f.low, f.high); }

std::string CheckFieldNumber(const FieldInfo& f, long long value) {
  long long low, high;
  FieldNumberRange(f, low, high);
  if (value >= low && value <= high) return {};
  return std::to_string(value) + " out of range " + std::to_string(low) + "-" + std::to_string(high);
}

namespace {

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The text as a write sends it: control characters never go out.
std::string WithoutControls(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (!IsControl(c)) out += c;
  }
  return out;
}

}  // namespace

bool IsBareModulation(std::string_view text) {
  // An empty field goes out as no carrier at all, which the modem refuses.
  if (text.empty()) return true;
  const std::string_view name = text.substr(0, text.find(','));
  // The carriers of the Modulation dialog, and the older names the write
  // turns into the modem's or marks as a Bell carrier.
  auto same = [&](std::string_view carrier) {
    return carrier.size() == name.size() &&
           std::equal(name.begin(), name.end(), carrier.begin(), [](char a, char b) { return UpperAscii(a) == b; });
  };
  bool known = same("AUTO") || same("AUTOV8") || same("BEL103");
  for (const Carrier& c : Carriers()) known = known || same(c.name);
  if (!known) return false;
  // Then at most five numbers, each after a comma; the modem reads a number
  // of at most five digits.
  int numbers = 0;
  std::size_t i = name.size();
  while (i < text.size()) {
    if (text[i] != ',' || ++numbers > 5) return false;
    const std::size_t start = ++i;
    while (i < text.size() && IsDecimalDigit(text[i])) ++i;
    if (i == start || i - start > 5) return false;
  }
  return true;
}

bool IsDialString(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return IsDecimalDigit(c) || std::string_view(" *#+,!@ABCDPTW").find(UpperAscii(c)) != std::string_view::npos;
  });
}

bool IsModemPassword(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E && c != ';'; });
}

std::string CommandCharacterProblem(const FieldInfo& f, std::string_view text) {
  if (f.quoted) return text.find('"') == std::string_view::npos ? std::string() : std::string(kQuoteProblem);
  if (f.bare == BareText::None) return {};
  const std::string sent = WithoutControls(text);
  bool fits = true;
  std::string form;
  switch (f.bare) {
    case BareText::Modulation:
      fits = IsBareModulation(sent);
      form = "a carrier name (AUTO, AUTOV8, BEL103";
      for (const Carrier& c : Carriers()) form += std::string(", ") + c.name;
      form += ") followed by at most five decimal numbers of up to five digits, each after a comma";
      break;
    case BareText::DialString:
      fits = IsDialString(sent);
      form = "only digits, blanks and the dial characters * # + , ! @ A B C D P T W";
      break;
    case BareText::Password:
      fits = IsModemPassword(sent);
      form = "only the printable characters a password takes (blank to '~', no semicolon)";
      break;
    case BareText::None: break;
  }
  if (fits) return {};
  // A semicolon is the plainest way to smuggle a command: say so.
  if (sent.find(';') != std::string::npos) {
    return "a semicolon (;) is not taken: the modem would run what follows it as a command of its own";
  }
  // A password is not repeated in a message.
  const std::string shown = f.secret ? std::string("the password") : "\"" + sent + "\"";
  return shown + " is not taken: the modem gets this text bare and would run what follows its form as commands of "
                 "its own; it takes " + form;
}

std::string CheckFieldText(const FieldInfo& f, std::string_view text) {
  if (std::any_of(text.begin(), text.end(), IsControl)) return "control characters are not taken";
  if (std::string problem = CommandCharacterProblem(f, text); !problem.empty()) return problem;
  const size_t limit = f.limit ? f.limit : f.width - 1;
  if (text.size() > limit) {
    return "text of " + std::to_string(text.size()) + " characters is longer than the " + std::to_string(limit) +
           " the page takes";
  }
  if (f.map == ValueMap::TableNumber &&
      !std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '+'; })) {
    return "\"" + std::string(text) + "\" is not taken: only the digits 0-9 and '+'";
  }
  // A record does not take an unfinished password (1 to 5 characters).
  if (f.map == ValueMap::Password && !IsStorablePassword(text)) {
    return "a password of 1 to 5 characters is not taken; give none or 6 to " + std::to_string(limit);
  }
  return {};
}

// --- sections --------------------------------------------------------------------

const std::vector<SectionInfo>& Sections() {
#define KV_RECORD(rec) offsetof(ConfigBlock, rec), sizeof(ConfigBlock::rec)
  static const std::vector<SectionInfo> sections = {
      {SEC_BASIC, PG_BASIC, "BasicSettings", KV_RECORD(basic), "Basic", "Basic", "Basic", "basic", "Basic"},
      {SEC_SERIAL, PG_SERIAL, "SerialSettings", KV_RECORD(serial), "Serial", "Serial", "Serial", "serial", "Serial"},
      {SEC_DIAL, PG_DIAL, "DialSettings", KV_RECORD(dial), "Dial Options", "Dial options", "Dial options", "dial",
       "Dial options"},
      {SEC_CALLERID, PG_CALLERID, "CallerIdSettings", KV_RECORD(callerId), "Caller ID", "Caller ID", "Caller ID",
       "callerid", "Caller ID"},
      {SEC_REMOTE, PG_REMOTE, "RemoteSettings", KV_RECORD(remote), "Remote", "Remote", "Remote configuration",
       "remote", "Remote Configuration", 2, 54},
      {SEC_DIAGNOSTIC, PG_DIAGNOSTIC, "", 0, 0, "Diagnostic", "Diagnostic", "", "diagnostic", "Diagnostic"},
      {SEC_CALLBACK, PG_CALLBACK, "CallbackSettings", KV_RECORD(callback), "Callback", "Callback", "Callback",
       "callback", "Callback"},
      {SEC_IO, PG_IO, "IoSettings", KV_RECORD(io), "I/O", "I/O", "I/O", "io", "I/O"},
  };
#undef KV_RECORD
  return sections;
}

const SectionInfo* SectionOfPage(int page) {
  for (const SectionInfo& s : Sections()) {
    if (s.page == page) return &s;
  }
  return nullptr;
}

const SectionInfo* SectionOfBit(int bit) {
  for (const SectionInfo& s : Sections()) {
    if (s.bit == bit) return &s;
  }
  return nullptr;
}

void CopySections(ConfigBlock& to, const ConfigBlock& from, int sections) {
  for (const SectionInfo& s : Sections()) {
    if (sections & s.bit) std::memcpy(reinterpret_cast<char*>(&to) + s.offset, Bytes(from) + s.offset, s.size);
  }
}

std::string SectionProgressText(std::string_view verb, int bit) {
  const SectionInfo* section = SectionOfBit(bit);
  return std::string(verb) + " configuration (" + (section ? section->progress : "") + ")";
}

// --- values ----------------------------------------------------------------------

int32_t FieldInt(const ConfigBlock& block, size_t offset) {
  int32_t v = 0;
  if (offset + 4 <= sizeof(ConfigBlock)) std::memcpy(&v, Bytes(block) + offset, 4);
  return v;
}

std::string FieldText(const ConfigBlock& block, size_t offset, size_t width) {
  if (offset >= sizeof(ConfigBlock)) return {};
  if (width > sizeof(ConfigBlock) - offset) width = sizeof(ConfigBlock) - offset;
  const char* start = reinterpret_cast<const char*>(Bytes(block) + offset);
  const void* zero = std::memchr(start, 0, width);
  return std::string(start, zero ? static_cast<size_t>(static_cast<const char*>(zero) - start) : width);
}

const char* ElementBytes(const ConfigBlock& block, const FieldInfo& f, size_t i) {
  return reinterpret_cast<const char*>(&block) + f.offset + f.width * i;
}

char* ElementBytes(ConfigBlock& block, const FieldInfo& f, size_t i) {
  return reinterpret_cast<char*>(&block) + f.offset + f.width * i;
}

long long ElementNumber(const ConfigBlock& block, const FieldInfo& f, size_t i) {
  if (f.kind == FieldKind::Byte || f.kind == FieldKind::Char) return Bytes(block)[f.offset];
  return FieldInt(block, f.offset + 4 * i);
}

void StoreElementNumber(ConfigBlock& block, const FieldInfo& f, size_t i, long long value) {
  if (f.kind == FieldKind::Byte || f.kind == FieldKind::Char) {
    *ElementBytes(block, f, i) = static_cast<char>(value);
  } else {
    const auto number = static_cast<int32_t>(value);
    std::memcpy(ElementBytes(block, f, i), &number, sizeof number);
  }
}

void StoreElementText(ConfigBlock& block, const FieldInfo& f, size_t i, std::string_view text) {
  if (f.IsNumber()) {
    StoreElementNumber(block, f, i, LeadingInt(text));
  } else {
    CopyFieldText(ElementBytes(block, f, i), f.width, text);
  }
}

long long ItemValue(const FieldInfo& f, size_t index) {
  const std::string& item = f.items()[index];
  switch (f.map) {
    case ValueMap::Indexed:
    case ValueMap::FastDisconnect: return static_cast<long long>(index);
    case ValueMap::Parity: return item.empty() ? 'N' : static_cast<unsigned char>(item.front());
    case ValueMap::Country: return CountryCodeOfItem(item);
    case ValueMap::CompressionPart: {
      CompressionPair pair{};
      CompressionPairAt(static_cast<int>(index), pair);
      return std::string_view(f.name) == "ErrorCorrectionN" ? pair.errorCorrectionN : pair.compressionC;
    }
    default: return ItemNumber(item, -1);
  }
}

int ShownItem(const ConfigBlock& block, const FieldInfo& f, size_t i) {
  const long long value = ElementNumber(block, f, i);
  const auto& items = f.items();
  switch (f.map) {
    case ValueMap::Numbered: return FindNumberedItem(items, static_cast<int>(value));
    case ValueMap::BaudRate: return BaudRateIndex(static_cast<int>(value));
    case ValueMap::Parity: return FindItemWithPrefix(items, std::string(1, static_cast<char>(value)));
    case ValueMap::FastDisconnect: return value == 1 ? 1 : 0;
    case ValueMap::CompressionPart: return CompressionIndex(block.basic.ErrorCorrectionN, block.basic.CompressionC);
    case ValueMap::Country: {
      const int country = CountryIndex(static_cast<int>(value));
      return country >= 0 ? country : CountryIndex(kUniversalCountryCode);
    }
    default: return value >= 0 && value < static_cast<long long>(items.size()) ? static_cast<int>(value) : -1;
  }
}

void StoreItem(ConfigBlock& block, const FieldInfo& f, size_t i, int index) {
  if (index < 0 || static_cast<size_t>(index) >= f.items().size()) return;
  if (f.map == ValueMap::CompressionPart) {
    CompressionPair pair{};
    if (!CompressionPairAt(index, pair)) return;
    block.basic.ErrorCorrectionN = pair.errorCorrectionN;
    block.basic.CompressionC = pair.compressionC;
    return;
  }
  StoreElementNumber(block, f, i, std::max(ItemValue(f, static_cast<size_t>(index)), 0LL));
}

std::string ElementText(const ConfigBlock& block, const FieldInfo& f, size_t i) {
  switch (f.kind) {
    case FieldKind::Int:
    case FieldKind::IntArray:
    case FieldKind::Byte:
      return std::to_string(ElementNumber(block, f, i));
    case FieldKind::Char:
      return std::string(1, *ElementBytes(block, f, 0));
    case FieldKind::Text:
    case FieldKind::TextArray:
      return FieldText(block, f.offset + f.width * i, f.width);
  }
  return {};
}

std::string FieldValueText(const ConfigBlock& block, const FieldInfo& field) {
  if (!field.IsArray()) return ElementText(block, field, 0);
  std::string out;
  for (size_t i = 0; i < field.count; ++i) {
    if (i) out += ", ";
    const std::string e = ElementText(block, field, i);
    out += IsTextual(field.kind) ? "\"" + e + "\"" : e;
  }
  return out;
}

Json FieldJson(const ConfigBlock& block, const FieldInfo& field) {
  auto element = [&](size_t i) {
    if (IsTextual(field.kind)) return Json(Utf8FromLatin1(ElementText(block, field, i)));
    if (field.kind == FieldKind::Byte) return Json(Bytes(block)[field.offset]);
    return Json(FieldInt(block, field.offset + 4 * i));
  };
  if (!field.IsArray()) return element(0);
  Json out = Json::array();
  for (size_t i = 0; i < field.count; ++i) out.push_back(element(i));
  return out;
}

std::vector<FieldDifference> CompareBlocks(const ConfigBlock& left, const ConfigBlock& right) {
  std::vector<FieldDifference> out;
  std::vector<bool> named(sizeof(ConfigBlock), false);
  for (const FieldInfo& f : ConfigFields()) {
    for (size_t i = 0; i < f.count; ++i) {
      for (size_t b = 0; b < f.width; ++b) named[f.offset + f.width * i + b] = true;
      const std::string l = ElementText(left, f, i), r = ElementText(right, f, i);
      if (l != r) out.push_back({f.ElementName(i), l, r});
    }
  }
  size_t unnamed = 0;
  for (size_t i = 0; i < sizeof(ConfigBlock); ++i) {
    if (!named[i] && Bytes(left)[i] != Bytes(right)[i]) ++unnamed;
  }
  if (unnamed) out.push_back({std::string(kUnusedBytesName), std::to_string(unnamed) + " differ", ""});
  return out;
}

}  // namespace kelvane
