// A target's own values in kelvane-cli apply: "--set FIELD=VALUE" and the
// FIELD=VALUE items of an inventory line, read from a private file ("@FILE")
// or standard input ("-") where they are secrets, checked by the rules of
// kelvane-cli set and laid over the profile before any modem is touched.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/apply.h"
#include "config/field_setting.h"
#include "config/field_table.h"
#include "config/page_words.h"

namespace kelvane::cli {

namespace {

constexpr size_t kMaxValueLine = 4096;

// The first line of an owner-only regular file. A value that others may read
// is no secret any more: such a file is refused, not only warned of.
bool ValueFromFile(const std::string& path, std::string& value, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!ok) {
    error = path + " is not a regular file";
  } else if (st.st_mode & (S_IRGRP | S_IROTH | S_IWGRP | S_IWOTH)) {
    error = path + " may be read or written by other users (chmod 600 " + path + ")";
    ok = false;
  }
  if (ok) {
    char buffer[kMaxValueLine + 1];
    ssize_t got = 0;
    for (;;) {
      const ssize_t n = ::read(fd, buffer + got, sizeof buffer - static_cast<size_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += n;
      if (got == static_cast<ssize_t>(sizeof buffer)) break;
    }
    value.assign(buffer, static_cast<size_t>(got));
    std::memset(buffer, 0, sizeof buffer);
    const size_t newline = value.find('\n');
    if (newline != std::string::npos) {
      value.resize(newline);
    } else if (got == static_cast<ssize_t>(sizeof buffer)) {
      error = path + ": the first line is longer than any value";
      ok = false;
    }
    if (!value.empty() && value.back() == '\r') value.pop_back();
  }
  ::close(fd);
  return ok;
}

// The next line of standard input, read a byte at a time: nothing beyond
// it is taken from the descriptor, so a password of --password-file - that
// follows is still there.
bool StdinLine(std::string& line) {
  line.clear();
  char c = 0;
  bool any = false;
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n != 1) break;
    any = true;
    if (c == '\n') break;
    if (line.size() < kMaxValueLine) line += c;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

// "NAME=@FILE" and "NAME=-" become "NAME=VALUE"; "@@" stands for a value
// that begins with "@". `fromStdin` counts the lines taken.
bool Resolve(std::string& assignment, std::string& error) {
  std::string name, value;
  if (!SplitAssignment(assignment, name, value)) {
    error = assignment + ": not SECTION.FIELD=VALUE";
    return false;
  }
  if (value == "-") {
    if (!StdinLine(value)) {
      error = name + "=-: no line left on standard input";
      return false;
    }
  } else if (value.rfind("@@", 0) == 0) {
    value.erase(0, 1);
  } else if (value.rfind('@', 0) == 0) {
    std::string problem;
    if (!ValueFromFile(value.substr(1), value, problem)) {
      error = name + ": " + problem;
      return false;
    }
  }
  assignment = name + "=" + value;
  return true;
}

// A message of the rules of set may quote the value: a password's never shows.
std::string Masked(std::string text, const std::string& assignment) {
  std::string name, value;
  if (!SplitAssignment(assignment, name, value) || !IsPasswordField(name) || value.empty()) return text;
  for (size_t at = text.find(value); at != std::string::npos; at = text.find(value, at + kMaskedPassword.size())) {
    text.replace(at, value.size(), kMaskedPassword);
  }
  return text;
}

}  // namespace

bool ReadTargetSetting(const std::string& field, const std::string& folder, ApplyTarget& t) {
  // SECTION.FIELD=VALUE: a name with a dot before the "=", as set takes it;
  // "baud=" and "format=" have none.
  const size_t equals = field.find('=');
  const size_t dot = field.find('.');
  if (equals == std::string::npos || dot == std::string::npos || dot > equals || dot == 0) return false;
  for (size_t i = 0; i < equals; ++i) {
    const unsigned char c = static_cast<unsigned char>(field[i]);
    if (!std::isalnum(c) && c != '.' && c != '[' && c != ']' && c != '_') return false;
  }
  std::string item = field;
  // A value file named relative to the inventory is taken from its folder.
  if (item.compare(equals + 1, 1, "@") == 0 && item.compare(equals + 1, 2, "@@") != 0 &&
      item.compare(equals + 2, 1, "/") != 0) {
    item.insert(equals + 2, folder);
  }
  t.settings.insert(t.settings.begin(), item);
  return true;
}

bool PrepareTargetValues(std::vector<ApplyTarget>& targets, const std::vector<std::string>& forAll,
                         const ConfigBlock& profile, std::vector<std::string>& notes, std::string& error) {
  // --set values are read once (a line of standard input serves every
  // target); an inventory line's own after them, line by line.
  std::vector<std::string> common = forAll;
  for (std::string& assignment : common) {
    if (!Resolve(assignment, error)) {
      error = "--set " + error;
      return false;
    }
  }
  for (ApplyTarget& t : targets) {
    std::vector<std::string> values = common;
    for (const std::string& given : t.settings) {
      std::string assignment = given;
      if (!Resolve(assignment, error)) {
        error = t.Label() + ": " + error;
        return false;
      }
      values.push_back(std::move(assignment));
    }
    if (values.empty()) continue;
    auto own = std::make_shared<ConfigBlock>(profile);
    const SettingOutcome outcome = ApplyFieldSettings(*own, values);
    if (!outcome.errors.empty()) {
      error.clear();
      for (const std::string& e : outcome.errors) {
        std::string shown = e;
        for (const std::string& v : values) shown = Masked(shown, v);
        error += (error.empty() ? "" : "\n") + t.Label() + ": " + shown;
      }
      return false;
    }
    for (const std::string& n : outcome.notes) {
      std::string shown = n;
      for (const std::string& v : values) shown = Masked(shown, v);
      notes.push_back(t.Label() + ": " + shown);
    }
    t.values = std::move(values);
    t.profile = std::move(own);
  }
  return true;
}

std::vector<std::pair<std::string, std::string>> ShownValues(const ApplyTarget& t) {
  // A later value of one field wins, as in the profile itself.
  std::vector<std::pair<std::string, std::string>> out;
  std::map<std::string, size_t> at;
  for (const std::string& assignment : t.values) {
    std::string name, value;
    if (!SplitAssignment(assignment, name, value)) continue;
    if (IsPasswordField(name)) value = MaskedPassword(value);
    const auto [where, added] = at.emplace(name, out.size());
    if (added) {
      out.emplace_back(name, value);
    } else {
      out[where->second].second = value;
    }
  }
  return out;
}

std::string ShownValuesText(const ApplyTarget& t) {
  std::string out;
  for (const auto& [name, value] : ShownValues(t)) out += (out.empty() ? "" : ", ") + name + "=" + value;
  return out;
}

void WipeTargetValues(ApplyTarget& t) {
  for (std::string& v : t.values) {
    volatile char* p = v.data();
    for (size_t i = 0; i < v.size(); ++i) p[i] = 0;
  }
  t.values.clear();
}

}  // namespace kelvane::cli
