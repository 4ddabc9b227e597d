#include "report/comparison_report.h"

#include "config/replacement_file.h"
#include "report/html_report.h"

namespace kelvane {

std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

std::array<std::string, 4> ComparisonHeadings(const std::string& fileName) {
  return {"Page", "Setting", "Current", "In " + fileName};
}

std::string ComparisonTitle(const std::string& fileName) { return "Differences from " + fileName; }

namespace {

std::array<std::string, 4> Cells(const WordsDifference& d) {
  return {Latin1ToUtf8(d.here.page), Latin1ToUtf8(d.here.caption), Latin1ToUtf8(d.here.shown),
          Latin1ToUtf8(d.there)};
}

}  // namespace

std::string ComparisonText(const std::string& fileName, const std::vector<WordsDifference>& rows) {
  auto line = [](const std::array<std::string, 4>& cells) {
    return cells[0] + '\t' + cells[1] + '\t' + cells[2] + '\t' + cells[3] + '\n';
  };
  std::string text = ComparisonTitle(fileName) + '\n' + line(ComparisonHeadings(fileName));
  for (const WordsDifference& d : rows) text += line(Cells(d));
  return text;
}

std::string ComparisonHtml(const std::string& fileName, const std::vector<WordsDifference>& rows) {
  const std::string title = HtmlEscaped(ComparisonTitle(fileName));
  std::string html =
      "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
      "</title>\n<style>\ntable { border-collapse: collapse; }\n"
      "th, td { border: 1px solid #999; padding: 2px 8px; text-align: left; vertical-align: top; }\n"
      "</style>\n</head>\n<body>\n<h1>" + title + "</h1>\n<table>\n<tr>";
  for (const std::string& heading : ComparisonHeadings(fileName)) html += "<th>" + HtmlEscaped(heading) + "</th>";
  html += "</tr>\n";
  for (const WordsDifference& d : rows) {
    html += "<tr>";
    for (const std::string& cell : Cells(d)) html += "<td>" + HtmlEscaped(cell) + "</td>";
    html += "</tr>\n";
  }
  return html + "</table>\n</body>\n</html>\n";
}

bool SaveComparisonHtml(const std::string& path, const std::string& html, FileProblem& problem) {
  ReplacementFile file(path);
  std::string detail;
  if (file.Commit(html, detail)) return true;
  problem = {"Unable to open file...", detail};
  return false;
}

}  // namespace kelvane
