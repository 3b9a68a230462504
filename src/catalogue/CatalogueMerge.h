#pragma once
// Bringing the chips of one catalogue (the installed default) into another (the user's
// edited copy) without touching the chips the other holds.

#include "NameText.h"

#include <string>
#include <vector>

namespace korvat {

struct CatalogueMerge {
    std::vector<NameParts> added; // in the source's order
    std::string error;            // what stopped the merge; nothing was written then
};

// Appends to the target file, after its own records left byte for byte, the source's
// chips whose type, maker and model (as the lists read them, letter case aside) no chip
// of the target has, with an end record, and replaces the file atomically. Nothing is
// written when nothing is to be added, or when the result would pass the 999 chips a
// catalogue holds. Messages are in the language.
CatalogueMerge mergeCatalogue(const std::string &target, const std::string &source, int language);

} // namespace korvat
