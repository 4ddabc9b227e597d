#pragma once
// The Connection page: the port and line settings and the connection
// commands. It is always the first page of the property sheet, and each time
// it is shown it sets its buttons and the main window's menu commands from
// the link state.

#include <QComboBox>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <map>

#include "ui/command_ids.h"
#include "ui/port_provider.h"
#include "ui/qt_user_interface.h"
#include "controls/image_button.h"

namespace kelvane {

// What the page enables for a link state.
struct ConnectionEnabling {
  bool autoconnect = false;
  bool connect = false;
  bool reconnectText = false;  // the Connect button reads "Reconnect"
  bool disconnect = false;
  bool open = false;
  bool portCombo = false;
  bool remote = false;
  std::map<int, bool> menu;  // command id -> enabled
};
ConnectionEnabling EnablingFor(int linkState);

// The page's command numbers, as the Connection menu calls them.
enum ConnectionCommand : int {
  CMD_AUTOCONNECT = 0,
  CMD_CONNECT = 1,
  CMD_DISCONNECT = 2,
  CMD_REMOTE = 3,
  CMD_OPEN = 4,
};

class CTabConnection : public QWidget {
  Q_OBJECT

 public:
  using MenuEnabler = std::function<void(int commandId, bool enabled)>;

  // `extraPorts` are offered before the ports found on the system (the
  // simulated modems of the demonstration).
  CTabConnection(QtUserInterface& ui, PortProvider& ports, const QStringList& extraPorts,
                 QWidget* parent = nullptr);

  void SetMenuEnabler(MenuEnabler enabler) { menuEnabler_ = std::move(enabler); }

  // The page became the active one: terminal fields, tooltips, enabling.
  void OnSetActive();
  // Selects the adapter's line settings in the combo boxes.
  void SelectPortSettings();
  // A command by its number (Connection menu and buttons).
  void OnCommand(int command);

  void Autoconnect() { OnCommand(CMD_AUTOCONNECT); }
  void Connect() { OnCommand(CMD_CONNECT); }
  void Disconnect() { OnCommand(CMD_DISCONNECT); }
  void Open() { OnCommand(CMD_OPEN); }

  QComboBox* PortCombo() const { return port_; }
  QComboBox* BaudCombo() const { return baud_; }
  QComboBox* ParityCombo() const { return parity_; }
  QComboBox* DataBitsCombo() const { return dataBits_; }
  QComboBox* StopBitsCombo() const { return stopBits_; }
  CImageButton* AutoconnectButton() const { return autoconnect_; }
  CImageButton* ConnectButton() const { return connect_; }
  CImageButton* DisconnectButton() const { return disconnect_; }
  CImageButton* OpenButton() const { return open_; }
  CImageButton* RemoteButton() const { return remote_; }

 private:
  // After the enabling of OnSetActive: the focus `before` it was on this
  // page (or nowhere) and is no longer on an enabled control of it.
  void KeepKeyboardFocus(QWidget* before);
  void FillPortList(const QStringList& extraPorts);
  void CopySettings();
  void FollowLineSettings();
  void ApplyTooltips(bool on);
  void RunAutoconnect();
  void RunConnect();
  void RunOpen();
  // Keeps a network port that opened in the port list, and in the settings.
  void RememberPort();
  void RunDisconnect();
  void RunRemote();

  QtUserInterface& ui_;
  CAdapter& a_;
  PortProvider& ports_;
  MenuEnabler menuEnabler_;
  QComboBox* port_;
  QComboBox* baud_;
  QComboBox* parity_;
  QComboBox* dataBits_;
  QComboBox* stopBits_;
  CImageButton* autoconnect_;
  CImageButton* connect_;
  CImageButton* disconnect_;
  CImageButton* open_;
  CImageButton* remote_;
};

}  // namespace kelvane
