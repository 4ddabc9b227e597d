#include "app/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "app/about_dlg.h"
#include "app/main_dlg.h"
#include "app/options_dlg.h"
#include "app/prop_sheet.h"
#include "app/transfer_dlg.h"
#include "connection/ui/send_file_dlg.h"
#include "connection/ui/tab_connection.h"
#include "connection/ui/terminal_dlg.h"
#include "connection/ui/wait_dlg.h"

namespace kelvane {

namespace {

// Message boxes and file dialogs must not wait for a user here: they are
// answered with their defaults and reported.
class UnattendedUi : public QtUserInterface {
 public:
  using QtUserInterface::QtUserInterface;
  MsgAnswer MessageBox(std::string_view text, MsgIcon, MsgButtons buttons) override {
    std::fprintf(stderr, "kelvane: %.*s\n", static_cast<int>(text.size()), text.data());
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
  }
  std::optional<std::string> AskFileName(const FileDialogRequest&) override { return std::nullopt; }
  bool AskSendFile(const std::string&, SendFileParams&) override { return false; }
};

void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

class Shooter {
 public:
  explicit Shooter(const QString& dir) : dir_(dir) {}
  void Shoot(QWidget& w, const QString& name) {
    if (!w.isVisible()) w.show();
    Settle(30);
    const QString path = dir_.filePath(name + QStringLiteral(".png"));
    if (w.grab().save(path)) {
      std::printf("%s\n", qPrintable(path));
    } else {
      std::fprintf(stderr, "kelvane: could not write %s\n", qPrintable(path));
      ok_ = false;
    }
  }
  bool Ok() const { return ok_; }

 private:
  QDir dir_;
  bool ok_ = true;
};

}  // namespace

int RenderScreenshots(const QString& dir) {
  if (!QDir().mkpath(dir)) {
    std::fprintf(stderr, "kelvane: cannot create %s\n", qPrintable(dir));
    return 1;
  }
  QTemporaryDir scratch;
  QSettings settings(scratch.filePath(QStringLiteral("kelvane.ini")), QSettings::IniFormat);
  CAdapter adapter;
  UnattendedUi ui(adapter);
  PortProvider ports;
  Shooter shooter(dir);

  CMainDlg window(ui, ports, settings, {"sim:1", "sim:2", "sim:3", "sim:4"});
  window.resize(1000, 640);
  shooter.Shoot(window, QStringLiteral("main-window"));

  // Connected to the simulated RM-40 485, with a command typed.
  CTabConnection& page = window.ConnectionPage();
  page.PortCombo()->setCurrentText(QStringLiteral("sim:3"));
  const int32_t autoLoad = adapter.Options.AutoLoad;
  adapter.Options.AutoLoad = 0;
  page.Connect();
  adapter.Options.AutoLoad = autoLoad;
  window.Terminal().CommandField()->setText(QStringLiteral("ATI9"));
  window.Terminal().SendCommandLine();
  Settle(400);
  shooter.Shoot(window, QStringLiteral("main-window-connected"));

  {
    CTransferDlg transfer(&window, ui, 0, OP_CONNECT);
    transfer.SetProgressCaption(QStringLiteral("Connecting..."));
    transfer.SetProgressText(QStringLiteral("Querying modem..."));
    transfer.SetProgressRange(0, 5);
    for (int i = 0; i < 3; ++i) transfer.StepProgress();
    shooter.Shoot(transfer, QStringLiteral("transfer"));
  }
  {
    COptionsDlg options(adapter, &window);
    shooter.Shoot(options, QStringLiteral("options-basic"));
    options.Sheet()->setCurrentIndex(1);
    shooter.Shoot(options, QStringLiteral("options-advanced"));
  }
  {
    CAboutDlg about(&window);
    shooter.Shoot(about, QStringLiteral("about"));
  }
  {
    CSendFileDlg sendFile(&window, QStringLiteral("/home/technician/profiles/init-sequence.txt"));
    shooter.Shoot(sendFile, QStringLiteral("send-file"));
  }
  {
    CWaitDlg wait(ui, &window);
    wait.SetProgressCaption(QStringLiteral("Wait"));
    wait.SetProgressText(QStringLiteral("Disconnecting..."));
    wait.SetProgressRange(0, 3);
    wait.StepProgress();
    shooter.Shoot(wait, QStringLiteral("wait"));
  }
  {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Kelvane 2"),
                    QStringLiteral("No Dalmarin modem found!"), QMessageBox::Ok, &window);
    shooter.Shoot(box, QStringLiteral("message"));
  }

  page.Disconnect();
  window.close();
  return shooter.Ok() ? 0 : 1;
}

}  // namespace kelvane
