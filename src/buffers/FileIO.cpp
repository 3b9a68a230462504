#include "FileIO.h"

#include "CodecText.h"
#include "IntelHex.h"
#include "SRecord.h"
#include "base/AtomicFile.h"
#include "base/FileHelpers.h"
#include "base/Prompter.h"
#include "base/TextTable.h"

#include <cerrno>
#include <fcntl.h>
#include <iterator>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvat {
namespace {

constexpr std::string_view kCannotOpen = "Can't open File";
constexpr std::string_view kTooBig = "File is too big for Buffer";
constexpr std::string_view kCannotCreate = "创建文件失败";

bool is(const std::string &ext, const char *wanted) {
    return strcasecmp(ext.c_str(), wanted) == 0;
}

bool isAnyOf(const std::string &ext, std::span<const char *const> wanted) {
    for (const char *w : wanted)
        if (is(ext, w))
            return true;
    return false;
}

// Besides ".hex" and ".src", the names other tools give these text formats, so that
// their text is never taken for raw bytes and written into a chip.
constexpr const char *kIntelHexNames[] = {".hex", ".ihex", ".ihx"};
constexpr const char *kSRecordNames[] = {".s19", ".s28", ".s37", ".srec", ".mot"};
// Named for what they hold, though loaded as any other name would be.
constexpr const char *kImageNames[] = {".bin", ".rom", ".cap", ".eep", ".src"};

bool isIntelHexName(const std::string &ext) {
    return isAnyOf(ext, kIntelHexNames);
}

bool isSRecordName(const std::string &ext) {
    return isAnyOf(ext, kSRecordNames);
}

bool readAll(int fd, std::uint8_t *out, std::size_t n, std::size_t &got) {
    got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, out + got, n - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return false;
        if (r == 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    return true;
}

// Raw and capsule files: the size test covers the whole file, header included.
std::uint32_t loadRaw(const RegularFile &file, std::span<std::uint8_t> buffer, std::size_t skip,
                      MessageSink &sink) {
    const int fd = file.fd();
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        sink.showFileError(codec::kReadFailed, {0, errno});
        return 0;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > buffer.size()) {
        sink.showFileError(kTooBig, {});
        return 0;
    }
    if (size <= skip)
        return 0;
    // All of the size measured above, or nothing: a file that shrank or could not be
    // read is not loaded in part.
    const auto want = static_cast<std::size_t>(size - skip);
    std::size_t got = 0;
    if (lseek(fd, static_cast<off_t>(skip), SEEK_SET) < 0 ||
        !readAll(fd, buffer.data(), want, got)) {
        sink.showFileError(codec::kReadFailed, {0, errno});
        return 0;
    }
    if (got != want) { // it shrank meanwhile
        sink.showFileError(codec::kReadFailed, {});
        return 0;
    }
    return static_cast<std::uint32_t>(got);
}

// ".eep" and ".src" files are told apart by their first character, read where it is so
// that the load still starts at the file's start.
bool firstCharacter(const RegularFile &file, char &c) {
    c = 0;
    ssize_t n = 0;
    do
        n = file ? ::pread(file.fd(), &c, 1, 0) : -1;
    while (n < 0 && errno == EINTR);
    return n >= 0;
}

// The system's error number of the last call that failed, or 0 after a failure that
// set none; errno is cleared before the save so that no earlier failure shows.
bool saveRaw(const std::string &path, std::span<const std::uint8_t> data, MessageSink &sink,
             int language) {
    AtomicFile file(path);
    errno = 0;
    if (!file.open()) {
        sink.showFileError(kCannotCreate, {0, errno});
        return false;
    }
    if (!file.write(data.data(), data.size()) || !file.commit()) {
        sink.showFileError(text(txtWriteError, language), {0, errno});
        return false;
    }
    return true;
}

bool saveText(const std::string &path, FileKind kind, std::uint32_t base,
              std::span<const std::uint8_t> data) {
    return kind == FileKind::SRecord ? writeSRecord(path, data, base)
                                     : writeIntelHex(path, data, base);
}

} // namespace

std::string fileExtension(const std::string &path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return path.substr(dot);
}

std::vector<std::string> knownExtensions() {
    std::vector<std::string> all(std::begin(kImageNames), std::end(kImageNames));
    all.insert(all.end(), std::begin(kIntelHexNames), std::end(kIntelHexNames));
    all.insert(all.end(), std::begin(kSRecordNames), std::end(kSRecordNames));
    return all;
}

