#include "app/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "app/about_dlg.h"
#include "app/compare_dlg.h"
#include "app/main_dlg.h"
#include "app/options_dlg.h"
#include "app/profile_comparison.h"
#include "app/prop_sheet.h"
#include "ui/transfer_dlg.h"
#include "app/unsaved_edits.h"
#include "connection/ui/autoconnect_dlg.h"
#include "ui/remote_dlg.h"
#include "ui/send_file_dlg.h"
#include "connection/ui/tab_connection.h"
#include "connection/ui/terminal_dlg.h"
#include "config/profile.h"
#include "ui/wait_dlg.h"
#include "pages/io_entry_dlg.h"
#include "pages/tab_diagnostic.h"
#include "pages/tab_io.h"
#include "sim/simulated_port.h"
#include "pages/modulation_dlg.h"

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
  std::optional<std::string> ChooseFile(const FileDialogRequest&, const QString&) override { return std::nullopt; }
  // Decides nothing: the edits and their markers stay for the next shot.
  MsgAnswer AskKeepEdits(const QString&, const QString&, bool) override { return MsgAnswer::Cancel; }
  bool AskSendFile(const std::string&, SendFileParams&) override { return false; }
};

void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

class Shooter {
 public:
  Shooter(const QString& dir, const ShotVisitor& visit) : dir_(dir), visit_(visit) {}
  void Shoot(QWidget& w, const QString& name) {
    if (!w.isVisible()) w.show();
    Settle(30);
    if (visit_) visit_(w, name);
    const QString path = dir_.filePath(name + QStringLiteral(".png"));
    taken_ << name;
    if (w.grab().save(path)) {
      std::printf("%s\n", qPrintable(path));
    } else {
      std::fprintf(stderr, "kelvane: could not write %s\n", qPrintable(path));
      ok_ = false;
    }
  }
  // A box over the window, as the user sees it: the window's image with the
  // box's drawn in its middle.
  void ShootOver(QWidget& window, QWidget& box, const QString& name) {
    box.show();
    Settle(30);
    if (visit_) visit_(box, name);
    QPixmap picture = window.grab();
    const QPixmap over = box.grab();
    {
      QPainter painter(&picture);
      const QRect place(QPoint((picture.width() - over.width()) / 2, (picture.height() - over.height()) / 2),
                        over.size());
      painter.drawPixmap(place.topLeft(), over);
      // The frame a window manager would draw around it.
      painter.setPen(window.palette().color(QPalette::Shadow));
      painter.drawRect(place.adjusted(-1, -1, 0, 0));
    }
    box.hide();
    const QString path = dir_.filePath(name + QStringLiteral(".png"));
    taken_ << name;
    if (picture.save(path)) {
      std::printf("%s\n", qPrintable(path));
    } else {
      std::fprintf(stderr, "kelvane: could not write %s\n", qPrintable(path));
      ok_ = false;
    }
  }
  bool Ok() const { return ok_; }
  bool Taken(const QString& name) const { return taken_.contains(name); }

 private:
  QDir dir_;
  ShotVisitor visit_;
  QStringList taken_;
  bool ok_ = true;
};

// The Remote page, the I/O page with a mix of services, its entry dialog for
// an SMS entry, and the Diagnostic page with a live line and with an idle one, each at the
// window's minimum size and maximised.
void ShootIoAndDiagnostic(CMainDlg& window, CAdapter& adapter, PortProvider& ports, Shooter& shooter) {
  SimulatedPort* port = ports.Simulated(3);
  if (!port || !(adapter.LinkState & LS_IDENTIFIED)) return;
  SimulatedModem& modem = port->Modem();
  auto entry = [](int service, int retry, int timeout, int priority, const char* d1, const char* d2 = "",
                  const char* d3 = "", int d4 = 0, const char* d5 = "", const char* d6 = "") {
    return SimIoEntry{service, retry, timeout, priority, d1, d2, d3, d4, d5, d6};
  };
  modem.State().io[0] = entry(1, 2, 30, 0, "0701234567");
  modem.State().io[1] = entry(2, 1, 0, 1, "0709876543", "Alarm: door 2 opened", "46705008999", 1,
                              "pw123456", "Gate 2");
  modem.State().io[2] = entry(3, 0, 12, 0, "0311234567", "Status OK");
  modem.State().io[3] = entry(5, 3, 0, 0, "0311234568", "10101");
  modem.State().io[4] = entry(6, 0, 0, 1, "ATH");
  modem.State().io[5] = entry(7, 5, 255, 0, "0401234567");
  modem.State().trigType = 31;
  modem.State().trigLevel = 3;
  modem.State().outputCtrl = 3;
  modem.DipSwitches() = {0x81, 0x00, 0x0F, 0x24};

  CPropSheet& sheet = window.Sheet();
  const QSize minimum = window.minimumSize();
  auto shootBoth = [&](const QString& name) {
    window.showNormal();
    window.resize(minimum);
    shooter.Shoot(window, name + QStringLiteral("-min"));
    window.resize(960, 600);
    shooter.Shoot(window, name + QStringLiteral("-default"));
    window.resize(1600, 1000);
    shooter.Shoot(window, name + QStringLiteral("-max"));
  };
  if (QWidget* remote = sheet.Page(PG_REMOTE)) {
    sheet.setCurrentWidget(remote);
    shootBoth(QStringLiteral("page-remote"));
  }
  if (QWidget* io = sheet.Page(PG_IO)) {
    sheet.setCurrentWidget(io);
    shootBoth(QStringLiteral("page-io"));
    CIOEntryDlg sms(adapter, 1, &window);
    shooter.Shoot(sms, QStringLiteral("io-entry-sms"));
  }
  if (auto* diagnostic = qobject_cast<CTabDiagnostic*>(sheet.Page(PG_DIAGNOSTIC))) {
    sheet.setCurrentWidget(diagnostic);
    shootBoth(QStringLiteral("page-diagnostic"));
    LastConnectionPreset("idle", modem.Diagnostics());
    diagnostic->OnReadDiagnostic();
    shootBoth(QStringLiteral("page-diagnostic-idle"));
  }
  window.resize(1000, 640);
  sheet.setCurrentIndex(0);
}

