#pragma once
// The text rules of the terminal pane, apart from its widgets: how received
// text joins what is shown, the hex view of the traffic log, and the command
// history.

#include <array>
#include <string>
#include <string_view>

namespace kelvane {

// The pane shows at most this many characters of received text.
inline constexpr size_t kTerminalCapacity = 10000;

// `shown` followed by `received`, with a backspace erasing the character
// before it (one at the very start is dropped), line feeds dropped and every
// carriage return followed by a line feed, cut to the last kTerminalCapacity
// characters.
std::string AppendTerminalText(std::string_view shown, std::string_view received);

// Text for the pane with the passwords masked as the traffic log file and
// the command line's debug output mask them: the password fields of
// configuration commands and answers ("*WRCP: ", "1_Password=", "_Data5="),
// and the remote login password `loginSecret` wherever it shows. Masking
// text already masked changes nothing, so a password that arrived in two
// pieces is masked whole once its line is complete.
std::string MaskTerminalSecrets(std::string_view text, std::string_view loginSecret);

// The traffic log as lines of 16 bytes: the hex column padded to 48
// characters, three blanks, the characters; each line ends in CR LF. Lines
// run from 0 to logCount / 16 inclusive. The bytes of a password field (and
// of `loginSecret`) are shown as '*' in both columns, so the columns keep
// their places.
std::string HexDumpView(std::string_view hexLog, std::string_view charLog, int logCount,
                        std::string_view loginSecret = {});

// The command line's history: up to 50 commands, oldest first, and the
// position being shown (the count is the fresh, empty line after the newest).
class CommandHistory {
 public:
  static constexpr int kCapacity = 50;

  void Add(std::string_view command);
  // Up: one step back, if there is an older entry. Returns the entry shown.
  const std::string& Older();
  // Down: one step forward, up to the fresh line.
  const std::string& Newer();
  // The history spin control moved to `position`; false (nothing changes)
  // when the position lies beyond the fresh line.
  bool MoveTo(int position);

  int Count() const { return count_; }
  int Index() const { return index_; }
  const std::string& At(int position) const;
  const std::string& Current() const { return At(index_); }

 private:
  std::array<std::string, kCapacity + 1> entries_;
  int count_ = 0;
  int index_ = 0;
};

}  // namespace kelvane
