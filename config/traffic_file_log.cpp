#include "config/traffic_file_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "config/field_table.h"
#include "config/replacement_file.h"

namespace kelvane {

namespace {

// A line of traffic is masked whole, so that a password field keeps its
// context however long the line; it is written in pieces of kLongestLine.
constexpr size_t kLongestLine = 256;
constexpr size_t kLongestMaskedLine = 4096;

// True when a password field is still open at the end of `text`: a byte
// that followed would be masked.
bool SecretRunsOn(std::string_view text) {
  std::string probe(text);
  probe += 'X';
  const std::string masked = MaskPasswordFields(probe);
  return masked.size() >= TrafficFileLog::kMask.size() &&
         std::string_view(masked).substr(masked.size() - TrafficFileLog::kMask.size()) == TrafficFileLog::kMask;
}

// Position of `needle` in `text` ignoring letter case, or npos.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0) {
  if (needle.empty() || text.size() < needle.size()) return std::string_view::npos;
  for (size_t i = from; i + needle.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < needle.size() &&
           std::toupper(static_cast<unsigned char>(text[i + k])) == std::toupper(static_cast<unsigned char>(needle[k]))) {
      ++k;
    }
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
  for (unsigned char c : bytes) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          static const char kHex[] = "0123456789ABCDEF";
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 0x0F];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
}

// Replaces every occurrence of `secret` in `text`.
void MaskOccurrences(std::string& text, const std::string& secret) {
  if (secret.empty()) return;
  size_t at = 0;
  while ((at = text.find(secret, at)) != std::string::npos) {
    text.replace(at, secret.size(), TrafficFileLog::kMask);
    at += TrafficFileLog::kMask.size();
  }
}

}  // namespace

std::FILE* OpenTrafficLogFile(const std::string& path, std::string& error) {
  // The log is appended to, so it is opened where it stands: a link is
  // followed only when it is this user's or the folder owner's, and the file
  // opened is checked, not the name, so that a link swapped in between the
  // two is never written through.
  int err = 0;
  std::string refused;
  const std::string opened = FollowLinks(path, err, refused);
  if (!refused.empty()) {
    error = "Unable to open the traffic log " + ForeignLinkReason(refused);
    return nullptr;
  }
  if (opened.empty()) {
    error = "Unable to open the traffic log " + path + ": " + std::strerror(err ? err : ENOENT);
    return nullptr;
  }
  const std::filesystem::path folder = std::filesystem::path(opened).parent_path();
  const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat dir {};
  if (dirFd < 0 || ::fstat(dirFd, &dir) != 0) {
    error = "Unable to open the traffic log " + path + ": " + std::strerror(errno);
    if (dirFd >= 0) ::close(dirFd);
    return nullptr;
  }
  // A new log is readable by its owner only: it shows the whole configuration.
  const std::string name = std::filesystem::path(opened).filename().string();
  const int fd = ::openat(dirFd, name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
  const int openError = errno;
  ::close(dirFd);
  if (fd < 0) {
    error = "Unable to open the traffic log " +
            (openError == ELOOP ? path + ": a symbolic link put in its place while it was opened; not followed"
                                : path + ": " + std::strerror(openError));
    return nullptr;
  }
  struct stat file {};
  if (::fstat(fd, &file) != 0 || IsForeignInSharedFolder(file, dir)) {
    error = "Unable to open the traffic log " + ForeignFileReason(path);
    ::close(fd);
    return nullptr;
  }
  std::FILE* stream = ::fdopen(fd, "a");
  if (!stream) {
    error = "Unable to open the traffic log " + path + ": " + std::strerror(errno);
    ::close(fd);
  }
  return stream;
}

std::string MaskPasswordFields(std::string_view line) {
  std::string out(line);
  auto maskFrom = [&](size_t start, size_t end) {
    if (start < end && start < out.size()) out.replace(start, end - start, TrafficFileLog::kMask);
  };
  // A secret has its place at the start of a line: a command line's own
  // command, or the key the modem answers it with (after a session's ">"
  // prompt, the entry number of a table row). Text further on belongs to
  // something else and is left as it stands, so a masked line never hides
  // what is not the secret.
  size_t begin = 0;
  while (begin < out.size() && (out[begin] == '>' || out[begin] == ' ')) ++begin;
  auto startsWith = [&](size_t at, std::string_view text) { return FindNoCase(out.substr(at, text.size()), text) == 0; };
  for (const FieldInfo& f : ConfigFields()) {
    if (!IsSecret(f)) continue;
    // In the modem's answer ("*WRCP: ...", "3_Data5=...") the rest of the line.
    const std::string_view key = f.answerKey;
    size_t keyAt = begin;
    if (!key.empty() && key.front() == '_') {
      while (keyAt < out.size() && out[keyAt] >= '0' && out[keyAt] <= '9') ++keyAt;
    }
    if (startsWith(keyAt, key)) maskFrom(keyAt + key.size(), out.size());
    // In a write ("AT*WIOL=n,...") the field's argument, or the rest of the
    // line. Texts are quoted and hold no quote of their own, so a comma
    // inside quotes does not end an argument.
    const std::string command = "AT" + std::string(f.command) + "=";
    if (!startsWith(begin, command)) continue;
    size_t start = begin + command.size();
    if (f.argument < 0) {
      maskFrom(start, out.size());
      continue;
    }
    int argument = 0;
    bool quoted = false;
    for (size_t i = start; i <= out.size(); ++i) {
      const bool end = i == out.size() || (!quoted && (out[i] == ',' || out[i] == '\r'));
      if (!end) {
        if (out[i] == '"') quoted = !quoted;
        continue;
      }
      if (argument == f.argument) {
        maskFrom(start, i);
        break;
      }
      if (i == out.size() || out[i] == '\r') break;
      ++argument;
      start = i + 1;
    }
  }
  return out;
}

std::string MaskPasswordFieldsInText(std::string_view text) {
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    const size_t stop = end == std::string_view::npos ? text.size() : end;
    out += MaskPasswordFields(text.substr(start, stop - start));
    if (end == std::string_view::npos) break;
    out += text[end];
    start = end + 1;
  }
  return out;
}

