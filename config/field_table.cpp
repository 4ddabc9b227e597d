#include "config/field_table.h"

#include <cstring>

#include "config/json_text.h"

namespace kelvane {

namespace {

#define KV_FIELD(rec, recname, field, kind, width, count)                                              \
  FieldInfo {                                                                                          \
    recname, #field, offsetof(ConfigBlock, rec) + offsetof(decltype(ConfigBlock::rec), field), kind, \
        width, count                                                                                   \
  }

std::vector<FieldInfo> BuildFields() {
  using K = FieldKind;
  return {
      KV_FIELD(serial, "SerialSettings", DteRate, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", DteStopBits, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", DteDataBits, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", DcdControl, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", DsrControl, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", DtrControl, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", LocalEcho, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", ModemFlowControl, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", DteParity, K::Char, 1, 1),
      KV_FIELD(serial, "SerialSettings", EnhancedResults, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", ReducedResults, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", ResultFormat, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", ResultSuppression, K::Int, 4, 1),
      KV_FIELD(serial, "SerialSettings", IgnoreErrors, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", S0, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", S7, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", S10, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", S25, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", S30, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", S91, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", FastDisconnect, K::Byte, 1, 1),
      KV_FIELD(basic, "BasicSettings", CompressionC, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", ErrorCorrectionN, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", CountryCode, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", BreakControl, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", LineQuality, K::Int, 4, 1),
      KV_FIELD(basic, "BasicSettings", Modulation, K::Text, 32, 1),
      KV_FIELD(dial, "DialSettings", HotCall, K::Int, 4, 1),
      KV_FIELD(dial, "DialSettings", DialAbort, K::Int, 4, 1),
      KV_FIELD(dial, "DialSettings", StoredNumbers, K::TextArray, 32, 4),
      KV_FIELD(dial, "DialSettings", BackupNumber, K::Text, 20, 1),
      KV_FIELD(dial, "DialSettings", BackupRetries, K::Int, 4, 1),
      KV_FIELD(dial, "DialSettings", BackupTime, K::Int, 4, 1),
      KV_FIELD(callerId, "CallerIdSettings", CidFormat, K::Int, 4, 1),
      KV_FIELD(callerId, "CallerIdSettings", CidMode, K::Int, 4, 1),
      KV_FIELD(callerId, "CallerIdSettings", AcceptedNumbers, K::TextArray, 21, 10),
      KV_FIELD(remote, "RemoteSettings", RemoteEnable, K::Byte, 1, 1),
      KV_FIELD(remote, "RemoteSettings", RemotePassword, K::Text, 21, 1),
      KV_FIELD(callback, "CallbackSettings", CallbackMode, K::Int, 4, 1),
      KV_FIELD(callback, "CallbackSettings", CallbackTime, K::Int, 4, 1),
      KV_FIELD(callback, "CallbackSettings", CallbackNumbers, K::TextArray, 21, 10),
      KV_FIELD(callback, "CallbackSettings", CallbackPasswords, K::TextArray, 21, 10),
      KV_FIELD(io, "IoSettings", PulseTa, K::Int, 4, 1),
      KV_FIELD(io, "IoSettings", PulseTp, K::Int, 4, 1),
      KV_FIELD(io, "IoSettings", TrigType, K::Int, 4, 1),
      KV_FIELD(io, "IoSettings", TrigLevel, K::Int, 4, 1),
      KV_FIELD(io, "IoSettings", OutputCtrl, K::Int, 4, 1),
      KV_FIELD(io, "IoSettings", Service, K::IntArray, 4, 10),
      KV_FIELD(io, "IoSettings", Retry, K::IntArray, 4, 10),
      KV_FIELD(io, "IoSettings", Timeout, K::IntArray, 4, 10),
      KV_FIELD(io, "IoSettings", Priority, K::IntArray, 4, 10),
      KV_FIELD(io, "IoSettings", Data1, K::TextArray, 21, 10),
      KV_FIELD(io, "IoSettings", Data2, K::TextArray, 161, 10),
      KV_FIELD(io, "IoSettings", Data3, K::TextArray, 21, 10),
      KV_FIELD(io, "IoSettings", Data4, K::IntArray, 4, 10),
      KV_FIELD(io, "IoSettings", Data5, K::TextArray, 9, 10),
      KV_FIELD(io, "IoSettings", Data6, K::TextArray, 16, 10),
      KV_FIELD(io, "IoSettings", Data7, K::IntArray, 4, 10),
  };
}

#undef KV_FIELD

const uint8_t* Bytes(const ConfigBlock& block) { return reinterpret_cast<const uint8_t*>(&block); }

std::string ElementText(const ConfigBlock& block, const FieldInfo& f, size_t i) {
  switch (f.kind) {
    case FieldKind::Int:
    case FieldKind::IntArray:
      return std::to_string(FieldInt(block, f.offset + 4 * i));
    case FieldKind::Byte:
      return std::to_string(Bytes(block)[f.offset]);
    case FieldKind::Char:
      return std::string(1, static_cast<char>(Bytes(block)[f.offset]));
    case FieldKind::Text:
    case FieldKind::TextArray:
      return FieldText(block, f.offset + f.width * i, f.width);
  }
  return {};
}

bool IsTextual(FieldKind k) { return k == FieldKind::Char || k == FieldKind::Text || k == FieldKind::TextArray; }

}  // namespace

const std::vector<FieldInfo>& ConfigFields() {
  static const std::vector<FieldInfo> fields = BuildFields();
  return fields;
}

int32_t FieldInt(const ConfigBlock& block, size_t offset) {
  int32_t v = 0;
  if (offset + 4 <= sizeof(ConfigBlock)) std::memcpy(&v, Bytes(block) + offset, 4);
  return v;
}

std::string FieldText(const ConfigBlock& block, size_t offset, size_t width) {
  if (offset >= sizeof(ConfigBlock)) return {};
  if (width > sizeof(ConfigBlock) - offset) width = sizeof(ConfigBlock) - offset;
  const char* start = reinterpret_cast<const char*>(Bytes(block) + offset);
  const void* zero = std::memchr(start, 0, width);
  return std::string(start, zero ? static_cast<size_t>(static_cast<const char*>(zero) - start) : width);
}

std::string JsonString(const std::string& text) { return JsonText(Json(Utf8FromLatin1(text))); }

std::string FieldValueText(const ConfigBlock& block, const FieldInfo& field) {
  if (field.count == 1 && field.kind != FieldKind::IntArray && field.kind != FieldKind::TextArray) {
    return ElementText(block, field, 0);
  }
  std::string out;
  for (size_t i = 0; i < field.count; ++i) {
    if (i) out += ", ";
    const std::string e = ElementText(block, field, i);
    out += IsTextual(field.kind) ? "\"" + e + "\"" : e;
  }
  return out;
}

std::string FieldElementText(const ConfigBlock& block, const FieldInfo& field, size_t index) {
  return ElementText(block, field, index);
}

Json FieldJson(const ConfigBlock& block, const FieldInfo& field) {
  auto element = [&](size_t i) {
    if (IsTextual(field.kind)) return Json(Utf8FromLatin1(ElementText(block, field, i)));
    if (field.kind == FieldKind::Byte) return Json(Bytes(block)[field.offset]);
    return Json(FieldInt(block, field.offset + 4 * i));
  };
  if (field.kind != FieldKind::IntArray && field.kind != FieldKind::TextArray) return element(0);
  Json out = Json::array();
  for (size_t i = 0; i < field.count; ++i) out.push_back(element(i));
  return out;
}

std::string FieldValueJson(const ConfigBlock& block, const FieldInfo& field) {
  return JsonText(FieldJson(block, field));
}

std::vector<FieldDifference> CompareBlocks(const ConfigBlock& left, const ConfigBlock& right) {
  std::vector<FieldDifference> out;
  std::vector<bool> named(sizeof(ConfigBlock), false);
  for (const FieldInfo& f : ConfigFields()) {
    const size_t element = (f.kind == FieldKind::Int || f.kind == FieldKind::IntArray) ? 4 : f.width;
    for (size_t i = 0; i < f.count; ++i) {
      for (size_t b = 0; b < element; ++b) named[f.offset + element * i + b] = true;
      const std::string l = ElementText(left, f, i), r = ElementText(right, f, i);
      if (l == r) continue;
      std::string name = std::string(f.record) + "." + f.name;
      if (f.count > 1) name += "[" + std::to_string(i) + "]";
      out.push_back({name, l, r});
    }
  }
  size_t unnamed = 0;
  for (size_t i = 0; i < sizeof(ConfigBlock); ++i) {
    if (!named[i] && Bytes(left)[i] != Bytes(right)[i]) ++unnamed;
  }
  if (unnamed) out.push_back({std::string(kUnusedBytesName), std::to_string(unnamed) + " differ", ""});
  return out;
}

}  // namespace kelvane
