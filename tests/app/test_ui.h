#pragma once
// The application's user interface with the questions answered by the test:
// message boxes, file dialogs, the Send File dialog and modal dialogs come
// from queues and hooks instead of waiting for a user.

#include <QDialog>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_dlg.h"
#include "ui/port_provider.h"
#include "ui/qt_user_interface.h"

namespace kelvane::testing {

class TestUi : public QtUserInterface {
 public:
  using QtUserInterface::QtUserInterface;

  MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
  MsgAnswer MessageBoxWithDetail(std::string_view text, std::string_view detail, MsgIcon icon,
                                 MsgButtons buttons) override;
  std::optional<std::string> ChooseFile(const FileDialogRequest& request, const QString& folder) override;
  // Recorded as a box with the buttons YesNoCancel (or YesNo without
  // Cancel), answered from `answers`. When empty, as before the question was
  // asked: a command drops the edits (No), a loss leaves them (Cancel).
  MsgAnswer AskKeepEdits(const QString& text, const QString& keep, bool cancel) override;
  bool AskSendFile(const std::string& path, SendFileParams& params) override;
  int ExecModal(QDialog& dialog) override;

  struct Box {
    std::string text;
    MsgIcon icon;
    MsgButtons buttons;
    std::string detail;
  };
  std::vector<Box> boxes;
  std::deque<MsgAnswer> answers;  // when empty: Ok, or No for a question
  std::vector<FileDialogRequest> fileRequests;
  std::vector<QString> fileFolders;  // the folder each file dialog started in
  std::deque<std::optional<std::string>> fileAnswers;  // when empty: cancelled
  std::vector<std::string> sendFilePaths;
  std::optional<SendFileParams> sendFileAnswer;  // nothing: cancelled
  // Handles a modal dialog; the default rejects it.
  std::function<int(QDialog&)> onModal;
  int modals = 0;

  std::vector<std::string> BoxTexts() const;
};

// The test user interface on virtual time: a wait with nothing to read jumps
// to the next 50 ms tick, so a modem that stays silent costs no real
// seconds. Events are still processed at every wait, as the window would.
// Give a simulated port NowMs() as its clock.
class VirtualTimeUi : public TestUi {
 public:
  using TestUi::TestUi;

  // Off, the waits run on the real clock as in the window, and NowMs() is
  // the monotonic clock: for a test that looks in from a timer while an
  // operation waits, or that measures a real pause.
  bool virtualTime = true;

  void PumpEvents(int portFd) override;
  void Sleep(int milliseconds) override;
  // Time passes without an operation (the line is watched on every tick).
  void Idle(int milliseconds);
  // Virtual milliseconds since construction.
  long long NowMs() const;

 private:
  void Advance(long long ms);

  long long now_ = 0;
  long long next_ = 50;
};

// Tool options stored in a scratch file instead of the user's settings.
struct ScratchSettings {
  QTemporaryDir dir;
  std::unique_ptr<QSettings> settings{
      new QSettings(dir.filePath(QStringLiteral("kelvane.ini")), QSettings::IniFormat)};
};

// The main window, shown, with simulated modems as its ports and its tool
// options in a scratch file. `settings` ("Settings/AutoLoad", 0) are stored
// before the window reads them. With `virtualTime`, the waits and the
// simulated modems run on virtual time.
struct WindowRig {
  explicit WindowRig(std::initializer_list<std::pair<const char*, QVariant>> settings,
                     const QStringList& portList = {"sim:1", "sim:2", "sim:3", "sim:4"}, bool virtualTime = false);
  CTabConnection& Page() const;
  // Chooses the port and connects as the page's Connect button does.
  void ConnectTo(const QString& port);

  CAdapter a;
  VirtualTimeUi ui{a};
  PortProvider ports;
  ScratchSettings store;
  std::unique_ptr<CMainDlg> window;
};

// Runs the event loop for a while (for real-time effects such as the
// 250 ms break); waits for the modem are not done this way.
void RunEventsFor(int milliseconds);

}  // namespace kelvane::testing
