#pragma once
// Which options each command of kelvane-cli takes: the one table that the
// parser refuses by and that each command's --help lists.

#include <string>
#include <string_view>
#include <vector>

namespace kelvane::cli {

struct OptionInfo {
  std::string_view name;   // "--output"
  std::string_view alias;  // "-o", or empty
  std::string_view value;  // what follows it ("FILE"), empty for a switch
  std::string_view help;   // one line
};

struct CommandInfo {
  std::string_view name;
  std::string_view arguments;  // the positional arguments, as the usage shows them
  std::string_view summary;
  std::vector<std::string_view> options;  // long names, in the order --help lists them
};

// Every option of the tool, and every command with the options it takes.
// --help and --version go with every command and are not listed.
const std::vector<OptionInfo>& AllOptions();
const std::vector<CommandInfo>& AllCommands();

// nullptr for an unknown name; an option by its long name or its alias.
const CommandInfo* FindCommand(std::string_view name);
const OptionInfo* FindOption(std::string_view nameOrAlias);
bool CommandTakes(const CommandInfo& command, std::string_view longName);

// "kelvane-cli COMMAND --help": the usage line, the summary and the options.
std::string CommandHelp(const CommandInfo& command);

}  // namespace kelvane::cli
