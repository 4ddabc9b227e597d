#pragma once
// A simulated Dalmarin modem: the AT command interpreter of the four model
// types as a pure state machine. Bytes go in with the line settings the
// sender uses, the modem's answer comes out; nothing here does I/O. Time is
// whatever the owner says it is (Advance): the in-process port feeds it a
// clock, the pseudo-terminal server the real one.
//
// Answers follow ITU-T V.250 framing: with echo on every received character
// is sent back; verbose information text is "\r\n<text>\r\n" and results
// "\r\nOK\r\n"; numeric information text is "<text>\r\n" and results "0\r".

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_port.h"

namespace kelvane {

class TelephoneNetwork;

namespace simtext {
struct CommandLine;
}

// One entry of the I/O list (numbers 1 to 10).
struct SimIoEntry {
  int service = 0;   // 0..7
  int retry = 0;     // the "_Flag" value, 0..5
  int timeout = 0;   // 0..255, units of 10 s
  int priority = 0;  // 0..1
  std::string data1;  // up to 20 characters
  std::string data2;  // up to 160
  std::string data3;  // up to 20
  int data4 = 0;
  std::string data5;  // up to 8
  std::string data6;  // up to 15

  bool operator==(const SimIoEntry&) const = default;
};

// S-register values of the standard profile.
std::array<int, 256> DefaultRegisters();

// Every setting the modem keeps in a profile. "AT&W" copies the active set
// into the stored one, "ATZ" copies it back.
struct ModemSettings {
  // Hayes basics.
  int echo = 1;          // E
  int verbose = 1;       // V
  int quiet = 0;         // Q
  int enhanced = 0;      // W 0..2
  int reduced = 4;       // X 0..4
  int bell = 0;          // B 0..1
  int speakerVolume = 1; // L 0..3
  int speaker = 1;       // M 0..3
  int autoMode = 1;      // N 0..1
  bool pulseDial = false;  // P / T
  int dialAbort = 0;     // &A 0..1
  int hotCall = 0;       // &B 0..2
  int dcdControl = 1;    // &C 0..1
  int dtrControl = 2;    // &D 0..3
  int flowControl = 3;   // &K 0, 3, 4, 5
  int dsrControl = 0;    // &S 0..1
  int errorCorrection = 3;  // \N 0..5
  // S-registers. \K lives in bits 3-5 of S40; %C in bits 0-1 of S41, %E in
  // bits 2 and 6 of S41 (see LineQuality).
  std::array<int, 256> s = DefaultRegisters();

  std::string modulation = "V34,1,300,33600,300,33600";  // +MS, as written
  int countryCode = 0xC7;  // +GCI
  int dteRate = 0;         // +IPR, 0 = automatic
  int icfFormat = 3;       // +ICF first value, 0 = automatic
  int icfParity = 4;       // +ICF second value

  int fastDisconnect = 0;  // *WFD
  int ignoreErrors = 0;    // *WIE
  std::array<std::string, 4> storedNumbers;  // &Z0..&Z3
  std::string backupNumber;  // *WDB (type 3)
  int backupRetries = 0;
  int backupTime = 0;
  int cidFormat = 0;  // *WCID
  int cidMode = 0;
  std::array<std::string, 10> acceptedNumbers;  // *WACCTAB 1..10
  int remoteEnable = 0;        // *WRCA
  std::string remotePassword;  // *WRCP
  int callbackMode = 0;        // *WCB
  int callbackTime = 0;        // *WCBTIME
  std::array<std::string, 10> callbackNumbers;    // *WCBTAB 1..10
  std::array<std::string, 10> callbackPasswords;
  int pulseTa = 100;  // *WIOP (type 3)
  int pulseTp = 50;
  int trigType = 0;
  int trigLevel = 0;
  int outputCtrl = 0;
  std::array<SimIoEntry, 10> io;  // *WIOL 1..10 (type 3)

  int BreakControl() const { return (s[40] >> 3) & 7; }
  int CompressionC() const { return s[41] & 3; }
  // %E: bit 2 alone is 1 (retrain), bit 6 is 2 (retrain and fall back).
  int LineQuality() const { return (s[41] & 0x40) ? 2 : (s[41] & 0x04) ? 1 : 0; }
  void SetBreakControl(int k) { s[40] = (s[40] & ~0x38) | ((k & 7) << 3); }
  void SetCompressionC(int c) { s[41] = (s[41] & ~0x03) | (c & 3); }
  void SetLineQuality(int e) {
    s[41] = (s[41] & ~0x44) | (e == 1 ? 0x04 : e == 2 ? 0x44 : 0);
  }

