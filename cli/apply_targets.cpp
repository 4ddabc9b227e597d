// The targets of kelvane-cli apply: the inventory file, the checks on the
// list, and the names of the reports.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <set>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>

#include "cli/apply.h"
#include "connection/remote_login.h"
#include "serial/network_serial_port.h"

namespace kelvane::cli {

namespace {

std::string Trim(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t' || text[begin] == '\r')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) --end;
  return std::string(text.substr(begin, end - begin));
}

// Splits a line at its commas; a field in double quotes keeps its commas and
// "#" signs. A "#" outside quotes ends the line. False on an unclosed quote.
// A field's text outside quotes is its `tail` (all of an unquoted field,
// what follows the closing quote of a quoted one): only there do line
// settings stand.
bool SplitFields(std::string_view line, std::vector<std::string>& fields, std::vector<std::string>& tails) {
  fields.clear();
  tails.clear();
  std::string field, tail;
  bool quoted = false, wasQuoted = false;
  auto push = [&] {
    fields.push_back(wasQuoted ? field : std::string());
    tails.push_back(Trim(wasQuoted ? tail : field));
    field.clear();
    tail.clear();
  };
  for (char c : line) {
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      // Blanks around a quoted field are not part of it.
      if (!wasQuoted) field = Trim(field);
      quoted = wasQuoted = true;
    } else if (c == ',') {
      push();
      wasQuoted = false;
    } else if (c == '#') {
      break;
    } else if (wasQuoted) {
      tail += c;
    } else {
      field += c;
    }
  }
  if (quoted) return false;
  const bool blank = !wasQuoted && fields.empty() && Trim(field).empty();
  push();
  // A line of blanks or only a comment.
  if (blank) fields.clear();
  return true;
}

// The line settings of a field's text outside quotes: from its first word that
// holds "=" to its end ("/dev/ttyUSB3 baud=9600 format=7E1" gives
// "baud=9600 format=7E1" and leaves "/dev/ttyUSB3"). Empty when it has none.
std::string TakeLineSettings(std::string& field) {
  size_t word = 0;
  while (word < field.size()) {
    const size_t end = std::min(field.find_first_of(" \t", word), field.size());
    if (field.substr(word, end - word).find('=') != std::string::npos) {
      std::string settings = field.substr(word);
      field = Trim(field.substr(0, word));
      return settings;
    }
    word = field.find_first_not_of(" \t", end);
    if (word == std::string::npos) break;
  }
  return {};
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// "baud=9600 format=7E1": blank-separated settings of one field.
bool ReadLineSettings(const std::string& field, ApplyTarget& t, std::string& problem) {
  size_t start = 0;
  while (start < field.size()) {
    const size_t blank = field.find_first_of(" \t", start);
    const std::string item = field.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
    start = blank == std::string::npos ? field.size() : blank + 1;
    if (item.empty()) continue;
    static const std::set<std::string> kRates = {"300",   "600",   "1200",  "2400",  "4800",
                                                  "9600",  "19200", "38400", "57600", "115200"};
    if (item.rfind("baud=", 0) == 0 && kRates.count(item.substr(5))) {
      t.baud = item.substr(5);
    } else if (item.rfind("format=", 0) == 0 && item.size() == 10 && (item[7] == '7' || item[7] == '8') &&
               std::string("NEOneo").find(item[8]) != std::string::npos && (item[9] == '1' || item[9] == '2')) {
      t.data = item.substr(7, 1);
      const char p = static_cast<char>(std::toupper(static_cast<unsigned char>(item[8])));
      t.parity = p == 'E' ? "Even" : p == 'O' ? "Odd" : "None";
      t.stop = item.substr(9, 1);
    } else {
      problem = "\"" + item + "\" is no line setting (baud=RATE, format=8N1 with 7 or 8 data bits, parity N, E or O "
                "and 1 or 2 stop bits)";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadInventory(const std::string& path, std::vector<ApplyTarget>& out, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read the inventory " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string line;
  std::vector<std::string> fields;
  std::vector<std::string> tails;
  const size_t before = out.size();
  for (int number = 1; std::getline(in, line); ++number) {
    // A byte-order mark that an editor put at the start is no part of the
    // first port.
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    const std::string where = path + " line " + std::to_string(number) + ": ";
    if (!SplitFields(line, fields, tails)) {
      error = where + "a double quote is not closed";
      return false;
    }
    if (fields.empty()) continue;
    ApplyTarget t;
    // Line settings follow the port after a blank or a comma, and may stand
    // at the end of any field; a field of settings alone is no field. A
    // field after the port that reads SECTION.FIELD=VALUE is a value of the
    // target's own.
    for (size_t i = fields.size(); i-- > 0;) {
      const std::string whole = tails[i].empty() ? fields[i] : fields[i].empty() ? tails[i] : std::string();
      if (i > 0 && ReadTargetSetting(whole, FolderOf(path), t)) {
        fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(i));
        tails.erase(tails.begin() + static_cast<std::ptrdiff_t>(i));
        continue;
      }
      const std::string settings = TakeLineSettings(tails[i]);
      fields[i] += tails[i];
      if (settings.empty()) continue;
      std::string problem;
      if (!ReadLineSettings(settings, t, problem)) {
        error = where + problem;
        return false;
      }
      if (i > 0 && fields[i].empty()) fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (fields.size() > 3) {
      error = where + "more than port, number and password file (put a number with \",\" in double quotes)";
      return false;
    }
    t.port = fields[0];
    // A far modem without a port goes through the dial-out pool (--via).
    if (t.port.empty() && (fields.size() < 2 || fields[1].empty())) {
      error = where + "no port";
      return false;
    }
    if (fields.size() >= 2) t.remote = fields[1];
    if (fields.size() == 3) {
      t.passwordFile = fields[2];
      if (t.remote.empty()) {
        error = where + "a password file without a number";
        return false;
      }
      if (t.passwordFile.empty()) {
        error = where + "an empty password file name";
        return false;
      }
      // "-" is standard input, as with --password-file.
      if (t.passwordFile != "-" && t.passwordFile[0] != '/') t.passwordFile = FolderOf(path) + t.passwordFile;
    }
    if (!t.remote.empty() && !IsDialNumber(t.remote)) {
      error = where + "\"" + t.remote + "\" is not a telephone number (digits and the dial characters \" *#+,-()/PTW\")";
      return false;
    }
    out.push_back(std::move(t));
  }
  if (in.bad()) {
    error = "cannot read the inventory " + path + ": " + std::strerror(errno);
    return false;
  }
  if (out.size() == before) {
    error = "the inventory " + path + " lists no targets (one a line: port[,number[,password-file]])";
    return false;
  }
  return true;
}

bool CheckTargets(const std::vector<ApplyTarget>& targets, std::string& error) {
  // One device under two names ("/dev//pts/1", a link) is one modem.
  std::map<std::pair<std::string, std::string>, std::string> seen;
  for (const ApplyTarget& t : targets) {
    // Two names of one device server port (its host spelled another way, or
    // by its address) are one port too.
    std::vector<std::string> devices = PortEndpoints(t.port);
    char* real = IsNetworkPortName(t.port) ? nullptr : ::realpath(t.port.c_str(), nullptr);
    if (real) {
      devices = {real};
      std::free(real);
    }
    auto at = seen.end();
    for (const std::string& device : devices) {
      if (at == seen.end()) at = seen.find(std::make_pair(device, t.remote));
    }
    if (at == seen.end()) {
      for (const std::string& device : devices) seen.emplace(std::make_pair(device, t.remote), t.port);
      continue;
    }
    const std::string also = at->second == t.port ? "" : " (as " + at->second + ", the same device)";
    error = t.remote.empty() ? "the port " + t.port + " is given twice without a number" + also
                             : "the port " + t.port + " with the number " + t.remote + " is given twice" + also;
    return false;
  }
  return true;
}

std::string ReportFileName(const ApplyTarget& target) {
  std::string port = target.port;
  if (port.rfind("/dev/", 0) == 0) port.erase(0, 5);
  const std::string exact = port + (target.remote.empty() ? "" : "-" + target.remote);
  std::string name = exact;
  for (char& c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.' || c == '_' || c == '+';
    if (!plain) c = '_';
  }
  if (name.empty() || name[0] == '.') name.insert(0, "_");
  // A name that lost characters ("modem:1" and "modem_1", "555(0100" and
  // "555)0100") carries a checksum of the whole target, so two targets never
  // share a report; "~" never stands in a name that lost nothing.
  if (name != exact) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : target.Label()) hash = (hash ^ c) * 16777619u;
    char tail[16];
    std::snprintf(tail, sizeof tail, "~%08x", hash);
    name += tail;
  }
  return name + ".htm";
}

std::string InventoryLine(const ApplyTarget& target) {
  auto field = [](const std::string& text) {
    // A byte-order mark at the start of a file is skipped when it is read,
    // so a port that begins with one is quoted too.
    const bool quote = text.find_first_of(",#\" \t\r=") != std::string::npos || text.rfind("\xEF\xBB\xBF", 0) == 0;
    return quote ? "\"" + text + "\"" : text;
  };
  std::string line = field(target.port);
  // The line's own settings, so that a rerun tries the modem as this run did.
  std::string settings;
  if (!target.baud.empty()) settings += " baud=" + target.baud;
  if (!target.data.empty() && !target.parity.empty() && !target.stop.empty()) {
    settings += " format=" + target.data + target.parity.substr(0, 1) + target.stop;
  }
  line += settings;
  // The target's own values as written: a secret stays in its file.
  for (const std::string& own : target.settings) line += "," + field(own);
  if (target.remote.empty()) return line;
  line += "," + field(target.remote);
  // A password file belongs to a number: a local target has none.
  if (!target.passwordFile.empty()) {
    // A relative name would be read from the folder of the file this line
    // goes to: it is written from the working folder's root.
    std::string file = target.passwordFile;
    if (file != "-" && file[0] != '/') {
      char cwd[4096];
      if (::getcwd(cwd, sizeof cwd)) file = std::string(cwd) + "/" + file;
    }
    line += "," + field(file);
  }
  return line;
}

const char* ResultWord(ApplyResult result) {
  switch (result) {
    case ApplyResult::Unchanged: return "unchanged";
    case ApplyResult::Changed: return "changed";
    case ApplyResult::WouldChange: return "would-change";
    case ApplyResult::Partial: return "partial";
    case ApplyResult::Failed:
    case ApplyResult::NotStarted: return "failed";
  }
  return "failed";
}

}  // namespace kelvane::cli