TrafficFileLog::TrafficFileLog(StampFunction stamp) : stamp_(std::move(stamp)) {
  if (!stamp_) stamp_ = &TrafficFileLog::LocalTimeStamp;
}

TrafficFileLog::~TrafficFileLog() { Close(); }

std::string TrafficFileLog::LocalTimeStamp() {
  const auto now = std::chrono::system_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const time_t seconds = static_cast<time_t>(ms / 1000);
  struct tm local{};
  localtime_r(&seconds, &local);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms % 1000));
  return text;
}

bool TrafficFileLog::Open(const std::string& path, std::string& error) {
  Close();
  std::FILE* file = OpenTrafficLogFile(path, error);
  if (!file) return false;
  file_ = file;
  path_ = path;
  direction_ = Direction::None;
  line_.clear();
  secret_.clear();
  maskNextSend_ = lineIsSecret_ = false;
  WriteRaw(stamp_() + " -- traffic log started (TX to the modem, RX from the modem)\n");
  std::fflush(file_);
  return true;
}

void TrafficFileLog::Close() {
  if (!file_) return;
  EndLine();
  WriteRaw(stamp_() + " -- traffic log ended\n");
  std::fclose(file_);
  file_ = nullptr;
  secret_.clear();
}

void TrafficFileLog::MaskNextSend() {
  if (file_) maskNextSend_ = true;
}

void TrafficFileLog::Sent(std::string_view bytes) {
  if (!file_ || bytes.empty()) return;
  if (maskNextSend_) {
    maskNextSend_ = false;
    EndLine();
    // The secret is the text before the line end; its echo is masked too.
    std::string_view text = bytes;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
    secret_ = std::string(text);
    direction_ = Direction::Sent;
    lineStamp_ = stamp_();
    lineIsSecret_ = true;
    line_ = std::string(kMask) + std::string(bytes.substr(text.size()));
    EndLine();
    return;
  }
  secret_.clear();
  Add(Direction::Sent, bytes);
}

