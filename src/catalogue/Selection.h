#pragma once
// Choosing the current chip: the family, maker and model lists built from the
// catalogue's name texts, selectChip over positions in them, and the name search.

#include <string>
#include <string_view>
#include <vector>

namespace korvat {

class Catalogue;
struct NameParts;

// Texts in the order they first occur; each once, spelled as first met (matches ignore
// letter case). The family list is never cleared; the maker and model lists are
// rebuilt by every selectChip.
struct SelectionLists {
    std::vector<std::string> families;
    std::vector<std::string> makers;
    std::vector<std::string> models;
};

// Whether the texts are equal apart from ASCII letter case.
bool equalIgnoringCase(std::string_view a, std::string_view b);

// Position of the entry that matches text apart from ASCII letter case, or -1.
int findIgnoringCase(const std::vector<std::string> &list, std::string_view text);

// Rebuilds the maker and model lists for family position F and maker position M and
// makes the N-th appended model of that maker the current chip. A position of -1 or
// past the end of a list stands for the empty text. Returns the chosen slot or -1;
// currentChip is changed only when a slot was chosen.
int selectChip(const Catalogue &catalogue, SelectionLists &lists, int &currentChip, int family,
               int maker, int model);

// The first tab's caption for a family position, read as the family of that code: "FLASH"
// for 0 and 4, else "EEPROM" (no selection included).
std::string_view firstTabCaption(int familyPosition);

struct SearchRow {
    std::string type;
    std::string maker;
    std::string model;
    int slot;
};

// Every chip whose whole name text contains the trimmed key (letter case counts, a
// key may span a comma), in catalogue order; an empty key finds nothing. When no name
// holds the key with its case, the names that hold it in any letter case.
std::vector<SearchRow> searchCatalogue(const Catalogue &catalogue, std::string_view key);

// The row Enter chooses in a list of found chips: the selected one (-1: none), else the
// only row; -1 when neither.
int rowForEnter(int selectedRow, std::size_t rowCount);

// Chooses a found chip the way the search window does: three selectChip calls, each
// with the positions at which the lists then hold the row's texts. The saved positions
// are not touched. Returns the last call's result.
int chooseFoundChip(const Catalogue &catalogue, SelectionLists &lists, int &currentChip,
                    const SearchRow &row);

// Where the lists show a chip after a selection, and the slot chosen (-1: none).
struct ChipPositions {
    int chosen;
    int family, maker, model;
};

// After the catalogue was replaced under the lists: rebuilds all three lists and
// selects again the first chip named type, maker and model (letter case aside), else
// the first chip. With no chip at all nothing is chosen and currentChip becomes 0.
ChipPositions reselectChip(const Catalogue &catalogue, SelectionLists &lists, int &currentChip,
                           const NameParts &name);

} // namespace korvat
