#pragma once
// The HTML report: the identification of the connected modem, the local port,
// the operating system and the modem's diagnostics in a one-page document.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "config/adapter.h"

namespace kelvane {

struct ReportData {
  std::string ModelName;
  std::string PortNumber, BaudRate, DataBits, Parity, StopBits;
  std::string OsText;
  // The rows of the modem's answers, present only after a good diagnostic read.
  bool HasDiagnostic = false;
  std::string AdapterVersion;
  std::string SoftwareVersion;
  std::string InfoText;
  // The DIP switch row, for the model types that have switches.
  bool HasDipSwitches = false;
  int32_t DipSwitches[4] = {0, 0, 0, 0};
};

// Text for an HTML page: "&", "<" and ">" escaped, everything else as it is.
std::string HtmlEscaped(std::string_view text);

// The report's bytes for the values and the local time (CR LF line ends,
// iso-8859-1 texts as they are, "&", "<" and ">" in the data escaped).
std::string BuildHtmlReport(const ReportData& values, const std::tm& localTime);

// The values of the report as the adapter holds them; `diagnosticRead` tells
// whether the diagnostic read just succeeded.
ReportData ReportDataFrom(const CAdapter& a, bool diagnosticRead);
// The rows above the modem's answers (model, local port, operating system),
// and the modem's answers added after a good diagnostic read. A report takes
// the first before it reads, so a link that drops during the read cannot
// change them.
ReportData ReportHeadRows(const CAdapter& a);
void AddDiagnosticRows(ReportData& values, const CAdapter& a);

// The save dialog the report asks with.
FileDialogRequest ReportFileDialog();

// What Create Report does with the file when the diagnostic read fails. The
// window writes what it has; the command line leaves an existing file as it
// was and fails.
enum class FailedDiagnosticRead { WriteWithoutModemRows, LeaveFileUntouched };

// Create Report without widgets: checks that a file can be created beside
// `path`, runs the diagnostic read, and writes the report atomically (a new
// file renamed over the old one). "Unable to open file..." is shown when no
// file can be created; then nothing is read. Returns 1 when the file was
// written. `localTime` is the moment the user asked for the report.
int CreateReport(CAdapter& a, const std::string& path, const std::tm& localTime,
                 FailedDiagnosticRead onFailedRead = FailedDiagnosticRead::WriteWithoutModemRows);
int CreateReport(CAdapter& a, const std::string& path,
                 FailedDiagnosticRead onFailedRead = FailedDiagnosticRead::WriteWithoutModemRows);

// Create Report with the save dialog: returns the written file's path (for the
// caller to open in the browser), or nothing when cancelled or failed.
std::optional<std::string> CreateReportWithDialog(CAdapter& a);

}  // namespace kelvane
