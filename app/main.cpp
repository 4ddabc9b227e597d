// kelvane: the desktop configuration tool.
//
//   kelvane                  start the program
//   kelvane --demo           also offer the built-in simulated modems
//                            ("sim:1" ... "sim:4") as ports
//   kelvane --screenshot DIR render the main window and every dialog to PNG
//                            files in DIR and exit

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>

#include <cstring>
#include <memory>

#include "app/main_dlg.h"
#include "app/port_provider.h"
#include "app/qt_user_interface.h"
#include "app/screenshots.h"
#include "app/tool_settings.h"

using namespace kelvane;

int main(int argc, char* argv[]) {
  // The screenshots are rendered without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
  }
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Dalmarin"));
  QApplication::setApplicationName(QStringLiteral("kelvane"));
  QApplication::setApplicationVersion(QString::fromLatin1(kVersion));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Configuration tool for Dalmarin telephone modems."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption demo(QStringLiteral("demo"),
                                QStringLiteral("Offer the built-in simulated modems sim:1 to sim:4 as ports."));
  const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                     QStringLiteral("Render the windows to PNG files in <dir> and exit."),
                                     QStringLiteral("dir"));
  parser.addOption(demo);
  parser.addOption(screenshot);
  parser.process(app);

  if (parser.isSet(screenshot)) return RenderScreenshots(parser.value(screenshot));

  CAdapter& adapter = GetAdapter();
  // The ports outlive the user interface, which watches their descriptors.
  PortProvider ports;
  QtUserInterface ui(adapter);

  QStringList extraPorts;
  if (parser.isSet(demo)) extraPorts << "sim:1" << "sim:2" << "sim:3" << "sim:4";

  std::unique_ptr<QSettings> settings(OpenUserSettings());
  CMainDlg window(ui, ports, *settings, extraPorts);
  window.show();
  return QApplication::exec();
}
