#include "CatalogueExchange.h"

#include "CatalogueCsv.h"
#include "base/AtomicFile.h"
#include "base/Prompter.h"
#include "base/RegularFile.h"
#include "base/TextTable.h"
#include "base/FileChooser.h"
#include "base/MessageSink.h"

#include <filesystem>

namespace korvat {
namespace {

FileChoice csvChoice(const std::string &folder) {
    return {{"CSV (*.csv)", "All files (*)"}, 0, "csv", folder};
}

} // namespace

CatalogueExchange::CatalogueExchange(FileChooser &chooser, Prompter &prompter, MessageSink &sink,
                                     const int &language)
    : m_chooser(chooser), m_prompter(prompter), m_sink(sink), m_language(language) {}

std::optional<std::vector<GridRow>> CatalogueExchange::importRows(std::size_t rowsInGrid) {
    const auto path = m_chooser.chooseOpen(csvChoice(m_folder));
    if (!path)
        return std::nullopt;
    m_folder = std::filesystem::path(*path).parent_path().string();
    if (isIrregularFile(*path)) {
        m_sink.showError(notRegularFileText(*path, m_language));
        return std::nullopt;
    }
    CatalogueCsv csv = readCatalogueCsvFile(*path, m_language);
    if (!csv.error.empty()) {
        m_sink.showError(csv.unreadable
                             ? csv.error
                             : textWith(txtCsvFileProblem, m_language, {*path, csv.error}));
        return std::nullopt;
    }
    constexpr std::size_t most = kCatalogueSlots - 1;
    if (rowsInGrid + csv.rows.size() > most) {
        m_sink.showError(textWith(txtCsvImportTooMany, m_language,
                                  {*path, std::to_string(csv.rows.size()),
                                   std::to_string(rowsInGrid), std::to_string(most)}));
        return std::nullopt;
    }
    return std::move(csv.rows);
}

bool CatalogueExchange::exportRows(const std::vector<GridRow> &rows) {
    const auto path = m_chooser.chooseSave(csvChoice(m_folder));
    if (!path)
        return false;
    m_folder = std::filesystem::path(*path).parent_path().string();
    std::error_code error;
    if (std::filesystem::exists(*path, error) &&
        !m_prompter.askYesNo(text(txtOverwriteQuestion, m_language)))
        return false;
    if (!writeFileAtomically(*path, writeCatalogueCsv(rows))) {
        m_sink.showError(textWith(txtCsvCannotCreate, m_language, {*path}));
        return false;
    }
    return true;
}

} // namespace korvat
