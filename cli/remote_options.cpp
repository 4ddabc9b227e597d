// --remote on the commands that connect: the password, the login through the
// local modem, and the end of the remote session.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "connection/call_state.h"
#include "connection/connect.h"
#include "connection/port_factory.h"
#include "connection/remote_login.h"

namespace kelvane::cli {

namespace {

constexpr size_t kMaxPassword = 64;

void Wipe(std::string& text) {
  volatile char* p = text.data();
  for (size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}

bool CleanPassword(std::string& password, std::string& error) {
  while (!password.empty() && (password.back() == '\r' || password.back() == '\n')) password.pop_back();
  if (password.size() > kMaxPassword) {
    error = "the password is longer than " + std::to_string(kMaxPassword) + " characters";
    return false;
  }
  for (char c : password) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      error = "the password holds a control character";
      return false;
    }
  }
  return true;
}

// The first line of `fd`; a line longer than any password is refused by
// CleanPassword. `what` names the source in an error.
bool FirstLine(int fd, const std::string& what, std::string& password, std::string& error) {
  char buffer[kMaxPassword + 2];
  ssize_t got = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buffer + got, sizeof buffer - static_cast<size_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) error = "cannot read " + what + ": " + std::strerror(errno);
      break;
    }
    got += n;
    if (std::memchr(buffer, '\n', static_cast<size_t>(got)) || got == static_cast<ssize_t>(sizeof buffer)) break;
  }
  if (error.empty() && got == 0) error = what + " is empty";
  if (!error.empty()) return false;
  password.assign(buffer, static_cast<size_t>(got));
  std::memset(buffer, 0, sizeof buffer);
  const size_t newline = password.find('\n');
  if (newline != std::string::npos) password.resize(newline);
  return CleanPassword(password, error);
}

// "-" is standard input (the way a program hands the password over without
// a file); otherwise a regular file, with a warning when anyone may read it.
bool PasswordFromFile(const std::string& path, std::string& password, std::string& error) {
  if (path == "-") return FirstLine(STDIN_FILENO, "the password on standard input", password, error);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = "cannot read the password file " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error = "the password file " + path + " is not a regular file (use --password-file - for standard input)";
    return false;
  }
  if (st.st_mode & S_IROTH) {
    std::fprintf(stderr, "kelvane-cli: warning: the password file %s is readable by every user (chmod o-r %s)\n",
                 path.c_str(), path.c_str());
  }
  const bool read = FirstLine(fd, "the password file " + path, password, error);
  ::close(fd);
  return read;
}

volatile sig_atomic_t promptInterrupted = 0;
void OnPromptInterrupt(int) { promptInterrupted = 1; }

// Asked on the controlling terminal with its echo off. Ctrl-C ends the
// question (and gives the terminal its echo back) instead of the program.
bool PasswordFromTerminal(std::string& password, std::string& error) {
  const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = "no password: give --password-file FILE or set KELVANE_PASSWORD";
    return false;
  }
  termios saved{};
  const bool terminal = ::tcgetattr(fd, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    quiet.c_lflag |= ECHONL;
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  struct sigaction interrupt {}, previous {};
  interrupt.sa_handler = OnPromptInterrupt;
  sigemptyset(&interrupt.sa_mask);
  interrupt.sa_flags = 0;  // no restart: the read returns on Ctrl-C
  promptInterrupted = 0;
  ::sigaction(SIGINT, &interrupt, &previous);
  const char prompt[] = "Enter Password for remote configuration: ";
  (void)!::write(fd, prompt, sizeof prompt - 1);
  password.clear();
  char c = 0;
  bool ended = false;
  while (!promptInterrupted) {
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n != 1) break;
    if (c == '\n' || c == '\r') {
      ended = true;
      break;
    }
    if (password.size() <= kMaxPassword) password += c;
  }
  c = 0;
  if (terminal) ::tcsetattr(fd, TCSAFLUSH, &saved);
  ::sigaction(SIGINT, &previous, nullptr);
  if (promptInterrupted) (void)!::write(fd, "\n", 1);
  ::close(fd);
  if (!ended) {
    Wipe(password);
    error = "no password was entered";
    return false;
  }
  return CleanPassword(password, error);
}

