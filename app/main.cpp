// kelvane: the desktop configuration tool.
//
//   kelvane                  start the program
//   kelvane --demo           also offer the built-in simulated modems
//                            ("sim:1" ... "sim:4") as ports
//   kelvane --screenshot DIR render the main window and every dialog to PNG
//                            files in DIR and exit
//   kelvane --startup-time   print the time from process start to the main
//                            window's first paint and the resident memory, exit

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEvent>
#include <QSettings>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/action_script.h"
#include "app/main_dlg.h"
#include "ui/port_provider.h"
#include "ui/qt_user_interface.h"
#include "app/screenshots.h"
#include "ui/tool_settings.h"

using namespace kelvane;

namespace {

// Seconds since the process started, from the kernel's record of its start.
double SecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  // Field 22 (starttime) is the 20th after the command name.
  for (int i = 0; i < 20 && fields >> field; ++i) {
  }
  const double started = std::atof(field.c_str()) / static_cast<double>(sysconf(_SC_CLK_TCK));
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9 - started;
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// Reports the first paint of the watched window, then ends the program.
class FirstPaintProbe : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !reported_) {
      reported_ = true;
      std::printf("first paint %.0f ms after process start; resident memory %ld KiB\n",
                  SecondsSinceProcessStart() * 1000, ResidentKiB());
      std::fflush(stdout);
      QTimer::singleShot(0, qApp, &QApplication::quit);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool reported_ = false;
};

const QCommandLineOption kDemo(QStringLiteral("demo"),
                               QStringLiteral("Offer the built-in simulated modems sim:1 to sim:4 as ports."));
const QCommandLineOption kScreenshot(QStringLiteral("screenshot"),
                                     QStringLiteral("Render the windows to PNG files in <dir> and exit."),
                                     QStringLiteral("dir"));
const QCommandLineOption kStartupTime(
    QStringLiteral("startup-time"),
    QStringLiteral("Print the time to the main window's first paint and the resident memory, then exit."));

void DescribeApplication() {
  QCoreApplication::setOrganizationName(QStringLiteral("Dalmarin"));
  QCoreApplication::setApplicationName(QStringLiteral("kelvane"));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersion));
}

void AddOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(QStringLiteral("Configuration tool for Dalmarin telephone modems."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(kDemo);
  parser.addOption(kScreenshot);
  parser.addOption(kStartupTime);
}

// The options the parser answers by printing and exiting.
bool AsksForHelpOrVersion(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    for (const char* name : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
      if (std::strcmp(argv[i], name) == 0) return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  // Help and version are printed before the window system is needed, so they
  // work without a display (over ssh, in a package check).
  if (AsksForHelpOrVersion(argc, argv)) {
    QCoreApplication app(argc, argv);
    DescribeApplication();
    QCommandLineParser parser;
    AddOptions(parser);
    parser.process(app);  // prints and exits
    return 0;
  }
  // The screenshots are rendered without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
  }
  QApplication app(argc, argv);
  DescribeApplication();

  QCommandLineParser parser;
  AddOptions(parser);
  parser.process(app);

  if (parser.isSet(kScreenshot)) return RenderScreenshots(parser.value(kScreenshot));

  CAdapter& adapter = GetAdapter();
  // The ports outlive the user interface, which watches their descriptors.
  PortProvider ports;
  QtUserInterface ui(adapter);

  QStringList extraPorts;
  if (parser.isSet(kDemo)) extraPorts << "sim:1" << "sim:2" << "sim:3" << "sim:4";

  std::unique_ptr<QSettings> settings(OpenUserSettings());
  CMainDlg window(ui, ports, *settings, extraPorts);
  FirstPaintProbe probe;
  if (parser.isSet(kStartupTime)) window.installEventFilter(&probe);
  window.show();
  const std::unique_ptr<ActionScript> script = ActionScript::FromEnvironment(window, adapter);
  return QApplication::exec();
}
