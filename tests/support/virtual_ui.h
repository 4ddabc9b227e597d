#pragma once
// A user interface for tests that runs on virtual time: a wait with nothing to
// read advances the clock straight to the next tick, so a budget of seconds
// runs out at once. Message boxes and file dialogs are answered from queues.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/adapter.h"

namespace kelvane::testing {

class VirtualUi : public UserInterface {
 public:
  explicit VirtualUi(CAdapter& adapter) : adapter_(adapter) { adapter_.SetUi(this); }
  ~VirtualUi() override { adapter_.SetUi(nullptr); }

  void PumpEvents(int portFd) override;
  void Sleep(int milliseconds) override;
  MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
  MsgAnswer MessageBoxWithDetail(std::string_view text, std::string_view detail, MsgIcon icon,
                                 MsgButtons buttons) override;
  std::optional<std::string> AskFileName(const FileDialogRequest& request) override;

  void SetProgressCaption(std::string_view caption) override { caption_ = caption; }
  void SetProgressText(std::string_view text) override { progressTexts.emplace_back(text); }
  void SetProgressRange(int low, int high) override { rangeLow = low; rangeHigh = high; steps = 0; }
  void SetProgressStep(int step) override { stepSize = step; }
  void StepProgress() override { ++steps; }
  void UpdatePages() override { ++updatePagesCalls; }
  void RefreshTerminalInfo() override { ++terminalInfoRefreshes; }
  void SetIndicators(bool cts, bool dsr, bool cd) override { indicators = {cts, dsr, cd}; }
  void SetStatusText(std::string_view text) override { statusText = text; }
  void SetStatusNote(std::string_view note) override { statusNote = note; }
  void TerminalOutput(std::string_view text) override { terminal += text; }
  void ActivateConnectionPage() override { ++connectionPageActivations; }

  // Virtual milliseconds since construction.
  long long NowMs() const { return nowMs_; }
  // Runs on every pump, before the clock moves (a test can cancel, lose the
  // port or inject input at a chosen moment).
  std::function<void(VirtualUi&)> onPump;
  int pumps = 0;

  // Queued answers; when empty, `defaultAnswer` (or Ok for an Ok box).
  std::deque<MsgAnswer> answers;
  MsgAnswer defaultAnswer = MsgAnswer::Yes;
  struct Box {
    std::string text;
    MsgIcon icon;
    MsgButtons buttons;
    std::string detail;
  };
  std::vector<Box> boxes;
  std::deque<std::optional<std::string>> fileAnswers;
  std::vector<FileDialogRequest> fileRequests;

  std::string caption_;
  std::vector<std::string> progressTexts;
  int rangeLow = 0, rangeHigh = 0, stepSize = 0, steps = 0;
  int updatePagesCalls = 0;
  int terminalInfoRefreshes = 0;
  int connectionPageActivations = 0;
  struct Lines {
    bool cts = false, dsr = false, cd = false;
  } indicators;
  std::string statusText;
  std::string statusNote;
  std::string terminal;

 private:
  void Advance(long long ms);
  CAdapter& adapter_;
  long long nowMs_ = 0;
  long long nextTickMs_ = 50;
};

}  // namespace kelvane::testing
