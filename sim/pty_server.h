#pragma once
// Serves a simulated modem on a pseudo-terminal: the program under test opens
// the slave side like a serial port, the server holds the master. The modem
// hears the speed and the stop bits the slave side is set to; a
// pseudo-terminal always carries 8 data bits without parity, so data bits and
// parity are taken as whatever the modem listens for (only a wrong speed or
// wrong stop bits can be simulated this way).

#include <cstdio>
#include <mutex>
#include <string>

#include "serial/serial_port.h"
#include "sim/simulated_modem.h"

namespace kelvane {

class PtyServer {
 public:
  explicit PtyServer(SimulatedModem modem);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens the master and makes the slave available. False with a reason.
  bool Open(std::string& error);
  const std::string& SlavePath() const { return slavePath_; }
  // A symbolic link to the slave, removed again when the server ends.
  bool CreateLink(const std::string& path, std::string& error);

  // Sends output no faster than the line speed allows (10 bits a character).
  void SetPacing(bool on) { pace_ = on; }
  // Takes input no faster than the line speed either: each character reaches
  // the modem when its last bit would have arrived.
  void SetInputPacing(bool on) { paceInput_ = on; }
  // Tells `out` what happens, a line each: "line TEXT" for every command
  // line the modem received, "far-line TEXT" for those of the far modem,
  // "state WORD" when the call changes state (SimulatedModem::CallStateName).
  // A test waits on these instead of guessing how long a step takes.
  void SetEventOutput(FILE* out) { events_ = out; }

  // Serves until `stopFd` polls readable, or until the modem cuts the line
  // (SimulationOptions::cutLineOn): then the master is closed, so the program
  // on the slave side sees the line go away. Blocks in poll(2) between
  // events. Returns 0, or 1 when the master failed.
  int Run(int stopFd);

  // Several servers of one process whose modems share far modems hold
  // `lock` while their modem works (TelephoneNetwork::Lock).
  void ShareLock(std::mutex* lock) { shared_ = lock; }

  SimulatedModem& Modem() { return modem_; }
  // The line settings last read from the pseudo-terminal.
  const LineSettings& Line() const { return line_; }

 private:
  void ReadLine();
  // The line as the modem is to hear it (see the note at the top).
  LineSettings LineForModem() const;
  void ReadMaster();
  void WriteMaster(long long nowUs);
  void FeedArrivedInput(long long nowUs);
  // Closes the master when the modem has cut the line; true then.
  bool LineCut();
  void ReportEvents();

  SimulatedModem modem_;
  int master_ = -1;
  std::string slavePath_;
  std::string link_;
  bool pace_ = false;
  LineSettings line_;
  std::string out_;
  long long nextCharUs_ = 0;
  bool lineIdle_ = true;
  bool paceInput_ = false;
  std::string in_;          // received, still on its way at line speed
  long long nextInUs_ = 0;  // when the first character of in_ has arrived
  bool hangup_ = true;
  FILE* events_ = nullptr;
  size_t linesReported_ = 0;
  size_t farLinesReported_ = 0;
  std::string stateReported_;
  bool hangupReported_ = true;  // none before a program first opens the port
  std::mutex* shared_ = nullptr;
};

// Reads a --format text such as "8N1" or "7E2" into +ICF values. False when
// the modem knows no such format.
bool ParseFormatText(std::string_view text, int& format, int& parity);

}  // namespace kelvane
