#pragma once
// CAdapter: the one shared object. It holds the link to the modem (port,
// link state, transaction state, model type), the configuration block, the
// diagnostic values, the tool options and the per-page flags. Everything in
// the program reaches the modem and the configuration through it.
// Its bodies, beside this header: adapter.cpp (the records and page flags),
// link.cpp (port access and line events), transact.cpp (AT transactions and
// the probe), identify.cpp (the model table and identification).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "config/config_block.h"
#include "serial/serial_port.h"
#include "serial/user_interface.h"

namespace kelvane {

class TrafficFileLog;

// Link state bits.
enum LinkStateBits : int {
  LS_REMOTE = 0x0001,
  LS_OPEN_FAILED = 0x0100,
  LS_IDLE = 0x0200,
  LS_PORT_OPEN = 0x0800,
  LS_IDENTIFIED = 0x1000,
  LS_FILE = 0x2000,
};

enum MatchMode : int { MatchInOrder = 0, MatchExact = 1 };

// What a transaction leaves in place of the answer when the port went away.
inline constexpr std::string_view DisconnectedText = "Modem disconnected during process!";

// Identification texts and line diagnostics: outside the block, never saved.
struct DiagnosticInfo {
  std::string OsText;
  std::string AdapterVersion;
  std::string SoftwareVersion;
  std::string InfoText;
  int32_t DipSwitches[4] = {0, 0, 0, 0};
  std::string NormText;
  int32_t Snr = 0;
  int32_t RxLevel = 0;
  int32_t EchoLevel = 0;
  int32_t NearEchoLevel = 0;
  int32_t FarEchoLevel = 0;
  float RxSpeed = 0;  // hundreds of bit/s
  float TxSpeed = 0;
};

// The tool options, in their stored order. All but HexInput are persisted.
struct ToolOptions {
  int32_t Tooltip = 1;
  int32_t Debug = 0;
  int32_t HexInput = 0;
  int32_t Terminal = 1;
  int32_t AutoDisconnect = 0;
  int32_t SearchPorts = 1;
  int32_t NumberOfPorts = 15;
  int32_t userAutoConnect = 0;
  int32_t DTREnable = 1;
  int32_t RTSEnable = 1;
  int32_t FlowControl = 0;
  int32_t AutoLoad = 1;
  int32_t DelayBeforeAT = 0;
  int32_t ResponseTimeout = 1;
};

struct PageState {
  uint8_t present = 0;
  uint8_t refreshing = 0;
  uint8_t reloadPending = 0;
  uint8_t changed = 0;
  uint8_t spare = 0;
  uint8_t valid = 0;
};

// Index of each page's flag group, in the stored order.
enum PageIndex : int {
  PG_DIAL = 0,
  PG_BASIC = 1,
  PG_CALLBACK = 2,
  PG_CALLERID = 3,
  PG_REMOTE = 4,
  PG_DIAGNOSTIC = 5,
  PG_IO = 6,
  PG_SERIAL = 7,
  PG_COUNT = 8,
};

// The page whose flags belong to a section bit, or -1.
int PageOfSection(int sectionBit);

// The model types (ModelType; none while no modem is identified).
enum ModelTypes : int { MT_NONE = 0, MT_RMX21 = 1, MT_RM40 = 2, MT_RM40_485 = 3, MT_RP40 = 4 };

struct ModelRow {
  int type;
  const char* command;
  const char* article;
  const char* name;
};
// The supported models, in lookup order; a row of type 0 ends the table.
extern const ModelRow ModelTable[12];
// The name of a model type ("" for none).
std::string_view ModelName(int modelType);
// The row of the model that answered `command` with `answer`: the first row
// of that command whose article number occurs in the answer, or null. The
// article numbers differ and none holds another, so only an answer naming
// two of them has a choice; local and remote identification decide it alike.
const ModelRow* MatchModel(std::string_view command, std::string_view answer);

class CAdapter {
 public:
  CAdapter();
  CAdapter(const CAdapter&) = delete;
  CAdapter& operator=(const CAdapter&) = delete;

  // The serial line and the user interface. Both must outlive their use.
  void SetPort(SerialPort* port) { port_ = port; }
  SerialPort* Port() const { return port_; }
  void SetUi(UserInterface* ui) { ui_ = ui; }
  UserInterface& Ui();

  // --- configuration -----------------------------------------------------
  void ResetConfiguration();
  PageState& Page(int index) { return pages[static_cast<size_t>(index)]; }

  // --- time ----------------------------------------------------------------
  // Timer 1: runs TickCount 1, 2, ... 1001, 1, 2, ... and watches the status
  // lines of the open port.
  void OnTimerTick();

