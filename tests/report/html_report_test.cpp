#include "report/html_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "config/modem_script.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

std::tm March5th() {
  std::tm t{};
  t.tm_year = 2009 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 5;
  t.tm_hour = 9;
  t.tm_min = 7;
  return t;
}

ReportData Sample() {
  ReportData v;
  v.ModelName = "RM-40 485";
  v.PortNumber = "1";
  v.BaudRate = "9600";
  v.DataBits = "8";
  v.Parity = "None";
  v.StopBits = "1";
  v.OsText = "Debian GNU/Linux 12 (bookworm), kernel 6.1.0";
  return v;
}

const char* const kHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
    "<html>\r\n<head>\r\n"
    "<meta HTTP-EQUIV=\"Content-Type\" Content=\"text/html; CHARSET=iso-8859-1\">\r\n"
    "<meta name=\"Generator\" Content=\"Kelvane\">\r\n"
    "<title>Kelvane Report file 2009-03-05 09:07</title>\r\n"
    "<style type=\"text/css\">\r\n<!--\r\n"
    "h2{font-family: verdana, arial;color:#000000;font-size:14pt;}\r\n"
    "td{font-family: \"courier new\", verdana, arial;color:#000000;font-size:10pt;background-color: "
    "#F1F1F1; vertical-align: top;}\r\n"
    "//-->\r\n</style>\r\n</head>\r\n<body>\r\n"
    "<table border='0' CellPadding='5' CellSpacing='2'>\r\n"
    "<tr><td colspan=2><H2>Dalmarin Kelvane Report file</H2></td></tr>\r\n"
    "<tr><td>Date</td><td><b>2009-03-05 09:07</b></td></tr>\r\n"
    "<tr><td>Modem</td><td><b>RM-40 485</b></td></tr>\r\n"
    "<tr><td>Local port settings</td><td><b>Com1 @ 9600 (8, None, 1)</b></td></tr>\r\n"
    "<tr><td>Operating System</td><td><b>Debian GNU/Linux 12 (bookworm), kernel 6.1.0</b></td></tr>\r\n";
const char* const kTail = "</table>\r\n</body>\r\n</html>\r\n";

TEST(HtmlReport, WithoutDiagnosticHoldsOnlyTheLocalRows) {
  EXPECT_EQ(BuildHtmlReport(Sample(), March5th()), std::string(kHead) + kTail);
}

// A port given by its number is a COM port; any other keeps the name the
// user gave it.
TEST(HtmlReport, PortRowNamesThePortAsGiven) {
  const std::pair<const char*, const char*> cases[] = {
      {"1", "Com1 @ 9600"},
      {"12", "Com12 @ 9600"},
      {"/dev/pts/2", "/dev/pts/2 @ 9600"},
      {"rfc2217://modems.local:2217", "rfc2217://modems.local:2217 @ 9600"},
      {"sim:3", "sim:3 @ 9600"},
      {"COM3", "COM3 @ 9600"},
      {"1a", "1a @ 9600"},
  };
  for (const auto& [port, shown] : cases) {
    ReportData v = Sample();
    v.PortNumber = port;
    EXPECT_NE(BuildHtmlReport(v, March5th()).find(std::string("<td><b>") + shown + " (8, None, 1)</b>"),
              std::string::npos)
        << port;
  }
}

TEST(HtmlReport, DiagnosticRowsConvertLineBreaksAndBlanks) {
  ReportData v = Sample();
  v.HasDiagnostic = true;
  v.AdapterVersion = "HW 2.1\r\nBOOT  1.0";
  v.SoftwareVersion = "SW 3.14";
  v.InfoText = "Norm   V.34\r\nSNR  37\r\n";
  v.HasDipSwitches = true;
  v.DipSwitches[0] = 1;
  v.DipSwitches[1] = 0;
  v.DipSwitches[2] = 255;
  v.DipSwitches[3] = 16;
  EXPECT_EQ(BuildHtmlReport(v, March5th()),
            std::string(kHead) +
                "<tr><td>Adapter version</td><td><b>HW 2.1<br>BOOT  1.0</b></td></tr>\r\n"
                "<tr><td>Software version</td><td><b>SW 3.14</b></td></tr>\r\n"
                "<tr><td>Info</td><td>Norm&nbsp;&nbsp; V.34<br>SNR&nbsp;&nbsp;37<br></td></tr>\r\n"
                "<tr><td>DIP Switches (Hex)</td><td><b>01 00 FF 10</b></td></tr>\r\n" +
                kTail);
}

