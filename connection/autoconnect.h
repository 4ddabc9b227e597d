#pragma once
// The Autoconnect search: tries combinations of baud rate, data bits, parity
// and stop bits on one port until a modem answers, and the Connection page's
// Autoconnect command around it. No widgets here: the dialog and the command
// line drive the search and show its progress through the user interface.

#include <functional>
#include <string>
#include <string_view>

#include "config/adapter.h"

namespace kelvane {

// The entries of the range lists, in list order.
extern const char* const kAutoBaudRates[10];   // "300" ... "115200"
extern const char* const kAutoParities[3];     // "None", "Odd", "Even"
extern const char* const kAutoDataBits[2];     // "7", "8"
extern const char* const kAutoStopBits[2];     // "1", "2"

// The From and To selections of the four ranges, as list indexes. The
// defaults are the dialog's initial selections: 115200 down to 300, None to
// Even, 8 then 7 data bits, 1 then 2 stop bits.
struct AutoConnectRanges {
  int baudFrom = 9, baudTo = 0;
  int parityFrom = 0, parityTo = 2;
  int dataFrom = 1, dataTo = 0;
  int stopFrom = 0, stopTo = 1;
};

// The positions a range walks through: From, then one list entry at a time
// towards To (both included).
struct SearchAxis {
  int from = 0;
  int step = 1;
  int count = 0;  // positions 0 .. count
  int IndexAt(int position) const { return from + position * step; }
};
SearchAxis AxisOf(int fromIndex, int toIndex);

// How the dialog ends.
enum AutoConnectResult : int {
  AUTOCONNECT_NOTHING_FOUND = 0,
  AUTOCONNECT_FOUND = 1,  // a modem answered (identified or unsupported)
  AUTOCONNECT_ABORTED = 2,
};

class AutoConnectSearch {
 public:
  // `quickPass`: first try every baud rate with the From values of the other
  // three (the search started at once with "userAutoConnect" 0).
  AutoConnectSearch(CAdapter& a, const AutoConnectRanges& ranges, bool quickPass);

  // Runs the search on the adapter's port (PortNumber) and returns how it
  // ended. Each combination is one OpenAndIdentify with identification.
  int Run();

  // The Cancel button. Before a search it only reports that the dialog may
  // close (true). During one it shows "Aborting, please wait." and stops the
  // running transaction; the attempt under way finishes its remaining steps,
  // then the search ends with AUTOCONNECT_ABORTED.
  bool Cancel();

  bool Running() const { return running_; }
  // The progress range's upper end: every combination of the four ranges.
  int ProgressMaximum() const;
  // Combinations handed to OpenAndIdentify so far.
  int Attempts() const { return attempts_; }

  // "Searching : " with the baud rate in six characters, then parity, data
  // bits and stop bits; `parityWidth` 4 pads the parity as the full pass does.
  static std::string StatusText(const std::string& baud, const std::string& parity,
                                const std::string& data, const std::string& stop,
                                int parityWidth);

 private:
  bool Attempt(const std::string& status);
  void SetTexts(int baud, int parity, int data, int stop);

  CAdapter& a_;
  AutoConnectRanges ranges_;
  bool quickPass_;
  bool running_ = false;
  bool abort_ = false;
  int attempts_ = 0;
};

// What the Autoconnect command needs from the page around it.
struct AutoConnectHooks {
  // Gives the adapter the port object for PortNumber (may be empty).
  std::function<void()> choosePort;
  // Shows the search dialog and returns how it ended.
  std::function<int()> runDialog;
  // Reads every section (the AutoLoad read).
  std::function<void()> readConfiguration;
};

// Why the search cannot run on a port, or "" when it can: the line settings
// of a tcp:// port are fixed by its device server, so trying them would
// change nothing. `thenConnect` says how the user connects at the server's
// settings instead ("press Connect" in the window).
std::string AutoConnectRefusal(const std::string& portName, std::string_view thenConnect = "press Connect");

// The Connection page's Autoconnect command for the port the page selected.
void AutoConnectCommand(CAdapter& a, const std::string& portNumber, const AutoConnectHooks& hooks);

}  // namespace kelvane
