#pragma once
// korvat-cli's side of image files: --format in place of the extension, "-" for standard
// input and output, messages that name the file, its line and the system's reason, the
// image a read saves (the whole chip, or the --range), and convert.

#include "Commands.h"
#include "base/MessageSink.h"
#include "base/Prompter.h"
#include "buffers/Buffers.h"
#include "buffers/FileIO.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace korvat::cli {

struct ChipArgs;

// The FILE that stands for standard input or output.
inline bool isStandardStream(const std::string &file) {
    return file == "-";
}

// --format: raw, ihex or srec; nothing when it is not given (the extension decides).
std::optional<FileKind> formatKind(const std::string &format);

// What messages call the file: "standard input" or "standard output" for "-".
std::string shownFileName(const std::string &file, bool output);

// What a command line asks of its files that cannot be done (a usage error): "-" as the
// input without --format, or from a terminal; the read image on standard output, which
// --json wants too.
std::optional<std::string> fileArgsProblem(const ChipArgs &args, bool json);
std::optional<std::string> streamProblem(const std::string &file, const std::string &format,
                                         bool output, bool json,
                                         const char *formatOption = "--format");

// Passes messages on, those about the file as "NAME: line N: TEXT: REASON" (the line and
// the reason where the loader or the writer knows them).
class FileNaming : public MessageSink {
public:
    explicit FileNaming(MessageSink &to) : m_to(to) {}
    void setName(std::string name) { m_name = std::move(name); }
    void showError(std::string_view text) override { m_to.showError(text); }
    void showFileError(std::string_view text, const FileSpot &spot) override;

private:
    MessageSink &m_to;
    std::string m_name;
};

// The one question a load asks, whether to keep a file longer than the chip: yes with
// --force (the file is then cut to the chip); without it no, saying so and that --force
// would cut it.
class LongFileAnswer : public Prompter {
public:
    explicit LongFileAnswer(MessageSink &sink) : m_sink(sink) {}
    void set(std::string name, bool force);
    bool askYesNo(std::string_view question) override;
    bool asked() const { return m_asked; }

private:
    MessageSink &m_sink;
    std::string m_name;
    bool m_force = false;
    bool m_asked = false;
};

// Standard input copied into an unnamed file in memory, which the loaders open by its
// path as any regular file.
class StandardInput {
public:
    StandardInput() = default;
    ~StandardInput();
    StandardInput(const StandardInput &) = delete;
    StandardInput &operator=(const StandardInput &) = delete;

    // Reads standard input to its end: false, with the message shown, when it cannot be
    // read, when Ctrl+C ends the wait, or when it holds more than the largest input of
    // the kind (an image of the 64 MiB buffer; as text, 256 MiB).
    bool take(FileKind kind, MessageSink &sink);
    std::string path() const;

private:
    int m_fd = -1;
};

// The bytes of a read that --range asks for (END its last address), or of the whole chip.
struct SavedPart {
    std::uint32_t start = 0;
    std::span<const std::uint8_t> bytes;
};
SavedPart partToSave(std::span<const std::uint8_t> flash, const ChipRecord &chip,
                     const std::optional<AddressRange> &range);

// Saves the part into FILE (standard output for "-") in the --format kind, else by the
// name (raw for "-"); the text formats at the part's own addresses. An existing file is
// replaced (the command checked --force before the read). False, with the message
// shown, when it was not saved.
bool saveImage(const std::string &file, const std::string &format, const SavedPart &part,
               MessageSink &sink, int language);

// korvat-cli convert IN OUT: loads IN as Open does and writes OUT as Save does; size bytes
// (default: what IN loaded). An existing OUT is replaced only with force. Either may be
// "-"; the formats override the extensions.
struct ConvertArgs {
    std::string in, out;
    std::string inFormat, outFormat;
    std::optional<std::uint32_t> size;
    bool force = false;
};
int convertFile(const Options &options, const ConvertArgs &args);

} // namespace korvat::cli
