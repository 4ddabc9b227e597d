#include "connection/ui/tab_connection.h"

#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QVBoxLayout>

#include <memory>

#include "ui/tool_settings.h"
#include "ui/transfer_dlg.h"
#include "config/operation_hold.h"
#include "connection/autoconnect.h"
#include "connection/connect.h"
#include "connection/ui/autoconnect_dlg.h"
#include "connection/ui/port_combo.h"
#include "ui/wait_dlg.h"
#include "controls/bitmaps.h"
#include "controls/tip_text.h"
#include "serial/port_enumeration.h"

namespace kelvane {

namespace {

std::string TrimmedComboText(const QComboBox* combo) {
  const QByteArray text = QFile::encodeName(combo->currentText().trimmed());
  return std::string(text.constData(), static_cast<size_t>(text.size()));
}

void SelectText(QComboBox* combo, const std::string& text) {
  const int index = combo->findText(QString::fromLatin1(text.c_str()), Qt::MatchFixedString);
  if (index >= 0) combo->setCurrentIndex(index);
}

bool IsRemote(int linkState) {
  return (linkState & (LS_IDENTIFIED | LS_REMOTE)) == (LS_IDENTIFIED | LS_REMOTE);
}

}  // namespace

ConnectionEnabling EnablingFor(int linkState) {
  ConnectionEnabling e;
  auto& m = e.menu;
  if (linkState <= 0) {
    // No port found: nothing to connect to until a port name is typed.
    e.portCombo = true;
    for (int id : {ID_AUTOCONNECT, ID_CONNECT, ID_DISCONNECT, ID_OPEN_PORT, ID_WRITE_PROFILE, ID_SEND_ESC,
                   ID_SEND_FILE, ID_SEND_BREAK, ID_SAVE_PROFILE, ID_CLOSE_PROFILE, ID_REMOTE,
                   ID_FLASH_UPDATE}) {
      m[id] = false;
    }
    return e;
  }
  const bool open = linkState & LS_PORT_OPEN;
  const bool identified = open && (linkState & LS_IDENTIFIED);
  const bool file = linkState & LS_FILE;

  e.portCombo = !open;
  e.open = !open;
  e.disconnect = open;
  m[ID_OPEN_PORT] = !open;
  m[ID_DISCONNECT] = open;
  m[ID_SEND_ESC] = open;
  m[ID_SEND_FILE] = open;
  m[ID_SEND_BREAK] = open;
  m[ID_WRITE_PROFILE] = identified;
  m[ID_SAVE_PROFILE] = identified || file;
  m[ID_CLOSE_PROFILE] = file;
  m[ID_FLASH_UPDATE] = identified;
  e.remote = !identified;
  m[ID_REMOTE] = !identified;
  if (identified) {
    e.connect = !IsRemote(linkState);
    e.reconnectText = !IsRemote(linkState);
    m[ID_CONNECT] = false;
    m[ID_AUTOCONNECT] = false;
  } else {
    e.connect = true;
    e.autoconnect = true;
    m[ID_CONNECT] = true;
    m[ID_AUTOCONNECT] = true;
  }
  return e;
}

CTabConnection::CTabConnection(QtUserInterface& ui, PortProvider& ports, const QStringList& extraPorts,
                               QWidget* parent)
    : QWidget(parent), ui_(ui), a_(ui.Adapter()), ports_(ports) {
  auto* settings = new QGroupBox(QStringLiteral("Port settings"), this);
  port_ = new CPortCombo([this] { return EnumeratePorts(a_.Options.SearchPorts, a_.Options.NumberOfPorts); },
                         extraPorts, settings);
  port_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  port_->setMinimumContentsLength(16);
  baud_ = new QComboBox(settings);
  baud_->addItems({"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"});
  baud_->setCurrentText(QStringLiteral("115200"));
  parity_ = new QComboBox(settings);
  parity_->addItems({"None", "Odd", "Even"});
  dataBits_ = new QComboBox(settings);
  dataBits_->addItems({"7", "8"});
  dataBits_->setCurrentText(QStringLiteral("8"));
  stopBits_ = new QComboBox(settings);
  stopBits_->addItems({"1", "2"});

  auto* grid = new QGridLayout(settings);
  grid->setColumnStretch(1, 1);
  // Each label's mnemonic (Alt and the underlined letter) reaches its box.
  const std::pair<const char*, QComboBox*> rows[] = {{"&Port:", port_},
                                                     {"&Baud rate:", baud_},
                                                     {"Pa&rity:", parity_},
                                                     {"&Data bits:", dataBits_},
                                                     {"&Stop bits:", stopBits_}};
  int row = 0;
  for (const auto& [label, combo] : rows) {
    auto* caption = new QLabel(QString::fromLatin1(label), settings);
    caption->setBuddy(combo);
    // The port box's line edit takes the keyboard: it reads as the caption.
    if (combo->lineEdit()) combo->lineEdit()->setAccessibleName(QString(caption->text()).remove(QLatin1Char('&')));
    grid->addWidget(caption, row, 0);
    grid->addWidget(combo, row, 1);
    ++row;
  }

  auto* commands = new QGroupBox(QStringLiteral("Connection"), this);
  auto makeButton = [commands](const QString& text, int bitmap) {
    auto* b = new CImageButton(text, commands);
    b->SetLayout(kImageButtonDefaultLayout);
    b->SetBitmap(bitmap);
    b->setMinimumSize(124, 34);
    return b;
  };
  autoconnect_ = makeButton(QStringLiteral("Autoconnect"), IDB_AUTOCONNECT);
  connect_ = makeButton(QStringLiteral("Connect"), IDB_CONNECT);
  disconnect_ = makeButton(QStringLiteral("Disconnect"), IDB_DISCONNECT);
  open_ = makeButton(QStringLiteral("Open"), IDB_OPEN);
  remote_ = makeButton(QStringLiteral("Remote"), IDB_REMOTE);
  auto* buttons = new QVBoxLayout(commands);
  buttons->setSpacing(8);
  buttons->addWidget(autoconnect_);
  buttons->addWidget(connect_);
  buttons->addWidget(disconnect_);
  buttons->addWidget(remote_);
  buttons->addWidget(open_);
  buttons->addStretch(1);

  auto* note = new QLabel(
      QStringLiteral("Choose the port the modem is attached to and its line settings, then press "
                     "Connect. Open only opens the port, for the terminal on the right."),
      this);
  note->setWordWrap(true);
  note->setForegroundRole(QPalette::PlaceholderText);

  auto* top = new QHBoxLayout;
  top->addWidget(settings, 3);
  top->addWidget(commands, 2);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(12, 12, 12, 12);
  column->addLayout(top);
  column->addWidget(note);
  column->addStretch(1);

  {
    const std::unique_ptr<QSettings> stored(OpenUserSettings());
    static_cast<CPortCombo*>(port_)->SetRemembered(stored->value(QStringLiteral("Settings/NetworkPorts")).toStringList());
  }
  FillPortList(extraPorts);

  connect(autoconnect_, &QPushButton::clicked, this, [this] { OnCommand(CMD_AUTOCONNECT); });
  connect(connect_, &QPushButton::clicked, this, [this] { OnCommand(CMD_CONNECT); });
  connect(disconnect_, &QPushButton::clicked, this, [this] { OnCommand(CMD_DISCONNECT); });
  connect(open_, &QPushButton::clicked, this, [this] { OnCommand(CMD_OPEN); });
  connect(remote_, &QPushButton::clicked, this, [this] { OnCommand(CMD_REMOTE); });
  for (QComboBox* c : {baud_, parity_, dataBits_, stopBits_}) {
    connect(c, &QComboBox::currentIndexChanged, this, &CTabConnection::FollowLineSettings);
  }
  // A port typed into an empty list makes the commands available.
  connect(port_, &QComboBox::editTextChanged, this, [this](const QString& text) {
    if (a_.LinkState <= 0 && !text.trimmed().isEmpty()) {
      a_.LinkState = LS_IDLE;
      OnSetActive();
    }
  });
}

void CTabConnection::FillPortList(const QStringList&) {
  static_cast<CPortCombo*>(port_)->Refill();
  if (port_->count() > 0) {
    port_->setCurrentIndex(0);
  } else {
    a_.LinkState = 0;
  }
}

void CTabConnection::CopySettings() {
  a_.PortNumber = TrimmedComboText(port_);
  a_.BaudRate = TrimmedComboText(baud_);
  a_.Parity = TrimmedComboText(parity_);
  a_.DataBits = TrimmedComboText(dataBits_);
  a_.StopBits = TrimmedComboText(stopBits_);
}

void CTabConnection::FollowLineSettings() {
  if (!(a_.LinkState > 0 && (a_.LinkState & LS_PORT_OPEN))) return;
  bool changed = false;
  auto follow = [&changed](std::string& field, const std::string& value) {
    if (field != value) {
      field = value;
      changed = true;
    }
  };
  follow(a_.BaudRate, TrimmedComboText(baud_));
  follow(a_.Parity, TrimmedComboText(parity_));
  follow(a_.DataBits, TrimmedComboText(dataBits_));
  follow(a_.StopBits, TrimmedComboText(stopBits_));
  if (changed) a_.ApplyPortSettings();
}

void CTabConnection::SelectPortSettings() {
  const QSignalBlocker b1(baud_), b2(parity_), b3(dataBits_), b4(stopBits_);
  SelectText(baud_, a_.BaudRate);
  SelectText(parity_, a_.Parity);
  SelectText(dataBits_, a_.DataBits);
  SelectText(stopBits_, a_.StopBits);
}

void CTabConnection::ApplyTooltips(bool on) {
  // At most 200 pixels wide: the Autoconnect text wraps.
  auto tip = [on](QWidget* w, const char* text) {
    w->setToolTip(on ? LimitedTipText(QString::fromLatin1(text), 200) : QString());
  };
  tip(autoconnect_,
      "The Autoconnect feature searches selcected port for a Dalmarin modem. Useful if you don't know "
      "the current modem settings.");
  tip(connect_, "Connects to a Dalmarin modem");
  tip(disconnect_, "Closes COM-port");
  tip(open_, "Opens the COM port with current settings.");
  tip(remote_, "Connects to a modem and attempts to initialize a remote configuration.");
  tip(port_, "Port number");
  tip(baud_, "Baud rate");
  tip(parity_, "Parity");
  tip(dataBits_, "Data bits");
  tip(stopBits_, "Stop bits");
}

void CTabConnection::OnSetActive() {
  QWidget* focusBefore = window()->focusWidget();
  ui_.RefreshTerminalInfo();
  ApplyTooltips(a_.Options.Tooltip == 1);
  const ConnectionEnabling e = EnablingFor(a_.LinkState);
  autoconnect_->setEnabled(e.autoconnect);
  connect_->setEnabled(e.connect);
  connect_->setText(e.reconnectText ? QStringLiteral("Reconnect") : QStringLiteral("Connect"));
  disconnect_->setEnabled(e.disconnect);
  open_->setEnabled(e.open);
  remote_->setEnabled(e.remote);
  port_->setEnabled(e.portCombo);
  KeepKeyboardFocus(focusBefore);
  if (menuEnabler_) {
    for (const auto& [id, enabled] : e.menu) menuEnabler_(id, enabled);
  }
}

void CTabConnection::KeepKeyboardFocus(QWidget* before) {
  // Connect disables the port box, Disconnect the button pressed: Qt then
  // moves the focus on to the terminal or drops it, and a keyboard user is
  // lost. The focus goes to the command that undoes the new state instead.
  // Focus the user put elsewhere (the terminal's command line) stays.
  const bool wasHere = !before || before == this || isAncestorOf(before);
  QWidget* now = window()->focusWidget();
  const bool stillHere = now && now == before && now->isEnabled();
  if (!wasHere || stillHere) return;
  for (QWidget* next : std::initializer_list<QWidget*>{disconnect_, connect_, port_}) {
    if (next->isEnabled()) {
      next->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

void CTabConnection::OnCommand(int command) {
  switch (command) {
    case CMD_AUTOCONNECT: RunAutoconnect(); break;
    case CMD_CONNECT: RunConnect(); break;
    case CMD_DISCONNECT: RunDisconnect(); break;
    case CMD_OPEN: RunOpen(); break;
    case CMD_REMOTE: RunRemote(); break;
    default: break;
  }
}

void CTabConnection::RunConnect() {
  if (a_.Busy) return;
  // Connecting resets the configuration.
  if (!ui_.MayDropEdits(a_.LinkState & LS_IDENTIFIED ? "reconnecting" : "connecting")) return;
  BusyHold busy(a_);
  CopySettings();
  ports_.Select(a_, a_.PortNumber);

  int result;
  {
    CTransferDlg transfer(ui_.DialogParent(), ui_, 0, OP_CONNECT);
    result = transfer.Run();
  }
  if (a_.LinkState & LS_PORT_OPEN) RememberPort();
  const std::string message = ConnectFailureMessage(a_, result);
  if (!message.empty()) {
    const bool nothingFound = result == CONNECT_NOTHING_FOUND && a_.LinkState == LS_IDLE;
    const MsgIcon icon = nothingFound || result == CONNECT_UNSUPPORTED ? MsgIcon::Information : MsgIcon::Stop;
    ui_.MessageBox(message, icon, MsgButtons::Ok);
  }

  ui_.ActivateConnectionPage();
  busy.Release();
  ui_.UpdatePages();
  a_.ResetConfiguration();

  if ((a_.LinkState & LS_IDENTIFIED) && a_.Options.AutoLoad != 0) {
    CTransferDlg read(ui_.DialogParent(), ui_, SEC_ALL, OP_READ);
    read.Run();
  }
}

void CTabConnection::RunAutoconnect() {
  if (!a_.Busy && !ui_.MayDropEdits("connecting")) return;
  AutoConnectHooks hooks;
  hooks.choosePort = [this] { ports_.Select(a_, a_.PortNumber); };
  hooks.runDialog = [this] {
    CAutoConnectDlg dialog(ui_, ui_.DialogParent());
    return dialog.Run();
  };
  hooks.readConfiguration = [this] {
    CTransferDlg read(ui_.DialogParent(), ui_, SEC_ALL, OP_READ);
    read.Run();
  };
  // Only the port is taken from the page; the search sets the rest, and
  // applying each setting selects it in the combo boxes here.
  const int losses = a_.PortLosses;
  AutoConnectCommand(a_, TrimmedComboText(port_), hooks);
  if (a_.LinkState & LS_PORT_OPEN) RememberPort();
  ui_.ReportLostLink(losses);
}

void CTabConnection::RememberPort() {
  const QStringList before = static_cast<CPortCombo*>(port_)->Remember(QString());
  const QStringList after = static_cast<CPortCombo*>(port_)->Remember(QString::fromStdString(a_.PortNumber));
  if (after == before) return;
  const std::unique_ptr<QSettings> stored(OpenUserSettings());
  stored->setValue(QStringLiteral("Settings/NetworkPorts"), after);
}

void CTabConnection::RunOpen() {
  if (a_.Busy || !ui_.MayDropEdits("opening the port")) return;
  BusyHold busy(a_);
  CopySettings();
  ports_.Select(a_, a_.PortNumber);
  if (a_.OpenAndIdentify(false)) {
    RememberPort();
    ui_.ActivateConnectionPage();
  } else {
    ui_.MessageBox("Unable to open COM-port...", MsgIcon::Stop, MsgButtons::Ok);
  }
}

namespace {

// Shows the wait window once the core starts its command sequence, so that a
// question asked before it (save the settings?) does not sit over an empty
// wait window, and a disconnect that sends nothing shows none.
class WaitOnDemand : public ProgressSink {
 public:
  WaitOnDemand(QtUserInterface& ui, QWidget* parent) : ui_(ui), parent_(parent) { ui_.PushProgressSink(this); }
  ~WaitOnDemand() override {
    window_.reset();
    ui_.PopProgressSink(this);
  }

  void SetProgressCaption(const QString& caption) override { Window().SetProgressCaption(caption); }
  void SetProgressText(const QString& text) override { Window().SetProgressText(text); }
  void SetProgressRange(int low, int high) override { Window().SetProgressRange(low, high); }
  void SetProgressStep(int step) override { Window().SetProgressStep(step); }
  void StepProgress() override { Window().StepProgress(); }

 private:
  CWaitDlg& Window() {
    if (!window_) window_ = std::make_unique<CWaitDlg>(ui_, parent_);
    return *window_;
  }
  QtUserInterface& ui_;
  QWidget* parent_;
  std::unique_ptr<CWaitDlg> window_;
};

}  // namespace

void CTabConnection::RunRemote() {
  // Started while another command runs it would close that command's link.
  if (a_.Busy || !ui_.MayDropEdits("connecting")) return;
  {
    BusyHold busy(a_);
    CopySettings();
    ports_.Select(a_, a_.PortNumber);
    if (!a_.OpenAndIdentify(false)) {
      busy.Release();
      ui_.MessageBox("Unable to open COM-port...", MsgIcon::Stop, MsgButtons::Ok);
      return;
    }
    ui_.ActivateConnectionPage();
  }

  int result;
  {
    CTransferDlg transfer(ui_.DialogParent(), ui_, 0, OP_REMOTE_CONNECT);
    result = transfer.Run();
  }
  if (result == 0) {
    a_.CloseLink();
    return;
  }
  ui_.ActivateConnectionPage();
  ui_.UpdatePages();
  if ((a_.LinkState & LS_IDENTIFIED) && a_.Options.AutoLoad != 0) {
    CTransferDlg read(ui_.DialogParent(), ui_, SEC_ALL, OP_READ);
    read.Run();
  }
}

void CTabConnection::RunDisconnect() {
  if (a_.Busy) return;
  if ((a_.LinkState & LS_PORT_OPEN) && !ui_.MayDropEdits("disconnecting")) return;
  // The remote logout, and the store of a quiet modem's settings, take
  // seconds: the core reports them as progress, which the wait window shows.
  const int losses = a_.PortLosses;
  {
    WaitOnDemand wait(ui_, this);
    DisconnectCommand(a_);
  }
  // The logout of a remote session may not have reached the far modem.
  ui_.ReportLostLink(losses);
}

}  // namespace kelvane
