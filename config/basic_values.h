#pragma once
// The Basic page's values without widgets: its lists, the country code and
// compression mappings and the +MS modulation text with its carrier table.
// Used by the page, its Modulation dialog and the command line.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// --- lists, exactly as the page shows them ----------------------------------

// The 69 country items ("B8 - Armenia", "07 - Argentina ", ...): the +GCI code
// as two hex digits, " - " and a name, trailing blanks included.
const std::vector<std::string>& CountryItems();
const std::vector<std::string>& CompressionItems();
const std::vector<std::string>& BreakControlItems();
const std::vector<std::string>& LineQualityItems();
const std::vector<std::string>& FastDisconnectItems();
const std::vector<std::string>& FactoryDefaultItems();

// "C7 - Universal": what the page stores while it cannot show the record's code.
inline constexpr int kUniversalCountryCode = 0xC7;

// The first country item that begins with the code as two upper-case hex
// digits, or -1 (the combo is then disabled). Several countries share a code;
// the first of them is shown.
int CountryIndex(int code);
// The code an item stands for: its leading hexadecimal digits (0 without).
int CountryCodeOfItem(std::string_view item);

// --- compression and error correction (\N with %C) ---------------------------

struct CompressionPair {
  int errorCorrectionN;
  int compressionC;
};
// The pair of a combo index 0..4; an index outside the list gives nothing.
bool CompressionPairAt(int index, CompressionPair& pair);
// The combo index for a record pair. Tolerant: a pair the list lacks shows
// as "2 - Reliable auto, with compression".
int CompressionIndex(int errorCorrectionN, int compressionC);

// --- modulation (+MS) ---------------------------------------------------------

struct Carrier {
  const char* name;
  std::vector<int> tx;  // rates in bits per second, ascending
  std::vector<int> rx;
};
// The 14 carriers in their order (V21 ... B212).
const std::vector<Carrier>& Carriers();

inline constexpr std::size_t kModulationSize = 32;

// The Modulation field's text: at most 32 bytes, up to a zero byte.
std::string ModulationFieldText(const char* field);
// Clears the field and copies at most 32 characters of the text into it (a
// text of 32 characters fills it without a terminating zero).
void StoreModulationField(char* field, std::string_view text);

// The dialog's renaming of the modem's carrier names, in this order at every
// occurrence: "V32B" to "V32", "AUTOV8" to "V34", "AUTO" to "V32B".
std::string RewriteCarrierNames(std::string text);

inline constexpr std::array<const char*, 2> kAutomodeItems = {"1 - On", "0 - Off"};

// What the Modulation dialog shows for a text: the carrier, the four rate
// lists (each "0" first; Min ascending, Max descending) and the selection of
// the Automode and rate combos.
struct ModulationView {
  int carrier = 0;
  int automode = 0;
  std::vector<std::string> txMin, txMax, rxMin, rxMax;
  int txMinSel = 0, txMaxSel = 0, rxMinSel = 0, rxMaxSel = 0;
};
ModulationView ViewModulation(std::string_view text);
// The rate lists of a carrier, selections at "0".
ModulationView ViewCarrier(int carrier);
// "<carrier>,<first character of the Automode item>,<tx min>,<tx max>,<rx min>,<rx max>".
std::string ModulationText(std::string_view carrier, std::string_view automodeItem,
                           std::string_view txMin, std::string_view txMax, std::string_view rxMin,
                           std::string_view rxMax);

// Index of the first item that begins with `prefix` (every item begins with
// the empty text), or -1.
int FindItemWithPrefix(const std::vector<std::string>& items, std::string_view prefix);

}  // namespace kelvane
