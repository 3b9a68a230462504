#include "ImageFiles.h"

#include "ChipCommands.h"
#include "ConsoleHost.h"
#include "base/FileHelpers.h"
#include "buffers/CodecText.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sys/mman.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace korvat::cli {
namespace {

// The largest image a file command handles: the FLASH buffer of the window.
constexpr std::size_t kImageMax = kFlashBufferSize;
// The most text standard input may bring: an image of the whole buffer in 8-byte records
// takes less.
constexpr std::size_t kTextInputMax = std::size_t{256} << 20;

} // namespace

std::optional<FileKind> formatKind(const std::string &format) {
    if (format == "raw")
        return FileKind::Raw;
    if (format == "ihex")
        return FileKind::IntelHex;
    if (format == "srec")
        return FileKind::SRecord;
    return std::nullopt;
}

std::string shownFileName(const std::string &file, bool output) {
    if (!isStandardStream(file))
        return file;
    return output ? "standard output" : "standard input";
}

std::optional<std::string> streamProblem(const std::string &file, const std::string &format,
                                         bool output, bool json, const char *formatOption) {
    if (!isStandardStream(file))
        return std::nullopt;
    if (output)
        return json ? std::optional<std::string>("--json prints its result on standard output: "
                                                 "name a file instead of -")
                    : std::nullopt;
    // Raw bytes, Intel HEX and S-records cannot be told apart safely from a stream.
    if (format.empty())
        return std::string("an image on standard input (-) needs ") + formatOption +
               " raw, ihex or srec";
    if (isatty(STDIN_FILENO))
        return std::string("standard input is a terminal: pipe the image in, or name a file");
    return std::nullopt;
}

std::optional<std::string> fileArgsProblem(const ChipArgs &args, bool json) {
    return streamProblem(args.file, args.format, args.command == "read", json);
}

void FileNaming::showFileError(std::string_view text, const FileSpot &spot) {
    std::string message = m_name.empty() ? "" : m_name + ": ";
    if (spot.line != 0)
        message += "line " + std::to_string(spot.line) + ": ";
    message += text;
    if (spot.error != 0) {
        // "Error writing file.: ..." reads badly: the sentence's full stop goes.
        for (const std::string_view stop : {".", "。"})
            if (message.ends_with(stop))
                message.resize(message.size() - stop.size());
        message += std::string(": ") + std::strerror(spot.error);
    }
    m_to.showError(message);
}

void LongFileAnswer::set(std::string name, bool force) {
    m_name = std::move(name);
    m_force = force;
    m_asked = false;
}

bool LongFileAnswer::askYesNo(std::string_view question) {
    m_asked = true;
    if (m_force)
        return true;
    // Only what the window's question states: nobody is asked here.
    std::string_view said = question;
    if (const std::size_t stop = said.find(". "); stop != std::string_view::npos)
        said = said.substr(0, stop + 1);
    else if (const std::size_t comma = said.find(','); comma != std::string_view::npos)
        said = said.substr(0, comma); // the Chinese texts
    m_sink.showError(m_name + ": " + std::string(said) + " --force cuts the file to the chip");
    return false;
}

StandardInput::~StandardInput() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string StandardInput::path() const {
    return "/proc/self/fd/" + std::to_string(m_fd);
}

bool StandardInput::take(FileKind kind, MessageSink &sink) {
    const std::size_t limit = carriesAddresses(kind) ? kTextInputMax : kImageMax;
    m_fd = memfd_create("korvat-standard-input", MFD_CLOEXEC);
    if (m_fd < 0) {
        sink.showFileError(codec::kReadFailed, {0, errno});
        return false;
    }
    std::vector<char> block(std::size_t{1} << 20);
    for (std::size_t total = 0;;) {
        // Ctrl+C ends the wait for a pipe that brings nothing; reads go on past the
        // signal, so the wait looks at it between short polls.
        pollfd ready{STDIN_FILENO, POLLIN, 0};
        while (!interrupted() && ::poll(&ready, 1, 100) == 0) {
        }
        if (interrupted()) {
            sink.showError("interrupted");
            return false;
        }
        const ssize_t n = ::read(STDIN_FILENO, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            sink.showFileError(codec::kReadFailed, {0, errno});
            return false;
        }
        if (n == 0)
            return true;
        total += static_cast<std::size_t>(n);
        if (total > limit) {
            sink.showFileError("more than " + std::to_string(limit >> 20) + " MiB" +
                                   (carriesAddresses(kind)
                                        ? " of text, more than any image of the buffer takes"
                                        : ", more than the buffer holds"),
                               {});
            return false;
        }
        if (!writeAll(m_fd, block.data(), static_cast<std::size_t>(n))) {
            sink.showFileError(codec::kReadFailed, {0, errno});
            return false;
        }
    }
}

