#pragma once
// The catalogue's source form: UTF-8 text, one chip per line in the columns of the
// chip editor's grid, after one header line that names them. No quoting: cells hold
// no commas.

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
    std::string error; // the first problem, with its line number; empty when read
};

CatalogueCsv parseCatalogueCsv(std::string_view text);

} // namespace korvat
