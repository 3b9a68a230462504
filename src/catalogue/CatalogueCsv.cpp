#include "CatalogueCsv.h"

#include "base/RegularFile.h"
#include "base/TextTable.h"

#include <algorithm>
#include <variant>

namespace korvat {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// 999 lines of quoted cells at their widest stay far below this.
constexpr std::size_t kCsvFileMax = 4 << 20;

std::string_view columnName(int column) {
    std::string_view header = kCatalogueCsvHeader;
    for (int c = 0; c < column; ++c)
        header.remove_prefix(header.find(',') + 1);
    return header.substr(0, header.find(','));
}

// Reads one record from the front of text and removes it, with its line end. Quoted
// cells may hold commas, doubled quotes and line breaks; lines counts the line ends
// consumed. False when a quoted cell is not closed or is followed by something else
// than a comma or the line end.
bool takeRecord(std::string_view &text, std::vector<std::string> &cells, int &lines) {
    cells.assign(1, {});
    std::size_t i = 0;
    bool quoted = false, wasQuoted = false;
    while (i < text.size()) {
        const char ch = text[i++];
        if (quoted) {
            if (ch == '"' && i < text.size() && text[i] == '"') {
                cells.back() += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                lines += ch == '\n';
                cells.back() += ch;
            }
        } else if (ch == '"' && cells.back().empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (ch == ',') {
            cells.emplace_back();
            wasQuoted = false;
        } else if (ch == '\n') {
            ++lines;
            break;
        } else if (ch == '\r' && (i == text.size() || text[i] == '\n')) {
            continue;
        } else if (wasQuoted) {
            return false;
        } else {
            cells.back() += ch;
        }
    }
    text.remove_prefix(i);
    return !quoted;
}

std::string quoted(const std::string &cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos)
        return cell;
    std::string out = "\"";
    for (char ch : cell) {
        out += ch;
        if (ch == '"')
            out += '"';
    }
    return out + '"';
}

} // namespace

CatalogueCsv parseCatalogueCsv(std::string_view text, int language) {
    CatalogueCsv out;
    auto fail = [&out, language](int line, const std::string &what) {
        out.rows.clear();
        out.error = textWith(txtCsvLineProblem, language, {std::to_string(line), what});
        return out;
    };
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    const std::string_view header = text.substr(0, text.find('\n'));
    if (header != kCatalogueCsvHeader &&
        !(header.ends_with('\r') && header.substr(0, header.size() - 1) == kCatalogueCsvHeader))
        return fail(1, textWith(txtCsvHeader, language, {kCatalogueCsvHeader}));
    text.remove_prefix(std::min(text.size(), header.size() + 1));

    std::vector<std::string> cells;
    for (int next = 2; !text.empty();) {
        const int line = next;
        int ends = 0;
        if (!takeRecord(text, cells, ends))
            return fail(line, std::string(korvat::text(txtCsvQuoteOpen, language)));
        next += std::max(ends, 1);
        if (cells.size() == 1 && cells[0].empty())
            continue; // an empty line
        if (cells.size() != kGridColumns)
            return fail(line,
                        textWith(txtCsvCellCount, language,
                                 {std::to_string(cells.size()), std::to_string(kGridColumns)}));
        GridRow row;
        std::move(cells.begin(), cells.end(), row.begin());
        const auto record = recordFor(row, language);
        if (const auto *problem = std::get_if<RowProblem>(&record)) {
            // Not the toolkit's conversion error here: the file's own line, in the language.
            const std::string what =
                problem->notAnInteger ? textWith(txtCsvNotAnInteger, language,
                                                 {row[static_cast<std::size_t>(problem->column)]})
                                      : problem->what;
            out.rows.clear();
            out.error = textWith(txtCsvCellProblem, language,
                                 {std::to_string(line), columnName(problem->column), what});
            return out;
        }
        if (out.rows.size() == kCatalogueSlots - 1)
            return fail(line, textWith(txtCsvTooManyChips, language,
                                       {std::to_string(kCatalogueSlots - 1)}));
        out.rows.push_back(std::move(row));
    }
    return out;
}

CatalogueCsv readCatalogueCsvFile(const std::string &path, int language) {
    const RegularFile in(path); // a named pipe is not waited on
    std::string text(kCsvFileMax + 1, '\0');
    std::size_t size = 0;
    if (!in || !in.readInto(text.data(), text.size(), size))
        return {{}, textWith(txtCsvCannotOpen, language, {path}), true};
    text.resize(size);
    if (text.size() > kCsvFileMax)
        return {{}, textWith(txtCsvFileTooLarge, language, {std::to_string(kCsvFileMax >> 20)})};
    return parseCatalogueCsv(text, language);
}

std::string writeCatalogueCsv(const std::vector<GridRow> &rows) {
    std::string out(kCatalogueCsvHeader);
    out += '\n';
    for (const GridRow &row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c)
            out += (c ? "," : "") + quoted(row[c]);
        out += '\n';
    }
    return out;
}

} // namespace korvat
