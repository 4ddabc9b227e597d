#include "config/basic_values.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "config/page_values.h"

namespace kelvane {

const std::vector<std::string>& CountryItems() {
  static const std::vector<std::string> items = {
      "B8 - Armenia", "07 - Argentina ", "B8 - Armenia ", "09 - Australia",
      "0A - Austria", "B8 - Azerbaijan ", "B8 - Belarus ", "0F - Belgium",
      "16 - Brazil", "20 - Canada ", "22 - Cayman Islands ", "25 - Chile ",
      "2B - Costa Rica ", "2C - Cuba ", "2E - Czech Rep", "31 - Denmark",
      "35 - Ecuador ", "37 - El Salvador ", "B8 - Estonia ", "3C - Finland",
      "3D - France ", "B8 - Georgia ", "04 - Germany", "46 - Greece",
      "4F - Honduras ", "50 - Hong Kong ", "51 - Hungary", "54 - Indonesia",
      "57 - Ireland", "59 - Italy", "5B - Jamaica ", "00 - Japan",
      "B8 - Kazakhstan ", "B8 - Kyrgystan ", "B8 - Latvia ", "B8 - Lithuania",
      "69 - Luxembourg", "6C - Malaysia", "73 - Mexico  ", "B8 - Moldavia",
      "7E - New Zealand  ", "82 - Norway", "84 - Pakistan  ", "85 - Panama  ",
      "87 - Paraguay  ", "89 - Philippines", "8A - Poland", "8B - Portugal",
      "B8 - Russia", "9C - Singapore", "2E - Slovakia", "9F - South Africa",
      "61 - South Korea", "A0 - Spain", "A1 - Sri Lanka  ", "A3 - Suriname  ",
      "A5 - Sweden", "A6 - Switzerland", "C5 - Taiwan ", "B8 - Tajikistan ",
      "A9 - Thailand", "7B - The Netherlands", "AE - Turkey", "B8 - Turkmenistan ",
      "B8 - Ukraine ", "B4 - United Kingdom ", "C7 - Universal", "B7 - Uruguay  ",
      "B5 - USA",
  };
  return items;
}

const std::vector<std::string>& CompressionItems() {
  static const std::vector<std::string> items = {
      "0 - Buffered, no compression", "1 - Direct, no compression",
      "2 - Reliable auto, with compression", "3 - Reliable LAPM, with V42bis comp",
      "4 - Reliable NMP, with NMP-5 comp"};
  return items;
}

const std::vector<std::string>& BreakControlItems() {
  static const std::vector<std::string> items = {"0 -", "1 -", "2 -", "3 -", "4 -", "5 -"};
  return items;
}

const std::vector<std::string>& LineQualityItems() {
  static const std::vector<std::string> items = {"0 - Disabled", "1 - Enabled",
                                                 "2 - Enabled and Fall back"};
  return items;
}

const std::vector<std::string>& FastDisconnectItems() {
  static const std::vector<std::string> items = {"0 - Disabled", "1 - Enabled"};
  return items;
}

const std::vector<std::string>& FactoryDefaultItems() {
  static const std::vector<std::string> items = {"0 - Standard modem parameters",
                                                 "2 - Dalmarin specific parameters"};
  return items;
}

int FindItemWithPrefix(const std::vector<std::string>& items, std::string_view prefix) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (std::string_view(items[i]).substr(0, prefix.size()) == prefix) return static_cast<int>(i);
  }
  return -1;
}

int CountryIndex(int code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(code));
  // Only a code of two digits can match an item; "1B8" must not match "1B".
  if (std::strlen(hex) != 2) return -1;
  return FindItemWithPrefix(CountryItems(), hex);
}

int CountryCodeOfItem(std::string_view item) {
  int code = 0;
  for (char c : item) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      break;
    }
    if (code > 0x7FFFFFF) break;  // stays within int
    code = code * 16 + digit;
  }
  return code;
}

namespace {

constexpr CompressionPair kCompressionPairs[] = {{0, 0}, {1, 0}, {3, 3}, {4, 2}, {5, 1}};

}  // namespace

bool CompressionPairAt(int index, CompressionPair& pair) {
  if (index < 0 || index >= static_cast<int>(std::size(kCompressionPairs))) return false;
  pair = kCompressionPairs[index];
  return true;
}

int CompressionIndex(int n, int c) {
  for (std::size_t i = 0; i < std::size(kCompressionPairs); ++i) {
    const CompressionPair& pair = kCompressionPairs[i];
    if (pair.errorCorrectionN == n && pair.compressionC == c) return static_cast<int>(i);
  }
  return 2;  // a pair the list lacks shows as the automatic one
}

// --- modulation ----------------------------------------------------------------

