#include "ChipChoice.h"

#include "Catalogue.h"

#include <algorithm>

namespace korvat {
namespace {

std::string lower(std::string_view text) {
    std::string s(text);
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

std::vector<CatalogueChip> allChips(const Catalogue &catalogue) {
    std::vector<CatalogueChip> chips;
    for (int i = 0; i < catalogue.chipCount(); ++i)
        chips.push_back({i, splitForSelection(catalogue.name(i))});
    return chips;
}

} // namespace

std::string fullChipName(const NameParts &name) {
    return name.type + "/" + name.maker + "/" + name.model;
}

std::vector<CatalogueChip> chipsContaining(const Catalogue &catalogue, std::string_view text) {
    const std::string key = lower(trimBlanks(text));
    std::vector<CatalogueChip> found;
    for (int i = 0; i < catalogue.chipCount(); ++i)
        if (lower(catalogue.name(i)).find(key) != std::string::npos)
            found.push_back({i, splitForSelection(catalogue.name(i))});
    return found;
}

ChipChoice chooseChip(const Catalogue &catalogue, std::string_view name) {
    const std::string key = lower(trimBlanks(name));
    const bool full = std::count(key.begin(), key.end(), '/') == 2;
    ChipChoice choice;
    std::vector<CatalogueChip> matches;
    for (const CatalogueChip &chip : allChips(catalogue))
        if (lower(full ? fullChipName(chip.name) : chip.name.model) == key)
            matches.push_back(chip);
    for (const CatalogueChip &chip : matches)
        choice.named.push_back(chip.slot);
    if (matches.size() == 1) {
        choice.slot = matches.front().slot;
        return choice;
    }
    if (matches.empty())
        matches = chipsContaining(catalogue, full ? key.substr(key.rfind('/') + 1) : key);
    for (const CatalogueChip &chip : matches)
        choice.candidates.push_back(fullChipName(chip.name));
    return choice;
}

} // namespace korvat
