#pragma once
// Finding catalogue chips by name for the command line: the chips whose name holds a
// text, and the one chip a "--chip" argument names.

#include "NameText.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvat {

class Catalogue;

struct CatalogueChip {
    int slot;
    NameParts name; // as the main window's lists show it
};

// "TYPE/MAKER/MODEL" of a chip.
std::string fullChipName(const NameParts &name);

// The chips whose whole name text holds the trimmed text, letter case aside, in
// catalogue order; every chip for an empty text.
std::vector<CatalogueChip> chipsContaining(const Catalogue &catalogue, std::string_view text);

struct ChipChoice {
    std::optional<int> slot;             // the one chip named
    std::vector<int> named;              // every chip the name names exactly
    std::vector<std::string> candidates; // when none or several: what the name could mean
};

// A chip named by its model, or by "TYPE/MAKER/MODEL" when models repeat; letter case
// aside. Unknown: no slot and, as candidates, the chips whose name holds the text.
// Ambiguous: no slot and the full names of every chip with that model.
ChipChoice chooseChip(const Catalogue &catalogue, std::string_view name);

} // namespace korvat
