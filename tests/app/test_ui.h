#pragma once
// The application's user interface with the questions answered by the test:
// message boxes, file dialogs, the Send File dialog and modal dialogs come
// from queues and hooks instead of waiting for a user.

#include <QDialog>
#include <QSettings>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/qt_user_interface.h"

namespace kelvane::testing {

class TestUi : public QtUserInterface {
 public:
  using QtUserInterface::QtUserInterface;

  MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
  MsgAnswer MessageBoxWithDetail(std::string_view text, std::string_view detail, MsgIcon icon,
                                 MsgButtons buttons) override;
  std::optional<std::string> AskFileName(const FileDialogRequest& request) override;
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
  std::deque<std::optional<std::string>> fileAnswers;  // when empty: cancelled
  std::vector<std::string> sendFilePaths;
  std::optional<SendFileParams> sendFileAnswer;  // nothing: cancelled
  // Handles a modal dialog; the default rejects it.
  std::function<int(QDialog&)> onModal;
  int modals = 0;

  std::vector<std::string> BoxTexts() const;
};

// Tool options stored in a scratch file instead of the user's settings.
struct ScratchSettings {
  QTemporaryDir dir;
  std::unique_ptr<QSettings> settings{
      new QSettings(dir.filePath(QStringLiteral("kelvane.ini")), QSettings::IniFormat)};
};

// Runs the event loop for a while (for real-time effects such as the
// 250 ms break); waits for the modem are not done this way.
void RunEventsFor(int milliseconds);

}  // namespace kelvane::testing