bool ObtainPassword(const Options& o, std::string& password, std::string& error) {
  if (!o.passwordFile.empty()) return PasswordFromFile(o.passwordFile, password, error);
  if (const char* env = std::getenv("KELVANE_PASSWORD")) {
    password = env;
    return CleanPassword(password, error);
  }
  return PasswordFromTerminal(password, error);
}

}  // namespace

int RemoteConnectForCommand(Session& s) {
  CAdapter& a = s.adapter;
  const char* command = s.options.command.c_str();
  if (s.options.port.empty()) {
    std::fprintf(stderr, "kelvane-cli %s: --port is required\n", command);
    return EXIT_USAGE;
  }
  std::string password, error;
  if (!ObtainPassword(s.options, password, error)) {
    std::fprintf(stderr, "kelvane-cli %s: %s\n", command, error.c_str());
    return EXIT_USAGE;
  }

  if (s.options.debug) s.ui.SetSecret(password);
  AttachPort(s);
  if (!OpenPortCancellably(a)) {
    Wipe(password);
    s.ui.Finish();
    if (s.ui.CancelCount() > 0) return EXIT_FAILED;
    std::fprintf(stderr, "Unable to open COM-port...\n");
    if (!a.LastOpenError.empty()) std::fprintf(stderr, "%s\n", a.LastOpenError.c_str());
    return EXIT_FAILED;
  }

  // A script cannot be asked again: a rejected password ends the login
  // (after its message) as a cancelled password dialog does.
  bool passwordGiven = false;
  RemotePrompts prompts;
  prompts.awaitPasswordPrompt = true;
  prompts.askNumber = [&s]() -> std::optional<std::string> { return s.options.remote; };
  prompts.askPassword = [&]() -> std::optional<std::string> {
    if (passwordGiven) return std::nullopt;
    passwordGiven = true;
    std::string handed = password;
    Wipe(password);
    return handed;
  };
  const int result = RunRemoteConnectOperation(a, prompts);
  Wipe(password);
  s.ui.Finish();
  if (result != 1) {
    a.CloseLink();
    if (a.PortLosses > 0 && !s.ui.SaidDisconnected()) s.ui.MessageBox(DisconnectedText, MsgIcon::Stop, MsgButtons::Ok);
    return EXIT_FAILED;
  }
  if (a.ModelType == MT_NONE) {
    std::fprintf(stderr, "A modem was found, but it is unsupported by Kelvane.\n");
    EndForCommand(s);
    return EXIT_UNSUPPORTED;
  }
  return EXIT_OK;
}

void EndForCommand(Session& s) {
  CAdapter& a = s.adapter;
  s.ui.Finish();
  if ((a.LinkState & (LS_PORT_OPEN | LS_IDENTIFIED | LS_REMOTE)) == (LS_PORT_OPEN | LS_IDENTIFIED | LS_REMOTE)) {
    // A cancel that stopped the command must not cut the logout short. One
    // that arrives during the logout cancels nothing: the command's work is
    // done (or failed on its own), and the logout runs to its end either way,
    // so the command ends as that work did.
    const int cancelsBefore = s.ui.CancelCount();
    a.AbortRequested = false;
    a.Busy = false;
    DisconnectCommand(a);
    a.AbortRequested = false;
    s.cancelsDuringLogout += s.ui.CancelCount() - cancelsBefore;
    // The logout reported a call it could not end; the next run ends it.
    if (CallMarked(s.options.port)) s.callLeftUp = true;
  } else {
    a.CloseLink();
  }
  // Every failure names what failed: a port that went away says so once.
  if (a.PortLosses > 0 && !s.ui.SaidDisconnected()) s.ui.MessageBox(DisconnectedText, MsgIcon::Stop, MsgButtons::Ok);
}

bool ObtainRemotePassword(const Options& o, std::string& password, std::string& error) {
  return ObtainPassword(o, password, error);
}

}  // namespace kelvane::cli