TEST(HtmlReport, NoDipRowWithoutSwitches) {
  ReportData v = Sample();
  v.HasDiagnostic = true;
  const std::string html = BuildHtmlReport(v, March5th());
  EXPECT_EQ(html.find("DIP"), std::string::npos);
  EXPECT_NE(html.find("<tr><td>Info</td><td></td></tr>\r\n"), std::string::npos);
}

TEST(HtmlReport, MarkupInModemAnswersIsShownAsText) {
  ReportData v = Sample();
  v.HasDiagnostic = true;
  v.SoftwareVersion = "<script>alert(1)</script>";
  v.AdapterVersion = "A&B";
  v.InfoText = "a  <b>  &amp;\r\n";
  v.ModelName = "<i>";
  const std::string html = BuildHtmlReport(v, March5th());
  EXPECT_EQ(html.find("<script>"), std::string::npos);
  EXPECT_NE(html.find("<b>&lt;script&gt;alert(1)&lt;/script&gt;</b>"), std::string::npos);
  EXPECT_NE(html.find("<b>A&amp;B</b>"), std::string::npos);
  EXPECT_NE(html.find("<td>a&nbsp;&nbsp;&lt;b&gt;&nbsp;&nbsp;&amp;amp;<br></td>"), std::string::npos);
  EXPECT_NE(html.find("<b>&lt;i&gt;</b>"), std::string::npos);
}

TEST(HtmlReport, DataFromTheAdapter) {
  CAdapter a;
  a.ModelType = 4;
  a.PortNumber = "3";
  a.Diagnostic.DipSwitches[0] = 9;
  a.Diagnostic.InfoText = "Norm V.90";
  ReportData v = ReportDataFrom(a, true);
  EXPECT_EQ(v.ModelName, "RP-40");
  EXPECT_EQ(v.PortNumber, "3");
  EXPECT_EQ(v.BaudRate, "-");
  EXPECT_TRUE(v.HasDiagnostic);
  EXPECT_FALSE(v.HasDipSwitches);  // types 1 and 4 have none
  EXPECT_EQ(v.InfoText, "Norm V.90");
  a.ModelType = 2;
  EXPECT_TRUE(ReportDataFrom(a, false).HasDipSwitches);
}

