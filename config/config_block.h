#pragma once
// The configuration block: a packed 3700-byte image of every modem setting,
// one record per page. It is also the body of a profile file, so its layout is
// fixed to the byte: 32-bit little-endian integers, fixed-size texts that keep
// their terminating zero, explicit paddings and unused areas.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kelvane {

static_assert(std::endian::native == std::endian::little,
              "the configuration block is stored little-endian byte for byte");

#pragma pack(push, 1)

struct alignas(4) SerialSettings {
  int32_t DteRate;           // bits per second, 0 = automatic
  int32_t DteStopBits;
  int32_t unused8;
  int32_t DteDataBits;
  int32_t DcdControl;
  int32_t DsrControl;
  int32_t DtrControl;
  int32_t LocalEcho;
  int32_t ModemFlowControl;
  char DteParity;            // 'N', 'E' or 'O'
  uint8_t pad37[3];
  int32_t EnhancedResults;
  int32_t ReducedResults;
  int32_t ResultFormat;
  int32_t ResultSuppression;
  int32_t IgnoreErrors;
  uint8_t unused60[32];
};

struct alignas(4) BasicSettings {
  int32_t S0;
  int32_t S7;
  int32_t S10;
  int32_t S25;
  int32_t S30;
  int32_t S91;
  uint8_t FastDisconnect;
  uint8_t pad117[3];
  int32_t unused120;
  int32_t CompressionC;
  int32_t ErrorCorrectionN;
  int32_t CountryCode;
  int32_t BreakControl;
  int32_t LineQuality;
  char Modulation[32];       // may fill all 32 bytes without a terminating zero
};

struct alignas(4) DialSettings {
  int32_t HotCall;
  int32_t DialAbort;
  char StoredNumbers[4][32];
  char BackupNumber[20];
  int32_t BackupRetries;
  int32_t BackupTime;
  uint8_t unused340[12];
};

struct alignas(4) CallerIdSettings {
  int32_t CidFormat;
  int32_t CidMode;
  char AcceptedNumbers[10][21];
  uint8_t unused570[34];
};

struct alignas(4) RemoteSettings {
  uint8_t RemoteEnable;
  char RemotePassword[21];
  uint8_t unused626[32];
  uint8_t pad658[2];
};

struct alignas(4) CallbackSettings {
  int32_t CallbackMode;
  int32_t CallbackTime;
  char CallbackNumbers[10][21];
  char CallbackPasswords[10][21];
  uint8_t unused1088[32];
};

struct alignas(4) IoSettings {
  int32_t PulseTa;
  int32_t PulseTp;
  int32_t TrigType;
  int32_t TrigLevel;
  int32_t OutputCtrl;
  int32_t unused1140;
  int32_t Service[10];
  int32_t Retry[10];
  int32_t Timeout[10];
  int32_t Priority[10];
  char Data1[10][21];
  char Data2[10][161];
  char Data3[10][21];
  uint8_t pad3334[2];
  int32_t Data4[10];
  char Data5[10][9];
  char Data6[10][16];
  uint8_t pad3626[2];
  int32_t Data7[10];
  uint8_t unused3668[32];
};

struct alignas(4) ConfigBlock {
  SerialSettings serial;
  BasicSettings basic;
  DialSettings dial;
  CallerIdSettings callerId;
  RemoteSettings remote;
  CallbackSettings callback;
  IoSettings io;
};

#pragma pack(pop)

// Every integer lies on a multiple of four from the start of the block, so a
// block (or record) placed on a four-byte boundary never reads an integer
// from a misaligned address.
static_assert(alignof(ConfigBlock) == 4 && alignof(BasicSettings) == 4);
static_assert(sizeof(ConfigBlock) == 3700);
static_assert(sizeof(SerialSettings) == 92);
static_assert(sizeof(BasicSettings) == 84);
static_assert(sizeof(DialSettings) == 176);
static_assert(sizeof(CallerIdSettings) == 252);
static_assert(sizeof(RemoteSettings) == 56);
static_assert(sizeof(CallbackSettings) == 460);
static_assert(sizeof(IoSettings) == 2580);

