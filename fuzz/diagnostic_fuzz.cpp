// Feeds the Diagnostic section's read arbitrary answers to "AT&V1", "ATI9",
// "ATI6" and "ATI8" (the input split at zero bytes, after a first byte that
// picks the model type), then shows them as the Diagnostic page does and
// writes the HTML report: the bars stay within their ranges, and no answer
// text reaches the report unescaped.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "config/diagnostic_values.h"
#include "config/read_engine.h"
#include "fuzz_port.h"
#include "report/html_report.h"

using namespace kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int modelType = 1 + data[0] % 4;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

  CAdapter a;
  fuzz::FuzzPort port;
  fuzz::FuzzUi ui(a);
  fuzz::ConnectIdentified(a, port);
  a.ModelType = modelType;
  port.respond = [&](const std::string& line) -> std::string {
    if (line == "AT" || line == "ATV1" || line == "ATV0") return "\r\nOK\r\n";
    const size_t end = rest.find('\0');
    std::string out(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return out;
  };
  const int result = ReadConfiguration(a, SEC_DIAGNOSTIC);
  if (a.Busy || (result != 0 && result != 1)) std::abort();

  const DiagnosticDisplay shown = DisplayDiagnostic(a.Diagnostic);
  for (const LevelBar& bar : shown.bars) {
    const int low = std::min(bar.lower, bar.upper), high = std::max(bar.lower, bar.upper);
    if (!shown.idle && (bar.position < low || bar.position > high)) std::abort();
  }
  DipSwitchImages(modelType, a.Diagnostic.DipSwitches, result == 1);

  std::tm when{};
  when.tm_year = 126;
  when.tm_mday = 1;
  // The answers' "<" are escaped: the report has as many as one whose
  // answers hold none.
  const ReportData values = ReportDataFrom(a, result == 1);
  ReportData plain = values;
  for (std::string* text : {&plain.AdapterVersion, &plain.SoftwareVersion, &plain.InfoText}) {
    std::replace(text->begin(), text->end(), '<', '_');
  }
  const std::string html = BuildHtmlReport(values, when);
  const std::string reference = BuildHtmlReport(plain, when);
  if (std::count(html.begin(), html.end(), '<') != std::count(reference.begin(), reference.end(), '<')) std::abort();
  return 0;
}
