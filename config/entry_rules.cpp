#include "config/entry_rules.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "config/page_values.h"

namespace kelvane {

namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

std::string Printable(std::string_view text, std::size_t limit) {
  std::string out;
  out.reserve(text.size() < limit ? text.size() : limit);
  for (char c : text) {
    if (out.size() >= limit) break;
    if (!IsControl(c)) out += c;
  }
  return out;
}

}  // namespace

std::string ShownText(const char* field, std::size_t size, std::size_t limit) {
  return Printable(FieldText(field, size), limit);
}

void StoreText(char* field, std::size_t size, std::size_t limit, std::string_view text) {
  if (size == 0 || text == ShownText(field, size, limit)) return;
  if (limit > size - 1) limit = size - 1;
  CopyFieldText(field, size, Printable(text, limit));
}

std::string ShownNumber(int32_t value, std::size_t limit) {
  std::string text = std::to_string(value);
  if (text.size() > limit) text.resize(limit);
  return text;
}

void StoreNumber(int32_t& value, std::size_t limit, std::string_view text) {
  if (text == ShownNumber(value, limit)) return;
  value = LeadingInt(text);
}

bool IsTableNumber(std::string_view text) {
  for (char c : text) {
    if ((c < '0' || c > '9') && c != '+') return false;
  }
  return true;
}

bool StoreTableNumber(char* field, std::size_t size, std::size_t limit, std::string_view text) {
  if (text == ShownText(field, size, limit)) return true;
  if (!IsTableNumber(text)) return false;
  StoreText(field, size, limit, text);
  return true;
}

int RefusedCaret(int selectionStart, int restoredLength) {
  int caret = selectionStart - 1;
  if (caret > restoredLength) caret = restoredLength;
  return caret < 0 ? 0 : caret;
}

void StoreSelection(int32_t& value, int index) {
  if (index >= 0) value = index;
}

namespace {

// Every text the write engine puts between double quotes. `where` holds %d
// for the element's number (1-based) in an array.
struct QuotedField {
  const char* record;
  const char* field;
  int section;
  std::size_t offset;
  std::size_t width;
  std::size_t count;
  const char* where;
  const char* command;
  bool ioModelOnly;
};

const QuotedField kQuotedFields[] = {
    {"DialSettings", "BackupNumber", SEC_DIAL, offsetof(ConfigBlock, dial) + offsetof(DialSettings, BackupNumber),
     sizeof(DialSettings::BackupNumber), 1, "Dial options, backup number", "AT*WDB", true},
    {"CallerIdSettings", "AcceptedNumbers", SEC_CALLERID,
     offsetof(ConfigBlock, callerId) + offsetof(CallerIdSettings, AcceptedNumbers),
     sizeof(CallerIdSettings::AcceptedNumbers[0]), 10, "Caller ID, accepted number %d", "AT*WACCTAB", false},
    {"CallbackSettings", "CallbackNumbers", SEC_CALLBACK,
     offsetof(ConfigBlock, callback) + offsetof(CallbackSettings, CallbackNumbers),
     sizeof(CallbackSettings::CallbackNumbers[0]), 10, "Callback, number %d", "AT*WCBTAB", false},
    {"CallbackSettings", "CallbackPasswords", SEC_CALLBACK,
     offsetof(ConfigBlock, callback) + offsetof(CallbackSettings, CallbackPasswords),
     sizeof(CallbackSettings::CallbackPasswords[0]), 10, "Callback, password %d", "AT*WCBTAB", false},
    {"IoSettings", "Data1", SEC_IO, offsetof(ConfigBlock, io) + offsetof(IoSettings, Data1),
     sizeof(IoSettings::Data1[0]), 10, "I/O entry %d, Data 1", "AT*WIOL", true},
    {"IoSettings", "Data2", SEC_IO, offsetof(ConfigBlock, io) + offsetof(IoSettings, Data2),
     sizeof(IoSettings::Data2[0]), 10, "I/O entry %d, Data 2", "AT*WIOL", true},
    {"IoSettings", "Data3", SEC_IO, offsetof(ConfigBlock, io) + offsetof(IoSettings, Data3),
     sizeof(IoSettings::Data3[0]), 10, "I/O entry %d, Data 3", "AT*WIOL", true},
    {"IoSettings", "Data5", SEC_IO, offsetof(ConfigBlock, io) + offsetof(IoSettings, Data5),
     sizeof(IoSettings::Data5[0]), 10, "I/O entry %d, Data 5", "AT*WIOL", true},
    {"IoSettings", "Data6", SEC_IO, offsetof(ConfigBlock, io) + offsetof(IoSettings, Data6),
     sizeof(IoSettings::Data6[0]), 10, "I/O entry %d, Data 6", "AT*WIOL", true},
};

std::string Where(const QuotedField& f, std::size_t element) {
  std::string text = f.where;
  const std::size_t mark = text.find("%d");
  if (mark != std::string::npos) text.replace(mark, 2, std::to_string(element + 1));
  return text;
}

}  // namespace

bool IsQuotedTextField(std::string_view record, std::string_view field) {
  return std::any_of(std::begin(kQuotedFields), std::end(kQuotedFields),
                     [&](const QuotedField& f) { return record == f.record && field == f.field; });
}

bool WritesIoEntry(int sections, int n) {
  const int selection = sections & 0xFF;
  return selection < 6 || (selection >> 2) == n || selection == 0xFF;
}

std::optional<QuoteInText> FindQuoteInQuotedTexts(const ConfigBlock& block, int sections, int modelType) {
  const auto* bytes = reinterpret_cast<const char*>(&block);
  for (const QuotedField& f : kQuotedFields) {
    if (!(sections & f.section) || (f.ioModelOnly && modelType != 3)) continue;
    // Only the entries a write of the I/O section sends, and only with its
    // entries bit.
    if (f.section == SEC_IO && !(sections & 2)) continue;
    for (std::size_t i = 0; i < f.count; ++i) {
      if (f.section == SEC_IO && !WritesIoEntry(sections, static_cast<int>(i) + 1)) continue;
      const std::string text = FieldText(bytes + f.offset + i * f.width, f.width);
      if (text.find('"') == std::string::npos) continue;
      std::string name = std::string(f.record) + "." + f.field;
      if (f.count > 1) name += "[" + std::to_string(i) + "]";
      return QuoteInText{name, Where(f, i), f.command};
    }
  }
  return std::nullopt;
}

std::string QuoteProblem() {
  return "a double quote (\") is not taken: the modem gets this text inside double quotes";
}

bool CheckQuotedTexts(const ConfigBlock& block, std::string& error) {
  const std::optional<QuoteInText> q = FindQuoteInQuotedTexts(block, SEC_ALL, 3);
  if (!q) return true;
  error = q->name + ": " + QuoteProblem();
  return false;
}

}  // namespace kelvane