struct ReportRig : testing::Rig {
  testing::ModemScript modem;
  fs::path dir;
  ReportRig() {
    modem.answers = testing::ClassicAnswers();
    port.respond = std::ref(modem);
    Open();
    a.LinkState |= LS_IDENTIFIED;
    a.ModelType = 3;
    a.PortNumber = "2";
    a.Diagnostic.OsText = "TestOS";
    std::string t = (fs::temp_directory_path() / "kelvane-report-XXXXXX").string();
    dir = ::mkdtemp(t.data());
  }
  ~ReportRig() { fs::remove_all(dir); }
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(CreateReport, ReadsTheDiagnosticsAndWritesTheFile) {
  ReportRig r;
  const std::string path = (r.dir / "r.htm").string();
  ASSERT_EQ(CreateReport(r.a, path, March5th()), 1);
  const std::string html = ReadFile(path);
  EXPECT_EQ(html, BuildHtmlReport(ReportDataFrom(r.a, true), March5th()));
  EXPECT_NE(html.find("<b>01 00 FF 10</b>"), std::string::npos);
  EXPECT_NE(html.find("Com2 @ 9600 (8, None, 1)"), std::string::npos);
  EXPECT_NE(html.find("<td>Norm&nbsp;&nbsp;&nbsp;&nbsp;"), std::string::npos);
}

TEST(CreateReport, FailedReadLeavesTheModemRowsOut) {
  ReportRig r;
  r.modem.errors.insert("AT&V1");
  const std::string path = (r.dir / "r.htm").string();
  ASSERT_EQ(CreateReport(r.a, path, March5th()), 1);
  const std::string html = ReadFile(path);
  EXPECT_EQ(html.find("Adapter version"), std::string::npos);
  EXPECT_NE(html.find("TestOS"), std::string::npos);
  EXPECT_TRUE(r.ui.boxes.empty());
}

TEST(CreateReport, RowsAboveTheAnswersSurviveALinkThatDropsDuringTheRead) {
  ReportRig r;
  r.modem.onLine = [&r](const std::string& l) {
    if (l != "AT&V1") return;
    // The device goes away and a tick notices it before the answer is read.
    r.port.SetLost(true);
    r.a.CloseIfPortLost();
  };
  const std::string path = (r.dir / "r.htm").string();
  ASSERT_EQ(CreateReport(r.a, path, March5th()), 1);
  const std::string html = ReadFile(path);
  EXPECT_EQ(r.a.LinkState, LS_IDLE);  // the link did drop
  EXPECT_NE(html.find("<td>Modem</td><td><b>RM-40 485</b>"), std::string::npos) << html;
  EXPECT_NE(html.find("Com2 @ 9600 (8, None, 1)"), std::string::npos) << html;
  EXPECT_EQ(html.find("Adapter version"), std::string::npos);
}

TEST(CreateReport, FailedReadOnTheCommandLineLeavesTheOldFile) {
  struct Case {
    const char* name;
    bool loseThePort;
    std::string message;
  };
  for (const Case& k :
       {Case{"modem answers ERROR", false, "Reading the diagnostics failed; PATH was not written."},
        Case{"port lost", true,
             "Reading the diagnostics failed; PATH was not written.\nModem disconnected during process!"}}) {
    ReportRig r;
    const std::string path = (r.dir / "r.htm").string();
    std::ofstream(path) << "earlier report";
    if (k.loseThePort) {
      r.modem.onLine = [&r](const std::string& l) {
        if (l == "ATI6") r.port.SetLost(true);
      };
    } else {
      r.modem.errors.insert("AT&V1");
    }
    EXPECT_EQ(CreateReport(r.a, path, March5th(), FailedDiagnosticRead::LeaveFileUntouched), 0) << k.name;
    EXPECT_EQ(ReadFile(path), "earlier report") << k.name;
    EXPECT_EQ(std::distance(fs::directory_iterator(r.dir), fs::directory_iterator()), 1) << k.name;
    ASSERT_EQ(r.ui.boxes.size(), 1u) << k.name;
    std::string expected = k.message;
    expected.replace(expected.find("PATH"), 4, path);
    EXPECT_EQ(r.ui.boxes[0].text, expected) << k.name;
  }
}

TEST(CreateReport, UncreatableFileIsReportedAndNothingIsRead) {
  ReportRig r;
  EXPECT_EQ(CreateReport(r.a, (r.dir / "no" / "r.htm").string(), March5th()), 0);
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(r.ui.boxes[0].text, "Unable to open file...");
  EXPECT_EQ(r.ui.boxes[0].detail, (r.dir / "no" / "r.htm").string() + ": No such file or directory");
  EXPECT_TRUE(r.port.sentLines.empty());
}

TEST(CreateReport, DialogCancelWritesAndReadsNothing) {
  ReportRig r;
  EXPECT_FALSE(CreateReportWithDialog(r.a).has_value());
  ASSERT_EQ(r.ui.fileRequests.size(), 1u);
  EXPECT_EQ(r.ui.fileRequests[0].filter, "HTML Report (*.htm)|*.htm|All files (*.*)|*.*||");
  EXPECT_EQ(r.ui.fileRequests[0].defaultExtension, "htm");
  EXPECT_TRUE(r.ui.fileRequests[0].promptOverwrite);
  EXPECT_TRUE(r.port.sentLines.empty());

  r.ui.fileAnswers.push_back((r.dir / "x.htm").string());
  EXPECT_EQ(CreateReportWithDialog(r.a), (r.dir / "x.htm").string());
  EXPECT_TRUE(fs::exists(r.dir / "x.htm"));
}

}  // namespace
}  // namespace kelvane
