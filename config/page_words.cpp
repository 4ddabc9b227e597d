#include "config/page_words.h"

#include <cstdio>
#include <set>

#include "config/adapter.h"
#include "config/basic_values.h"
#include "config/callback_values.h"
#include "config/callerid_values.h"
#include "config/dial_values.h"
#include "config/entry_rules.h"
#include "config/field_table.h"
#include "config/io_values.h"
#include "config/page_values.h"
#include "config/remote_values.h"
#include "config/serial_values.h"

namespace kelvane {

namespace {

using Items = std::vector<std::string>;

// Some items end in blanks ("3D - France "): they are part of the list, not
// of what a reader needs to see.
std::string Trimmed(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

// A stored text in a note: control characters as \xNN, so that a note never
// breaks a line.
std::string Escaped(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Stored(std::string shown, const std::string& stored) {
  return (shown.empty() ? "" : shown + " ") + "(stored " + stored + ")";
}

// A combo: the item at `index`, or the stored value when the page shows no
// item for it.
std::string ItemAt(const Items& items, int index, long long stored) {
  if (index < 0 || index >= static_cast<int>(items.size()) || items[static_cast<std::size_t>(index)].empty()) {
    return "(none, stored " + std::to_string(stored) + ")";
  }
  return Trimmed(items[static_cast<std::size_t>(index)]);
}

// A combo loaded by its "<number> -" item (FindNumberedItem).
std::string Numbered(const Items& items, long long value) {
  return ItemAt(items, FindNumberedItem(items, static_cast<int>(value)), value);
}

// A combo whose item index is the value.
std::string Indexed(const Items& items, long long value) {
  return ItemAt(items, value >= 0 && value < static_cast<long long>(items.size()) ? static_cast<int>(value) : -1,
                value);
}

// A number edit limited to `limit` characters: it shows the decimal text cut
// at the limit.
std::string NumberEdit(int32_t value, std::size_t limit) {
  const std::string shown = ShownNumber(value, limit);
  return shown == std::to_string(value) ? shown : Stored(shown, std::to_string(value));
}

// A text edit: the page shows `shown` for the stored text.
std::string TextEdit(const std::string& shown, const std::string& stored) {
  return shown == stored ? shown : Stored(shown, "\"" + Escaped(stored) + "\"");
}

std::string Password(const char* field, std::size_t size) {
  return FieldText(field, size).empty() ? std::string() : std::string(kMaskedPassword);
}

std::string Hex2(int code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(code));
  return hex;
}

// Collects the words of one page; array elements get "[i]" in their name.
class PageWriter {
 public:
  PageWriter(std::vector<FieldWords>& out, int pageIndex) : out_(out), pageIndex_(pageIndex) {
    title_ = PageTitle(pageIndex);
  }
  void Add(const std::string& name, std::string caption, std::string shown) {
    out_.push_back({name, pageIndex_, title_, std::move(caption), std::move(shown)});
  }
  void Add(const std::string& name, std::size_t element, std::string caption, std::string shown) {
    Add(name + "[" + std::to_string(element) + "]", std::move(caption), std::move(shown));
  }

 private:
  std::vector<FieldWords>& out_;
  int pageIndex_;
  std::string title_;
};

void DescribeBasic(const BasicSettings& b, std::vector<FieldWords>& out) {
  PageWriter page(out, PG_BASIC);
  page.Add("BasicSettings.Modulation", "Modulation [+MS]", ModulationFieldText(b.Modulation));
  const int country = CountryIndex(b.CountryCode);
  // A code the list lacks shows as the universal code, which the page then stores.
  page.Add("BasicSettings.CountryCode", "Country code [+GCI]",
           country >= 0 ? Trimmed(CountryItems()[static_cast<std::size_t>(country)])
                        : Stored(Trimmed(CountryItems()[static_cast<std::size_t>(CountryIndex(kUniversalCountryCode))]),
                                 Hex2(b.CountryCode)));
  const int compression = CompressionIndex(b.ErrorCorrectionN, b.CompressionC);
  CompressionPair pair{};
  CompressionPairAt(compression, pair);
  const std::string item = Trimmed(CompressionItems()[static_cast<std::size_t>(compression)]);
  page.Add("BasicSettings.ErrorCorrectionN", "Compression and Error correction [\\N%C] (\\N)",
           pair.errorCorrectionN == b.ErrorCorrectionN ? item : Stored(item, std::to_string(b.ErrorCorrectionN)));
  page.Add("BasicSettings.CompressionC", "Compression and Error correction [\\N%C] (%C)",
           pair.compressionC == b.CompressionC ? item : Stored(item, std::to_string(b.CompressionC)));
  page.Add("BasicSettings.BreakControl", "Break Control [\\K]", Numbered(BreakControlItems(), b.BreakControl));
  page.Add("BasicSettings.LineQuality", "Line Quality and auto-retrain [%E]",
           Numbered(LineQualityItems(), b.LineQuality));
  // The page shows item 1 for the byte 1 and item 0 for any other.
  const std::string fast = Trimmed(FastDisconnectItems()[b.FastDisconnect == 1 ? 1 : 0]);
  page.Add("BasicSettings.FastDisconnect", "Fast Disconnect [*WFD]",
           b.FastDisconnect <= 1 ? fast : Stored(fast, std::to_string(b.FastDisconnect)));
  const int32_t* const registers[] = {&b.S0, &b.S7, &b.S10, &b.S25, &b.S30, &b.S91};
  for (std::size_t i = 0; i < BasicRegisters().size(); ++i) {
    const BasicRegister& r = BasicRegisters()[i];
    // The edits take three characters.
    page.Add("BasicSettings.S" + std::to_string(r.number), r.label, NumberEdit(*registers[i], 3));
  }
}

void DescribeSerial(const SerialSettings& s, std::vector<FieldWords>& out) {
  PageWriter page(out, PG_SERIAL);
  page.Add("SerialSettings.ModemFlowControl", "Flow control [&K]", Numbered(FlowControlItems(), s.ModemFlowControl));
  page.Add("SerialSettings.DcdControl", "DCD control [&C]", Numbered(DcdControlItems(), s.DcdControl));
  page.Add("SerialSettings.DsrControl", "DSR control [&S]", Numbered(DsrControlItems(), s.DsrControl));
  page.Add("SerialSettings.DtrControl", "DTR control [&D]", Numbered(DtrControlItems(), s.DtrControl));
  page.Add("SerialSettings.ResultFormat", "Result format [V]", Numbered(ResultFormatItems(), s.ResultFormat));
  page.Add("SerialSettings.EnhancedResults", "Enhanced result messages [W]",
           Numbered(EnhancedResultItems(), s.EnhancedResults));
  page.Add("SerialSettings.ReducedResults", "Reduced result messages [X]",
           Numbered(ReducedResultItems(), s.ReducedResults));
  page.Add("SerialSettings.LocalEcho", "Local echo [E]", Numbered(LocalEchoItems(), s.LocalEcho));
  page.Add("SerialSettings.ResultSuppression", "Result code suppression [Q]",
           Numbered(SuppressionItems(), s.ResultSuppression));
  // The baud item is found by its leading digits: 96 would show "9600".
  const int baud = BaudRateIndex(s.DteRate);
  std::string rate = ItemAt(BaudRateItems(), baud, s.DteRate);
  if (baud >= 0 && LeadingInt(BaudRateItems()[static_cast<std::size_t>(baud)]) != s.DteRate) {
    rate = Stored(rate, std::to_string(s.DteRate));
  }
  page.Add("SerialSettings.DteRate", "Baud rate [+IPR]", rate);
  page.Add("SerialSettings.DteDataBits", "Data bits [+ICF]", Numbered(DataBitsItems(), s.DteDataBits));
  page.Add("SerialSettings.DteStopBits", "Stop bits [+ICF]", Numbered(StopBitsItems(), s.DteStopBits));
  const int parity = FindItemWithPrefix(ParityItems(), std::string(1, s.DteParity));
  const auto parityCode = static_cast<unsigned char>(s.DteParity);
  page.Add("SerialSettings.DteParity", "Parity [+ICF]",
           parity >= 0 && parityCode != 0
               ? ParityItems()[static_cast<std::size_t>(parity)]
               : "(none, stored " +
                     (parityCode >= 0x20 && parityCode < 0x7F ? "'" + std::string(1, s.DteParity) + "'"
                                                              : std::to_string(parityCode)) +
                     ")");
  page.Add("SerialSettings.IgnoreErrors", "Ignore Errors [*WIE]", Numbered(IgnoreErrorsItems(), s.IgnoreErrors));
}

void DescribeDial(const DialSettings& d, std::vector<FieldWords>& out) {
  PageWriter page(out, PG_DIAL);
  // Every field as the RM-40 485 shows it: the other models hide the backup.
  const DialView v = ShowDial(d, 3);
  page.Add("DialSettings.HotCall", "DTR/TX Hotcall [&B]", ItemAt(HotCallItems(), v.hotCall, d.HotCall));
  page.Add("DialSettings.DialAbort", "Dial abort [&A]", ItemAt(DialAbortItems(), v.dialAbort, d.DialAbort));
  for (std::size_t n = 0; n < v.numbers.size(); ++n) {
    page.Add("DialSettings.StoredNumbers", n, "Stores phone numbers [&Z] " + std::to_string(n),
             TextEdit(v.numbers[n], FieldText(d.StoredNumbers[n], sizeof d.StoredNumbers[n])));
  }
  page.Add("DialSettings.BackupNumber", "Dial Backup [*WDB] Number",
           TextEdit(v.backupNumber, FieldText(d.BackupNumber, sizeof d.BackupNumber)));
  page.Add("DialSettings.BackupRetries", "Dial Backup [*WDB] Retries", NumberEdit(d.BackupRetries, kBackupRetriesChars));
  page.Add("DialSettings.BackupTime", "Dial Backup [*WDB] Time", NumberEdit(d.BackupTime, kBackupTimeChars));
}

void DescribeCallerId(const CallerIdSettings& c, std::vector<FieldWords>& out) {
  PageWriter page(out, PG_CALLERID);
  const CallerIdView v = ShowCallerId(c);
  page.Add("CallerIdSettings.CidFormat", "Format of CID/A-number presentation",
           ItemAt(CidFormatItems(), v.format, c.CidFormat));
  page.Add("CallerIdSettings.CidMode", "Mode (Caller Identification standard)",
           ItemAt(CidModeItems(), v.mode, c.CidMode));
  for (std::size_t n = 0; n < v.numbers.size(); ++n) {
    page.Add("CallerIdSettings.AcceptedNumbers", n, "Accepted numbers [*WACCTAB] " + std::to_string(n + 1),
             TextEdit(v.numbers[n], FieldText(c.AcceptedNumbers[n], sizeof c.AcceptedNumbers[n])));
  }
}

void DescribeRemote(const RemoteSettings& r, std::vector<FieldWords>& out) {
  PageWriter page(out, PG_REMOTE);
  page.Add("RemoteSettings.RemoteEnable", "Enable Remote Configuration [*WRCA]",
           Numbered(RemoteEnableItems(), r.RemoteEnable));
  page.Add("RemoteSettings.RemotePassword", "Remote Configuration Password (*WRCP]",
           Password(r.RemotePassword, sizeof r.RemotePassword));
}

void DescribeCallback(const CallbackSettings& c, std::vector<FieldWords>& out) {
  PageWriter page(out, PG_CALLBACK);
  const CallbackView v = ShowCallback(c);
  page.Add("CallbackSettings.CallbackMode", "Callback security [*wcb]",
           ItemAt(CallbackModeItems(), v.mode, c.CallbackMode));
  for (std::size_t n = 0; n < v.numbers.size(); ++n) {
    const std::string row = "Callback table [*wcbtab] " + std::to_string(n + 1) + ": ";
    page.Add("CallbackSettings.CallbackNumbers", n, row + "Number",
             TextEdit(v.numbers[n], FieldText(c.CallbackNumbers[n], sizeof c.CallbackNumbers[n])));
    page.Add("CallbackSettings.CallbackPasswords", n, row + "Password",
             Password(c.CallbackPasswords[n], sizeof c.CallbackPasswords[n]));
  }
  page.Add("CallbackSettings.CallbackTime", "Delay before callback (*wcbtime)",
           NumberEdit(c.CallbackTime, kCallbackDelayChars));
}

void DescribeIo(const IoSettings& io, std::vector<FieldWords>& out) {
  PageWriter page(out, PG_IO);
  page.Add("IoSettings.PulseTp", "Trig pulse time in 10 ms Tp", std::to_string(io.PulseTp));
  page.Add("IoSettings.PulseTa", "Trig pulse time in 10 ms Ta", std::to_string(io.PulseTa));
  page.Add("IoSettings.TrigLevel", "Trig level <trig>", Indexed(TrigLevelItems(), io.TrigLevel));
  page.Add("IoSettings.TrigType", "Trig type <type>", Numbered(TrigTypeItems(), io.TrigType));
  page.Add("IoSettings.OutputCtrl", "Output ctrl <norm>", Numbered(OutputCtrlItems(), io.OutputCtrl));
  for (std::size_t i = 0; i < static_cast<std::size_t>(kIoEntries); ++i) {
    const std::string row = "I/O List [*WIOL] " + std::to_string(i + 1) + ": ";
    page.Add("IoSettings.Service", i, row + "Service", Indexed(IoServiceItems(), io.Service[i]));
    page.Add("IoSettings.Retry", i, row + "Retry <flag>", Indexed(IoRetryItems(), io.Retry[i]));
    page.Add("IoSettings.Timeout", i, row + "Time", std::to_string(io.Timeout[i]));
    page.Add("IoSettings.Priority", i, row + "Priority", Indexed(IoPriorityItems(), io.Priority[i]));
    // The entry dialog labels the data fields by the entry's service.
    const IoEntryTexts texts = LoadIoEntry(io, static_cast<int>(i));
    const auto& labels = IoServiceFields(io.Service[i]);
    for (std::size_t k = 0; k < 6; ++k) {
      std::string caption = "I/O Entry " + std::to_string(i + 1) + " Data " + std::to_string(k + 1);
      if (*labels[k].label) caption += std::string(" (") + labels[k].label + ")";
      // Data 5 is the SMS password.
      std::string shown = k == 4 ? Password(io.Data5[i], sizeof io.Data5[i]) : texts.data[k];
      page.Add("IoSettings.Data" + std::to_string(k + 1), i, std::move(caption), std::move(shown));
    }
  }
  // The entry dialog keeps Data 7 hidden.
  for (std::size_t i = 0; i < static_cast<std::size_t>(kIoEntries); ++i) {
    const std::string name = "IoSettings.Data7[" + std::to_string(i) + "]";
    out.push_back({name, kNotShownPage, std::string(kNotShownTitle), name, std::to_string(io.Data7[i])});
  }
}

}  // namespace

bool IsPasswordField(std::string_view name) {
  for (std::string_view field :
       {"RemoteSettings.RemotePassword", "CallbackSettings.CallbackPasswords[", "IoSettings.Data5["}) {
    if (name.substr(0, field.size()) == field && (field.back() == '[' || name.size() == field.size())) return true;
  }
  return false;
}

std::string PageTitle(int pageIndex) {
  switch (pageIndex) {
    case PG_BASIC: return "Basic";
    case PG_SERIAL: return "Serial";
    case PG_DIAL: return "Dial Options";
    case PG_CALLERID: return "Caller ID";
    case PG_REMOTE: return "Remote";
    case PG_DIAGNOSTIC: return "Diagnostic";
    case PG_CALLBACK: return "Callback";
    case PG_IO: return "I/O";
    default: return std::string(kNotShownTitle);
  }
}

const std::vector<int>& PagesInSheetOrder() {
  static const std::vector<int> pages = {PG_BASIC,  PG_SERIAL,     PG_DIAL,     PG_CALLERID,
                                         PG_REMOTE, PG_DIAGNOSTIC, PG_CALLBACK, PG_IO};
  return pages;
}

std::vector<FieldWords> DescribeBlock(const ConfigBlock& block) {
  std::vector<FieldWords> out;
  out.reserve(256);
  for (int page : PagesInSheetOrder()) {
    switch (page) {
      case PG_BASIC: DescribeBasic(block.basic, out); break;
      case PG_SERIAL: DescribeSerial(block.serial, out); break;
      case PG_DIAL: DescribeDial(block.dial, out); break;
      case PG_CALLERID: DescribeCallerId(block.callerId, out); break;
      case PG_REMOTE: DescribeRemote(block.remote, out); break;
      case PG_CALLBACK: DescribeCallback(block.callback, out); break;
      case PG_IO: DescribeIo(block.io, out); break;
      default: break;  // the Diagnostic page shows no field of the block
    }
  }
  return out;
}

std::vector<WordsDifference> DifferencesInWords(const std::vector<FieldDifference>& differences,
                                                const ConfigBlock& here, const ConfigBlock& other) {
  std::set<std::string> differing;
  for (const FieldDifference& d : differences) differing.insert(d.name);
  std::vector<WordsDifference> out;
  if (differing.empty()) return out;
  const std::vector<FieldWords> mine = DescribeBlock(here);
  const std::vector<FieldWords> theirs = DescribeBlock(other);
  for (std::size_t i = 0; i < mine.size() && i < theirs.size(); ++i) {
    if (differing.erase(mine[i].name)) out.push_back({mine[i], theirs[i].shown});
  }
  // The unused bytes, and (should the words ever miss a field) any field
  // the comparison found, keep an entry of their own.
  for (const FieldDifference& d : differences) {
    if (!differing.count(d.name)) continue;
    out.push_back({{d.name, kNotShownPage, std::string(kNotShownTitle),
                    d.name == kUnusedBytesName ? "Unused and padding bytes" : d.name, d.left},
                   d.right});
  }
  return out;
}

std::vector<WordsDifference> CompareInWords(const ConfigBlock& here, const ConfigBlock& other) {
  return DifferencesInWords(CompareBlocks(here, other), here, other);
}

}  // namespace kelvane
