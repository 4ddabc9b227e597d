#include "connection/ui/terminal_text.h"

#include <algorithm>

namespace kelvane {

namespace {

std::string_view Slice(std::string_view text, size_t from, size_t length) {
  if (from >= text.size()) return {};
  return text.substr(from, length);
}

std::string_view LastChars(std::string_view text, size_t n) {
  return text.size() > n ? text.substr(text.size() - n) : text;
}

}  // namespace

std::string AppendTerminalText(std::string_view shown, std::string_view received) {
  std::string joined;
  joined.reserve(shown.size() + received.size());
  joined.append(shown);
  joined.append(received);
  const std::string_view kept = LastChars(joined, kTerminalCapacity);

  // A backspace takes the character before it with it; one with nothing
  // before it is dropped.
  std::string erased;
  erased.reserve(kept.size());
  for (char c : kept) {
    if (c == '\b') {
      if (!erased.empty()) erased.pop_back();
    } else {
      erased.push_back(c);
    }
  }

  // Every line ends in CR LF; a line feed of its own is dropped.
  std::string lines;
  lines.reserve(erased.size() + erased.size() / 8);
  for (char c : erased) {
    if (c == '\n') continue;
    lines.push_back(c);
    if (c == '\r') lines.push_back('\n');
  }

  // The added line feeds may push it over the limit again; never start with
  // the second half of a line end.
  if (lines.size() > kTerminalCapacity) {
    lines.erase(0, lines.size() - kTerminalCapacity);
    if (!lines.empty() && lines.front() == '\n') lines.erase(0, 1);
  }
  return lines;
}

std::string HexDumpView(std::string_view hexLog, std::string_view charLog, int logCount) {
  std::string out;
  if (logCount < 0) logCount = 0;
  const int lastLine = logCount / 16;
  out.reserve(static_cast<size_t>(lastLine + 1) * 69);
  for (int i = 0; i <= lastLine; ++i) {
    const std::string_view hex = Slice(hexLog, static_cast<size_t>(i) * 48, 48);
    out.append(hex);
    out.append(48 - hex.size(), ' ');
    out.append("   ");
    out.append(Slice(charLog, static_cast<size_t>(i) * 16, 16));
    out.append("\r\n");
  }
  return out;
}

void CommandHistory::Add(std::string_view command) {
  entries_[static_cast<size_t>(count_)] = std::string(command);
  ++count_;
  if (count_ > kCapacity) {
    std::rotate(entries_.begin(), entries_.begin() + 1, entries_.end());
    count_ = kCapacity;
  }
  // The fresh line after the newest entry is always empty.
  entries_[static_cast<size_t>(count_)].clear();
  index_ = count_;
}

const std::string& CommandHistory::Older() {
  if (index_ > 0) --index_;
  return Current();
}

const std::string& CommandHistory::Newer() {
  if (index_ < count_) ++index_;
  return Current();
}

bool CommandHistory::MoveTo(int position) {
  if (position < 0 || position > count_) return false;
  index_ = position;
  return true;
}

const std::string& CommandHistory::At(int position) const {
  static const std::string kNone;
  if (position < 0 || position > count_) return kNone;
  return entries_[static_cast<size_t>(position)];
}

}  // namespace kelvane
