#pragma once
// The one table of the configuration: every named field of the block with its
// record, place and kind (taken from the struct itself), the page that shows
// it, its caption, how its value maps to the page's control, the characters
// and length it takes, and how it travels to the modem (secret, quoted). The
// pages, `set`, `fields`, the words, the entry rules, JSON, the comparison and
// the traffic log's masking all read their facts from here.
//
// Next to it the table of sections: bit, record, page, titles and names.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "config/config_block.h"

namespace kelvane {

enum class FieldKind {
  Int,        // 32-bit integer
  Byte,       // one byte holding a number
  Char,       // one byte holding a character ('N', 'E', 'O')
  Text,       // zero-terminated text in a field of `width` bytes
  IntArray,   // `count` integers
  TextArray,  // `count` texts of `width` bytes
};

// How a field's value maps to what its control shows and takes.
enum class ValueMap {
  Numbered,         // a combo whose items begin with "<number> -": the number is stored
  Indexed,          // a combo that stores the index of its item
  Parity,           // the parity combo: the first letter of "None", "Even", "Odd"
  BaudRate,         // the rate combo: items found by their leading digits, "0 - Auto" for 0
  FastDisconnect,   // item 1 for the byte 1, item 0 for any other
  Register,         // a Basic S-register edit: clipped into low..high
  Country,          // the country combo: a code of the list, "C7 - Universal" for any other
  CompressionPart,  // half of the compression pair, one combo for both
  Modulation,       // what the Modulation dialog composes
  Range,            // a number edit of `limit` characters (0: any length), low..high
  Text,             // a text edit of `limit` characters
  TableNumber,      // a caller ID or callback number: digits and '+' only
  Password,         // empty, or 6 to `limit` characters
  IoText,           // a text of the I/O entry dialog, labelled by the entry's service
  IoNumber,         // the number of the I/O entry dialog (Data 4)
};

using ItemList = const std::vector<std::string>& (*)();

// When a write sends a field. Where it does not, the modem keeps its own
// value, and a comparison with the modem takes the profile's.
enum class SentWhen {
  Always,
  IoModelOnly,   // only to the I/O model (type 3)
  Never,
  WithCallerId,  // only while the caller ID format is not 0 (off)
};

// What a text sent bare (outside quotes) may hold. The modem reads such a
// text up to where its own form ends and runs whatever follows as further
// commands, so each has a positive rule: the text is exactly its form.
enum class BareText {
  None,        // not sent bare
  Modulation,  // a carrier name and at most five decimal numbers, separated by commas
  DialString,  // digits, blanks and the dial characters
  Password,    // the printable characters the modem takes in a password
};

// The page index of fields that no page shows (Data 7 of the I/O entries).
inline constexpr int kNotShownPage = -1;

struct FieldInfo {
  const char* record;  // "SerialSettings", ...
  const char* name;    // "DteRate", ...
  size_t offset;       // from the start of the block
  FieldKind kind;
  size_t width;  // bytes of one text (4 for integers, 1 for bytes)
  size_t count;  // elements of an array (1 otherwise)

  int page = kNotShownPage;  // PG_BASIC ... (config/adapter.h)
  // Top-to-bottom place on its page; arrays of one place go element by element.
  int place = 0;
  // The caption the page shows beside the control. In an array "%d" stands
  // for the element's number, counted from `firstNumber`.
  const char* caption = "";
  int firstNumber = 1;
  const char* tooltip = "";

  ValueMap map = ValueMap::Range;
  ItemList items = nullptr;  // Numbered, Indexed
  long long low = 0;         // Range, Register
  long long high = 0;        // Range, Register
  size_t limit = 0;          // characters the control takes (0: any number)
  // A longer text the record holds is shown and stored whole, not cut at
  // `limit`, so that storing the page back never shortens it.
  bool shownWhole = false;

