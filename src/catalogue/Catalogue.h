#pragma once
// The catalogue table of 1000 record slots, its file reader, and the writer that
// rebuilds table and file from the chip editor's grid.

#include "ChipRecord.h"

#include <array>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace korvat {

constexpr int kCatalogueSlots = 1000;
constexpr int kGridColumns = 13;
constexpr std::size_t kCatalogueFileMax = kCatalogueSlots * sizeof(ChipRecord);

// One chip row of the editor grid: type, maker, model, chip ID, capacity, FLASH page,
// family, algorithm, delay, voltage, EEPROM size, EEPROM page, association.
using GridRow = std::array<std::string, kGridColumns>;

enum class CatalogueOutcome {
    Read,        // the table now holds the file
    NoFile,      // no file: not an error, the table is unchanged
    CannotOpen,  // "Cannot open file %s"
    Damaged,     // size not a multiple of 68, larger than the table, or a chip the
                 // writer could not have stored (isStorableRecord)
    Written,     // save: table rebuilt and file replaced
    BadCell,     // save: a cell is not an integer, or a name cannot be stored; nothing changed
    CannotCreate // save: "Cannot create file %s"; the table holds the new contents
};

struct CatalogueResult {
    CatalogueOutcome outcome;
    std::string message; // what the user is shown; empty for Read, NoFile and Written
};

class Catalogue {
public:
    Catalogue(); // all slots zero

    // Reads the file into the table. The damaged message is in the given language.
    CatalogueResult load(const std::string &path, int language);

    // Rebuilds the table from the grid's chip rows plus an end record and replaces
    // the file. A bad row stops the save before anything changes, with its message in
    // the language (the conversion error and the file errors keep their one form).
    CatalogueResult save(const std::vector<GridRow> &rows, const std::string &path,
                         int language = 2);

    const ChipRecord &slot(int index) const { return m_slots.at(static_cast<std::size_t>(index)); }
    ChipRecord &slot(int index) { return m_slots.at(static_cast<std::size_t>(index)); }

    // Number of chips: slots before the first end record, at most 1000.
    int chipCount() const;
    // The slot's name text as UTF-8.
    std::string name(int index) const;
    // The slots before the end record whose chipId is id, in catalogue order; none for an
    // ID that names no chip (isKnownChipId).
    std::vector<int> slotsWithChipId(std::uint32_t id) const;

private:
    std::array<ChipRecord, kCatalogueSlots> m_slots;
};

// Why a grid row cannot be stored: the first column at fault and what is wrong there.
struct RowProblem {
    int column;
    std::string what;
    bool notAnInteger = false; // what is then the conversion error alone
};

// The record a grid row stands for, or its first problem: a type, maker or model that
// holds (once trimmed) a blank, a control character, a zero byte, a comma or a double
// quote, which the main window's lists would split apart; a name text that GBK cannot
// express or that passes 47 bytes; a cell that breaks the integer text rule ("'%s' is
// not a valid integer value"); a value its field cannot hold, or a capacity above the
// FLASH buffer (kLargestCapacity); a family code outside the family list, a sub-type code
// the family's list does not give, a FLASH page that is not a power of two up to 256 or
// an EEPROM page that is neither 0 nor a power of two. Bytes after the name's
// terminating zero are zero.
// The problem is told in the language, the conversion error in its one form.
std::variant<ChipRecord, RowProblem> recordFor(const GridRow &row, int language = 2);

// Whether the record is one the writer stores for the row that shows it (gridRowFor):
// a name text of three parts that the lists read as the editor does, ended by a zero
// byte, and fields that recordFor accepts. What follows the name's zero is not looked at.
bool isStorableRecord(const ChipRecord &record);

// The editor grid's title row text of a column; it does not change with the language.
std::string_view gridTitle(int column);

// The grid row that shows a record (editor): name cut by the editor's rule, chip ID
// as "0x%X", every other field in unsigned decimal.
GridRow gridRowFor(const ChipRecord &record);

// The catalogue path for an executable: its extension replaced by ".Dat".
std::string cataloguePathFor(const std::string &executable);

} // namespace korvat