void TrafficFileLog::Received(std::string_view bytes) {
  if (!file_ || bytes.empty()) return;
  Add(Direction::Received, bytes);
}

void TrafficFileLog::Add(Direction direction, std::string_view bytes) {
  if (direction != direction_) EndLine();
  direction_ = direction;
  for (char c : bytes) {
    // A carriage return ends its line unless a line feed follows it.
    if (!line_.empty() && line_.back() == '\r' && c != '\n') EndLine();
    if (line_.empty()) lineStamp_ = stamp_();
    line_ += c;
    if (c == '\n') {
      EndLine();
    } else if (line_.size() >= kLongestMaskedLine) {
      // Cut without a line end: a password that runs on stays masked in the
      // rest of the line.
      EndLine(true);
    }
  }
  std::fflush(file_);
}

void TrafficFileLog::EndLine(bool cut) {
  if (!file_ || line_.empty()) {
    line_.clear();
    if (!cut) secretRunsOn_ = false;
    return;
  }
  std::string text;
  if (lineIsSecret_) {
    text = line_;
  } else {
    // The line end stays visible; the masks apply to the text before it.
    size_t end = line_.size();
    while (end > 0 && (line_[end - 1] == '\r' || line_[end - 1] == '\n')) --end;
    text = line_.substr(0, end);
    MaskOccurrences(text, secret_);
    const bool ranOn = secretRunsOn_;
    secretRunsOn_ = cut && (ranOn || SecretRunsOn(text));
    text = (ranOn ? std::string(kMask) : MaskPasswordFields(text)) + line_.substr(end);
  }
  const std::string head = lineStamp_ + (direction_ == Direction::Sent ? " TX " : " RX ");
  std::string_view rest = text;
  if (lineIsSecret_) {
    // The mask itself is written as it stands.
    std::string out = head + std::string(kMask);
    AppendEscaped(out, rest.substr(kMask.size()));
    WriteRaw(out + '\n');
  } else {
    do {
      std::string out = head;
      AppendEscaped(out, rest.substr(0, kLongestLine));
      WriteRaw(out + '\n');
      rest.remove_prefix(std::min(rest.size(), kLongestLine));
    } while (!rest.empty());
  }
  line_.clear();
  lineIsSecret_ = false;
}

void TrafficFileLog::Flush() {
  if (!file_) return;
  EndLine();
  std::fflush(file_);
}

void TrafficFileLog::WriteRaw(const std::string& text) {
  if (file_) std::fwrite(text.data(), 1, text.size(), file_);
}

bool TrafficLoggingPort::Open(const std::string& portName, std::string& reason) {
  if (!inner_) {
    reason = portName + ": no such port.";
    return false;
  }
  return inner_->Open(portName, reason);
}

void TrafficLoggingPort::Close() {
  if (inner_) inner_->Close();
  log_.Flush();
}

bool TrafficLoggingPort::SetSettings(std::string_view settingsText) {
  return inner_ && inner_->SetSettings(settingsText);
}

void TrafficLoggingPort::SetDtrEnable(bool on) {
  if (inner_) inner_->SetDtrEnable(on);
}

void TrafficLoggingPort::SetRtsEnable(bool on) {
  if (inner_) inner_->SetRtsEnable(on);
}

void TrafficLoggingPort::SetHandshaking(int mode) {
  if (inner_) inner_->SetHandshaking(mode);
}

void TrafficLoggingPort::SetBreak(bool on) {
  if (inner_) inner_->SetBreak(on);
}

size_t TrafficLoggingPort::Write(std::string_view bytes) {
  if (!inner_) return 0;
  const size_t accepted = inner_->Write(bytes);
  log_.Sent(bytes.substr(0, accepted));
  return accepted;
}

std::string TrafficLoggingPort::ReadAll() {
  if (!inner_) return {};
  std::string bytes = inner_->ReadAll();
  log_.Received(bytes);
  return bytes;
}

}  // namespace kelvane
