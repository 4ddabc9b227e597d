// Reads arbitrary bytes as what a device server sends, cut into pieces where
// the input says. Data never grows, every answer is one whole negotiation
// command, a flood of option requests or changes is answered with no more
// bytes than it holds, and whatever the client escapes reads back unchanged
// once the server sends binary.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "serial/telnet_codec.h"

using namespace kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte sets the piece length, the rest is the stream.
  const size_t piece = 1 + data[0] % 16;
  const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

  TelnetCodec codec;
  codec.Opening();
  std::string out, replies;
  std::vector<ComPortMessage> messages;
  for (size_t at = 0; at < stream.size(); at += piece) codec.Feed(stream.substr(at, piece), out, replies, messages);
  if (out.size() > stream.size()) std::abort();
  if (replies.size() % 3 != 0) std::abort();
  // Each request takes three bytes at least and earns one answer of three:
  // what a server that floods requests gets back is bounded by what it sent.
  if (replies.size() > stream.size()) std::abort();
  for (size_t i = 0; i < replies.size(); i += 3) {
    const auto iac = static_cast<uint8_t>(replies[i]);
    const auto verb = static_cast<uint8_t>(replies[i + 1]);
    if (iac != telnet::IAC || verb < telnet::WILL) std::abort();
  }
  for (const ComPortMessage& m : messages) {
    if (m.value.size() > 64) std::abort();
  }

  // The same bytes over and over, as from a server that repeats them without
  // end: the answers still never outgrow what came.
  TelnetCodec flooded;
  flooded.Opening();
  std::string floodData, floodReplies;
  std::vector<ComPortMessage> floodMessages;
  constexpr size_t kRepeats = 32;
  for (size_t i = 0; i < kRepeats; ++i) flooded.Feed(stream, floodData, floodReplies, floodMessages);
  if (floodReplies.size() > kRepeats * stream.size() || floodReplies.size() % 3 != 0) std::abort();

  TelnetCodec binary;
  binary.Opening();
  std::string echo, ignored;
  std::vector<ComPortMessage> none;
  const std::string agree = {static_cast<char>(telnet::IAC), static_cast<char>(telnet::WILL),
                             static_cast<char>(telnet::OPT_BINARY)};
  binary.Feed(agree, echo, ignored, none);
  const std::string escaped = TelnetCodec::Escape(stream);
  for (size_t at = 0; at < escaped.size(); at += piece) binary.Feed(std::string_view(escaped).substr(at, piece), echo, ignored, none);
  if (echo != stream || !none.empty()) std::abort();
  return 0;
}
