// AT command transactions: one command out, the answer collected until an
// expected text is seen, the budget runs out, the user cancels or the port
// goes away.

#include <algorithm>

#include "config/adapter.h"

namespace kelvane {

namespace {

// Progress of an in-order match: the next character to find and where the
// search for it starts (the position of the previous find, so two equal
// neighbouring characters can be satisfied by one character of the answer).
struct InOrderCursor {
  size_t next = 0;
  size_t from = 0;
};

bool MatchesInOrder(const std::string& answer, std::string_view expected, InOrderCursor& c) {
  // The answer only grows, so finding every character now lands on the same
  // positions as finding one per pass; doing it at once avoids waiting a tick
  // per character.
  while (c.next < expected.size()) {
    const size_t found = answer.find(expected[c.next], c.from);
    if (found == std::string::npos) return false;
    c.from = found;
    ++c.next;
  }
  return true;
}

// No answer the modems give comes near this; a line or a device server that
// sends without end fails the exchange here instead of filling the memory.
constexpr size_t kMostAnswerBytes = 256 * 1024;

bool Matches(const std::string& answer, std::string_view expected, int mode, InOrderCursor& c) {
  if (mode == MatchExact) return answer.find(expected) != std::string::npos;
  return MatchesInOrder(answer, expected, c);
}

}  // namespace

void CAdapter::SetTimeoutUnit(int baudRate) {
  int base;
  switch (baudRate) {
    case 300: base = 45; break;
    case 600: base = 30; break;
    case 4800:
    case 9600: base = 20; break;
    case 19200:
    case 38400:
    case 57600: base = 15; break;
    case 115200: base = 10; break;
    default: base = 25; break;
  }
  if (ProbeMode) base /= 5;
  // A stored value outside 0..5 is folded back into the range (and kept so);
  // a negative one would otherwise give a budget that never waits.
  Options.ResponseTimeout = ((Options.ResponseTimeout % 6) + 6) % 6;
  TimeoutTicks = base * (Options.ResponseTimeout + 1);
}

int CAdapter::Transact(std::string& command, int factor) {
  return Transact(command, factor, "", "", MatchInOrder);
}

int CAdapter::Transact(std::string& command, int factor, std::string_view expected1) {
  return Transact(command, factor, expected1, "", MatchInOrder);
}

int CAdapter::Transact(std::string& command, int factor, std::string_view expected1, int matchMode) {
  return Transact(command, factor, expected1, "", matchMode);
}

int CAdapter::Transact(std::string& command, int factor, std::string_view expected1,
                       std::string_view expected2) {
  return Transact(command, factor, expected1, expected2, MatchInOrder);
}

int CAdapter::Transact(std::string& command, int factor, std::string_view expected1,
                       std::string_view expected2, int matchMode) {
  const std::string sent = command;
  InputMode = 0;
  RThreshold = 0;

  int result = WaitPhase(command, factor, expected1, expected2, matchMode);
  // One silent retry for an identified modem that stayed quiet without
  // reporting an error.
  if (result == 0 && Identified && command.find("ERROR") == std::string::npos) {
    if (Options.Debug == 1) Ui().TerminalOutput(command);
    command = sent;
    result = WaitPhase(command, factor, expected1, expected2, matchMode);
  }
  if (Options.Debug == 1) Ui().TerminalOutput(command);

  if (Options.HexInput) InputMode = 1;
  RThreshold = 1;
  return result;
}

int CAdapter::WaitPhase(std::string& command, int factor, std::string_view expected1,
                        std::string_view expected2, int matchMode) {
  command += '\r';
  if (!PortIsOpen()) {
    command = DisconnectedText;
    ++PortLosses;
    return -1;
  }
  if (Options.DelayBeforeAT > 0) Ui().Sleep(std::min(Options.DelayBeforeAT, 1000));

  SendText(command);
  TickCount = 0;
  std::string answer;
  InOrderCursor cursor1, cursor2;
  const bool reading = !expected1.empty() || !expected2.empty();
  const long long budget = static_cast<long long>(TimeoutTicks) * factor;
  const bool remote = (LinkState & (LS_IDENTIFIED | LS_REMOTE)) == (LS_IDENTIFIED | LS_REMOTE);

  while (TickCount < budget) {
    // Blocks until input arrives or the next tick; a wait that reads nothing
    // does not watch the port, so pending input cannot make it spin.
    Ui().PumpEvents(reading && port_ ? port_->PollFd() : -1);
    if (AbortRequested) break;
    if (!PortIsOpen()) break;
    if (!reading) continue;

    std::string input = ReadText(false);
    if (remote) input.erase(std::remove(input.begin(), input.end(), '>'), input.end());
    answer += input;
    if (answer.size() > kMostAnswerBytes) {
      command = "The answer grew past " + std::to_string(kMostAnswerBytes / 1024) +
                " KiB without the expected end; the exchange was given up.";
      return 0;
    }
    if (remote && answer.find("NO CARRIER") != std::string::npos) {
      // The far modem hung up. The local modem is back in command mode and
      // would answer the next commands itself, as if it were the far one.
      LinkState &= ~(LS_IDENTIFIED | LS_REMOTE);
      command = answer;
      Ui().UpdatePages();
      return -1;
    }
    if (!expected1.empty() && Matches(answer, expected1, matchMode, cursor1)) {
      command = answer;
      return 1;
    }
    if (!expected2.empty() && Matches(answer, expected2, matchMode, cursor2)) {
      command = answer;
      return 2;
    }
  }

  // A port that went away ends the wait with the same text however it was
  // noticed, so every caller can tell the user the modem is gone.
  if (!PortIsOpen()) {
    command = DisconnectedText;
    ++PortLosses;
    return -1;
  }
  command = answer;
  if (AbortRequested) {
    AbortRequested = false;
    return -1;
  }
  return 0;
}

int CAdapter::ProbeModem() {
  SendText("\r");
  // What the modem still sends from before (the rest of a long answer to a
  // command whose sender was cancelled) is dropped until the line has been
  // silent for a while; read as the answer to "AT" it would shift every later
  // answer by one. A clean line costs the one wait it always had, and one
  // more when it echoes the return (that echo, or a few bytes of it at a
  // wrong speed, are not old output); once old output is seen, a pause
  // between its lines does not end the wait. A line that keeps talking is
  // given up on after 10 s.
  constexpr size_t kMostBytesAnsweringTheReturn = 8;
  constexpr int kQuietAfterOldOutputMs = 750;
  constexpr int kMostMsDropped = 10000;
  const int pause = std::max(TimeoutTicks * 5, 1);
  size_t dropped = 0;
  for (int waited = 0, silent = 0; waited < kMostMsDropped && !AbortRequested; waited += pause) {
    Ui().Sleep(pause);
    const size_t read = ReadText(false).size();
    dropped += read;
    silent = read > 0 ? 0 : silent + pause;
    if (silent >= (dropped > kMostBytesAnsweringTheReturn ? kQuietAfterOldOutputMs : pause)) break;
  }

  std::string answer = "AT";
  int result = Transact(answer, 1, "OK\r\n", "0\r", MatchExact);
  if (result == 1) {
    VerboseResults = true;
  } else if (result == 2) {
    VerboseResults = false;
  } else if (result == 0) {
    // A cancel (or a lost port) ends the probe: the next "AT" would
    // otherwise succeed and the cancelled operation go on.
    answer = "AT";
    result = Transact(answer, 1, "OK\r\n", "0\r", MatchInOrder);
    if (result == 0) {
      // A modem with result codes suppressed (Q1) stays silent: switch them on
      // and ask again.
      answer = "ATQ0";
      const int quiet = Transact(answer, 1, "OK\r\n", "0\r0\r", MatchInOrder);
      if (quiet < 0) {
        // Cancelled while the answer was awaited: the switch was sent, and
        // the modem may well have taken it.
        if (PortIsOpen()) QuietWasOn = true;
        result = -1;
      } else if (!answer.empty() && PortIsOpen()) {
        QuietWasOn = true;
        answer = "AT";
        result = Transact(answer, 1, "OK\r\n", "0\r", MatchInOrder);
        if (result == 1) VerboseResults = true;
        if (result == 2) VerboseResults = false;
      }
    }
  }
  EchoOn = answer.find("AT") != std::string::npos;
  return result;
}

void CAdapter::RestoreNumericResults() {
  std::string probe = "AT";
  const int r = Transact(probe, 1, "OK\r\n");
  // With echo on, the echo of "ATV0" already ends in "0\r".
  const std::string_view expected = (r > 0 && probe.find("AT") != std::string::npos) ? "0\r0\r" : "0\r";
  std::string v0 = "ATV0";
  Transact(v0, 1, expected);
}

std::pair<std::string_view, std::string_view> CAdapter::InfoExpectations() const {
  if (EchoOn && !VerboseResults) return {"0\r", "0\r0\r0\r"};
  return {"OK\r\n", "0\r0\r"};
}

}  // namespace kelvane