#define KELVANE_AT(rec, field, off) \
  static_assert(offsetof(ConfigBlock, rec) + offsetof(decltype(ConfigBlock::rec), field) == (off), #field)

KELVANE_AT(serial, DteRate, 0);
KELVANE_AT(serial, DteStopBits, 4);
KELVANE_AT(serial, unused8, 8);
KELVANE_AT(serial, DteDataBits, 12);
KELVANE_AT(serial, DcdControl, 16);
KELVANE_AT(serial, DsrControl, 20);
KELVANE_AT(serial, DtrControl, 24);
KELVANE_AT(serial, LocalEcho, 28);
KELVANE_AT(serial, ModemFlowControl, 32);
KELVANE_AT(serial, DteParity, 36);
KELVANE_AT(serial, EnhancedResults, 40);
KELVANE_AT(serial, ReducedResults, 44);
KELVANE_AT(serial, ResultFormat, 48);
KELVANE_AT(serial, ResultSuppression, 52);
KELVANE_AT(serial, IgnoreErrors, 56);
KELVANE_AT(serial, unused60, 60);
KELVANE_AT(basic, S0, 92);
KELVANE_AT(basic, S7, 96);
KELVANE_AT(basic, S10, 100);
KELVANE_AT(basic, S25, 104);
KELVANE_AT(basic, S30, 108);
KELVANE_AT(basic, S91, 112);
KELVANE_AT(basic, FastDisconnect, 116);
KELVANE_AT(basic, unused120, 120);
KELVANE_AT(basic, CompressionC, 124);
KELVANE_AT(basic, ErrorCorrectionN, 128);
KELVANE_AT(basic, CountryCode, 132);
KELVANE_AT(basic, BreakControl, 136);
KELVANE_AT(basic, LineQuality, 140);
KELVANE_AT(basic, Modulation, 144);
KELVANE_AT(dial, HotCall, 176);
KELVANE_AT(dial, DialAbort, 180);
KELVANE_AT(dial, StoredNumbers, 184);
KELVANE_AT(dial, BackupNumber, 312);
KELVANE_AT(dial, BackupRetries, 332);
KELVANE_AT(dial, BackupTime, 336);
KELVANE_AT(dial, unused340, 340);
KELVANE_AT(callerId, CidFormat, 352);
KELVANE_AT(callerId, CidMode, 356);
KELVANE_AT(callerId, AcceptedNumbers, 360);
KELVANE_AT(callerId, unused570, 570);
KELVANE_AT(remote, RemoteEnable, 604);
KELVANE_AT(remote, RemotePassword, 605);
KELVANE_AT(remote, unused626, 626);
KELVANE_AT(remote, pad658, 658);
KELVANE_AT(callback, CallbackMode, 660);
KELVANE_AT(callback, CallbackTime, 664);
KELVANE_AT(callback, CallbackNumbers, 668);
KELVANE_AT(callback, CallbackPasswords, 878);
KELVANE_AT(callback, unused1088, 1088);
KELVANE_AT(io, PulseTa, 1120);
KELVANE_AT(io, PulseTp, 1124);
KELVANE_AT(io, TrigType, 1128);
KELVANE_AT(io, TrigLevel, 1132);
KELVANE_AT(io, OutputCtrl, 1136);
KELVANE_AT(io, unused1140, 1140);
KELVANE_AT(io, Service, 1144);
KELVANE_AT(io, Retry, 1184);
KELVANE_AT(io, Timeout, 1224);
KELVANE_AT(io, Priority, 1264);
KELVANE_AT(io, Data1, 1304);
KELVANE_AT(io, Data2, 1514);
KELVANE_AT(io, Data3, 3124);
KELVANE_AT(io, pad3334, 3334);
KELVANE_AT(io, Data4, 3336);
KELVANE_AT(io, Data5, 3376);
KELVANE_AT(io, Data6, 3466);
KELVANE_AT(io, pad3626, 3626);
KELVANE_AT(io, Data7, 3628);
KELVANE_AT(io, unused3668, 3668);

#undef KELVANE_AT

// Section mask bits: one per page. The low byte selects parts of the I/O
// section in a write.
enum SectionMask : int {
  SEC_BASIC = 0x100,
  SEC_SERIAL = 0x200,
  SEC_DIAL = 0x400,
  SEC_CALLERID = 0x800,
  SEC_REMOTE = 0x1000,
  SEC_DIAGNOSTIC = 0x2000,
  SEC_CALLBACK = 0x4000,
  SEC_IO = 0x8000,
  SEC_ALL = 0xFFFF,
};

// Copies at most size-1 characters of `text` into a fixed field and zero-fills
// the rest, so the field always keeps its terminating zero.
template <size_t N>
void SetText(char (&field)[N], std::string_view text) {
  const size_t n = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, N - n);
}

// Copies at most `limit` characters (the modem's own limit, below the field
// size) into a fixed field.
template <size_t N>
void SetText(char (&field)[N], std::string_view text, size_t limit) {
  SetText(field, text.substr(0, limit < text.size() ? limit : text.size()));
}

// Copies up to all N bytes of `text`: for the one field (Modulation) that may
// be full without a terminating zero.
template <size_t N>
void SetTextFull(char (&field)[N], std::string_view text) {
  const size_t n = text.size() < N ? text.size() : N;
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, N - n);
}

// Reads a fixed field up to its first zero byte, never past its end: a field
// may be full without a terminator (Modulation) or come from a foreign file.
template <size_t N>
std::string GetText(const char (&field)[N]) {
  const void* zero = std::memchr(field, 0, N);
  const size_t n = zero ? static_cast<size_t>(static_cast<const char*>(zero) - field) : N;
  return std::string(field, n);
}

}  // namespace kelvane
