#include "FileCommands.h"
#include "LargeBlock.h"

#include "BufferView.h"
#include "Buffers.h"
#include "FileIO.h"
#include "MessageSink.h"
#include "app/Prompter.h"
#include "catalogue/ChipRecord.h"
#include "ops/OperationHost.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <pwd.h>
#include <unistd.h>

namespace korvat {

const std::string_view kOpenFilter =
    "Binary (*.bin)|*.bin|Intel Hex(*.hex)|*.hex|Bios Rom (*.rom)|*.rom|Asus Rom (*.cap)|*.cap|"
    "Motorola S-record (*.src *.s19 *.s28 *.s37 *.srec *.mot)|*.src;*.s19;*.s28;*.s37;*.srec;*.mot|"
    "All files (*.*)|*.*";
const std::string_view kSaveFilter =
    "Binary (*.bin)|*.bin|Intel Hex(*.hex)|*.hex|Bios Rom (*.rom)|*.rom|"
    "Motorola S-record (*.src *.s19 *.s28 *.s37 *.srec *.mot)|*.src;*.s19;*.s28;*.s37;*.srec;*.mot|"
    "All files (*.*)|*.*";

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? at : at - from));
        if (at == std::string_view::npos)
            return parts;
        from = at + 1;
    }
}

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// A file loaded into a copy of its target, so that nothing reaches the buffer before the
// command decides to keep it.
struct Staged {
    LargeBlock bytes;
    std::size_t size = 0;
    std::uint32_t loaded = 0; // what loadFile returned
};

std::optional<Staged> stage(const std::string &path, std::span<const std::uint8_t> initial,
                            MessageSink &sink) {
    Staged s;
    s.size = initial.size();
    s.bytes = allocateLargeBlock(s.size);
    if (!s.bytes)
        return std::nullopt;
    std::memcpy(s.bytes.get(), initial.data(), s.size);
    s.loaded = loadFile(path, {s.bytes.get(), s.size}, sink);
    return s;
}

// A load that failed keeps what the reader stored before it stopped, as the view then
// shows; one that succeeded changed nothing past its extent.
void land(const Staged &s, std::span<std::uint8_t> target) {
    std::memcpy(target.data(), s.bytes.get(), s.loaded ? s.loaded : s.size);
}

std::string homeFolder() {
    if (const char *home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

} // namespace

std::vector<std::string> nameFilters(std::string_view pairs) {
    const auto parts = split(pairs, '|');
    std::vector<std::string> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string description(parts[i]);
        std::string patterns(parts[i + 1]);
        std::replace(patterns.begin(), patterns.end(), ';', ' ');
        // "*.*" would hide a file without an extension, such as a dump named "image".
        if (patterns == "*.*") {
            filters.push_back(description.substr(0, description.rfind(" (")) + " (*)");
            continue;
        }
        filters.push_back(endsWith(description, "(" + patterns + ")")
                              ? description
                              : description + " (" + patterns + ")");
    }
    return filters;
}

FileCommands::FileCommands(Buffers &buffers, BufferView &flashView, BufferView &eepromView,
                           OperationHost &log, Prompter &prompter, MessageSink &sink,
                           FileChooser &chooser, const int &language)
    : m_buffers(buffers), m_flashView(flashView), m_eepromView(eepromView), m_log(log),
      m_prompter(prompter), m_sink(sink), m_chooser(chooser), m_language(language) {}

std::string FileCommands::text(TextName name) const {
    return std::string(korvat::text(name, m_language));
}

std::string FileCommands::startFolder() const {
    std::error_code error;
    if (!m_lastFolder.empty() && std::filesystem::is_directory(m_lastFolder, error))
        return m_lastFolder;
    return homeFolder();
}

bool FileCommands::open(BufferTab tab, const ChipRecord &chip) {
    const auto path = m_chooser.chooseOpen({nameFilters(kOpenFilter), 0, "", startFolder()});
    return path && openPath(*path, tab, chip);
}

bool FileCommands::openPath(const std::string &path, BufferTab tab, const ChipRecord &chip) {
    m_lastFolder = std::filesystem::path(path).parent_path().string();
    if (tab == BufferTab::Flash && !loadIntoFlash(path, chip))
        return false;
    if (tab == BufferTab::Eeprom && !loadIntoEeprom(path, chip))
        return false;
    log(text(txtOpenLog) + path);
    return true;
}

bool FileCommands::openDropped(const std::vector<std::string> &paths, BufferTab tab,
                               const ChipRecord &chip) {
    if (paths.empty() || !openPath(paths.front(), tab, chip))
        return false;
    if (paths.size() > 1) {
        std::string note = text(txtDroppedSeveral);
        note.replace(note.find("%d"), 2, std::to_string(paths.size()));
        log(note);
    }
    return true;
}

// The file lands at the start of the address range when it is enabled. A file longer
// than the chip is kept only after Yes, and then counts as the chip's capacity.
bool FileCommands::loadIntoFlash(const std::string &path, const ChipRecord &chip) {
    const std::int64_t start = m_buffers.range.enabled ? m_buffers.range.start : 0;
    if (start < 0 || start > static_cast<std::int64_t>(kFlashBufferSize)) {
        m_sink.showError(text(txtRangeOutsideBuffer));
        return false;
    }
    const auto target = m_buffers.flash().subspan(static_cast<std::size_t>(start));
    const auto staged = stage(path, target, m_sink);
    if (!staged) {
        m_sink.showError(text(txtOpenOutOfMemory));
        return false;
    }
    std::uint32_t n = staged->loaded;
    if (n > chip.capacity) {
        if (!m_prompter.askYesNo(text(txtFileTooLong)))
            return false;
        n = chip.capacity;
    }
    land(*staged, target);
    m_buffers.loadedLength = static_cast<std::int32_t>(n + start);
    m_buffers.reloadFlashView(m_flashView, chip.capacity);
    return true;
}

// The EEPROM buffer is all 0xFF before the file comes in; the address range plays no
// part.
bool FileCommands::loadIntoEeprom(const std::string &path, const ChipRecord &chip) {
    const std::vector<std::uint8_t> erased(kEepromBufferSize, 0xFF);
    const auto staged = stage(path, erased, m_sink);
    if (!staged) {
        m_sink.showError(text(txtOpenOutOfMemory));
        return false;
    }
    if (staged->loaded > chip.eepromSize && !m_prompter.askYesNo(text(txtFileTooLong)))
        return false;
    std::memcpy(m_buffers.eeprom().data(), staged->bytes.get(), kEepromBufferSize);
    m_buffers.reloadEepromView(m_eepromView, chip.eepromSize);
    return true;
}

bool FileCommands::save(const ChipRecord &chip) {
    const auto path = m_chooser.chooseSave({nameFilters(kSaveFilter), 0, "hex", startFolder()});
    if (!path)
        return false;
    m_lastFolder = std::filesystem::path(*path).parent_path().string();
    const auto count = std::min<std::size_t>(chip.capacity, kFlashBufferSize);
    return saveFile(*path, m_buffers.flash().first(count), m_prompter, m_sink, m_language);
}

void FileCommands::log(std::string_view line) {
    m_log.insertLogLine(m_log.timeText() + " " + std::string(line));
}

} // namespace korvat
