#pragma once
// The chip editor's Import and Export: the file dialogs, the checks and the messages
// around reading and writing the grid's rows as a catalogue CSV file.

#include "Catalogue.h"

#include <optional>
#include <string>
#include <vector>

namespace korvat {

class FileChooser;
class MessageSink;
class Prompter;

class CatalogueExchange {
public:
    CatalogueExchange(FileChooser &chooser, Prompter &prompter, MessageSink &sink,
                      const int &language);

    // Import: the rows of the chosen file, to be appended to a grid of rowsInGrid chip
    // rows; nothing when the person cancelled or the file was refused with a message (a
    // bad line, or more chips than the catalogue holds together with the grid's).
    std::optional<std::vector<GridRow>> importRows(std::size_t rowsInGrid);

    // Export: writes the rows to the chosen file, asking before one is replaced. False
    // when cancelled, declined, or not written (with a message).
    bool exportRows(const std::vector<GridRow> &rows);

private:
    FileChooser &m_chooser;
    Prompter &m_prompter;
    MessageSink &m_sink;
    const int &m_language;
    std::string m_folder; // where the last chosen file was
};

} // namespace korvat
