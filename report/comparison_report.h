#pragma once
// The differences between the configuration in the window and a profile
// file, as text for the clipboard and as an HTML page, in the pages' words.
// Values are single-byte (Latin-1) texts; the outputs are UTF-8.

#include <array>
#include <string>
#include <vector>

#include "config/file_problem.h"
#include "config/page_words.h"

namespace kelvane {

// The column headings: page, setting, the value here, the value in the file
// (`fileName` is the file's name as shown to the user, in UTF-8).
std::array<std::string, 4> ComparisonHeadings(const std::string& fileName);
// The line above the table: "Differences from FILE".
std::string ComparisonTitle(const std::string& fileName);

// The title, the headings and one line per difference, the columns separated
// by tabs, so the text reads in a mail and pastes into a spreadsheet.
std::string ComparisonText(const std::string& fileName, const std::vector<WordsDifference>& rows);
// A page with the title and a table of the differences; every text is
// escaped, so a value holding markup shows as typed.
std::string ComparisonHtml(const std::string& fileName, const std::vector<WordsDifference>& rows);

// Writes `html` to `path` atomically (see ReplacementFile). On failure
// `problem` holds "Unable to open file..." with the path and the reason.
bool SaveComparisonHtml(const std::string& path, const std::string& html, FileProblem& problem);

// A Latin-1 text in UTF-8.
std::string Latin1ToUtf8(const std::string& text);

}  // namespace kelvane