SavedPart partToSave(std::span<const std::uint8_t> flash, const ChipRecord &chip,
                     const std::optional<AddressRange> &range) {
    if (!range)
        return {0, flash.first(std::min<std::size_t>(chip.capacity, flash.size()))};
    // Checked against the chip before the read: START <= END, both inside it.
    const auto start = static_cast<std::uint32_t>(range->start);
    return {start, flash.subspan(start, static_cast<std::size_t>(range->end - range->start + 1))};
}

bool saveImage(const std::string &file, const std::string &format, const SavedPart &part,
               MessageSink &sink, int language) {
    FileNaming named(sink);
    named.setName(shownFileName(file, true));
    if (isStandardStream(file)) {
        // A reader that goes away fails the write (EPIPE) instead of ending the program.
        std::signal(SIGPIPE, SIG_IGN);
        std::fflush(stdout);
        return saveFile(STDOUT_FILENO, formatKind(format).value_or(FileKind::Raw), part.start,
                        part.bytes, named, language);
    }
    YesPrompter yes;
    return saveFile(file, formatKind(format).value_or(saveKind(file)), part.start, part.bytes, yes,
                    named, language);
}

// The loading half of ChipBuffers (ChipCommands.h): the file named, or standard input, as
// Open loads it onto the FLASH tab, with the command line's choices.
bool ChipBuffers::load(const ChipArgs &args) {
    const std::optional<FileKind> kind = formatKind(args.format);
    const bool fromInput = isStandardStream(args.file);
    const std::string name = shownFileName(args.file, false);
    m_naming.setName(name);
    m_answer.set(name, args.force);
    StandardInput input;
    if (fromInput && !input.take(kind.value_or(FileKind::Raw), m_naming))
        return false;
    const std::size_t before = m_console.messages().size();
    // The window keeps what a failed load left in the buffer; a command must not write it.
    if (!m_files.openPath(fromInput ? input.path() : args.file, BufferTab::Flash, m_chip,
                          {kind, fromInput ? name : std::string()}) ||
        m_console.messages().size() != before)
        return false;
    if (buffers.loadedLength <= 0) {
        m_console.showError(name + ": the file holds nothing");
        return false;
    }
    if (m_answer.asked())
        m_host.insertLogLine(m_host.timeText() + " " + name +
                             ": longer than the chip; cut at the chip's end (--force)");
    return true;
}

int convertFile(const Options &options, const ConvertArgs &args) {
    Console console;
    for (const auto &[file, format, output, option] :
         {std::tuple{args.in, args.inFormat, false, "--in-format"},
          std::tuple{args.out, args.outFormat, true, "--out-format"}})
        if (const auto problem = streamProblem(file, format, output, options.json, option)) {
            console.showError(*problem);
            return kUsage;
        }
    std::error_code error;
    if (!args.force && !isStandardStream(args.out) && std::filesystem::exists(args.out, error)) {
        console.showError(args.out + " exists; --force replaces it");
        return kFileError;
    }
    FileNaming named(console);
    named.setName(shownFileName(args.in, false));
    const std::optional<FileKind> kind = formatKind(args.inFormat);
    StandardInput input;
    if (isStandardStream(args.in) && !input.take(*kind, named))
        return kFileError;
    const std::string in = isStandardStream(args.in) ? input.path() : args.in;
    // Any message means the input was not read whole (it could not be opened, is no
    // regular file, or its reader stopped): OUT is then left as it is.
    std::vector<std::uint8_t> image(kImageMax, 0xFF);
    const std::uint32_t loaded = kind ? loadFile(in, *kind, image, named, options.language)
                                      : loadFile(in, image, named, options.language);
    if (!console.messages().empty())
        return kFileError;
    const std::uint32_t count = args.size.value_or(loaded);
    if (count > image.size()) {
        console.showError("--size passes the largest image (" + std::to_string(kImageMax) +
                          " bytes)");
        return kUsage;
    }
    // The file was checked above: saveImage writes over what --force named.
    if (!saveImage(args.out, args.outFormat, {0, std::span(image).first(count)}, console,
                   options.language))
        return kFileError;
    if (options.json)
        printJsonObject("{\"command\":\"convert\"," + jsonResult(kSuccess, true) +
                        ",\"bytes\":" + std::to_string(count) + "}");
    else if (!options.quiet)
        // Not on standard output when the image went there.
        std::fprintf(isStandardStream(args.out) ? stderr : stdout, "%s: %u bytes written\n",
                     shownFileName(args.out, true).c_str(), static_cast<unsigned>(count));
    return kSuccess;
}

} // namespace korvat::cli
