#pragma once
// The catalogue's exchange form: UTF-8 text, one chip per line in the columns of the
// chip editor's grid, after one header line that names them. A cell that holds a comma,
// a double quote or a line break is quoted, with its quotes doubled. The catalogue's
// source in data/ and the editor's Import and Export use it.

#include "Catalogue.h"

#include <string>
#include <string_view>
#include <vector>

namespace korvat {

constexpr std::string_view kCatalogueCsvHeader =
    "type,maker,model,chip_id,flash_size,flash_page,family,sub_type,delay,voltage,"
    "eeprom_size,eeprom_page,association";

struct CatalogueCsv {
    std::vector<GridRow> rows;
    std::string error;       // the first problem, with its line and column; empty when read
    bool unreadable = false; // the file could not be read: the error names it
};

// Reads the text whole or not at all: a wrong header, a line with another number of
// cells, a row the catalogue file could not hold, or more chips than it holds, gives no
// rows and names the first such line (and column, where there is one). A byte order
// mark, line ends of CR LF and empty lines are accepted. The problem is told in the
// language.
CatalogueCsv parseCatalogueCsv(std::string_view text, int language = 2);

// Reads a file with parseCatalogueCsv. A file that cannot be read gives "Cannot open
// file %s" (in the language); one larger than a full catalogue's text could be is
// refused unread.
CatalogueCsv readCatalogueCsvFile(const std::string &path, int language = 2);

// The header line and one line per row, each ended by LF.
std::string writeCatalogueCsv(const std::vector<GridRow> &rows);

} // namespace korvat
