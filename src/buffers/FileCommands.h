#pragma once
// The Open and Save commands: which dialog is shown with which filters, where a file is
// loaded (FLASH or EEPROM buffer; a raw file at the start of the address range) and what
// it replaces, the capacity question, the loaded length, the views and the log line;
// and the folder the dialogs start in.

#include "Bounds.h"
#include "FileIO.h"
#include "base/FileChooser.h"
#include "base/TextTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvat {

class BufferView;
class Buffers;
class MessageSink;
class OperationHost;
class Prompter;
struct ChipRecord;

// Dialog filters as description and pattern pairs separated by vertical bars.
extern const std::string_view kOpenFilter;
extern const std::string_view kSaveFilter;

// The pairs as name filters the file dialogs take, in their order: the description,
// followed by its pattern in parentheses unless the description already ends with it.
// "*.*" stands for every file, also one without an extension.
std::vector<std::string> nameFilters(std::string_view pairs);

// The open dialog's filters: one entry for every file of a known kind first, its
// description in the language, then those of kOpenFilter.
std::vector<std::string> openFilters(int language);

// The tab of the main window that an opened file goes to.
enum class BufferTab { Flash, Eeprom, Other };

// How openPath takes a file beyond what its name says (the command line's choices).
struct OpenAs {
    std::optional<FileKind> kind; // the file's kind whatever its extension
    std::string shownName;        // what the log calls the file, if not its path
};

class FileCommands {
public:
    FileCommands(Buffers &buffers, BufferView &flashView, BufferView &eepromView,
                 OperationHost &log, Prompter &prompter, MessageSink &sink, FileChooser &chooser,
                 const int &language);

    // Open: the dialog, then openPath. False when nothing was opened.
    bool open(BufferTab tab, const ChipRecord &chip);
    // Loads the file into the tab's buffer and logs it. False when the address range is
    // refused, the file cannot be opened or is not a regular file, a raw file fails
    // while it is read, the person answered No to the capacity question or the file
    // could not be staged; the buffers, the views, the loaded length and the log are
    // then as they were. A text file that fails part-way keeps what its reader stored.
    bool openPath(const std::string &path, BufferTab tab, const ChipRecord &chip,
                  const OpenAs &as = {});
    // Files dropped on the window: the first is opened, and the log says when there
    // were more.
    bool openDropped(const std::vector<std::string> &paths, BufferTab tab, const ChipRecord &chip);
    // Save: the dialog, then the chip's whole capacity of the FLASH buffer in the format
    // of the name. True when the file was saved.
    bool save(const ChipRecord &chip);

    // An open dialog for another command's file (a firmware image) with these filters:
    // it starts where Open and Save do, and they start next where its file was.
    std::optional<std::string> chooseOther(const std::vector<std::string> &filters);

    // The folder the dialogs start in: the last one used while it exists, else home.
    std::string startFolder() const;
    const std::string &lastFolder() const { return m_lastFolder; }
    void setLastFolder(std::string folder) { m_lastFolder = std::move(folder); }

    // The chip addresses the file opened last onto the FLASH tab holds: for an Intel HEX
    // or S-record file those its data records wrote, sorted and merged, and cut to the
    // chip when it reached past it; empty for a raw or capsule file.
    const std::vector<Bounds> &flashHeld() const { return m_flashHeld; }

private:
    bool loadIntoFlash(const std::string &path, const ChipRecord &chip,
                       std::optional<FileKind> kind);
    bool loadIntoEeprom(const std::string &path, const ChipRecord &chip,
                        std::optional<FileKind> kind);
    void log(std::string_view line);
    std::string text(TextName name) const;

    Buffers &m_buffers;
    BufferView &m_flashView;
    BufferView &m_eepromView;
    OperationHost &m_log;
    Prompter &m_prompter;
    MessageSink &m_sink;
    FileChooser &m_chooser;
    const int &m_language;
    std::string m_lastFolder;
    std::vector<Bounds> m_flashHeld;
};

} // namespace korvat