  bool secret = false;  // a password: masked in every output and log
  bool quoted = false;  // sent inside double quotes: never holds one
  BareText bare = BareText::None;  // sent bare: holds only its own form
  // The command that sends it ("*WIOL") and its place among that command's
  // arguments (-1: the rest of the line), and the key before it in the
  // modem's answer ("_Data5="). Set for secrets and quoted texts.
  const char* command = nullptr;
  int argument = -1;
  const char* answerKey = nullptr;
  SentWhen sent = SentWhen::Always;

  bool IsArray() const { return kind == FieldKind::IntArray || kind == FieldKind::TextArray; }
  bool IsNumber() const { return kind == FieldKind::Int || kind == FieldKind::IntArray || kind == FieldKind::Byte; }
  // "BasicSettings.S0"; with an element "DialSettings.StoredNumbers[2]".
  std::string FullName() const;
  std::string ElementName(size_t element) const;
  // The caption of one element ("Callback table [*wcbtab] 3: Number").
  std::string ElementCaption(size_t element) const;
};

// Every named field in the order of the block.
const std::vector<FieldInfo>& ConfigFields();
// A field by record and name, or by "Record.Name"; null when there is none.
const FieldInfo* FindField(std::string_view record, std::string_view name);
const FieldInfo* FindField(std::string_view fullName);
// A field or array element by "Record.Name" or "Record.Name[i]"; null when
// there is none (or the index is outside the array).
const FieldInfo* FindFieldElement(std::string_view name, size_t* element = nullptr);
// The field or array element that holds the byte at `offset` in the block;
// null for an unused or padding byte.
const FieldInfo* FindFieldAt(size_t offset, size_t* element = nullptr);

// Whether a write of `block` to a modem of `modelType` sends the field.
bool IsSent(const FieldInfo& field, const ConfigBlock& block, int modelType);

// The fields that hold passwords: masked in every output and log.
inline bool IsSecret(const FieldInfo& field) { return field.secret; }
// The same for a name as CompareBlocks gives it.
bool IsPasswordField(std::string_view name);

// What is wrong with a text for a field, or "" when the field takes it: only
// printable single-byte characters, no double quote in a quoted text, at
// most its control's characters, a table number of digits and '+', a password
// empty or of 6 characters and more. `text` is in the profile's characters.
std::string CheckFieldText(const FieldInfo& field, std::string_view text);
// What it says of a double quote in a quoted text.
inline constexpr std::string_view kQuoteProblem =
    "a double quote (\") is not taken: the modem gets this text inside double quotes";
// What keeps a text from reaching the modem as the value it is, or "": a
// double quote would end a quoted text early; a text sent bare must be
// exactly its own form (BareText), or the modem would run the rest as
// commands of its own. Control characters are left out of every text sent,
// so they are not judged here.
std::string CommandCharacterProblem(const FieldInfo& field, std::string_view text);
// The bare forms on their own, for a text as it is sent.
bool IsBareModulation(std::string_view text);
bool IsDialString(std::string_view text);
bool IsModemPassword(std::string_view text);
// What is wrong with a number for a field, or "": the range a number edit
// takes, or what its byte or integer holds.
std::string CheckFieldNumber(const FieldInfo& field, long long value);
// A Register entry as it is stored: clipped into the register's range, so a
// minus sign typed into the edit never reaches the modem as "ATS0=-5".
long long ClipRegister(const FieldInfo& field, long long value);
// The range of numbers `CheckFieldNumber` takes.
void FieldNumberRange(const FieldInfo& field, long long& low, long long& high);

// --- sections ------------------------------------------------------------------

struct SectionInfo {
  int bit;                // SEC_BASIC ...
  int page;               // PG_BASIC ...
  const char* record;     // "BasicSettings"; "" for the Diagnostic page
  std::size_t offset;     // where the record lies in the block
  std::size_t size;       // its bytes; 0 for the Diagnostic page
  const char* title;      // the tab title: "Dial Options"
  const char* pageName;   // the page's own name: its button group reads "<pageName> page"
  const char* words;      // the section in messages: "Remote configuration"; "" for the Diagnostic page
  const char* cliName;    // the name on the command line: "dial"
  const char* progress;   // in "Reading configuration (<progress>)"
  // A page notices a change in units of `compareUnit` bytes over the first
  // `compareSize` bytes of its record (0: all of it).
  int compareUnit = 4;
  std::size_t compareSize = 0;
};
// The sections in the order of the sheet's tabs.
const std::vector<SectionInfo>& Sections();
// The section of a page index or of a section bit; null for none.
const SectionInfo* SectionOfPage(int page);
const SectionInfo* SectionOfBit(int bit);
// Copies the records of the sections whose bits `sections` holds.
void CopySections(ConfigBlock& to, const ConfigBlock& from, int sections);
// "<verb> configuration (<progress>)" for the section of `bit`.
std::string SectionProgressText(std::string_view verb, int bit);

// --- values --------------------------------------------------------------------

// A field's value as text: numbers in decimal, characters and texts as they
// stand, arrays as their elements separated by ", ".
std::string FieldValueText(const ConfigBlock& block, const FieldInfo& field);
// The field as a JSON value (number, string, or array of them); texts as
// their single-byte characters U+0000 to U+00FF.
nlohmann::ordered_json FieldJson(const ConfigBlock& block, const FieldInfo& field);
// A control character (below 0x20, or DEL): never sent in a text field.
bool IsControl(char c);
// Text of a fixed field read at most `width` bytes, stopping at a zero byte.
std::string FieldText(const ConfigBlock& block, size_t offset, size_t width);
int32_t FieldInt(const ConfigBlock& block, size_t offset);
// Where one element of a field lies in the block.
const char* ElementBytes(const ConfigBlock& block, const FieldInfo& field, size_t element);
char* ElementBytes(ConfigBlock& block, const FieldInfo& field, size_t element);
// One element as a number (integers and bytes) or as text (texts, characters).
long long ElementNumber(const ConfigBlock& block, const FieldInfo& field, size_t element);
// Stores a number into one element: its byte or its integer.
void StoreElementNumber(ConfigBlock& block, const FieldInfo& field, size_t element, long long value);
// Stores an edit's text into one element as it stands: into a number its
// leading integer, into a text as much as its field holds.
void StoreElementText(ConfigBlock& block, const FieldInfo& field, size_t element, std::string_view text);
std::string ElementText(const ConfigBlock& block, const FieldInfo& field, size_t element);
// --- combos: a field shown as one item of its list ---------------------------------

// What the item at `index` of the field's list stands for: the number it
// begins with (Numbered, BaudRate), its place (Indexed, FastDisconnect), the
// parity letter, the country code, or this field's half of the compression
// pair; -1 for an item that stands for nothing (the DTR list's empty item).
long long ItemValue(const FieldInfo& field, size_t index);
// The item the combo shows for the element's value, or -1 for none. A byte
// other than 1 shows as item 0 of FastDisconnect; a country code the list
// lacks shows as "C7 - Universal", and a compression pair it lacks as the
// automatic one: what storing the combo back then stores.
int ShownItem(const ConfigBlock& block, const FieldInfo& field, size_t element);
// Stores what the item at `index` stands for (an item that stands for nothing
// stores 0); the compression items store both halves of the pair.
void StoreItem(ConfigBlock& block, const FieldInfo& field, size_t element, int index);

struct FieldDifference {
  std::string name;  // "BasicSettings.S0", "DialSettings.StoredNumbers[2]"
  std::string left;
  std::string right;
};
// The named fields that differ (array elements one by one), then the unused
// and padding bytes as one entry when any of them differ.
// The name of that entry.
inline constexpr std::string_view kUnusedBytesName = "unused bytes";
std::vector<FieldDifference> CompareBlocks(const ConfigBlock& left, const ConfigBlock& right);

}  // namespace kelvane
