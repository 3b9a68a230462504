#pragma once
// The chip editor's configuration controls as plain data, the fixed texts of its lists,
// and the two conversions between a grid row and the controls: loading a row on a
// double-click, and writing the controls into a row for "add" and "edit".

#include "Catalogue.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvat {

// The editor's configuration controls. List controls hold a position; -1 means nothing
// is selected (a row whose value is not in the list loads as -1).
struct EditorControls {
    std::string type, maker, model;    // the three editable name lists' texts
    std::string chipIdText = "0";      // chip ID box, free text
    std::string delayText = "100";     // delay box, free text
    int family = 0;                    // family list position = family code
    int capacity = 0;                  // capacity list position p: 64 * 2^p bytes
    int flashPage = 0;                 // FLASH page list position p: 2^p bytes
    int voltage = 0;                   // voltage list position = voltage code
    int algorithm = 0;                 // position within the family's sub-type list
    int eepromSize = 1;                // EEPROM size list position: 0 -> 0 bytes, p >= 1 -> 2^p
    int eepromPage = 2;                // EEPROM page list position p: 2^p bytes
    std::string associationText = "0"; // association list text
};

// How many times v can be halved while it is greater than 1: the exponent of 2 for the
// sizes the lists offer.
int halvings(std::uint64_t v);

// The fixed list texts, in list order.
std::span<const std::string_view> familyListTexts();      // position = family code
std::span<const std::string_view> capacityListTexts();    // "64B" .. "64MB"
std::span<const std::string_view> pageListTexts();        // "1" .. "256" (FLASH and EEPROM)
std::span<const std::string_view> voltageListTexts();     // "3.3V", "1.8V"
std::span<const std::string_view> eepromSizeListTexts();  // "0B", "2B" .. "64MB"
std::span<const std::string_view> associationListTexts(); // "0" .. "18"
// The sub-type list of a family is subtypeList() of Family.h.

struct LoadResult {
    EditorControls controls;          // as far as the load got
    std::optional<std::string> error; // "'<cell>' is not a valid integer value"
};

// Loads a grid row into the controls, starting from the current ones. Cells are read
// in column order; a cell that breaks the integer text rule stops the load there, with
// the controls set so far and the message. Setting the family refills the sub-type
// list and selects its first entry before the algorithm cell is applied. A position
// that falls outside its list becomes -1; the 24 series and AVR do not read cell 7.
LoadResult loadControls(const GridRow &row, const EditorControls &current);

// Writes the controls into a row: names, chip ID, delay and association as typed, every
// other cell in decimal from the list positions. A list with nothing selected, or with a
// position outside the list, leaves its cell as it was; so does cell 7 when the sub-type
// position is not in the family's list.
void writeControls(const EditorControls &controls, GridRow &row);

// The editor's grid: one row per chip of the catalogue, in slot order.
std::vector<GridRow> gridRowsFor(const Catalogue &catalogue);

// The type, maker and model lists of the editor: each text once, letter case aside, as
// first met in the rows; an empty maker is left out.
struct EditorNameLists {
    std::vector<std::string> types, makers, models;
};
EditorNameLists editorNameLists(const std::vector<GridRow> &rows);

// Whether the row's name ("type,maker,model") holds the trimmed filter text, letter case
// aside. Every row holds an empty filter.
bool rowMatchesFilter(const GridRow &row, std::string_view filter);

} // namespace korvat
