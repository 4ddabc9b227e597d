// The options each command of kelvane-cli takes: what the parser accepts and
// refuses, and that the shipped usage and manual page say the same.

#include "cli/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "cli/command_options.h"

namespace kelvane::cli {
namespace {

bool Parse(std::vector<std::string> args, std::string& error) {
  args.insert(args.begin(), "kelvane-cli");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  Options options;
  return ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CliOptions, EachCommandRefusesTheOptionsItDoesNotTake) {
  struct Case {
    std::vector<std::string> args;
    std::string refusal;  // empty: accepted
  };
  const Case cases[] = {
      {{"apply", "a.dat", "--port", "sim:1", "-o", "out.json"}, "apply does not take -o"},
      {{"read", "--port", "sim:1", "-o", "m.dat", "--words"}, "read does not take --words"},
      {{"--words", "read", "--port", "sim:1"}, "read does not take --words"},
      {{"scan", "--port", "sim:1", "--remote", "5551234"}, "scan does not take --remote"},
      {{"show", "a.dat", "--port", "sim:1"}, "show does not take --port"},
      {{"diff", "a.dat", "b.dat", "--log", "t.log"}, "diff does not take --log"},
      {{"fields", "--json"}, "fields does not take --json"},
      {{"ports", "--debug"}, "ports does not take --debug"},
      {{"flash", "--port", "sim:1", "f.txt", "--sections", "basic"}, "flash does not take --sections"},
      {{"set", "a.dat", "-y"}, "set does not take -y"},
      {{"import", "a.json", "-o", "a.dat", "--stdin"}, "import does not take --stdin"},
      {{"write", "--port", "sim:1", "a.dat", "--check"}, "write does not take --check"},
      {{"apply", "a.dat", "--port", "sim:1", "--check", "--json", "--jobs", "4", "--inventory", "i.txt",
        "--report-dir", "r", "--failed", "f.txt", "--sections", "basic", "--remote", "1", "--password-file", "pw",
        "--log", "t.log", "--baud", "9600", "--delay", "5", "--response-timeout", "2", "--debug"},
       ""},
      {{"--show-secrets", "verify", "--port", "sim:1", "a.dat", "--words", "--json", "--remote", "1"}, ""},
      {{"scan", "--port", "sim:1", "--baud", "1200:9600", "--stop", "1:2", "--json"}, ""},
      {{"write", "--port", "sim:1", "a.dat", "-y", "--sections", "dial"}, ""},
      {{"set", "a.dat", "X.Y", "--stdin"}, ""},
      {{"ports", "--json"}, ""},
      {{"fields", "--help"}, ""},
      {{"report", "--version", "--port", "sim:1", "--output", "r.htm"}, ""},
      // An unknown command is left for the caller to name.
      {{"frobnicate", "--words"}, ""},
  };
  for (const Case& c : cases) {
    std::string error;
    const bool accepted = Parse(c.args, error);
    EXPECT_EQ(accepted, c.refusal.empty()) << c.args[0] << " " << c.args.back() << ": " << error;
    if (!c.refusal.empty()) {
      EXPECT_EQ(error.rfind(c.refusal + " (", 0), 0u) << error;
    }
  }
}

// The options named in `text`: long names, and the aliases as their long names.
std::set<std::string> OptionsIn(const std::string& text) {
  std::set<std::string> out;
  static const std::regex option(R"((^|[\s\[("])(--?[a-z][a-z-]*))");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it) {
    if (const OptionInfo* o = FindOption((*it)[2].str())) out.insert(std::string(o->name));
  }
  return out;
}

std::set<std::string> TableOptions(const CommandInfo& command) {
  return {command.options.begin(), command.options.end()};
}

// The usage names, in each command's synopsis and examples, only options
// the command takes.
TEST(CliOptions, TheUsageShowsEachCommandWithItsOwnOptions) {
  std::istringstream usage(UsageText());
  const CommandInfo* command = nullptr;
  std::set<std::string> seen;
  for (std::string line; std::getline(usage, line) && line != "Remote connection (identify, read, write, verify, "
                                                               "report, apply):";) {
    static const std::regex header(R"(^  ([a-z]+)( |$))");
    std::smatch m;
    if (std::regex_search(line, m, header) && FindCommand(m[1].str())) {
      command = FindCommand(m[1].str());
      seen.insert(m[1].str());
      line = line.substr(0, 29);
    } else if (line.rfind(std::string(29, ' '), 0) == 0) {
      continue;  // a description may mention other commands' options
    }
    if (!command) continue;
    for (const std::string& name : OptionsIn(line)) EXPECT_TRUE(CommandTakes(*command, name)) << line;
  }
  for (const CommandInfo& c : AllCommands()) {
    if (c.name != "help") {
      EXPECT_TRUE(seen.count(std::string(c.name))) << c.name;
    }
  }
}

// The manual page ships beside the program: each command's entry names its
// own options, and each group of options the commands that take all of them.
TEST(CliOptions, TheManualPageListsWhatEachCommandTakes) {
  std::ifstream in(std::string(KELVANE_SOURCE_DIR) + "/res/desktop/man/kelvane-cli.1");
  std::stringstream whole;
  whole << in.rdbuf();
  std::string text = whole.str();
  ASSERT_FALSE(text.empty());
  // Plain text: "\-" is a hyphen, font changes go.
  text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
  text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");

  std::map<std::string, std::set<std::string>> named;  // by the command's entry, then by groups
  std::istringstream lines(text);
  std::string section, previous;
  std::set<std::string> groupTakers, groupOptions;
  auto closeGroup = [&] {
    for (const std::string& c : groupTakers) named[c].insert(groupOptions.begin(), groupOptions.end());
    groupTakers.clear();
    groupOptions.clear();
  };
  for (std::string line; std::getline(lines, line); previous = line) {
    if (line.rfind(".SH ", 0) == 0 || line.rfind(".SS ", 0) == 0) {
      closeGroup();
      if (line.rfind(".SH ", 0) == 0) section = line.substr(4);
      continue;
    }
    if (section == "COMMANDS" && previous == ".TP" && line.rfind(".B ", 0) == 0) {
      std::istringstream words(line.substr(3));
      std::string name;
      words >> name;
      EXPECT_TRUE(FindCommand(name)) << "an entry for no command: " << line;
      named[name] = OptionsIn(line.substr(3 + name.size()));
    } else if (section == "OPTIONS" && line.rfind("Taken by ", 0) == 0) {
      for (const CommandInfo& c : AllCommands()) {
        const std::regex word("\\b" + std::string(c.name) + "\\b");
        if (std::regex_search(line, word)) groupTakers.insert(std::string(c.name));
      }
    } else if (section == "OPTIONS" && previous == ".TP") {
      const std::set<std::string> entry = OptionsIn(line.substr(line.find(' ') + 1));
      groupOptions.insert(entry.begin(), entry.end());
    }
  }
  closeGroup();
  for (const CommandInfo& c : AllCommands()) {
    ASSERT_TRUE(named.count(std::string(c.name))) << "no entry for " << c.name;
    EXPECT_EQ(named[std::string(c.name)], TableOptions(c)) << c.name;
  }
}

}  // namespace
}  // namespace kelvane::cli