FileKind fileKind(const std::string &path) {
    return fileKind(path, RegularFile(path));
}

FileKind fileKind(const std::string &path, const RegularFile &file) {
    const std::string ext = fileExtension(path);
    if (is(ext, ".eep") || is(ext, ".src")) {
        char c = 0;
        if (!firstCharacter(file, c))
            return FileKind::Raw;
        return c == ':' ? FileKind::IntelHex : c == 'S' ? FileKind::SRecord : FileKind::Raw;
    }
    if (isIntelHexName(ext))
        return FileKind::IntelHex;
    if (isSRecordName(ext))
        return FileKind::SRecord;
    return is(ext, ".cap") ? FileKind::Capsule : FileKind::Raw;
}

RegularFile openToLoad(const std::string &path, MessageSink &sink, int language) {
    errno = 0;
    RegularFile file(path);
    const int error = errno; // of the open or the look at the path that failed
    if (file.problem() == RegularFile::Problem::NotRegular)
        sink.showError(notRegularFileText(path, language));
    else if (!file)
        sink.showFileError(kCannotOpen, {0, error});
    return file;
}

std::uint32_t loadFile(const std::string &path, std::span<std::uint8_t> buffer, MessageSink &sink,
                       int language) {
    RegularFile file = openToLoad(path, sink, language);
    if (!file)
        return 0;
    const FileKind kind = fileKind(path, file);
    return loadFile(std::move(file), kind, buffer, sink);
}

std::uint32_t loadFile(const std::string &path, FileKind kind, std::span<std::uint8_t> buffer,
                       MessageSink &sink, int language) {
    RegularFile file = openToLoad(path, sink, language);
    return file ? loadFile(std::move(file), kind, buffer, sink) : 0;
}

std::uint32_t loadFile(RegularFile file, FileKind kind, std::span<std::uint8_t> buffer,
                       MessageSink &sink, std::vector<Bounds> *held) {
    if (held)
        held->clear();
    if (!file)
        return 0;
    switch (kind) {
    case FileKind::IntelHex:
        return readIntelHex(file.release(), buffer, sink, held);
    case FileKind::SRecord:
        return readSRecord(file.release(), buffer, sink, held);
    case FileKind::Capsule:
        return loadRaw(file, buffer, kCapsuleHeader, sink);
    case FileKind::Raw:
        break;
    }
    return loadRaw(file, buffer, 0, sink);
}

FileKind saveKind(const std::string &path) {
    const std::string ext = fileExtension(path);
    if (is(ext, ".src") || isSRecordName(ext))
        return FileKind::SRecord;
    return isIntelHexName(ext) ? FileKind::IntelHex : FileKind::Raw;
}

bool saveFile(const std::string &path, std::span<const std::uint8_t> data, Prompter &prompter,
              MessageSink &sink, int language) {
    return saveFile(path, saveKind(path), 0, data, prompter, sink, language);
}

bool saveFile(const std::string &path, FileKind kind, std::uint32_t base,
              std::span<const std::uint8_t> data, Prompter &prompter, MessageSink &sink,
              int language) {
    // A pipe or a device would be replaced by a file of that name, and the reader at
    // the other end would never see the bytes.
    if (isIrregularFile(path)) {
        sink.showError(notRegularFileText(path, language));
        return false;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !prompter.askYesNo(text(txtOverwriteQuestion, language)))
        return false;
    if (kind != FileKind::IntelHex && kind != FileKind::SRecord)
        return saveRaw(path, data, sink, language);
    errno = 0;
    const bool ok = saveText(path, kind, base, data);
    if (!ok)
        sink.showFileError(text(txtWriteError, language), {0, errno});
    return ok;
}

bool saveFile(int fd, FileKind kind, std::uint32_t base, std::span<const std::uint8_t> data,
              MessageSink &sink, int language) {
    errno = 0;
    const bool ok = kind == FileKind::SRecord    ? writeSRecord(fd, data, base)
                    : kind == FileKind::IntelHex ? writeIntelHex(fd, data, base)
                                                 : writeAll(fd, data.data(), data.size());
    if (!ok)
        sink.showFileError(text(txtWriteError, language), {0, errno});
    return ok;
}

} // namespace korvat
