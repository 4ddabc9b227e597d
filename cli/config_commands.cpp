// The configuration commands of kelvane-cli: read, write, show, diff, verify
// and report.

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"
#include "config/field_setting.h"
#include "config/entry_rules.h"
#include "config/field_table.h"
#include "config/json_text.h"
#include "config/modem_comparison.h"
#include "config/page_words.h"
#include "config/profile.h"
#include "config/profile_json.h"
#include "config/read_engine.h"
#include "config/replacement_file.h"
#include "config/write_engine.h"
#include "report/html_report.h"

namespace kelvane::cli {

// Parses a comma-separated section list into a mask; 0 on an unknown name.
int ParseSections(const std::string& list, std::string& error) {
  int mask = 0;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = list.find(',', start);
    const std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const SectionInfo* section = nullptr;
    std::string names;
    for (const SectionInfo& s : Sections()) {
      if (name == s.cliName) section = &s;
      names += std::string(s.cliName) + ", ";
    }
    if (name == "all") {
      mask |= SEC_ALL;
    } else if (section) {
      mask |= section->bit;
    } else {
      error = "unknown section \"" + name + "\" (use " + names + "all)";
      return 0;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return mask;
}

int NamedSections(const std::string& list) {
  int named = 0;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = list.find(',', start);
    const std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    std::string error;
    if (name != "all") named |= ParseSections(name, error);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return named;
}

namespace {

bool NeedPositional(const Session& s, size_t count, const char* usage) {
  if (s.options.positional.size() == count) return true;
  std::fprintf(stderr, "usage: kelvane-cli %s\n", usage);
  return false;
}

void PrintProblem(const FileProblem& problem) { std::fprintf(stderr, "%s\n", problem.Text().c_str()); }

}  // namespace

// Loads a profile for a command; a short file is loaded and named with the
// sections it left at their defaults.
bool LoadProfileForCommand(const std::string& path, ConfigBlock& block) {
  FileProblem problem;
  size_t size = 0;
  if (!LoadProfileFile(path, block, problem, &size)) {
    PrintProblem(problem);
    return false;
  }
  if (const auto note = ShortProfileNote(path, size)) PrintProblem(*note);
  return true;
}

bool LoadProfileForWriting(const std::string& command, const std::string& path, ConfigBlock& block, int sections) {
  FileProblem problem;
  size_t size = 0;
  if (!LoadProfileFile(path, block, problem, &size)) {
    PrintProblem(problem);
    return false;
  }
  if (const auto note = ShortProfileNote(path, size)) {
    PrintProblem(*note);
    std::fprintf(stderr, "kelvane-cli %s: a short profile is refused; no modem was touched.\n", command.c_str());
    return false;
  }
  // A number a page would not let a person type is what a modem may hold:
  // it goes out as it stands, and the user hears of it.
  for (const std::string& note : ValuesBeyondTyping(block, sections)) {
    std::fprintf(stderr, "%s: note: %s\n", ShownPath(path).c_str(), note.c_str());
  }
  // The I/O model is the one that is sent the most texts; which model
  // answers is known only later, and the write checks again for it.
  if (const auto bad = FindUnsendableText(block, sections, 3)) {
    std::fprintf(stderr, "%s: %s: %s\n", ShownPath(path).c_str(), bad->name.c_str(), bad->problem.c_str());
    std::fprintf(stderr, "kelvane-cli %s: the profile holds a text that cannot be sent as it stands; no modem was "
                         "touched.\n",
                 command.c_str());
    return false;
  }
  return true;
}

namespace {

// The engines refuse to start without an identified modem and say nothing:
// a link lost after the connect is reported here.
bool StillConnected(CAdapter& a) {
  if (a.LinkState & LS_IDENTIFIED) return true;
  a.Ui().MessageBox(DisconnectedText, MsgIcon::Stop, MsgButtons::Ok);
  return false;
}

// After a failed read: why, when the port went away.
void PrintLostPort(CAdapter& a) {
  if (!a.PortIsOpen()) a.Ui().MessageBox(DisconnectedText, MsgIcon::Stop, MsgButtons::Ok);
}

int ReadCommand(Session& s) {
  std::string error;
  const int mask = ParseSections(s.options.sections, error);
  if (!mask) {
    std::fprintf(stderr, "kelvane-cli read: %s\n", error.c_str());
    return EXIT_USAGE;
  }
  if (s.options.output.empty() || !NeedPositional(s, 0, "read --port P [--sections LIST] -o FILE.dat")) {
    if (s.options.output.empty()) std::fprintf(stderr, "kelvane-cli read: -o FILE.dat is required\n");
    return EXIT_USAGE;
  }
  // The output is checked before the modem is asked anything: a read of
  // every section takes minutes.
  ReplacementFile output(s.options.output);
  if (!output.Create(error)) {
    PrintProblem({"Unable to open file...", error});
    return EXIT_FAILED;
  }
  const int rc = ConnectForCommand(s);
  if (rc != EXIT_OK) return rc;
  const int result = StillConnected(s.adapter) ? ReadConfiguration(s.adapter, mask) : 0;
  s.ui.Finish();
  if (result != 1) {
    std::fprintf(stderr, "Reading the configuration failed; %s was not written.\n",
                 ShownPath(s.options.output).c_str());
    PrintLostPort(s.adapter);
    EndForCommand(s);
    return EXIT_FAILED;
  }
  EndForCommand(s);
  if (!output.Commit(ProfileBytes(s.adapter.Config), error)) {
    PrintProblem({"Unable to open file...", error});
    return EXIT_FAILED;
  }
  return EXIT_OK;
}

int WriteCommand(Session& s) {
  std::string error;
  int mask = ParseSections(s.options.sections, error);
  if (!mask) {
    std::fprintf(stderr, "kelvane-cli write: %s\n", error.c_str());
    return EXIT_USAGE;
  }
  if (!NeedPositional(s, 1, "write --port P FILE.dat [--sections LIST] [--yes]")) return EXIT_USAGE;
  // The I/O section is written as the I/O page's own Write does: the
  // parameters and all ten entries.
  if (mask != SEC_ALL && (mask & SEC_IO)) mask |= 0x03;
  if (mask != SEC_ALL && (mask & SEC_DIAGNOSTIC)) {
    std::fprintf(stderr, "kelvane-cli write: the diagnostic section is read only\n");
    return EXIT_USAGE;
  }

  // Check the file before talking to the modem.
  ConfigBlock block;
  if (!LoadProfileForWriting("write", s.options.positional[0], block, mask)) return EXIT_FAILED;
  const int rc = ConnectForCommand(s);
  if (rc != EXIT_OK) return rc;
  CAdapter& a = s.adapter;
  if ((mask & ~(SEC_DIAGNOSTIC | 0xFF)) == SEC_IO && a.ModelType != MT_RM40_485) {
    std::fprintf(stderr, "kelvane-cli write: the %s has no I/O section; nothing was sent.\n",
                 std::string(ModelName(a.ModelType)).c_str());
    EndForCommand(s);
    return EXIT_FAILED;
  }
  // Over a remote link the Remote configuration decides who may log in
  // next: as apply does, it is written there only when --sections names it.
  if ((a.LinkState & LS_REMOTE) && (mask & SEC_REMOTE) && !(NamedSections(s.options.sections) & SEC_REMOTE)) {
    // A write of every section still asks first, though it leaves one out.
    if (mask == SEC_ALL && s.ui.MessageBox(kWriteAllQuestion, MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes) {
      s.ui.Finish();
      EndForCommand(s);
      return EXIT_FAILED;
    }
    mask &= ~SEC_REMOTE;
    std::fprintf(stderr,
                 "kelvane-cli write: the Remote configuration is not written over the remote link (name remote in "
                 "--sections to write it).\n");
  }
  const ProfileWrite written = StillConnected(a) ? WriteProfile(a, mask, &block) : ProfileWrite{};
  s.ui.Finish();
  EndForCommand(s);
  // Every section asked for went out, or the command says which did not.
  if (written.notWritten) {
    std::string names;
    for (const SectionInfo& section : Sections()) {
      if (written.notWritten & section.bit) names += (names.empty() ? "" : ", ") + std::string(section.words);
    }
    std::fprintf(stderr, "kelvane-cli write: not written: %s.\n", names.c_str());
  }
  return written.result == 1 && !written.notWritten ? EXIT_OK : EXIT_FAILED;
}

// Words and values for the terminal: single-byte texts as UTF-8, control
// characters escaped, an empty value named.
std::string Terminal(const std::string& value) {
  return value.empty() ? "(empty)" : Utf8FromLatin1(Printable(value));
}

Json WordsJson(const FieldWords& w) {
  return Json{{"name", w.name},
              {"page", Utf8FromLatin1(w.page)},
              {"caption", Utf8FromLatin1(w.caption)},
              {"shown", Utf8FromLatin1(w.shown)}};
}

// The clear text of a password field named as CompareBlocks names it.
std::string PasswordText(const ConfigBlock& block, const std::string& name) {
  for (const FieldInfo& f : ConfigFields()) {
    const std::string base = std::string(f.record) + "." + f.name;
    if (name.rfind(base, 0) != 0) continue;
    size_t element = 0;
    if (f.count > 1) {
      if (name.size() < base.size() + 3 || name[base.size()] != '[') continue;
      element = std::stoul(name.substr(base.size() + 1));
    } else if (name.size() != base.size()) {
      continue;
    }
    return FieldText(block, f.offset + f.width * element, f.width);
  }
  return {};
}

// A field's value as plain show prints it: passwords masked element by
// element unless --show-secrets.
std::string ShownValue(const Session& s, const ConfigBlock& block, const FieldInfo& f) {
  const std::string name = std::string(f.record) + "." + f.name;
  if (s.options.showSecrets || !IsPasswordField(f.count > 1 ? name + "[0]" : name)) {
    return FieldValueText(block, f);
  }
  if (f.count == 1) return MaskedPassword(FieldText(block, f.offset, f.width));
  std::string out;
  for (size_t i = 0; i < f.count; ++i) {
    out += (i ? ", \"" : "\"") + MaskedPassword(FieldText(block, f.offset + f.width * i, f.width)) + "\"";
  }
  return out;
}

// A row's caption for the terminal. The pages number the rows of a table
// from 1 and "set" from 0: an element of a table carries the name "set"
// takes ("Accepted numbers [*WACCTAB] 1 (CallerIdSettings.AcceptedNumbers[0])").
std::string WordsCaption(const FieldWords& w) {
  const std::string caption = Terminal(w.caption);
  return w.name.ends_with("]") ? caption + " (" + w.name + ")" : caption;
}

int ShowCommand(Session& s) {
  if (!NeedPositional(s, 1, "show FILE.dat [--words] [--json] [--show-secrets]")) return EXIT_USAGE;
  ConfigBlock block;
  if (!LoadProfileForCommand(s.options.positional[0], block)) return EXIT_FAILED;
  if (s.options.words) {
    std::vector<FieldWords> words = DescribeBlock(block);
    if (s.options.showSecrets) {
      for (FieldWords& w : words) {
        if (IsPasswordField(w.name)) w.shown = PasswordText(block, w.name);
      }
    }
    if (s.options.json) {
      Json out = Json::array();
      for (const FieldWords& w : words) out.push_back(WordsJson(w));
      std::printf("%s\n", JsonText(out, 1).c_str());
      return EXIT_OK;
    }
    for (const FieldWords& w : words) {
      std::printf("%s  %s: %s\n", Terminal(w.page).c_str(), WordsCaption(w).c_str(), Terminal(w.shown).c_str());
    }
    return EXIT_OK;
  }
  if (s.options.json) {
    std::printf("%s", BlockToJson(block, s.options.showSecrets).c_str());
    return EXIT_OK;
  }
  const char* record = "";
  for (const FieldInfo& f : ConfigFields()) {
    if (std::strcmp(record, f.record) != 0) {
      std::printf("%s%s\n", *record ? "\n" : "", f.record);
      record = f.record;
    }
    std::printf("  %-20s %s\n", f.name, Printable(ShownValue(s, block, f)).c_str());
  }
  return EXIT_OK;
}

// The differences of two blocks as the command asked for them: by field name
// or in the pages' words, as text or JSON. `left` and `right` name the sides
// ("A" and "B", "profile" and "modem"). Passwords are masked unless
// --show-secrets; one that differs while both sides are set is marked so.
void PrintDifferences(const Session& s, std::vector<FieldDifference> diffs, const ConfigBlock& here,
                      const ConfigBlock& other, const char* left, const char* right) {
  if (s.options.words) {
    std::vector<WordsDifference> words = DifferencesInWords(diffs, here, other);
    if (s.options.showSecrets) {
      for (WordsDifference& d : words) {
        if (!IsPasswordField(d.here.name)) continue;
        d.here.shown = PasswordText(here, d.here.name);
        d.there = PasswordText(other, d.here.name);
      }
    }
    if (s.options.json) {
      Json out = Json::array();
      for (const WordsDifference& d : words) {
        Json entry = WordsJson(d.here);
        entry["shown"] = Json{{left, Utf8FromLatin1(d.here.shown)}, {right, Utf8FromLatin1(d.there)}};
        out.push_back(std::move(entry));
      }
      std::printf("%s\n", JsonText(out, 1).c_str());
      return;
    }
    for (const WordsDifference& d : words) {
      const std::string where = Terminal(d.here.page) + "  " + WordsCaption(d.here) + ": ";
      if (d.here.name == kUnusedBytesName) {
        std::printf("%s%s\n", where.c_str(), d.here.shown.c_str());
      } else {
        std::printf("%s%s \u2192 %s\n", where.c_str(), Terminal(d.here.shown).c_str(), Terminal(d.there).c_str());
      }
    }
    return;
  }
  if (!s.options.showSecrets) {
    for (FieldDifference& d : diffs) {
      if (IsPasswordField(d.name)) MaskPasswordPair(d.left, d.right);
    }
  }
  if (s.options.json) {
    Json out = Json::array();
    for (const FieldDifference& d : diffs) {
      out.push_back(Json{{"name", d.name}, {left, Utf8FromLatin1(d.left)}, {right, Utf8FromLatin1(d.right)}});
    }
    std::printf("%s\n", JsonText(out, 1).c_str());
    return;
  }
  for (const auto& d : diffs) {
    std::printf("%-36s %s: %s   %s: %s\n", d.name.c_str(), left, Printable(d.left).c_str(), right,
                Printable(d.right).c_str());
  }
}

int DiffCommand(Session& s) {
  if (!NeedPositional(s, 2, "diff A.dat B.dat [--words] [--json] [--show-secrets]")) return EXIT_USAGE;
  ConfigBlock a, b;
  if (!LoadProfileForCommand(s.options.positional[0], a) || !LoadProfileForCommand(s.options.positional[1], b)) {
    return EXIT_FAILED;
  }
  const auto diffs = CompareBlocks(a, b);
  PrintDifferences(s, diffs, a, b, "A", "B");
  return diffs.empty() ? EXIT_OK : EXIT_FAILED;
}

// Compares only the records the modem was read into, so the comparison leaves
// out what this modem does not have (the I/O section of all but model type 3).
int VerifyCommand(Session& s) {
  if (!NeedPositional(s, 1, "verify --port P FILE.dat [--words] [--json] [--show-secrets]")) return EXIT_USAGE;
  ConfigBlock wanted;
  if (!LoadProfileForCommand(s.options.positional[0], wanted)) return EXIT_FAILED;
  const int rc = ConnectForCommand(s);
  if (rc != EXIT_OK) return rc;
  CAdapter& a = s.adapter;
  StoredProfile stored;
  const int result = StillConnected(a) ? ReadConfiguration(a, SEC_ALL & ~SEC_DIAGNOSTIC, stored) : 0;
  s.ui.Finish();
  if (result != 1) {
    std::fprintf(stderr, "Reading the configuration failed.\n");
    PrintLostPort(a);
    EndForCommand(s);
    return EXIT_FAILED;
  }
  EndForCommand(s);
  // A setting that differs only in the stored profile comes back at the next
  // reset: the modem does not hold the profile.
  const auto diffs = stored.known ? CompareWithModemAndStored(wanted, a, SEC_ALL & ~SEC_DIAGNOSTIC, stored.block)
                                  : CompareWithModem(wanted, a, SEC_ALL & ~SEC_DIAGNOSTIC);
  // Every field that differs lies in a record read from the modem, so the
  // modem's words come from what was read.
  PrintDifferences(s, diffs, wanted, a.Config, "profile", "modem");
  if (diffs.empty() && !s.options.json) {
    std::printf("The modem holds the configuration of %s.\n", s.options.positional[0].c_str());
  }
  return diffs.empty() ? EXIT_OK : EXIT_FAILED;
}

int ReportCommand(Session& s) {
  if (s.options.output.empty()) {
    std::fprintf(stderr, "usage: kelvane-cli report --port P -o FILE.htm\n");
    return EXIT_USAGE;
  }
  const int rc = ConnectForCommand(s);
  if (rc != EXIT_OK) return rc;
  // A link lost right after the connect makes the read fail, which the
  // report says; the file is then left as it was.
  const int result = CreateReport(s.adapter, s.options.output, FailedDiagnosticRead::LeaveFileUntouched);
  s.ui.Finish();
  EndForCommand(s);
  return result == 1 ? EXIT_OK : EXIT_FAILED;
}

}  // namespace

CommandFunction FindConfigCommand(const std::string& name) {
  if (name == "read") return ReadCommand;
  if (name == "write") return WriteCommand;
  if (name == "show") return ShowCommand;
  if (name == "diff") return DiffCommand;
  if (name == "verify") return VerifyCommand;
  if (name == "report") return ReportCommand;
  return nullptr;
}

}  // namespace kelvane::cli
