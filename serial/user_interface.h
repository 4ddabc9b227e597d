#pragma once
// The only way the core reaches the user. The desktop application, the
// command-line tool and the tests each implement it. Nothing throws across it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

enum class MsgIcon { None, Information, Warning, Error, Question, Stop };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::Open;
  std::string title;
  // Filter in the form "Config files (*.dat)|*.dat|All files (*.*)|*.*||".
  std::string filter;
  std::string defaultExtension;  // without the dot, e.g. "dat"
  std::string suggestedName;
  bool promptOverwrite = false;
  // The window starts the dialog in the folder last used for this kind of
  // file ("profiles", "firmware", "reports"); empty: not remembered.
  std::string folderKind;
};

class CAdapter;

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Dispatch whatever is pending, then block until `portFd` (when >= 0) is
  // readable, a user event arrives, or the next 50 ms tick is due. Every tick
  // that falls due is delivered with CAdapter::OnTimerTick before returning.
  // Never spins: an idle call costs one wake-up per tick.
  virtual void PumpEvents(int portFd) = 0;

  // A pause in which the modem is given time to act (the delay before a
  // command, the waits after a speed change). Ticks keep running.
  virtual void Sleep(int milliseconds) = 0;

  virtual MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) = 0;
  // A message with what exactly went wrong (a file's path and the system's
  // reason) as its detail. The window shows the detail under the message;
  // without windows it follows the message on the next line.
  virtual MsgAnswer MessageBoxWithDetail(std::string_view text, std::string_view detail, MsgIcon icon,
                                         MsgButtons buttons) {
    if (detail.empty()) return MessageBox(text, icon, buttons);
    return MessageBox(std::string(text) + "\n" + std::string(detail), icon, buttons);
  }

  // Returns the chosen path, or nothing when the user cancelled.
  virtual std::optional<std::string> AskFileName(const FileDialogRequest& request) {
    (void)request;
    return std::nullopt;
  }

  // Progress of the running long operation (the transfer dialog).
  virtual void SetProgressCaption(std::string_view caption) { (void)caption; }
  virtual void SetProgressText(std::string_view text) { (void)text; }
  virtual void SetProgressRange(int low, int high) { (void)low; (void)high; }
  virtual void SetProgressStep(int step) { (void)step; }
  virtual void StepProgress() {}
  // Whether the running operation may still be cancelled (the flashing
  // phase of a firmware update may not).
  virtual void EnableCancel(bool enabled) { (void)enabled; }

  // Notifications of the link layer.
  virtual void UpdatePages() {}
  virtual void RefreshTerminalInfo() {}
  virtual void SelectPortSettings() {}
  virtual void SetIndicators(bool cts, bool dsr, bool cd) { (void)cts; (void)dsr; (void)cd; }
  // The status panel's change markers (or any other status text).
  virtual void SetStatusText(std::string_view text) { (void)text; }
  // What an operation did ("Profile saved to station8.dat."), shown after
  // the change markers until the next note; a note given while the port is
  // open goes when the port closes.
  virtual void SetStatusNote(std::string_view note) { (void)note; }
  // Text for the terminal pane (received data, debug answers, notes).
  virtual void TerminalOutput(std::string_view text) { (void)text; }
  // The traffic log changed (hex view of the terminal pane).
  virtual void TrafficLogChanged() {}
  // The Connection page should become the active page.
  virtual void ActivateConnectionPage() {}
};

}  // namespace kelvane
