#include "serial/telnet_codec.h"

namespace kelvane {

using namespace telnet;

namespace {

bool WeOffer(uint8_t option) { return option == OPT_BINARY || option == OPT_SGA || option == OPT_COM_PORT; }
bool WeAccept(uint8_t option) { return option == OPT_BINARY || option == OPT_SGA; }

void Append(std::string& out, uint8_t verb, uint8_t option) {
  out += static_cast<char>(IAC);
  out += static_cast<char>(verb);
  out += static_cast<char>(option);
}

}  // namespace

std::string TelnetCodec::Opening() {
  std::string out;
  for (const uint8_t option : {OPT_COM_PORT, OPT_BINARY, OPT_SGA}) {
    Append(out, WILL, option);
    localAsked_[option] = true;
  }
  for (const uint8_t option : {OPT_BINARY, OPT_SGA}) {
    Append(out, DO, option);
    remoteAsked_[option] = true;
  }
  return out;
}

// Answers so that no request is ever answered twice and an agreement is never
// confirmed again: a server and a client that both answered every verb would
// echo each other forever.
void TelnetCodec::Negotiate(uint8_t verb, uint8_t option, std::string& replies) {
  switch (verb) {
    case DO:
      if (!WeOffer(option)) {
        Append(replies, WONT, option);
      } else if (!local_[option]) {
        if (!localAsked_[option]) Append(replies, WILL, option);
        local_[option] = true;
      }
      localAsked_[option] = false;
      break;
    case DONT:
      if (local_[option] && !localAsked_[option]) Append(replies, WONT, option);
      if (option == OPT_COM_PORT && (local_[option] || localAsked_[option])) comPortRefused_ = true;
      local_[option] = false;
      localAsked_[option] = false;
      break;
    case WILL:
      if (!WeAccept(option)) {
        Append(replies, DONT, option);
      } else if (!remote_[option]) {
        if (!remoteAsked_[option]) Append(replies, DO, option);
        remote_[option] = true;
      }
      remoteAsked_[option] = false;
      break;
    case WONT:
      if (remote_[option] && !remoteAsked_[option]) Append(replies, DONT, option);
      remote_[option] = false;
      remoteAsked_[option] = false;
      break;
    default:
      break;
  }
}

void TelnetCodec::Feed(std::string_view in, std::string& data, std::string& replies,
                       std::vector<ComPortMessage>& messages) {
  for (const char ch : in) {
    const auto c = static_cast<uint8_t>(ch);
    switch (state_) {
      case State::Data:
        if (c == IAC) {
          state_ = State::Iac;
          break;
        }
        // Outside binary mode a carriage return travels as CR NUL.
        if (c == 0 && lastWasCr_ && !remote_[OPT_BINARY]) {
          lastWasCr_ = false;
          break;
        }
        lastWasCr_ = c == '\r';
        data += ch;
        break;
      case State::Iac:
        lastWasCr_ = false;
        if (c == IAC) {
          data += ch;
          state_ = State::Data;
        } else if (c >= WILL) {
          verb_ = c;
          state_ = State::Option;
        } else if (c == SB) {
          sub_.clear();
          subOverflow_ = false;
          state_ = State::Sub;
        } else {
          // NOP, go-ahead, data mark and the like carry nothing for us.
          state_ = State::Data;
        }
        break;
      case State::Option:
        Negotiate(verb_, c, replies);
        state_ = State::Data;
        break;
      case State::Sub:
        if (c == IAC) {
          state_ = State::SubIac;
        } else if (sub_.size() < kMaxSub) {
          sub_ += ch;
        } else {
          subOverflow_ = true;
        }
        break;
      case State::SubIac:
        if (c == IAC) {
          if (sub_.size() < kMaxSub) {
            sub_ += ch;
          } else {
            subOverflow_ = true;
          }
          state_ = State::Sub;
        } else if (c == SE) {
          if (!subOverflow_ && sub_.size() >= 2 && static_cast<uint8_t>(sub_[0]) == OPT_COM_PORT) {
            messages.push_back({static_cast<uint8_t>(sub_[1]), sub_.substr(2)});
          }
          state_ = State::Data;
        } else {
          // A subnegotiation cut short by another command: drop it and
          // take the command as it stands.
          state_ = State::Iac;
          const char again = ch;
          Feed(std::string_view(&again, 1), data, replies, messages);
        }
        break;
    }
  }
}

std::string TelnetCodec::Escape(std::string_view data) {
  std::string out;
  out.reserve(data.size() + 8);
  for (const char ch : data) {
    out += ch;
    if (static_cast<uint8_t>(ch) == IAC) out += ch;
  }
  return out;
}

std::string TelnetCodec::Command(uint8_t code, std::string_view value) {
  std::string out;
  out += static_cast<char>(IAC);
  out += static_cast<char>(SB);
  out += static_cast<char>(OPT_COM_PORT);
  out += static_cast<char>(code);
  out += Escape(value);
  out += static_cast<char>(IAC);
  out += static_cast<char>(SE);
  return out;
}

}  // namespace kelvane
