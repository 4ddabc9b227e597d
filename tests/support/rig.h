#pragma once
// An adapter wired to a scripted port and a virtual-time user interface, with
// the port texts of a 9600,N,8,1 line.

#include "config/adapter.h"
#include "support/scripted_port.h"
#include "support/virtual_ui.h"

namespace kelvane::testing {

struct Rig {
  CAdapter a;
  ScriptedPort port;
  VirtualUi ui{a};

  Rig() {
    a.SetPort(&port);
    a.PortNumber = "/dev/ttyFAKE0";
    a.BaudRate = "9600";
    a.Parity = "None";
    a.DataBits = "8";
    a.StopBits = "1";
  }
  // Opens the port without talking to the modem.
  bool Open() { return a.OpenAndIdentify(false); }
};

// A minimal far end that answers like a modem in the given modes: every line
// beginning with AT is echoed (echo on) and answered with "OK" (or the numeric
// "0"), ATQ0/ATQ1 switch result codes, ATI9 adds the identification text.
struct TinyModem {
  bool echo = true;
  bool verbose = true;
  bool quiet = false;
  std::string identification = "Dalmarin RM-40 485 7730-08";
  bool silent = false;

  std::string operator()(const std::string& line);
};

}  // namespace kelvane::testing