// The file name of a page: its tab title in lower case, blanks as "-" and
// other signs left out ("Dial Options" gives "page-dial-options", "I/O"
// "page-io").
QString PageFileName(const QString& title) {
  QString name;
  for (QChar c : title.toLower()) {
    if (c.isLetterOrNumber()) name += c;
    if (c.isSpace()) name += QLatin1Char('-');
  }
  return QStringLiteral("page-") + name;
}

// Every configuration page in the sheet not shot yet, filled from a read of
// the whole modem, at the window's minimum size, the size it opens with and
// maximised; and the
// Modulation dialog over the Basic record.
void ShootConfigurationPages(CMainDlg& window, QtUserInterface& ui, Shooter& shooter) {
  CAdapter& a = ui.Adapter();
  if (!(a.LinkState & LS_IDENTIFIED)) return;
  {
    CTransferDlg read(&window, ui, SEC_ALL, OP_READ);
    read.Run();
  }
  CPropSheet& sheet = window.Sheet();
  const QSize previous = window.size();
  for (int i = 0; i < sheet.count(); ++i) {
    if (sheet.widget(i) == &window.ConnectionPage()) continue;
    sheet.setCurrentIndex(i);
    const QString name = PageFileName(sheet.tabText(i));
    if (shooter.Taken(name + QStringLiteral("-min"))) continue;
    window.resize(CMainDlg::kMinWidth, CMainDlg::kMinHeight);
    shooter.Shoot(window, name + QStringLiteral("-min"));
    window.resize(960, 600);
    shooter.Shoot(window, name + QStringLiteral("-default"));
    window.resize(1600, 1000);
    shooter.Shoot(window, name + QStringLiteral("-max"));
  }
  window.resize(previous);
  sheet.setCurrentIndex(0);
  {
    CModulationDlg modulation(a.Config.basic, &window);
    shooter.Shoot(modulation, QStringLiteral("modulation"));
  }
}

// The comparison with a profile that differs from the modem on the Basic,
// Dial Options and I/O pages: the dialog at its own size and at its minimum,
// and the Basic page with its marks at the window's minimum size and
// maximised.
void ShootComparison(CMainDlg& window, QtUserInterface& ui, const QString& scratch, Shooter& shooter) {
  CAdapter& a = ui.Adapter();
  if (!(a.LinkState & LS_IDENTIFIED)) return;
  ConfigBlock standard = a.Config;
  standard.basic.S0 = a.Config.basic.S0 == 2 ? 3 : 2;
  standard.basic.S7 = 90;
  standard.basic.CountryCode = a.Config.basic.CountryCode == 0x3D ? 0x09 : 0x3D;
  std::snprintf(standard.dial.StoredNumbers[1], sizeof standard.dial.StoredNumbers[1], "%s", "0301 5551234");
  std::snprintf(standard.io.Data2[1], sizeof standard.io.Data2[1], "%s", "Alarm: door 2 opened at the north gate");
  const std::string path = QDir(scratch).filePath(QStringLiteral("standard.dat")).toStdString();
  std::string error;
  ProfileComparison& comparison = window.Comparison();
  if (!SaveProfileFile(path, standard, error) || !comparison.Start(path)) return;
  {
    CCompareDlg dialog(comparison, ui, &window);
    shooter.Shoot(dialog, QStringLiteral("compare"));
    dialog.resize(dialog.minimumSize());
    shooter.Shoot(dialog, QStringLiteral("compare-min"));
  }
  CPropSheet& sheet = window.Sheet();
  const QSize previous = window.size();
  if (QWidget* basic = sheet.Page(PG_BASIC)) {
    sheet.setCurrentWidget(basic);
    window.resize(CMainDlg::kMinWidth, CMainDlg::kMinHeight);
    shooter.Shoot(window, QStringLiteral("page-basic-compared-min"));
    window.resize(1600, 1000);
    shooter.Shoot(window, QStringLiteral("page-basic-compared-max"));
  }
  comparison.End();
  window.resize(previous);
  sheet.setCurrentIndex(0);
}

