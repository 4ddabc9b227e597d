#include "sim/simulated_modem.h"

#include <cstdint>
#include <cstdio>

#include "sim/sim_text.h"

// The I/O commands of the RM-40 485 (type 3): the pulse and trigger settings
// (*WIOP), the I/O list (*WIOL), deleting (*WIOD) and testing (*WIOT) an
// entry. Other types answer ERROR.

namespace kelvane {

using namespace simtext;

namespace {

// Data 4 is a signed 32-bit number in the modem; an empty argument keeps it.
bool SignedArg(const std::vector<Arg>& args, size_t index, int& value) {
  if (index >= args.size() || (args[index].text.empty() && !args[index].quoted)) return true;
  if (args[index].quoted) return false;
  std::string_view t = Trim(args[index].text);
  const bool negative = !t.empty() && t.front() == '-';
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) t.remove_prefix(1);
  if (t.empty() || t.size() > 10) return false;
  long long v = 0;
  for (char c : t) {
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - '0');
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

SimulatedModem::Handled SimulatedModem::IoCommand(const std::string& name, int kind,
                                                  std::string_view args, std::string& out) {
  if (name != "*WIOP" && name != "*WIOL" && name != "*WIOD" && name != "*WIOT") return Handled::No;
  if (features_ != 3) return Handled::Refused;
  ModemSettings& a = active_;
  std::vector<Arg> list;

  if (name == "*WIOP") {
    if (kind == K_READ) {
      char text[128];
      std::snprintf(text, sizeof text, "*WIOP: TA=%d,TP=%d,TYPE=%d,TRIG=%d,NORM=%d", a.pulseTa,
                    a.pulseTp, a.trigType, a.trigLevel, a.outputCtrl);
      out += Info(text);
      return Handled::Done;
    }
    int ta = a.pulseTa, tp = a.pulseTp, type = a.trigType, trig = a.trigLevel, norm = a.outputCtrl;
    if (kind != K_SET || !SplitArgs(args, list) || list.size() > 5 || !NumArg(list, 0, 65535, ta) ||
        !NumArg(list, 1, 65535, tp) || !NumArg(list, 2, 32, type) || !NumArg(list, 3, 6, trig) ||
        !NumArg(list, 4, 32, norm))
      return Handled::Refused;
    if ((type > 4 && type != 31 && type != 32) || (norm == 2 || (norm > 4 && norm != 31 && norm != 32)))
      return Handled::Refused;
    a.pulseTa = ta;
    a.pulseTp = tp;
    a.trigType = type;
    a.trigLevel = trig;
    a.outputCtrl = norm;
    return Handled::Done;
  }
  if (name == "*WIOL") {
    int index = 0;
    if (IndexedQuery(kind, args, index)) {
      const SimIoEntry& e = a.io[static_cast<size_t>(index - 1)];
      const std::string p = std::to_string(index);
      out += Info(p + "_Service=" + std::to_string(e.service) + "\r\n" + p + "_Flag=" +
                  std::to_string(e.retry) + "\r\n" + p + "_Timeout=" + std::to_string(e.timeout) +
                  "\r\n" + p + "_Priority=" + std::to_string(e.priority) + "\r\n" + p +
                  "_Data1=" + e.data1 + "\r\n" + p + "_Data2=" + e.data2 + "\r\n" + p +
                  "_Data3=" + e.data3 + "\r\n" + p + "_Data4=" + std::to_string(e.data4) +
                  "\r\n" + p + "_Data5=" + e.data5 + "\r\n" + p + "_Data6=" + e.data6);
      return Handled::Done;
    }
    if (kind != K_SET || !SplitArgs(args, list) || list.size() != 11 ||
        !ParseNumber(list[0].text, 10, index) || index < 1)
      return Handled::Refused;
    SimIoEntry e = a.io[static_cast<size_t>(index - 1)];
    if (!NumArg(list, 1, 7, e.service) || !NumArg(list, 2, 5, e.retry) ||
        !NumArg(list, 3, 255, e.timeout) || !NumArg(list, 4, 1, e.priority) ||
        !TextArg(list, 5, 20, e.data1) || !TextArg(list, 6, 160, e.data2) ||
        !TextArg(list, 7, 20, e.data3) || !SignedArg(list, 8, e.data4) ||
        !TextArg(list, 9, 8, e.data5) || !TextArg(list, 10, 15, e.data6))
      return Handled::Refused;
    a.io[static_cast<size_t>(index - 1)] = e;
    return Handled::Done;
  }
  // *WIOD deletes an entry; *WIOT starts its service at once, as if its
  // trigger had fired, and says which service ran. An entry without a service
  // has nothing to start.
  int index = 0;
  if (kind != K_SET || !ParseNumber(args, 10, index) || index < 1) return Handled::Refused;
  SimIoEntry& entry = a.io[static_cast<size_t>(index - 1)];
  if (name == "*WIOD") {
    entry = SimIoEntry{};
    return Handled::Done;
  }
  static const char* const kServices[] = {"NONE", "DIAL", "SMS", "TEXT", "(reserved)", "OUT", "CMD", "TRANS"};
  if (entry.service <= 0 || entry.service > 7 || entry.service == 4) return Handled::Refused;
  testedIo_.push_back(index);
  std::string started = "*WIOT: " + std::to_string(index) + "," + kServices[entry.service] + " STARTED";
  if (!entry.data1.empty()) started += " " + entry.data1;
  out += Info(started);
  return Handled::Done;
}

}  // namespace kelvane
