#include "test_ui.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <poll.h>

#include "connection/ui/tab_connection.h"
#include "serial/clock.h"

namespace kelvane::testing {

WindowRig::WindowRig(std::initializer_list<std::pair<const char*, QVariant>> settings, const QStringList& portList,
                     bool virtualTime) {
  for (const auto& [key, value] : settings) store.settings->setValue(QString::fromLatin1(key), value);
  ui.virtualTime = virtualTime;
  if (virtualTime) {
    for (int modelType = 1; modelType <= 4; ++modelType) {
      ports.Simulated(modelType)->SetClock([this] { return ui.NowMs(); });
    }
  }
  window = std::make_unique<CMainDlg>(ui, ports, *store.settings, portList);
  window->show();
}

CTabConnection& WindowRig::Page() const { return window->ConnectionPage(); }

void WindowRig::ConnectTo(const QString& port) {
  Page().PortCombo()->setCurrentText(port);
  Page().Connect();
}

MsgAnswer TestUi::MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) {
  boxes.push_back({std::string(text), icon, buttons, {}});
  if (!answers.empty()) {
    const MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgAnswer::No : MsgAnswer::Ok;
}

MsgAnswer TestUi::MessageBoxWithDetail(std::string_view text, std::string_view detail, MsgIcon icon,
                                       MsgButtons buttons) {
  const MsgAnswer answer = MessageBox(text, icon, buttons);
  boxes.back().detail = detail;
  return answer;
}

std::optional<std::string> TestUi::ChooseFile(const FileDialogRequest& request, const QString& folder) {
  fileRequests.push_back(request);
  fileFolders.push_back(folder);
  if (fileAnswers.empty()) return std::nullopt;
  auto a = fileAnswers.front();
  fileAnswers.pop_front();
  return a;
}

bool TestUi::AskSendFile(const std::string& path, SendFileParams& params) {
  sendFilePaths.push_back(path);
  if (!sendFileAnswer) return false;
  params = *sendFileAnswer;
  return true;
}

int TestUi::ExecModal(QDialog& dialog) {
  ++modals;
  if (onModal) return onModal(dialog);
  return QDialog::Rejected;
}

MsgAnswer TestUi::AskKeepEdits(const QString& text, const QString&, bool cancel) {
  boxes.push_back({text.toStdString(), MsgIcon::Warning, cancel ? MsgButtons::YesNoCancel : MsgButtons::YesNo, {}});
  if (answers.empty()) return cancel ? MsgAnswer::No : MsgAnswer::Cancel;
  const MsgAnswer a = answers.front();
  answers.pop_front();
  return a;
}

long long VirtualTimeUi::NowMs() const { return virtualTime ? now_ : MonotonicMs(); }

void VirtualTimeUi::PumpEvents(int portFd) {
  if (!virtualTime) return QtUserInterface::PumpEvents(portFd);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (portFd >= 0) {
    pollfd p{portFd, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) return;
  }
  Advance(next_ - now_);
}

void VirtualTimeUi::Sleep(int milliseconds) {
  if (!virtualTime) return QtUserInterface::Sleep(milliseconds);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (milliseconds > 0) Advance(milliseconds);
}

void VirtualTimeUi::Idle(int milliseconds) {
  if (!virtualTime) return RunEventsFor(milliseconds);
  for (int t = 0; t < milliseconds; t += 50) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    Advance(50);
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void VirtualTimeUi::Advance(long long ms) {
  const long long until = now_ + ms;
  while (next_ <= until) {
    now_ = next_;
    next_ += 50;
    Adapter().OnTimerTick();
  }
  now_ = until;
}

std::vector<std::string> TestUi::BoxTexts() const {
  std::vector<std::string> out;
  for (const Box& b : boxes) out.push_back(b.text);
  return out;
}

void RunEventsFor(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace kelvane::testing