// The question before a command drops edits (with the modem connected), and
// the offer after the port went away under them, over the window at its
// minimum size and large.
void ShootUnsavedEdits(CMainDlg& window, CAdapter& adapter, PortProvider& ports, Shooter& shooter) {
  SimulatedPort* port = ports.Simulated(3);
  if (!port || !(adapter.LinkState & LS_IDENTIFIED)) return;
  for (int page : {PG_BASIC, PG_SERIAL, PG_IO}) adapter.Page(page).changed = 1;
  adapter.UpdateChangeMarkers();
  const std::vector<int> pages = ChangedPages(adapter);
  const QSize previous = window.size();
  auto shootBoth = [&](QMessageBox& box, const QString& name) {
    window.resize(CMainDlg::kMinWidth, CMainDlg::kMinHeight);
    shooter.ShootOver(window, box, name + QStringLiteral("-min"));
    window.resize(1600, 1000);
    shooter.ShootOver(window, box, name + QStringLiteral("-max"));
  };
  {
    const auto box = NewKeepEditsBox(&window, UnsavedEdits::WriteQuestion(pages, "disconnecting"),
                                     QStringLiteral("&Write to Modem"), true);
    shootBoth(*box, QStringLiteral("unsaved-edits"));
  }
  {
    const auto box = NewKeepEditsBox(&window, UnsavedEdits::SaveQuestion(pages, "exiting"),
                                     QStringLiteral("&Save Profile..."), true);
    window.resize(CMainDlg::kMinWidth, CMainDlg::kMinHeight);
    shooter.ShootOver(window, *box, QStringLiteral("unsaved-edits-offline"));
  }
  // The cable is pulled: the pages go, the markers stay until answered.
  port->LoseDevice();
  for (int i = 0; i < 20 && (adapter.LinkState & LS_PORT_OPEN); ++i) Settle(50);
  {
    const auto box = NewKeepEditsBox(&window, UnsavedEdits::LossQuestion(pages), QStringLiteral("&Save Profile..."),
                                     false);
    shootBoth(*box, QStringLiteral("port-loss-offer"));
  }
  for (int page : {PG_BASIC, PG_SERIAL, PG_IO}) adapter.Page(page).changed = 0;
  adapter.UpdateChangeMarkers();
  port->RestoreDevice();
  window.resize(previous);
}

}  // namespace

int RenderScreenshots(const QString& dir, const ShotVisitor& visit) {
  if (!QDir().mkpath(dir)) {
    std::fprintf(stderr, "kelvane: cannot create %s\n", qPrintable(dir));
    return 1;
  }
  QTemporaryDir scratch;
  QSettings settings(scratch.filePath(QStringLiteral("kelvane.ini")), QSettings::IniFormat);
  CAdapter adapter;
  UnattendedUi ui(adapter);
  PortProvider ports;
  Shooter shooter(dir, visit);

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

  ShootIoAndDiagnostic(window, adapter, ports, shooter);
  ShootConfigurationPages(window, ui, shooter);
  ShootComparison(window, ui, scratch.path(), shooter);

  {
    CTransferDlg transfer(&window, ui, 0, OP_CONNECT);
    transfer.SetProgressCaption(QStringLiteral("Connecting..."));
    transfer.SetProgressText(QStringLiteral("Querying modem..."));
    transfer.SetProgressRange(0, 5);
    for (int i = 0; i < 3; ++i) transfer.StepProgress();
    shooter.Shoot(transfer, QStringLiteral("transfer"));
  }
  {
    CAutoConnectDlg search(ui, &window);
    shooter.Shoot(search, QStringLiteral("autoconnect"));
    search.SetProgressRange(0, 120);
    for (int i = 0; i < 47; ++i) search.StepProgress();
    search.SetProgressText(QStringLiteral("Searching :  19200 bps, Even, 7, 2"));
    shooter.Shoot(search, QStringLiteral("autoconnect-searching"));
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
    CRemoteWizardDlg number(&window, CRemoteWizardDlg::Ask::Number);
    number.Field()->setText(QStringLiteral("0301 5551234"));
    shooter.Shoot(number, QStringLiteral("remote-number"));
    CRemoteWizardDlg password(&window, CRemoteWizardDlg::Ask::Password);
    password.Field()->setText(QStringLiteral("secret"));
    shooter.Shoot(password, QStringLiteral("remote-password"));
  }
  {
    CTransferDlg flash(&window, ui, 0, OP_FLASH);
    flash.SetProgressCaption(QStringLiteral("FLASHING!"));
    flash.SetProgressText(QStringLiteral("DO NOT POWER DOWN THE UNIT!"));
    flash.SetProgressRange(0, 30);
    for (int i = 0; i < 12; ++i) flash.StepProgress();
    flash.EnableCancel(false);
    shooter.Shoot(flash, QStringLiteral("transfer-flashing"));
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

  ShootUnsavedEdits(window, adapter, ports, shooter);

  if (adapter.LinkState & LS_PORT_OPEN) page.Disconnect();
  window.close();
  return shooter.Ok() ? 0 : 1;
}

}  // namespace kelvane