  // --- link (serial port access) -------------------------------------------
  bool PortIsOpen() const;
  // First half of OpenAndIdentify: reset the record, open the port (or keep
  // it open), apply the settings and set the indicators.
  bool OpenPort();
  void CloseLink();
  bool SendText(std::string_view text);
  int SendBytes(const uint8_t* bytes, int count);
  std::string ReadText(bool showInTerminal);
  int ReadBytes(uint8_t* buffer, int size, bool log);
  std::string SettingsText() const;
  bool ApplyPortSettings();
  // DTR, RTS and handshaking from the options.
  void ApplyLineOptions();
  // Line events of the port, as the main window's handler treats them.
  void HandleCommEvent(int event);
  // Called when the port's descriptor is readable: outside a transaction
  // (receive events on) the input is taken as a receive event; a port that went
  // away is closed.
  void ServiceLineEvents();
  // Called on every tick: status-line changes become CTS, DSR and CD events.
  void CheckLineSignals();
  // Closes the link when the device went away under an open port; true then.
  bool CloseIfPortLost();
  void RefreshIndicators();
  void DarkenIndicators();
  void ClearTrafficLog();

  // --- transactions --------------------------------------------------------
  void SetTimeoutUnit(int baudRate);
  int Transact(std::string& command, int factor);
  int Transact(std::string& command, int factor, std::string_view expected1);
  int Transact(std::string& command, int factor, std::string_view expected1, int matchMode);
  int Transact(std::string& command, int factor, std::string_view expected1,
               std::string_view expected2);
  int Transact(std::string& command, int factor, std::string_view expected1,
               std::string_view expected2, int matchMode);
  int ProbeModem();
  // The probe of a connect or of one search attempt: with one fifth of the
  // unit (ProbeMode) when the previous such probe found nothing, so that a
  // search over settings where nothing answers is quick. ProbeMode holds only
  // during the probe; the normal unit is back in force afterwards.
  int ProbeForIdentification();
  // Switches a modem that an operation set to verbose result codes back to
  // numeric ones ("AT", then "ATV0"; the answers are not checked).
  void RestoreNumericResults();
  // The expected texts for an information command, chosen by the probe.
  std::pair<std::string_view, std::string_view> InfoExpectations() const;
  // The wait phase of a transaction on its own: no input-mode switching, no
  // retry, no debug display (the firmware download sends its records so).
  int WaitPhase(std::string& command, int factor, std::string_view expected1,
                std::string_view expected2, int matchMode);

  // --- identification ------------------------------------------------------
  bool OpenAndIdentify(bool identify);
  // The identification loop over the model table: 1 identified (link state
  // 0x1800, ModelType set), 0 no article number known, -1 no answer. The
  // answer to the identification command goes to `answer` when given.
  int IdentifyModem(std::string* answer);
  // PortOpen = false, indicators dark, LinkState = LS_IDLE.
  void ClosePortQuietly();
  void ResetPageFlags();
  // The change markers of the status panel, rebuilt from the page flags.
  std::string ChangeMarkerText() const;
  void UpdateChangeMarkers();

  // ===== state (public, as the rest of the program reads and sets it) =====
  DiagnosticInfo Diagnostic;
  bool AbortRequested = false;
  bool ShuttingDown = false;
  ConfigBlock Config;

  int TickCount = 0;
  int TimeoutTicks = 20;
  std::string HexLog;
  std::string CharLog;
  int LogCount = 0;
  int ModelType = 0;
  int LinkState = LS_IDLE;
  // The profile file last opened or saved, while the records are its;
  // empty when none is.
  std::string ProfilePath;
  std::string PortNumber = "-";
  std::string BaudRate = "-";
  std::string Parity = "-";
  std::string DataBits = "-";
  std::string StopBits = "-";
  bool Busy = false;
  // Counts the times an exchange found the modem gone or the link was closed
  // under a lost port; a window operation that sees it change tells the user.
  int PortLosses = 0;

  ToolOptions Options;

  bool VerboseResults = false;
  bool EchoOn = false;
  bool QuietWasOn = false;
  bool Identified = false;
  bool ProbeMode = false;
  std::array<PageState, PG_COUNT> pages{};

  // Serial control properties that belong to the program's use of the port.
  int InputMode = 0;   // 0 text, 1 bytes
  int RThreshold = 1;  // 1: receive events on; 0 while a transaction polls
  // Why the last open failed (operating-system reason and remedy).
  std::string LastOpenError;
  // The answer to the last identification command.
  std::string IdentificationAnswer;
  // The traffic log file of the run, when there is one (not owned). Every
  // byte reaches it through the port; a send that carries a password is
  // marked with its MaskNextSend() first.
  TrafficFileLog* TrafficFile = nullptr;

 private:
  void LogBytes(std::string_view bytes, bool trim);

  SerialPort* port_ = nullptr;
  UserInterface* ui_ = nullptr;
  std::unique_ptr<UserInterface> fallbackUi_;
  bool lastCts_ = false, lastDsr_ = false, lastCd_ = false;
  // What the CTS indicator shows (AutoDisconnect leaves it as it was).
  bool shownCts_ = false;
  bool lastProbeFoundNothing_ = false;
};

// The one adapter of the process. The first call creates it.
CAdapter& GetAdapter();


}  // namespace kelvane