namespace {

std::vector<int> Steps(int from, int to, int step) {
  std::vector<int> rates;
  for (int r = from; r <= to; r += step) rates.push_back(r);
  return rates;
}

std::vector<int> V90Download() {
  std::vector<int> rates = Steps(2400, 33600, 2400);
  for (int r : {37333, 41333, 42666, 44000, 45333, 46666, 48000, 49333, 50666, 52000, 53333, 54666,
                56000, 57333}) {
    rates.push_back(r);
  }
  return rates;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

std::vector<std::string> RateItems(const std::vector<int>& rates, bool descending) {
  std::vector<std::string> items = {"0"};
  if (descending) {
    for (auto it = rates.rbegin(); it != rates.rend(); ++it) items.push_back(std::to_string(*it));
  } else {
    for (int r : rates) items.push_back(std::to_string(r));
  }
  return items;
}

// A token selects the first item it begins; none: item 0.
int SelectToken(const std::vector<std::string>& items, std::string_view token) {
  const int i = FindItemWithPrefix(items, token);
  return i < 0 ? 0 : i;
}

}  // namespace

const std::vector<Carrier>& Carriers() {
  static const std::vector<Carrier> carriers = [] {
    const std::vector<int> v34 = Steps(2400, 33600, 2400);
    const std::vector<int> v90 = V90Download();
    const std::vector<int> v32b = {4800, 7200, 9600, 12000, 14400};
    return std::vector<Carrier>{
        {"V21", {300}, {300}},
        {"V22", {1200}, {1200}},
        {"V22B", {1200, 2400}, {1200, 2400}},
        {"V23C", {75, 1200}, {75, 1200}},
        {"V23HDX", {75, 1200}, {75, 1200}},
        {"V23FDX", {75, 1200}, {75, 1200}},
        {"V32", {4800, 9600}, {4800, 9600}},
        {"V32B", v32b, v32b},
        {"V34", v34, v34},
        {"V34FC", v34, v34},
        {"V90A", v34, v90},
        {"V90D", v90, v34},
        {"B103", {300}, {300}},
        {"B212", {1200}, {1200}},
    };
  }();
  return carriers;
}

std::string ModulationFieldText(const char* field) { return FieldText(field, kModulationSize); }

void StoreModulationField(char* field, std::string_view text) {
  std::memset(field, 0, kModulationSize);
  std::memcpy(field, text.data(), std::min(text.size(), kModulationSize));
}

std::string RewriteCarrierNames(std::string text) {
  ReplaceAll(text, "V32B", "V32");
  ReplaceAll(text, "AUTOV8", "V34");
  ReplaceAll(text, "AUTO", "V32B");
  return text;
}

ModulationView ViewCarrier(int carrier) {
  const std::vector<Carrier>& carriers = Carriers();
  ModulationView view;
  view.carrier = carrier >= 0 && carrier < static_cast<int>(carriers.size()) ? carrier : 0;
  const Carrier& c = carriers[static_cast<std::size_t>(view.carrier)];
  view.txMin = RateItems(c.tx, false);
  view.txMax = RateItems(c.tx, true);
  view.rxMin = RateItems(c.rx, false);
  view.rxMax = RateItems(c.rx, true);
  return view;
}

ModulationView ViewModulation(std::string_view text) {
  std::string full(text);
  if (full.find(',') == std::string::npos) full += ",1,0,0,0,0";

  // The carrier name selects the first carrier whose name begins with it.
  const std::size_t comma = full.find(',');
  const std::string_view name = std::string_view(full).substr(0, comma);
  std::vector<std::string> names;
  for (const Carrier& c : Carriers()) names.emplace_back(c.name);
  ModulationView view = ViewCarrier(std::max(0, FindItemWithPrefix(names, name)));

  // Automode, TX min, TX max, RX min, and the rest for RX max.
  std::string_view rest = std::string_view(full).substr(comma + 1);
  std::string_view tokens[5];
  for (int i = 0; i < 5; ++i) {
    if (i == 4) {
      tokens[i] = rest;
      break;
    }
    const std::size_t next = rest.find(',');
    tokens[i] = rest.substr(0, next);
    rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
  }
  const std::vector<std::string> automode(kAutomodeItems.begin(), kAutomodeItems.end());
  view.automode = SelectToken(automode, tokens[0]);
  view.txMinSel = SelectToken(view.txMin, tokens[1]);
  view.txMaxSel = SelectToken(view.txMax, tokens[2]);
  view.rxMinSel = SelectToken(view.rxMin, tokens[3]);
  view.rxMaxSel = SelectToken(view.rxMax, tokens[4]);
  return view;
}

std::string ModulationText(std::string_view carrier, std::string_view automodeItem,
                           std::string_view txMin, std::string_view txMax, std::string_view rxMin,
                           std::string_view rxMax) {
  std::string text(carrier);
  text += ',';
  if (!automodeItem.empty()) text += automodeItem.front();
  for (std::string_view part : {txMin, txMax, rxMin, rxMax}) {
    text += ',';
    text += part;
  }
  return text;
}

}  // namespace kelvane
