#include "report/comparison_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace kelvane {
namespace {

WordsDifference Row(const std::string& page, const std::string& caption, const std::string& here,
                    const std::string& there) {
  WordsDifference d;
  d.here.name = "BasicSettings.S0";
  d.here.page = page;
  d.here.caption = caption;
  d.here.shown = here;
  d.there = there;
  return d;
}

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ComparisonReport, HtmlShowsEveryTextAsTextNeverAsMarkup) {
  const std::vector<WordsDifference> rows = {
      Row("Basic", "Rings to Auto-Answer [S0]", "1", "3"),
      Row("I/O<b>", "Text & <script>alert(1)</script>", "<i>", "a > b"),
  };
  const std::string html = ComparisonHtml("<odd>&name.dat", rows);
  EXPECT_EQ(html.find("<script>"), std::string::npos);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_EQ(html.find("<i>"), std::string::npos);
  EXPECT_EQ(html.find("<odd>"), std::string::npos);
  EXPECT_NE(html.find("<td>Text &amp; &lt;script&gt;alert(1)&lt;/script&gt;</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>a &gt; b</td>"), std::string::npos);
  EXPECT_NE(html.find("<th>In &lt;odd&gt;&amp;name.dat</th>"), std::string::npos);
  EXPECT_NE(html.find("<td>Rings to Auto-Answer [S0]</td><td>1</td><td>3</td>"), std::string::npos);
  // One row per difference under the headings.
  size_t rowsFound = 0;
  for (size_t at = html.find("<tr>"); at != std::string::npos; at = html.find("<tr>", at + 1)) ++rowsFound;
  EXPECT_EQ(rowsFound, rows.size() + 1);
}

TEST(ComparisonReport, Latin1ValuesComeOutAsUtf8) {
  const std::vector<WordsDifference> rows = {Row("Dial Options", "Number 1", "M\xFCller", "Caf\xE9")};
  const std::string html = ComparisonHtml("a.dat", rows);
  EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(html.find("M\xC3\xBCller"), std::string::npos);
  EXPECT_NE(html.find("Caf\xC3\xA9"), std::string::npos);
  EXPECT_EQ(ComparisonText("a.dat", rows),
            "Differences from a.dat\nPage\tSetting\tCurrent\tIn a.dat\nDial Options\tNumber 1\tM\xC3\xBCller\tCaf\xC3\xA9\n");
}

TEST(ComparisonReport, SavedReplacingTheOldFileOrNamingWhyNot) {
  const auto dir = std::filesystem::temp_directory_path() / ("kelvane-compare-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto path = dir / "d.htm";
  { std::ofstream(path) << "old"; }
  FileProblem problem;
  ASSERT_TRUE(SaveComparisonHtml(path.string(), "new", problem));
  EXPECT_EQ(Slurp(path), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left

  EXPECT_FALSE(SaveComparisonHtml((dir / "missing" / "d.htm").string(), "x", problem));
  EXPECT_EQ(problem.message, "Unable to open file...");
  EXPECT_NE(problem.detail.find("missing"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelvane
