#include "report/html_report.h"

#include <algorithm>
#include <cstdio>

#include "config/answer_cutting.h"
#include "config/file_problem.h"
#include "config/read_engine.h"
#include "config/replacement_file.h"
#include "report/os_text.h"

namespace kelvane {

namespace {

constexpr const char* kCannotOpen = "Unable to open file...";

// Texts from the modem (and every other value) go into the page as text,
// never as markup: an answer holding "<script>" must not run in the browser.
std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

// An answer's line breaks as "<br>": every CR becomes one, every LF goes.
std::string WithBreaks(std::string_view text) {
  return WithoutChars(ReplaceAll(Escaped(text), "\r", "<br>"), "\n");
}

// The diagnostic listing keeps its columns: pairs of blanks become two
// non-breaking spaces.
std::string ListingWithBreaks(std::string_view text) {
  std::string html = ReplaceAll(Escaped(text), "\r", "<br>");
  html = ReplaceAll(html, "  ", "&nbsp;&nbsp;");
  return WithoutChars(html, "\n");
}

std::string Row(std::string_view label, std::string_view value) {
  return "<tr><td>" + std::string(label) + "</td><td><b>" + std::string(value) + "</b></td></tr>\r\n";
}

std::string Stamp(const std::tm& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min);
  return text;
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}

// A port given by its number is a COM port ("Com1"); any other is named as
// the user gave it ("/dev/ttyUSB0", "rfc2217://host:2217").
std::string PortShown(const std::string& port) {
  const bool number = !port.empty() && std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
  return number ? "Com" + port : port;
}

}  // namespace

std::string HtmlEscaped(std::string_view text) { return Escaped(text); }

std::string BuildHtmlReport(const ReportData& v, const std::tm& localTime) {
  const std::string stamp = Stamp(localTime);
  std::string html =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
      "<html>\r\n"
      "<head>\r\n"
      "<meta HTTP-EQUIV=\"Content-Type\" Content=\"text/html; CHARSET=iso-8859-1\">\r\n"
      "<meta name=\"Generator\" Content=\"Kelvane\">\r\n"
      "<title>Kelvane Report file " + stamp + "</title>\r\n"
      "<style type=\"text/css\">\r\n"
      "<!--\r\n"
      "h2{font-family: verdana, arial;color:#000000;font-size:14pt;}\r\n"
      "td{font-family: \"courier new\", verdana, arial;color:#000000;font-size:10pt;"
      "background-color: #F1F1F1; vertical-align: top;}\r\n"
      "//-->\r\n"
      "</style>\r\n"
      "</head>\r\n"
      "<body>\r\n";
  html += "<table border='0' CellPadding='5' CellSpacing='2'>\r\n";
  html += "<tr><td colspan=2><H2>Dalmarin Kelvane Report file</H2></td></tr>\r\n";
  html += Row("Date", stamp);
  html += Row("Modem", Escaped(v.ModelName));
  html += Row("Local port settings", Escaped(PortShown(v.PortNumber) + " @ " + v.BaudRate + " (" + v.DataBits +
                                            ", " + v.Parity + ", " + v.StopBits + ")"));
  html += Row("Operating System", Escaped(v.OsText));
  if (v.HasDiagnostic) {
    html += Row("Adapter version", WithBreaks(v.AdapterVersion));
    html += Row("Software version", WithBreaks(v.SoftwareVersion));
    html += "<tr><td>Info</td><td>" + ListingWithBreaks(v.InfoText) + "</td></tr>\r\n";
    if (v.HasDipSwitches) {
      char dip[64];
      std::snprintf(dip, sizeof dip, "%02X %02X %02X %02X", static_cast<unsigned>(v.DipSwitches[0]),
                    static_cast<unsigned>(v.DipSwitches[1]), static_cast<unsigned>(v.DipSwitches[2]),
                    static_cast<unsigned>(v.DipSwitches[3]));
      html += Row("DIP Switches (Hex)", dip);
    }
  }
  html += "</table>\r\n";
  html += "</body>\r\n</html>\r\n";
  return html;
}

ReportData ReportHeadRows(const CAdapter& a) {
  ReportData v;
  v.ModelName = std::string(ModelName(a.ModelType));
  v.PortNumber = a.PortNumber;
  v.BaudRate = a.BaudRate;
  v.DataBits = a.DataBits;
  v.Parity = a.Parity;
  v.StopBits = a.StopBits;
  v.OsText = a.Diagnostic.OsText;
  v.HasDipSwitches = a.ModelType == MT_RM40 || a.ModelType == MT_RM40_485;
  return v;
}

void AddDiagnosticRows(ReportData& v, const CAdapter& a) {
  v.HasDiagnostic = true;
  v.AdapterVersion = a.Diagnostic.AdapterVersion;
  v.SoftwareVersion = a.Diagnostic.SoftwareVersion;
  v.InfoText = a.Diagnostic.InfoText;
  for (int i = 0; i < 4; ++i) v.DipSwitches[i] = a.Diagnostic.DipSwitches[i];
}

ReportData ReportDataFrom(const CAdapter& a, bool diagnosticRead) {
  ReportData v = ReportHeadRows(a);
  if (diagnosticRead) AddDiagnosticRows(v, a);
  return v;
}

FileDialogRequest ReportFileDialog() {
  FileDialogRequest r;
  r.kind = FileDialogKind::Save;
  r.filter = "HTML Report (*.htm)|*.htm|All files (*.*)|*.*||";
  r.defaultExtension = "htm";
  r.promptOverwrite = true;
  r.folderKind = "reports";
  return r;
}

int CreateReport(CAdapter& a, const std::string& path, const std::tm& localTime,
                 FailedDiagnosticRead onFailedRead) {
  ReplacementFile file(path);
  std::string error;
  if (!file.Create(error)) {
    a.Ui().MessageBoxWithDetail(kCannotOpen, error, MsgIcon::Warning, MsgButtons::Ok);
    return 0;
  }
  if (a.Diagnostic.OsText.empty()) a.Diagnostic.OsText = OsDescription();
  ReportData values = ReportHeadRows(a);
  const bool diagnosticRead = ReadConfiguration(a, SEC_DIAGNOSTIC) == 1;
  if (diagnosticRead) {
    AddDiagnosticRows(values, a);
  } else if (onFailedRead == FailedDiagnosticRead::LeaveFileUntouched) {
    std::string text = "Reading the diagnostics failed; " + ShownPath(path) + " was not written.";
    if (!a.PortIsOpen()) text += "\n" + std::string(DisconnectedText);
    a.Ui().MessageBox(text, MsgIcon::Error, MsgButtons::Ok);
    return 0;
  }
  if (!file.Commit(BuildHtmlReport(values, localTime), error)) {
    a.Ui().MessageBoxWithDetail(kCannotOpen, error, MsgIcon::Warning, MsgButtons::Ok);
    return 0;
  }
  return 1;
}

int CreateReport(CAdapter& a, const std::string& path, FailedDiagnosticRead onFailedRead) {
  return CreateReport(a, path, LocalNow(), onFailedRead);
}

std::optional<std::string> CreateReportWithDialog(CAdapter& a) {
  const std::tm now = LocalNow();
  const auto path = a.Ui().AskFileName(ReportFileDialog());
  if (!path) return std::nullopt;
  if (!CreateReport(a, *path, now)) return std::nullopt;
  return path;
}

}  // namespace kelvane
