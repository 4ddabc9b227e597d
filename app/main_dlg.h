#pragma once
// The main window: the menu, the property sheet on the left, the terminal
// pane on the right and the status panel along the bottom.

#include <QDesktopServices>
#include <QList>
#include <QMainWindow>
#include <QRect>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>

#include "ui/command_ids.h"
#include "ui/port_provider.h"
#include "ui/qt_user_interface.h"

class QAction;
class QSettings;

namespace kelvane {

class CPropSheet;
class ProfileComparison;
class CStatusPanel;
class CTabConnection;
class CTerminalDlg;
class UnsavedEdits;

// The path of the HTML manual: the one installed beside the program (or
// copied there in the build tree), else the copy in the program's resources
// extracted into the per-user cache (so the browser can open it); empty when
// that fails.
QString ManualPath();

// Where the window opens: the stored place (`fallback` size when none) when
// it lies wholly on one of the `screens`' available areas, else centred on
// the first (primary) one; never smaller than `minimum`.
QRect PlaceWindow(const QRect& stored, const QList<QRect>& screens, const QSize& minimum,
                  const QSize& fallback);

class CMainDlg : public QMainWindow {
  Q_OBJECT

 public:
  // `settings` is where the tool options are loaded from and saved to;
  // `extraPorts` are offered on the Connection page before the system's.
  CMainDlg(QtUserInterface& ui, PortProvider& ports, QSettings& settings,
           const QStringList& extraPorts = {}, QWidget* parent = nullptr);
  ~CMainDlg() override;

  QAction* Action(int commandId) const;
  void OnCommand(int commandId);

  CPropSheet& Sheet() { return *sheet_; }
  CTabConnection& ConnectionPage();
  CTerminalDlg& Terminal() { return *terminal_; }
  CStatusPanel& StatusPanel() { return *status_; }
  ProfileComparison& Comparison() { return *comparison_; }
  UnsavedEdits& Edits() { return *edits_; }
  bool BreakActive() const { return breakTimer_.isActive(); }

  // How Help opens the manual (tests replace it); false when no program
  // could show it.
  void SetUrlOpener(std::function<bool(const QUrl&)> opener) { openUrl_ = std::move(opener); }

  // "Kelvane 2", after the open profile's name ("station8.dat - Kelvane 2"),
  // with a leading "*" while edits are not written or saved.
  static QString TitleFor(const QString& profile, bool edited);

  static constexpr int kMinWidth = 758;
  static constexpr int kMinHeight = 563;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  void UpdateTitle();
  QAction* AddCommand(QMenu* menu, const QString& text, int id);
  void EnableCommand(int id, bool enabled);
  int RunTransfer(int sections, int operation);
  void OnOptions();
  // File > "Compare with Profile...": choose a file, compare, list the
  // differences.
  void OnCompareProfile();
  void OnHelp();
  void OnAbout();
  void StartBreak();
  void EndBreak();
  // The window's place, the last port and line settings and the terminal's
  // history, kept between runs beside the options.
  void RestoreSession();
  void SaveSession();

  QtUserInterface& ui_;
  CAdapter& a_;
  PortProvider& ports_;
  QSettings& settings_;
  CPropSheet* sheet_ = nullptr;
  CTerminalDlg* terminal_ = nullptr;
  CStatusPanel* status_ = nullptr;
  ProfileComparison* comparison_ = nullptr;
  std::unique_ptr<UnsavedEdits> edits_;
  std::map<int, QAction*> actions_;
  QTimer breakTimer_;  // timer 3
  std::function<bool(const QUrl&)> openUrl_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  SerialPort* breakPort_ = nullptr;
};

}  // namespace kelvane
