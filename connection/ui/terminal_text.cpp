#include "connection/ui/terminal_text.h"

#include <algorithm>

#include "config/traffic_file_log.h"

namespace kelvane {

namespace {

std::string_view Slice(std::string_view text, size_t from, size_t length) {
  if (from >= text.size()) return {};
  return text.substr(from, length);
}

std::string_view LastChars(std::string_view text, size_t n) {
  return text.size() > n ? text.substr(text.size() - n) : text;
}

// Replaces every occurrence of `secret` with as many '*'.
void BlankOut(std::string& text, std::string_view secret) {
  if (secret.empty()) return;
  for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + secret.size())) {
    text.replace(at, secret.size(), secret.size(), '*');
  }
}

// The line with its password fields' bytes replaced by '*', one for one:
// what MaskPasswordFields takes away, found as the part between what it
// leaves before and after.
std::string MaskedInPlace(std::string_view line) {
  const std::string masked = MaskPasswordFields(line);
  std::string out(line);
  if (masked == line) return out;
  size_t head = 0;
  while (head < line.size() && head < masked.size() && line[head] == masked[head]) ++head;
  size_t tail = 0;
  while (tail < line.size() - head && tail < masked.size() - head &&
         line[line.size() - 1 - tail] == masked[masked.size() - 1 - tail]) {
    ++tail;
  }
  for (size_t i = head; i < line.size() - tail; ++i) out[i] = '*';
  return out;
}

}  // namespace

std::string MaskTerminalSecrets(std::string_view text, std::string_view loginSecret) {
  std::string out(text);
  BlankOut(out, loginSecret);
  return MaskPasswordFieldsInText(out);
}

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

std::string HexDumpView(std::string_view hexLog, std::string_view charLog, int logCount,
                        std::string_view loginSecret) {
  // The bytes back from their hex column ("41 54 0D "), masked line by line
  // (a line ends at CR or LF) with every byte kept in its place.
  std::string bytes;
  bytes.reserve(hexLog.size() / 3);
  for (size_t i = 0; i + 1 < hexLog.size(); i += 3) {
    auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
    bytes.push_back(static_cast<char>(nibble(hexLog[i]) * 16 + nibble(hexLog[i + 1])));
  }
  std::string masked;
  masked.reserve(bytes.size());
  for (size_t start = 0; start < bytes.size();) {
    const size_t end = bytes.find_first_of("\r\n", start);
    const size_t stop = end == std::string::npos ? bytes.size() : end;
    masked += MaskedInPlace(std::string_view(bytes).substr(start, stop - start));
    if (end == std::string::npos) break;
    masked += bytes[end];
    start = end + 1;
  }
  BlankOut(masked, loginSecret);
  std::string maskedHex;
  std::string maskedChars(charLog);
  if (masked != bytes) {
    maskedHex = std::string(hexLog);
    for (size_t i = 0; i < masked.size(); ++i) {
      if (masked[i] == bytes[i]) continue;
      maskedHex.replace(i * 3, 2, "2A");
      if (i < maskedChars.size()) maskedChars[i] = '*';
    }
    hexLog = maskedHex;
    charLog = maskedChars;
  }

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
