#pragma once
// What the command families of the simulated modem share: result codes, the
// forms of an extended command, the command line being executed, and the
// small parsers for parameters. Internal to sim/.

#include <string>
#include <string_view>
#include <vector>

namespace kelvane::simtext {

enum ResultCode {
  RC_OK = 0,
  RC_CONNECT = 1,
  RC_NO_CARRIER = 3,
  RC_ERROR = 4,
  RC_NO_DIALTONE = 6,
  RC_BUSY = 7,
  RC_NO_ANSWER = 8,
  RC_NONE = -1,  // the line ends without a result now (dialling, download)
};

// "+X" / "+X?" / "+X=?" / "+X=...".
enum CommandKind { K_ACTION, K_READ, K_TEST, K_SET };

// One command line under execution: the text after "AT" as received and in
// upper case, where the next command starts, the information text gathered
// so far and the result. A family handler reads its command at `i`, moves
// `i` past it, and sets `result` when the command fails or ends the line.
struct CommandLine {
  std::string_view body;
  std::string_view ubody;
  size_t i = 0;
  bool remote = false;  // arrived over a remote configuration session
  std::string out;
  int result = RC_OK;

  size_t Size() const { return body.size(); }
  // An optional decimal parameter of a basic command (0 when absent); at most
  // four digits are taken.
  bool Number(int& value);
};

char Up(char c);
bool IsDigit(char c);
bool IsAlnum(char c);
bool IsPrintable(std::string_view t);
std::string Upper(std::string_view t);
std::string_view Trim(std::string_view t);

// A whole decimal number (digits only, at most `max`).
bool ParseNumber(std::string_view t, int max, int& out);
bool OnlyDialDigits(std::string_view t);

struct Arg {
  std::string text;
  bool quoted = false;
};

// Splits "a,"b c",d" into arguments. A quoted argument ends at the first quote
// that is followed (after blanks) by a comma or the end, so a quote inside a
// text survives; an unterminated quote fails.
bool SplitArgs(std::string_view t, std::vector<Arg>& args);
// A numeric argument: an omitted one keeps `current`.
bool NumArg(const std::vector<Arg>& args, size_t index, int max, int& value);
// A text argument, quoted or not, of at most `limit` printable characters.
bool TextArg(const std::vector<Arg>& args, size_t index, size_t limit, std::string& value);
// A single numeric argument from `lo` to `hi` (omitted: `field` stays).
bool OneNumber(std::string_view args, int lo, int hi, int& field);
// "=n?": the query form of the tables that are read entry by entry (1..10).
bool IndexedQuery(int kind, std::string_view args, int& index);

std::string Format(const char* fmt, int a);

}  // namespace kelvane::simtext
