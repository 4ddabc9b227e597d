#pragma once
// A script of window actions, for end-to-end tests of the desktop program
// against a simulated modem on a pseudo-terminal. When the environment
// variable KELVANE_ACTIONS names a file, its lines are run in order while the
// main window is up, one action a line:
//
//   connect PORT    choose PORT on the Connection page and press Connect
//   page TITLE      show the page with that tab title
//   click NAME[#N]  press the N-th (default first) button of the current page
//                   whose object name or text is NAME
//   menu ID         run the menu command with that identifier
//   answer TEXT     wait for a message box and press its button TEXT
//   cancel          wait for an operation's progress window and press its
//                   Cancel
//   quit            print the terminal pane and the pages, close the window
//
// An action other than "answer" and "cancel" waits until nothing has run for 200 ms (no
// operation held Busy, no handler started by the script was on the stack, no
// modal window was up). Every message box is printed on standard output as it
// appears ("box: " and its text, line ends escaped). A script that makes no
// progress for 30 s ends the program with exit code 3.

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

namespace kelvane {

class CAdapter;
class CMainDlg;

class ActionScript : public QObject {
  Q_OBJECT

 public:
  ActionScript(CMainDlg& window, CAdapter& adapter, QStringList actions);

  // The script KELVANE_ACTIONS names, started; null without one. A file that
  // cannot be read ends the program with exit code 3.
  static std::unique_ptr<ActionScript> FromEnvironment(CMainDlg& window, CAdapter& adapter);

 private:
  void Step();
  // Runs `handler` from the event loop, with running_ set meanwhile.
  void Post(std::function<void()> handler);
  bool Idle() const;
  void NoteBoxes();
  bool Run(const QString& verb, const QString& argument);
  void Fail(const QString& why);

  CMainDlg& window_;
  CAdapter& a_;
  QStringList actions_;
  int next_ = 0;
  int running_ = 0;
  int stalledTicks_ = 0;
  int settled_ = 0;
  QTimer tick_;
  // The box last printed and the box last answered (a box that has been
  // answered may still be up for a moment).
  QPointer<QObject> lastBox_;
  QPointer<QObject> answered_;
};

}  // namespace kelvane