  // The line the DTE side listens on: every rate when +IPR is 0, every
  // format when the rate or +ICF is automatic.
  bool AcceptsLine(const LineSettings& line) const;

  bool operator==(const ModemSettings&) const = default;
};

// The factory sets: 0 the standard modem parameters ("AT&F"; also what a
// default-constructed ModemSettings holds), 2 the Dalmarin specific ones
// ("AT&F2", and what a new modem starts with).
ModemSettings FactorySettings(int profile);

// The figures of the last line connection ("AT&V1").
struct LastConnection {
  std::string norm = "V34";
  int rxSpeed = 33600;  // bit/s
  int txSpeed = 31200;
  int snr = 37;          // dB
  int rxLevel = -21;     // dBm
  int echoLevel = -45;   // dB
  int nearEchoLevel = -30;
  int farEchoLevel = -52;
  std::string termination = "LOCAL REQUEST";

  bool operator==(const LastConnection&) const = default;
};

// The line states the simulator can be started in: "idle" (no connection
// since power-up), "v34" (33600/31200, the default), "v90" (a V.90 line) and
// "v32b" (a V.32bis line whose speeds and levels lie at and beyond the limits
// a level display can show). False for any other name.
bool LastConnectionPreset(std::string_view name, LastConnection& out);

// Behaviour for tests: faults, timings, canned answers.
struct SimulationOptions {
  // The next N command lines get no answer after their echo.
  int dropAnswers = 0;
  // Completely mute: no echo, no answer (a dead or absent modem).
  bool silent = false;
  // A command line whose text after "AT" (upper case) begins with one of these
  // is answered ERROR without being executed ("+MS?", "&V1", "*WIOL=3").
  std::vector<std::string> errorFor;
  // A command line whose text after "AT" (upper case) equals a key gets the
  // value as its whole answer (after the echo) instead of being executed.
  std::map<std::string, std::string> rawAnswers;
  // Every answer (not the echo) is held back this long.
  int answerDelayMs = 0;

  // Dialling: the time until the result, and the result itself ("" connects;
  // otherwise a result word such as "BUSY", "NO CARRIER", "NO ANSWER").
  int dialDelayMs = 1500;
  std::string dialResult;
  // The DTE rate reported in "CONNECT" (and used nowhere else).
  int connectRate = 9600;

  // Firmware loader: 1 answers "Download initiated...", 2 "Downloading
  // Record Data..."; whether the flash succeeds; silence that ends the
  // record download.
  int downloadMode = 1;
  bool flashSucceeds = true;
  int downloadIdleMs = 1500;

  // Far modems by number, shared with the other local modems of the process
  // (null: this modem's own far modem, reached as remoteNumber says).
  TelephoneNetwork* network = nullptr;
  // The one number that reaches the far modem ("" any number does); another
  // rings unanswered ("NO ANSWER").
  std::string remoteNumber;
  // The far modem asks for the password this long after "++++" (a slow far
  // end); a password typed before it asks is lost.
  int promptDelayMs = 0;
  // The far modem's article ("" the same as this modem's).
  std::string farArticle;
  // The far modem drops the line when this many command lines of a remote
  // session have reached it (0 never): the line it would answer gets
  // "NO CARRIER" from the local modem instead.
  int dropLineAfter = 0;
  // The line is cut when a command line that begins with this text (case
  // aside, e.g. "AT&F" or "AT*WIOD") arrives: the modem answers nothing and
  // its host closes the line, as a pulled cable does. Once only.
  std::string cutLineOn;
  // The same for a command line that reaches the far modem in a remote
  // session: the line is cut as the far modem takes it, so the local program
  // loses its port in the middle of the session, whose commands otherwise
  // follow each other too closely to be interrupted from outside. Once only.
  std::string cutFarLineOn;
  // The line stalls this long when the first escape sequence after a remote
  // session begins (the logout's "+++"): its bytes and everything sent after
  // them arrive together once the stall is over, as a line that holds bytes
  // back delivers them. Once only (0 never).
  int stallEscapeMs = 0;
};

class SimulatedModem {
 public:
  // Model type 1..4: the first article of that type.
  explicit SimulatedModem(int modelType = 2);
  // Any article of the model table, or another one ("7730-05"), which gives
  // a modem of no supported type (type 0) that otherwise behaves like type 2.
  explicit SimulatedModem(std::string_view article);
  ~SimulatedModem();
  SimulatedModem(SimulatedModem&&) noexcept;
  SimulatedModem& operator=(SimulatedModem&&) noexcept;

