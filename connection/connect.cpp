#include "connection/connect.h"

#include "config/operation_hold.h"
#include "connection/call_state.h"

namespace kelvane {

namespace {

// Ends a connect that identified nothing it can serve. A quiet modem that the
// probe switched to result codes is put back to quiet first, however the
// connect ended: the probe changed only its active setting, so "ATQ1" alone
// restores it. A cancel that ended the connect is set aside for that one
// command; with echo on, the echo shows it arrived, since the answer is
// suppressed.
void AbandonConnect(CAdapter& a) {
  if (a.QuietWasOn && a.PortIsOpen()) {
    const bool abort = a.AbortRequested;
    a.AbortRequested = false;
    std::string command = "ATQ1";
    a.Transact(command, 1, a.EchoOn ? "ATQ1\r" : "OK\r\n", MatchExact);
    a.AbortRequested = abort;
    a.QuietWasOn = false;
  }
  a.ClosePortQuietly();
}

}  // namespace

int RunConnectOperation(CAdapter& a) {
  // The window runs it with Busy already held; the command line holds it
  // here, so a network port's connect waits where Ctrl-C is heard.
  const BusyHold busy(a);
  UserInterface& ui = a.Ui();
  ui.SetProgressCaption("Connecting...");
  ui.SetProgressText("Opening port...");
  ui.SetProgressRange(0, 5);
  ui.SetProgressStep(1);
  ui.StepProgress();

  if (!a.OpenAndIdentify(false)) return CONNECT_NOTHING_FOUND;
  // A call an earlier run left up would make the far modem answer in the
  // local one's place, and be configured as if it were.
  const CallEnd leftover = EndCallLeftUp(a);
  if (leftover == CallEnd::StillUp) ui.MessageBox(CallLeftUpText, MsgIcon::Stop, MsgButtons::Ok);
  if (leftover == CallEnd::StillUp || leftover == CallEnd::Lost || a.AbortRequested) {
    a.AbortRequested = false;
    AbandonConnect(a);
    return CONNECT_NOTHING_FOUND;
  }
  // A port that goes away while the modem is looked for is no empty line.
  const int losses = a.PortLosses;

  ui.SetProgressText("Searching for modem...");
  ui.StepProgress();
  // A cancelled probe stops the connect as well.
  if (a.ProbeForIdentification() < 1) {
    AbandonConnect(a);
    return a.PortLosses != losses ? CONNECT_PORT_LOST : CONNECT_NOTHING_FOUND;
  }
  a.ApplyPortSettings();
  ui.SetProgressText("Querying modem...");
  ui.StepProgress();

  int found = a.IdentifyModem(nullptr);
  // A far modem whose session was left up without a marker (a run of another
  // program or user) answers with its prompt: it is not the modem meant.
  if (found >= 0 && FarSessionAnswered(a.IdentificationAnswer)) {
    const CallEnd end = EndCallLeftUp(a, true);
    if (end == CallEnd::StillUp) ui.MessageBox(CallLeftUpText, MsgIcon::Stop, MsgButtons::Ok);
    found = end == CallEnd::Ended && !a.AbortRequested && a.ProbeForIdentification() >= 1 ? a.IdentifyModem(nullptr)
                                                                                         : -1;
    a.AbortRequested = false;
  }
  if (found <= 0) {
    AbandonConnect(a);
    if (a.PortLosses != losses) return CONNECT_PORT_LOST;
    return found < 0 ? CONNECT_NOTHING_FOUND : CONNECT_UNSUPPORTED;
  }
  ui.StepProgress();
  return CONNECT_IDENTIFIED;
}

std::string ConnectFailureMessage(const CAdapter& a, int result) {
  if (result == CONNECT_UNSUPPORTED) return "A modem was found, but it is unsupported by Kelvane.";
  if (result == CONNECT_PORT_LOST) return std::string(DisconnectedText);
  if (result == CONNECT_NOTHING_FOUND) {
    return a.LinkState == LS_IDLE ? "No Dalmarin modem found!" : "Unable to open COM-port...";
  }
  return {};
}

void DisconnectCommand(CAdapter& a, bool localWasQuiet) {
  if (a.Busy) return;
  UserInterface& ui = a.Ui();
  if (!(a.LinkState & LS_PORT_OPEN)) {
    ui.MessageBox("Not connected!", MsgIcon::Stop, MsgButtons::Ok);
    ui.ActivateConnectionPage();
    return;
  }
  if ((a.LinkState & (LS_IDENTIFIED | LS_REMOTE)) == (LS_IDENTIFIED | LS_REMOTE)) {
    BusyHold busy(a);
    ui.SetProgressCaption("Wait");
    ui.SetProgressText("Disconnecting...");
    ui.SetProgressRange(0, 3);
    ui.SetProgressStep(1);
    ui.StepProgress();
    // The far modem ends its session on its answer; a modem that stays
    // silent has the whole budget.
    std::string command = "AT*WRCE";
    a.Transact(command, 3, "OK\r\n", "ERROR", MatchExact);
    ui.StepProgress();
    // The escape and the hang-up check their answers and are tried again;
    // a call they cannot end is reported.
    const CallEnd end = HangUpCall(a);
    // The logout is not cancelled; a cancel heard meanwhile ends nothing else.
    a.AbortRequested = false;
    ui.StepProgress();
    if (end == CallEnd::StillUp) ui.MessageBox(CallLeftUpText, MsgIcon::Stop, MsgButtons::Ok);
    // A lost port is counted; the front end names it.
    if (end == CallEnd::Lost) a.CloseIfPortLost();
    ui.StepProgress();
    if (localWasQuiet && end == CallEnd::Ended) {
      // Quiet again, the modem answers nothing: the command has its budget.
      command = "ATQ1";
      a.Transact(command, 1);
    }
  } else if (a.QuietWasOn) {
    const MsgAnswer answer = ui.MessageBox(
        "Result Code Suppression will now be activated, and\nthe active configuration will be "
        "saved, RAM to EEPROM.\nDu you wish to save settings before disconneting?",
        MsgIcon::Question, MsgButtons::YesNo);
    if (answer == MsgAnswer::Yes) {
      // A modem in quiet mode answers nothing, so each command waits out its
      // whole budget (seconds): show the wait, and keep every other
      // operation out with Busy meanwhile.
      BusyHold busy(a);
      ui.SetProgressCaption("Wait");
      ui.SetProgressText("Disconnecting...");
      ui.SetProgressRange(0, 2);
      ui.SetProgressStep(1);
      std::string command = "ATQ1";
      a.Transact(command, 1);
      ui.StepProgress();
      command = "AT&W";
      a.Transact(command, 1);
      ui.StepProgress();
      a.QuietWasOn = false;
    }
  }
  a.CloseLink();
  ui.ActivateConnectionPage();
}

}  // namespace kelvane
