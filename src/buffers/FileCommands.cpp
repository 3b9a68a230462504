#include "FileCommands.h"
#include "LargeBlock.h"

#include "BufferView.h"
#include "Buffers.h"
#include "Checksum.h"
#include "FileIO.h"
#include "base/HexText.h"
#include "base/MessageSink.h"
#include "base/OperationHost.h"
#include "base/Prompter.h"
#include "catalogue/ChipRecord.h"

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

// A file loaded into a copy of the buffer from where it is placed to the buffer's end,
// so that nothing reaches the buffer before the command decides to keep it. In the copy
// the part the file replaces is 0xFF. A text file may leave bytes outside that part as
// they are, so for one the copy holds the buffer's bytes there; a raw file changes only
// the bytes it brings. The copy is mapped memory: of a raw file's copy only the pages
// its bytes were read into are ever backed.
struct Staged {
    LargeBlock bytes;
    std::size_t size = 0;
    std::uint32_t loaded = 0; // what loadFile returned
    std::vector<Bounds> held; // copy indexes a text file's data records wrote
    std::size_t changed = 0;  // bytes from the start of the copy the file may have changed
    bool failed = false;      // the load said why it brought nothing
};

// Passes the messages on and remembers that there was one.
struct Noticing : MessageSink {
    explicit Noticing(MessageSink &to) : to(to) {}
    void showError(std::string_view text) override {
        shown = true;
        to.showError(text);
    }
    void showFileError(std::string_view text, const FileSpot &spot) override {
        shown = true;
        to.showFileError(text, spot);
    }
    MessageSink &to;
    bool shown = false;
};

// Buffer addresses [start, end).
struct Part {
    std::size_t start;
    std::size_t end;
};

// The file placed at buffer address at, which is never past the start of the replaced
// part.
std::optional<Staged> stage(RegularFile file, FileKind kind, std::span<const std::uint8_t> buffer,
                            std::size_t at, Part replaced, MessageSink &sink) {
    Staged s;
    s.size = buffer.size() - at;
    s.bytes = allocateLargeBlock(s.size);
    if (!s.bytes)
        return std::nullopt;
    if (carriesAddresses(kind)) {
        std::uint8_t *copy = s.bytes.get();
        std::memcpy(copy, buffer.data() + at, replaced.start - at);
        std::memset(copy + (replaced.start - at), 0xFF, replaced.end - replaced.start);
        std::memcpy(copy + (replaced.end - at), buffer.data() + replaced.end,
                    buffer.size() - replaced.end);
    }
    Noticing noticing(sink);
    s.loaded = loadFile(std::move(file), kind, {s.bytes.get(), s.size}, noticing, &s.held);
    s.failed = s.loaded == 0 && noticing.shown;
    // A text reader that failed keeps what it stored before it stopped, as the view then
    // shows; a raw file that failed brings nothing.
    s.changed = s.loaded || !carriesAddresses(kind) ? s.loaded : s.size;
    return s;
}

