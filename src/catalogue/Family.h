#pragma once
// The five chip families: their codes, the editor's family and sub-type lists, and the
// mapping between a sub-type list position and the stored algorithm code.

#include <optional>
#include <span>
#include <string_view>

namespace korvat {

enum Family : int {
    kFamily25Flash = 0,
    kFamily24Eeprom = 1,
    kFamily93Eeprom = 2,
    kFamily95Eeprom = 3,
    kFamilyAvr = 4,
};
constexpr int kFamilyCount = 5;

// 25-series algorithm bits: SST part, and larger than 16 MiB.
constexpr int kAlgorithmSst = 0x01;
constexpr int kAlgorithmOver16M = 0x80;

// Editor family list text at position = family code; empty outside 0 to 4.
std::string_view familyText(int family);

// Editor sub-type list of the family, in order; empty for a code outside 0 to 4.
std::span<const std::string_view> subtypeList(int family);

// Stored algorithm code for sub-type list position k of the family, as the editor
// writes it: 93 series k + 7 (k < 5) or k + 82; 24 and 95 series k; every other family
// 0, 1, 128, 129 for k = 0 to 3, and nothing for any other k (the cell stays as it was).
std::optional<int> algorithmForSubtype(int family, int k);

// Sub-type list position that shows a stored code, as the editor loads a row. The
// 24 series ignores the code and goes by the capacity list position (6 = 4 KB and up).
// An unmapped 25-series code gives -1 (no selection).
int subtypeForAlgorithm(int family, int code, int capacityPosition);

} // namespace korvat
