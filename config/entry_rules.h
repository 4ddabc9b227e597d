#pragma once
// How the Dial options, Caller ID and Callback pages move the texts and
// numbers of their edits to and from fixed-size record fields, free of any
// widget so the rules are tested on their own.
//
// A field that holds more than its edit can show (a profile or a modem that
// stored more characters than the edit allows, or control characters, which
// the write engine never sends) is shown as far as it can be. As long as the
// edit still shows exactly that, storing the page leaves the field as it is,
// so touching another control never rewrites a value the user has not edited.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/config_block.h"

namespace kelvane {

// The text an edit limited to `limit` characters shows for a field of `size`
// bytes: the field's text up to its terminating zero (or its size), without
// control characters, cut at `limit`.
std::string ShownText(const char* field, std::size_t size, std::size_t limit);

// Stores an edit's text into a field: at most `limit` characters (and never
// more than size - 1), control characters dropped, zero bytes to the end of
// the field. An edit that still shows ShownText of the field leaves it alone.
void StoreText(char* field, std::size_t size, std::size_t limit, std::string_view text);

// The text an edit limited to `limit` characters (0: any number) shows for an
// integer.
std::string ShownNumber(int32_t value, std::size_t limit);

// Stores the leading integer of an edit's text (0 when there is none), unless
// the edit still shows ShownNumber of the value.
void StoreNumber(int32_t& value, std::size_t limit, std::string_view text);

// The numbers of the caller ID and callback tables: empty, or only the
// characters '0' to '9' and '+'.
bool IsTableNumber(std::string_view text);

// The number rule of those tables: a table number is stored (StoreText); any
// other text is refused and the field keeps its value. False when refused:
// the page then puts the field's text back into the edit (RefusedCaret).
bool StoreTableNumber(char* field, std::size_t size, std::size_t limit, std::string_view text);

// Where the caret goes in an edit whose text was refused: one position before
// the selection start noted before the text was put back (that is where the
// refused character was typed), within the restored text.
int RefusedCaret(int selectionStart, int restoredLength);

// --- texts that would change the command they travel in -----------------------
// Some texts go to the modem inside double quotes (the I/O entries' data in
// "AT*WIOL", the backup number, the caller ID and callback tables): a double
// quote ends the quoted argument early. Others go bare ("AT+MS=", "AT&Zn=",
// "AT*WRCP="): a semicolon there ends the command and the modem runs the rest
// as commands of its own (a profile could switch on remote access). Whatever
// way a text came in (a page, set, import, a profile file, a modem's answer),
// a write that would send such a text stops before anything is sent.

// A text a write would send that holds such a character.
struct UnsendableText {
  std::string name;     // "IoSettings.Data2[3]"
  std::string where;    // "I/O page, I/O Entry 4 Data 2", as the pages show it
  std::string command;  // "AT*WIOL", the command that sends it ("" when bare)
  std::string problem;  // what is wrong with it (CommandCharacterProblem)
};

// The first such text among those a write of `sections` sends (the I/O rows
// its low byte selects; the backup number and the I/O section only on the
// I/O model, type 3), or nothing.
std::optional<UnsendableText> FindUnsendableText(const ConfigBlock& block, int sections, int modelType);

// The same check over the whole block, as an error line for the command line
// ("IoSettings.Data2[3]: ..."). False when a text holds such a character.
bool CheckSentTexts(const ConfigBlock& block, std::string& error);

// Whether a write of `sections` sends I/O entry `n` (1..10): all ten when the
// low byte is below 6 or 0xFF, otherwise only entry (low byte >> 2).
bool WritesIoEntry(int sections, int n);

}  // namespace kelvane
