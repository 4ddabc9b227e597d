#include "support/rig.h"

namespace kelvane::testing {

std::string TinyModem::operator()(const std::string& line) {
  if (silent) return {};
  std::string out;
  if (echo) out += line + "\r";
  if (line.size() < 2 || (line.compare(0, 2, "AT") != 0)) return out;
  const std::string body = line.substr(2);
  if (body == "Q0") quiet = false;
  if (body == "Q1") quiet = true;
  if (body == "I9") out += verbose ? "\r\n" + identification + "\r\n" : identification + "\r\n";
  if (!quiet) out += verbose ? "\r\nOK\r\n" : "0\r";
  return out;
}

}  // namespace kelvane::testing