  int ModelType() const { return modelType_; }
  const std::string& Article() const { return article_; }
  const std::string& ModelName() const { return name_; }
  // The "ATI9" text, e.g. "Dalmarin RM-40 485 7730-08 SW 3.14".
  std::string IdentificationText() const;
  std::string AdapterVersionText() const { return adapterVersion_; }
  std::array<int, 4>& DipSwitches() { return dip_; }

  // --- time and traffic ---------------------------------------------------
  // Moves the clock forward (never back) and runs whatever fell due.
  void Advance(long long nowMs);
  long long Now() const { return now_; }
  // When the next timed event falls due (output held back, a dial result, an
  // escape guard time, the end of a download), or -1 when none is waiting.
  long long NextEventMs() const;
  // Bytes from the DTE, sent with `line`. A line the modem is not set to
  // receives garbage: no command is recognised, and the echo (if any) is
  // noise.
  void Feed(std::string_view bytes, const LineSettings& line);
  // Everything due to be sent to the DTE now.
  std::string TakeOutput();
  bool OutputPending() const;
  // Feed then TakeOutput.
  std::string Receive(std::string_view bytes, const LineSettings& line);
  // Puts bytes straight into the output (as if the modem had sent them).
  void InjectOutput(std::string_view raw);

  // --- state --------------------------------------------------------------
  ModemSettings& State() { return active_; }
  const ModemSettings& State() const { return active_; }
  ModemSettings& Stored() { return stored_; }
  LastConnection& Diagnostics() { return diag_; }
  SimulationOptions& Options() { return options_; }
  // Every command line received in command state, as received (without CR).
  const std::vector<std::string>& ReceivedLines() const { return lines_; }
  // The entries started by "AT*WIOT=n", in order.
  const std::vector<int>& TestedIoEntries() const { return testedIo_; }
  // The number of the last "ATD" (stored numbers resolved, blanks removed).
  const std::string& DialledNumber() const { return dialled_; }
  // Records received by the firmware loader.
  const std::vector<std::string>& FirmwareRecords() const { return records_; }
  // The modem at the other end of a dialled line (created on first use, of
  // the same article, remote configuration enabled with an empty password).
  SimulatedModem& FarModem();

  // --- lines --------------------------------------------------------------
  bool Connected() const;
  bool InRemoteSession() const;  // the far modem accepted the password
  // Where the call stands, as one word: "command", "dialling", "online",
  // "password" (the far modem asks for it), "session" (logged in),
  // "escape" (the escape's guard time is running), "online-command",
  // "download".
  std::string CallStateName() const;
  bool Downloading() const;
  // True once after the line was cut (SimulationOptions::cutLineOn): the
  // host closes the line.
  bool TakeLineCut();
  bool CdOn() const;
  bool DsrOn() const;
  bool CtsOn() const { return true; }
  // DTR from the DTE; with &D2 (or &D3) dropping it ends a call.
  void SetDtr(bool on);

 private:
  enum class Mode { Command, Dialling, Online, OnlineCommand, Download, Flashing };
  enum class LineSession { Data, Password, Remote };

  // The command families live in a file each: sim_identification.cpp,
  // sim_configuration.cpp, sim_io.cpp, sim_remote.cpp and sim_dialling.cpp;
  // this file's ExecuteLine hands every command on a line to its family.
  enum class Handled { No, Done, Refused };  // an extended command, by family

  void Init(std::string_view article);
  void Emit(std::string bytes, int delayMs = 0);
  // The received bytes, character by character, in the state they find.
  void FeedNow(std::string_view bytes, const LineSettings& line);
  // Runs the timed events due up to `until`, each at its own time.
  void RunDueEvents(long long until);
  // One character in command state. `sink` null: the local DTE (answers may
  // be held back); otherwise the far modem's line output.
  void CommandChar(char c, std::string* sink);
  std::string ExecuteLine(const std::string& line, bool remote);
  void ExtendedCommand(simtext::CommandLine& cl);
  std::string Info(std::string_view text) const;
  std::string Result(int code) const;
  std::string Noise(size_t n);
  // Bytes that arrived at the wrong speed or format.
  void Garbage(size_t n);