// The changed bytes of the copy go to the buffer at the placement; the rest of the
// replaced part becomes 0xFF.
void land(const Staged &s, std::span<std::uint8_t> buffer, std::size_t at, Part replaced) {
    std::memcpy(buffer.data() + at, s.bytes.get(), s.changed);
    const std::size_t from = std::max(replaced.start, at + s.changed);
    if (from < replaced.end)
        std::memset(buffer.data() + from, 0xFF, replaced.end - from);
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

std::vector<std::string> openFilters(int language) {
    std::string patterns;
    for (const std::string &extension : knownExtensions())
        patterns += (patterns.empty() ? "*" : " *") + extension;
    std::vector<std::string> filters{std::string(korvat::text(txtSupportedFiles, language)) + " (" +
                                     patterns + ")"};
    for (std::string &f : nameFilters(kOpenFilter))
        filters.push_back(std::move(f));
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
    const auto path = m_chooser.chooseOpen({openFilters(m_language), 0, "", startFolder()});
    return path && openPath(*path, tab, chip);
}

std::optional<std::string> FileCommands::chooseOther(const std::vector<std::string> &filters) {
    auto path = m_chooser.chooseOpen({filters, 0, "", startFolder()});
    if (path)
        m_lastFolder = std::filesystem::path(*path).parent_path().string();
    return path;
}

bool FileCommands::openPath(const std::string &path, BufferTab tab, const ChipRecord &chip,
                            const OpenAs &as) {
    m_lastFolder = std::filesystem::path(path).parent_path().string();
    if (tab == BufferTab::Flash && !loadIntoFlash(path, chip, as.kind))
        return false;
    if (tab == BufferTab::Eeprom && !loadIntoEeprom(path, chip, as.kind))
        return false;
    log(text(txtOpenLog) + (as.shownName.empty() ? path : as.shownName));
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

// With the address range enabled, a raw or capsule file lands at its start and the
// range is what the file replaces; without it, the file lands at 0 and replaces the
// whole buffer. Intel HEX and S-record files land at their own addresses either way.
// The replaced part is 0xFF before the file comes in, so no byte of an earlier file is
// left in it, while a range still lets an image be built from several files. A file
// reaching past the chip is kept only after Yes, and then counts as the chip's capacity.
bool FileCommands::loadIntoFlash(const std::string &path, const ChipRecord &chip,
                                 std::optional<FileKind> asKind) {
    const AddressRange &range = m_buffers.range;
    Part replaced{0, kFlashBufferSize};
    if (range.enabled) {
        const RangeOnChip onChip = rangeOnChip(range, chip, m_language);
        if (!onChip.bounds) {
            m_sink.showError(onChip.refusal);
            return false;
        }
        // Inside the chip; a catalogue chip larger than the buffer is cut to the buffer.
        replaced.start = std::min<std::size_t>(range.start, kFlashBufferSize);
        replaced.end = std::min<std::size_t>(range.end + 1, kFlashBufferSize);
    }
    RegularFile file = openToLoad(path, m_sink, m_language);
    if (!file)
        return false;
    const FileKind kind = asKind.value_or(fileKind(path, file));
    const std::size_t at = carriesAddresses(kind) ? 0 : replaced.start;
    const auto staged = stage(std::move(file), kind, m_buffers.flash(), at, replaced, m_sink);
    if (!staged) {
        m_sink.showError(text(txtOpenOutOfMemory));
        return false;
    }
    // A raw file that failed part-way (it shrank, a read failed) brings none of its
    // bytes: the buffer, the view and the loaded length stay as they were.
    if (staged->failed && !carriesAddresses(kind))
        return false;
    std::uint64_t n = at + staged->loaded;
    if (n > chip.capacity) {
        if (!m_prompter.askYesNo(text(txtFileTooLong)))
            return false;
        n = chip.capacity;
    }
    // An empty raw file replaces nothing.
    if (staged->changed > 0 || carriesAddresses(kind))
        land(*staged, m_buffers.flash(), at, replaced);
    m_buffers.loadedLength = static_cast<std::int32_t>(n);
    m_buffers.reloadFlashView(m_flashView, chip.capacity);
    m_flashHeld = staged->held;
    std::erase_if(m_flashHeld, [&](const Bounds &b) { return b.start >= n; });
    if (!m_flashHeld.empty())
        m_flashHeld.back().end =
            std::min<std::uint32_t>(m_flashHeld.back().end, static_cast<std::uint32_t>(n));
    return true;
}

// The EEPROM buffer is all 0xFF before the file comes in; the address range plays no
// part.
bool FileCommands::loadIntoEeprom(const std::string &path, const ChipRecord &chip,
                                  std::optional<FileKind> asKind) {
    const Part whole{0, kEepromBufferSize};
    RegularFile file = openToLoad(path, m_sink, m_language);
    if (!file)
        return false;
    const FileKind kind = asKind.value_or(fileKind(path, file));
    const auto staged = stage(std::move(file), kind, m_buffers.eeprom(), 0, whole, m_sink);
    if (!staged) {
        m_sink.showError(text(txtOpenOutOfMemory));
        return false;
    }
    if (staged->failed && !carriesAddresses(kind))
        return false;
    if (staged->loaded > chip.eepromSize && !m_prompter.askYesNo(text(txtFileTooLong)))
        return false;
    land(*staged, m_buffers.eeprom(), 0, whole);
    m_buffers.reloadEepromView(m_eepromView, chip.eepromSize);
    return true;
}

bool FileCommands::save(const ChipRecord &chip) {
    const auto path = m_chooser.chooseSave({nameFilters(kSaveFilter), 0, "hex", startFolder()});
    if (!path)
        return false;
    m_lastFolder = std::filesystem::path(*path).parent_path().string();
    const auto count = std::min<std::size_t>(chip.capacity, kFlashBufferSize);
    const auto image = m_buffers.flash().first(count);
    if (!saveFile(*path, image, m_prompter, m_sink, m_language))
        return false;
    const FileKind kind = saveKind(*path);
    const TextName format = kind == FileKind::SRecord    ? txtFormatSRecord
                            : kind == FileKind::IntelHex ? txtFormatIntelHex
                                                         : txtFormatRaw;
    log(textWith(txtSavedFile, m_language,
                 {*path, text(format), std::to_string(count), hexText(crc32Of(image), 8)}));
    return true;
}

void FileCommands::log(std::string_view line) {
    m_log.insertLogLine(m_log.timeText() + " " + std::string(line));
}

} // namespace korvat
