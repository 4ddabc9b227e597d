#pragma once
// Every field of the configuration block in the words of the pages: the tab
// that shows it, the caption beside its control and its value as the control
// shows it (the combo's item, the country, a masked password). Built from the
// pages' own value mappings in config/*_values.*, so a profile or a
// comparison can be read without translating field names back to the pages.

#include <string>
#include <string_view>
#include <vector>

#include "config/config_block.h"
#include "config/field_table.h"

namespace kelvane {

// One named field (an array element counts as one field) in the pages' words.
struct FieldWords {
  std::string name;     // as CompareBlocks names it: "BasicSettings.S0", "DialSettings.StoredNumbers[2]"
  int pageIndex = 0;    // PG_BASIC ... (config/adapter.h) of the page that shows it; kNotShownPage for none
  std::string page;     // the page's tab title: "Basic", "Serial", "Dial Options", ...
  std::string caption;  // the caption the page shows beside the control: "Rings to Auto-Answer [S0]"
  std::string shown;    // the value as the page shows it: "1 - Enabled", "3D - France", a masked password
};

// Fields that no page shows (Data7 of the I/O entries, which the entry dialog
// keeps hidden, and the unused and padding bytes) have the page index
// kNotShownPage, the page kNotShownTitle and their field name as caption.
inline constexpr std::string_view kNotShownTitle = "(not shown)";
// What stands for a password that is set; an empty one shows as "".
inline constexpr std::string_view kMaskedPassword = "********";

// What stands for a password that is set on both sides of a comparison but
// differs: the change shows without revealing either.
inline constexpr std::string_view kDifferingPassword = "******** (differs)";
// A password as shown: "" when empty, kMaskedPassword when set.
std::string MaskedPassword(std::string_view value);
// The two sides of a password that differs, masked: an empty side stays
// empty; when both are set the left side is kDifferingPassword.
void MaskPasswordPair(std::string& left, std::string& right);

// The tab title of a page (PG_BASIC ...), kNotShownTitle for any other index.
std::string PageTitle(int pageIndex);
// The configuration pages in the order of the sheet's tabs.
const std::vector<int>& PagesInSheetOrder();

// Every field of the block, page by page in sheet order, in the pages' words.
// Within a page the fields follow the page from top to bottom; the I/O
// entries' data fields (the entry dialog's) follow their row. A value the
// page cannot show as stored (a code no item stands for, a number cut by its
// edit) is shown as the page shows it, followed by "(stored ...)".
std::vector<FieldWords> DescribeBlock(const ConfigBlock& block);

struct WordsDifference {
  FieldWords here;      // the field and its value in `here`
  std::string there;    // the value in `other`, as the page would show it
};
// The fields that differ between the two blocks, page by page; the same set of
// fields as CompareBlocks finds (padding/unused bytes: one entry of their own,
// last, with the number of differing bytes as `here.shown` and "" as `there`).
std::vector<WordsDifference> CompareInWords(const ConfigBlock& here, const ConfigBlock& other);
// The differences a comparison found (CompareBlocks, CompareWithModem), in
// the same words and order: `left` values are those of `here`, `right` those
// of `other`. A password set on both sides shows kDifferingPassword in
// `here`, so a change stays visible.
std::vector<WordsDifference> DifferencesInWords(const std::vector<FieldDifference>& differences,
                                                const ConfigBlock& here, const ConfigBlock& other);

}  // namespace kelvane
