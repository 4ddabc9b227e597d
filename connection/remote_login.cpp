#include "connection/remote_login.h"

#include <algorithm>
#include <cstdlib>

#include "config/operation_hold.h"
#include "connection/call_state.h"
#include "serial/clock.h"
#include "serial/tick_watch.h"
#include "config/traffic_file_log.h"

namespace kelvane {

namespace {

constexpr std::string_view kDialModifiers = " *#+,-()/PTWptw";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Overwrites a text that held a password before it is freed.
void Wipe(std::string& text) {
  volatile char* p = text.data();
  for (size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}

// A complete line of the answer (ended by CR) that is a numeric result code.
int NumericOutcome(std::string_view answer) {
  size_t start = 0;
  while (start < answer.size()) {
    const size_t cr = answer.find('\r', start);
    if (cr == std::string_view::npos) break;
    std::string_view piece = answer.substr(start, cr - start);
    start = cr + 1;
    while (!piece.empty() && piece.front() == '\n') piece.remove_prefix(1);
    if (piece.empty() || piece.size() > 3 || !std::all_of(piece.begin(), piece.end(), IsDigit)) continue;
    const int code = std::atoi(std::string(piece).c_str());
    switch (code) {
      case 2: continue;  // RING
      case 0:            // OK: the number ended in ';', no call was made
      case 3:            // NO CARRIER
      case 4:            // ERROR
      case 6:            // NO DIALTONE
      case 7:            // BUSY
      case 8:            // NO ANSWER
        return 0;
      default: return 1;  // CONNECT and its speed variants
    }
  }
  return -1;
}

// The local modem's call: "ATD" and the number, then the wait for its result.
// The wait ends on the result, on Cancel, on loss of the port, or after
// TimeoutTicks x 55 ticks (counted past the tick counter's wrap, so a modem
// that never reports a result cannot hold the program forever).
// 1 connected, 0 the call failed or timed out, -1 cancelled or port lost.
// `leftMs` receives what remains of the dial time. The marker beside the port
// records the attempt from before "ATD" goes out until its result.
int Dial(CAdapter& a, const std::string& number, long long& leftMs) {
  UserInterface& ui = a.Ui();
  a.InputMode = 0;
  a.RThreshold = 0;
  if (a.Options.DelayBeforeAT > 0) ui.Sleep(std::min(a.Options.DelayBeforeAT, 1000));
  int result = -1;
  std::string answer;
  const long long budget = static_cast<long long>(a.TimeoutTicks) * 55;
  long long elapsed = 0;
  if (a.PortIsOpen()) {
    MarkDialling(a.PortNumber, budget * 50);
    a.SendText("ATD" + number + "\r");
    a.TickCount = 0;
    for (;;) {
      SerialPort* port = a.Port();
      ui.PumpEvents(port ? port->PollFd() : -1);
      if (a.AbortRequested) {
        a.AbortRequested = false;
        result = -1;
        break;
      }
      if (!a.PortIsOpen()) {
        result = -1;
        break;
      }
      answer += a.ReadText(false);
      const int outcome = DialOutcome(answer);
      if (outcome >= 0) {
        result = outcome;
        break;
      }
      if (a.TickCount >= 500) {
        elapsed += a.TickCount;
        a.TickCount = 0;
      }
      if (elapsed + a.TickCount >= budget) {
        result = 0;
        break;
      }
    }
  }
  leftMs = std::max(0LL, budget - elapsed - a.TickCount) * 50;
  if (result == 1) MarkCallUp(a.PortNumber);
  if (result == 0 && DialOutcome(answer) == 0) ClearCallMark(a.PortNumber);
  if (a.Options.Debug == 1) ui.TerminalOutput(answer);
  if (a.Options.HexInput) a.InputMode = 1;
  a.RThreshold = 1;
  return result;
}

// A call attempt the user cancelled: any character abandons it, but a modem
// with dial abort off (&A1) ignores that and goes on until the call connects
// or fails. Its result is awaited for what remains of the dial time, and a
// call that connects after all is hung up. Further cancels are not heard: the
// wait is what the first one asked for.
void AbandonCallAttempt(CAdapter& a, long long leftMs) {
  UserInterface& ui = a.Ui();
  a.SendText("\r");
  ui.SetProgressText("Waiting for the call attempt to end...");
  std::string answer;
  TickWatch watch(a.TickCount);
  int outcome = -1;
  while (a.PortIsOpen() && watch.Elapsed() * 50 < leftMs) {
    answer += a.ReadText(false);
    if (answer.size() > 4096) answer.erase(0, answer.size() - 4096);
    outcome = DialOutcome(answer);
    // A modem that took the character as the end of the attempt answers in
    // command mode.
    if (outcome < 0 && LocalModemAnswered(answer)) outcome = 0;
    if (outcome >= 0) break;
    SerialPort* port = a.Port();
    ui.PumpEvents(port ? port->PollFd() : -1);
    a.AbortRequested = false;
  }
  if (a.Options.Debug == 1 && !answer.empty()) ui.TerminalOutput(answer);
  if (outcome == 1) {
    HangUpCall(a);
  } else if (outcome == 0) {
    ClearCallMark(a.PortNumber);
  }
  a.AbortRequested = false;
}

// After the remote configuration request: back to the local modem's command
// mode and hang up; a call that stays up is reported.
void HangUp(CAdapter& a) {
  UserInterface& ui = a.Ui();
  ui.SetProgressText("Disconnecting...");
  if (HangUpCall(a) == CallEnd::StillUp) ui.MessageBox(CallLeftUpText, MsgIcon::Stop, MsgButtons::Ok);
  // The login ends here, so a cancel heard meanwhile has nothing left to stop.
  a.AbortRequested = false;
}

// A failure of the login. A lost port is the reason whatever step it hit:
// it is counted (PortLosses), and each front end names it once, instead of
// the step's own message.
void LoginFailed(CAdapter& a, std::string_view message) {
  if (!a.PortIsOpen()) {
    a.CloseIfPortLost();
  } else if (!message.empty()) {
    a.Ui().MessageBox(message, MsgIcon::Stop, MsgButtons::Ok);
  }
}

// Waits for the far modem's password prompt, showing what arrives in the
// terminal. 1 the prompt came (or came already: `early` holds what arrived
// since the request), 0 not within the password's budget, -1 cancelled or
// port lost.
int AwaitPasswordPrompt(CAdapter& a, const std::string& early) {
  constexpr std::string_view kPrompt = "C_PASSWORD:";
  std::string seen = early;
  TickWatch watch(a.TickCount);
  const long long budget = static_cast<long long>(a.TimeoutTicks) * 5;
  for (;;) {
    if (seen.find(kPrompt) != std::string::npos) return 1;
    if (watch.Elapsed() >= budget) return 0;
    SerialPort* port = a.Port();
    a.Ui().PumpEvents(port ? port->PollFd() : -1);
    if (a.AbortRequested) {
      a.AbortRequested = false;
      return -1;
    }
    if (!a.PortIsOpen()) return -1;
    // Only the tail can still complete a prompt split over two reads.
    if (seen.size() > kPrompt.size()) seen.erase(0, seen.size() - kPrompt.size());
    seen += a.ReadText(true);
  }
}

// The far modem's identification: its answer to the first row's command
// matched against the model table as a local modem's is. 1
// answered (ModelType set when an article was known), 0 no answer after every
// attempt, -1 cancelled or port lost.
int IdentifyRemote(CAdapter& a) {
  const std::string_view command = ModelTable[0].command;
  for (int attempt = 0; attempt < kRemoteIdentifyAttempts; ++attempt) {
    std::string answer(command);
    const auto [expected1, expected2] = a.InfoExpectations();
    const int r = a.Transact(answer, 1, expected1, expected2, MatchInOrder);
    if (r < 0) return -1;
    if (r == 0) continue;
    // From here on answers come without the far modem's prompt; so does this one.
    a.IdentificationAnswer = answer;
    std::erase(a.IdentificationAnswer, '>');
    if (const ModelRow* model = MatchModel(command, answer)) a.ModelType = model->type;
    return 1;
  }
  return 0;
}

int RemoteLogin(CAdapter& a, const RemotePrompts& prompts) {
  UserInterface& ui = a.Ui();
  ui.SetProgressRange(0, 7);
  ui.SetProgressStep(1);
  ui.SetProgressText("Connecting...");
  ui.StepProgress();

  // A call an earlier run left up would take this login's commands to the
  // far modem, and "ATD" would be refused.
  const CallEnd leftover = EndCallLeftUp(a);
  if (leftover == CallEnd::StillUp || leftover == CallEnd::Lost) {
    LoginFailed(a, CallLeftUpText);
    return 0;
  }
  if (a.AbortRequested) {
    a.AbortRequested = false;
    return 0;
  }

  const int probe = a.ProbeModem();
  if (probe == 0 || !a.PortIsOpen()) {
    LoginFailed(a, "Error, please check the local modem.");
    return 0;
  }
  if (probe < 0) return 0;  // cancelled

  ui.StepProgress();
  std::optional<std::string> number = prompts.askNumber ? prompts.askNumber() : std::nullopt;
  if (!number) return 0;
  if (!IsDialNumber(*number)) {
    ui.MessageBox("Error, no answer.", MsgIcon::Stop, MsgButtons::Ok);
    return 0;
  }

  ui.StepProgress();
  long long dialLeftMs = 0;
  const int dial = Dial(a, *number, dialLeftMs);
  if (dial != 1) {
    // A call still being set up is abandoned with any character; a modem
    // that already gave up ignores it.
    if (dial < 0 && a.PortIsOpen()) {
      AbandonCallAttempt(a, dialLeftMs);
    } else if (a.PortIsOpen()) {
      a.SendText("\r");
    }
    LoginFailed(a, "Error, no answer.");
    return 0;
  }

  ui.Sleep(1200);
  a.SendText("++++");
  ui.StepProgress();
  ui.Sleep(1000);
  ui.StepProgress();

  bool firstPassword = true;
  for (;;) {
    // What came since the request (the far modem's "C_PASSWORD:", the rest
    // of the CONNECT line) goes to the terminal, as a receive event would
    // take it; otherwise it would count as the answer to the password.
    const std::string early = a.ReadText(true);
    if (firstPassword && prompts.awaitPasswordPrompt) {
      // Without a prompt in time the password still goes out; its answer
      // decides.
      if (AwaitPasswordPrompt(a, early) < 0) {
        if (a.PortIsOpen()) HangUp(a);
        LoginFailed(a, "");
        return 0;
      }
    }
    firstPassword = false;
    std::optional<std::string> password = prompts.askPassword ? prompts.askPassword() : std::nullopt;
    if (!password) {
      HangUp(a);
      return 0;
    }
    std::string exchange = *password;
    Wipe(*password);
    if (a.TrafficFile) a.TrafficFile->MaskNextSend();
    const int r = a.Transact(exchange, 5, ">", "C_PASSWORD:", MatchExact);
    Wipe(exchange);
    if (r < 1) {
      LoginFailed(a, "Error: Access denied.");
      if (a.PortIsOpen()) HangUp(a);
      return 0;
    }
    if (r == 2) {
      ui.MessageBox("Error: Password not accepted.", MsgIcon::Stop, MsgButtons::Ok);
      continue;
    }
    break;
  }

  const int identified = IdentifyRemote(a);
  if (identified < 1) {
    LoginFailed(a, identified == 0 ? "Error: No answer from the remote modem." : "");
    if (a.PortIsOpen()) HangUp(a);
    return 0;
  }
  ui.StepProgress();
  a.LinkState = LS_PORT_OPEN | LS_IDENTIFIED | LS_REMOTE;
  // A different modem from the one the pages last showed: nothing of it has
  // been read yet.
  a.ResetPageFlags();
  a.RefreshIndicators();
  return 1;
}

}  // namespace

bool IsDialNumber(std::string_view number) {
  if (number.empty() || number.size() > 40) return false;
  bool digit = false;
  for (char c : number) {
    if (IsDigit(c)) {
      digit = true;
    } else if (kDialModifiers.find(c) == std::string_view::npos) {
      return false;
    }
  }
  return digit;
}

int DialOutcome(std::string_view answer) {
  struct Word {
    std::string_view text;
    int outcome;
  };
  static constexpr Word kWords[] = {
      {"CONNECT", 1}, {"NO CARRIER", 0}, {"BUSY", 0}, {"NO ANSWER", 0},
      {"NO DIALTONE", 0}, {"NO DIAL TONE", 0}, {"ERROR", 0},
  };
  size_t first = std::string_view::npos;
  int outcome = -1;
  for (const Word& w : kWords) {
    const size_t at = answer.find(w.text);
    if (at < first) {
      first = at;
      outcome = w.outcome;
    }
  }
  if (outcome >= 0) return outcome;
  return NumericOutcome(answer);
}

int RunRemoteConnectOperation(CAdapter& a, const RemotePrompts& prompts) {
  if (a.Busy || !a.PortIsOpen()) return 0;
  BusyHold busy(a);
  return RemoteLogin(a, prompts);
}

}  // namespace kelvane
