#pragma once
// A far end for the engine tests that answers from a table: each query gets
// the information text the table holds for it, framed as a modem frames it
// (echo, "\r\n" text "\r\n", then "\r\nOK\r\n" or the numeric "0\r"). Any
// other AT command is accepted with OK, so writes can be watched line by line.

#include <functional>
#include <map>
#include <set>
#include <string>

#include "support/rig.h"

namespace kelvane::testing {

struct ModemScript {
  bool echo = true;
  bool verbose = true;
  // Information text of each query (without framing).
  std::map<std::string, std::string> answers;
  // Whole answers after the echo, framing included (to test odd layouts).
  std::map<std::string, std::string> raw;
  // Commands answered ERROR.
  std::set<std::string> errors;
  // Commands that get no answer at all after the echo.
  std::set<std::string> mute;
  // Called with every line before it is answered.
  std::function<void(const std::string&)> onLine;

  std::string operator()(const std::string& line) {
    if (onLine) onLine(line);
    std::string out = echo ? line + "\r" : "";
    if (line.compare(0, 2, "AT") != 0) return out;
    if (mute.count(line)) return out;
    if (errors.count(line)) return out + (verbose ? "\r\nERROR\r\n" : "4\r");
    if (auto r = raw.find(line); r != raw.end()) return out + r->second;
    if (line == "ATV0") verbose = false;
    if (line == "ATV1") verbose = true;
    if (auto a = answers.find(line); a != answers.end()) {
      out += verbose ? "\r\n" + a->second + "\r\n" : a->second + "\r\n";
    }
    return out + (verbose ? "\r\nOK\r\n" : "0\r");
  }

};

// The answers of a type 3 modem in the classic listing layouts, with values
// that differ from the reset configuration.
inline std::map<std::string, std::string> ClassicAnswers() {
  std::map<std::string, std::string> m;
  m["AT&V"] =
      "ACTIVE PROFILE:\r\n"
      "B0 E1 L1 M1 N1 Q0 T V1 W2 X3 Y0 &A1 &B2 &C0 &D3 &G0 &J0 &K4 &Q5 &R1 &S1 &T5 &X0 &Y0 \\N4\r\n"
      "S00:005 S01:000 S02:043 S03:013 S04:010 S05:008 S06:002 S07:045 S08:002 S09:006\r\n"
      "S10:020 S11:095 S12:050 S18:000 S25:007 S26:001 S30:009 S36:007 S38:020 S40:024\r\n"
      "S41:006 S46:138 S48:007 S91:011 S95:000\r\n"
      "\r\n"
      "STORED PROFILE 0:\r\n"
      "B0 E1 L1 M1 N1 Q0 T V1 W0 X4 Y0 &A0 &B0 &C1 &D2 &G0 &J0 &K3 &Q5 &R1 &S0 &T5 &X0 \\N3\r\n"
      "S00:002 S02:043 S06:002 S07:050 S08:002 S09:006 S10:014 S11:095 S12:050 S18:000\r\n"
      "\r\n"
      "TELEPHONE NUMBERS:\r\n"
      "0=5551234                               1=\r\n"
      "2=0046812345678                         3=9W555";
  m["AT+MS?"] = "+MS: V32B,1,300,14400,300,14400";
  m["AT+GCI?"] = "+GCI: 3D";
  m["AT*WFD?"] = "*WFD: 1";
  m["AT+IPR?"] = "+IPR: 19200";
  m["AT+ICF?"] = "+ICF: (4,2)";
  m["AT*WIE?"] = "*WIE: 1";
  m["AT*WDB?"] = "*WDB: 5550001,3,60";
  m["AT*WCID?"] = "*WCID: (1,2)";
  m["AT*WACCTAB?"] =
      "NUM NUMBER\r\n1 5551111\r\n2 \r\n3 1 2 34 5\r\n4 \r\n5 \r\n6 \r\n7 \r\n"
      "8 \r\n9 0123456789012345678901\r\n10987";
  m["AT*WRCA?"] = "*WRCA: 1";
  m["AT*WRCP?"] = "*WRCP: secret";
  m["AT&V1"] =
      "TERMINATION REASON.......... LOCAL REQUEST\r\n"
      "Norm            V.34\r\n"
      "Speed Rx/Tx     33600/31200\r\n"
      "SNR             37 dB\r\n"
      "RXLevel         21 dBm\r\n"
      "Echo Level      45 dB\r\n"
      "Near Echo Level 30 dB\r\n"
      "Far Echo Level  52 dB";
  m["ATI9"] = "Dalmarin RM-40 485 7730-08 SW 3.14";
  m["ATI6"] = "HW 2.1\r\nBOOT 1.0";
  m["ATI8"] = "1 0 255 16";
  m["AT*WCB?"] = "*WCB: 2";
  m["AT*WCBTIME?"] = "*WCBTIME: 30";
  for (int n = 1; n <= 10; ++n) {
    const std::string k = std::to_string(n);
    m["AT*WCBTAB=" + k + "?"] = k + "_Number=55500" + k + "\r\n" + k + "_Password=pw" + k;
  }
  m["AT*WIOP?"] = "*WIOP: TA=120,TP=60,TYPE=1,TRIG=1,NORM=1";
  for (int n = 1; n <= 10; ++n) {
    const std::string k = std::to_string(n);
    m["AT*WIOL=" + k + "?"] = "_Service=" + std::to_string(n % 8) + "\r\n_Flag=2\r\n_Timeout=" + k +
                              "\r\n_Priority=1\r\n_Data1=d1-" + k + "\r\n_Data2=text " + k +
                              "\r\n_Data3=d3\r\n_Data4=" + std::to_string(100 + n) +
                              "\r\n_Data5=d5\r\n_Data6=d6-" + k;
  }
  return m;
}

}  // namespace kelvane::testing
