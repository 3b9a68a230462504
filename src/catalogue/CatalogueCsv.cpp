#include "CatalogueCsv.h"

namespace korvat {

CatalogueCsv parseCatalogueCsv(std::string_view text) {
    CatalogueCsv out;
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (number == 1) {
            if (line != kCatalogueCsvHeader) {
                out.error = "line 1: the header must read " + std::string(kCatalogueCsvHeader);
                return out;
            }
            continue;
        }
        if (line.empty())
            continue;
        GridRow row;
        std::size_t cell = 0;
        for (std::size_t from = 0;; ++cell) {
            const auto comma = line.find(',', from);
            if (cell < row.size())
                row[cell] = std::string(line.substr(from, comma - from));
            if (comma == std::string_view::npos)
                break;
            from = comma + 1;
        }
        if (cell + 1 != row.size()) {
            out.error = "line " + std::to_string(number) + ": " + std::to_string(cell + 1) +
                        " cells, not " + std::to_string(row.size());
            return out;
        }
        out.rows.push_back(std::move(row));
    }
    return out;
}

} // namespace korvat