  // Identification and listings.
  bool InformationCommand(char letter, int v, simtext::CommandLine& cl);
  Handled IdentificationCommand(const std::string& name, int kind, std::string& out);
  bool Information(int number, std::string& out) const;
  // "AT&V": the active and stored profiles and the stored numbers.
  std::string ProfileReport() const;
  // "AT&V1": the figures of the last connection.
  std::string ConnectionReport() const;

  // Configuration commands.
  bool SettingCommand(char letter, int v, bool has, simtext::CommandLine& cl);
  void AmpersandCommand(simtext::CommandLine& cl);
  void PercentCommand(simtext::CommandLine& cl);
  void RegisterCommand(simtext::CommandLine& cl);
  // "+MS=" at the start of `text`: how much of it the setting took, or npos.
  size_t SetModulation(std::string_view text);
  Handled ConfigurationCommand(const std::string& name, int kind, std::string_view args,
                               std::string& out);
  bool LoadFactory(int profile);

  // I/O list and pulse settings (type 3).
  Handled IoCommand(const std::string& name, int kind, std::string_view args, std::string& out);

  // Remote configuration.
  Handled RemoteCommand(const std::string& name, int kind, std::string_view args,
                        std::string& out);
  // Line side of the far modem: what it sends back over the line, and after
  // how long (`delayMs`: its password prompt may come late).
  std::string LineInput(std::string_view bytes, int promptDelayMs, int& delayMs);
  void LineDropped();

  // Dialling, online data, escape, firmware download and flashing.
  void DialCommand(simtext::CommandLine& cl);
  bool CallCommand(char letter, int v, simtext::CommandLine& cl);
  void StartDownload(simtext::CommandLine& cl);
  void StartDial(std::string number);
  void FinishDial();
  void HangUp();
  // The modem at the other end of the line: the network's in a call, else
  // this modem's own far modem.
  SimulatedModem& Far();
  // The line is gone: the far modem hears it, and the network's is free.
  void EndCall();
  // The escape guard time after "+++" has passed quietly.
  void EscapeConfirmed();
  void OnlineData(std::string_view bytes);
  void DownloadData(std::string_view bytes);
  void StartFlashing();

  int modelType_ = 0;
  int features_ = 2;  // the type whose commands apply (2 for unknown articles)
  std::string article_;
  std::string name_;
  std::string software_ = "SW 3.14";
  std::string adapterVersion_;
  std::array<int, 4> dip_{};

  ModemSettings active_;
  ModemSettings stored_;
  LastConnection diag_;
  std::vector<int> testedIo_;
  SimulationOptions options_;

  long long now_ = 0;
  std::deque<std::pair<long long, std::string>> out_;
  uint32_t noiseState_ = 0x2545F491u;

  Mode mode_ = Mode::Command;
  std::string lineBuf_;
  bool lineOverflow_ = false;
  bool lineCut_ = false;
  std::vector<std::string> lines_;

  long long dialDue_ = -1;
  std::string dialled_;
  long long lastDataMs_ = 0;
  long long lastPlusMs_ = 0;
  int plusCount_ = 0;
  long long escapeDue_ = -1;
  long long stallDue_ = -1;  // the stalled line delivers what it held
  std::string held_;
  LineSettings heldLine_;
  bool sessionSeen_ = false;  // this call has had a remote session

  std::string recordBuf_;
  std::vector<std::string> records_;
  bool firmwareValid_ = true;  // every record so far was well formed
  bool endRecordSeen_ = false;
  std::string flashedVersion_;  // the header record's text in this download
  int remoteLines_ = 0;        // command lines sent over the line in a session
  long long downloadIdleDue_ = -1;
  long long flashEndDue_ = -1;

  std::unique_ptr<SimulatedModem> far_;
  SimulatedModem* called_ = nullptr;  // the far modem of the network in a call with this one
  LineSession session_ = LineSession::Data;
  int linePlus_ = 0;
  std::string passwordBuf_;
  // Before this time the far modem has not asked for the password yet: what
  // arrives is lost.
  long long promptAt_ = 0;
};

}  // namespace kelvane
