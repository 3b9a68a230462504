#pragma once
// Loading buffer files (raw, BIOS capsule, EEPROM, Intel HEX, S-record, chosen by the
// extension) and saving the FLASH buffer in the format its name asks for.

#include "Bounds.h"
#include "base/MessageSink.h"
#include "base/RegularFile.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korvat {

class Prompter;

// Bytes a BIOS capsule carries before its image.
constexpr std::size_t kCapsuleHeader = 2048;

// The extension of the path: its last "." and what follows, in the last component.
std::string fileExtension(const std::string &path);

// What a file holds, as it is loaded.
enum class FileKind { Raw, Capsule, IntelHex, SRecord };

// Text formats by extension, letter case ignored: ".hex", ".ihex", ".ihx" are Intel HEX
// both ways; ".s19", ".s28", ".s37", ".srec", ".mot" are S-records both ways. ".src"
// (saved as S-records) and ".eep" are told by their first character: ':' Intel HEX,
// 'S' S-records, anything else raw (also when it cannot be read; the load then says
// why). ".cap" is a capsule; any other name is raw. The second form reads the first
// character from the file opened for the load, leaving it where it stands.
FileKind fileKind(const std::string &path);
FileKind fileKind(const std::string &path, const RegularFile &file);

// Every extension named above, and ".bin" and ".rom", in small letters.
std::vector<std::string> knownExtensions();

// Intel HEX and S-record files carry their own addresses; raw and capsule files are
// placed by whoever loads them.
constexpr bool carriesAddresses(FileKind kind) {
    return kind == FileKind::IntelHex || kind == FileKind::SRecord;
}

// The file opened for a load. One that cannot be opened is "Can't open File", in every
// format (with the system's reason, for a sink that shows it); one that is not a
// regular file (a named pipe, a device, a folder) is neither opened nor waited on, and
// the sink is told so in the language, naming the path. Both come back empty.
RegularFile openToLoad(const std::string &path, MessageSink &sink, int language);

// Loads the file into the buffer from its first byte; the buffer's size is the limit.
// Returns the bytes read (raw, capsule) or the extent the text reader reports (one past
// the highest address written), and 0 after any failure, which the sink has been told
// about. Without a kind, the path's kind. The path is opened as openToLoad does; a file
// that could not be opened leaves the buffer as it was.
std::uint32_t loadFile(const std::string &path, std::span<std::uint8_t> buffer, MessageSink &sink,
                       int language = 2);
std::uint32_t loadFile(const std::string &path, FileKind kind, std::span<std::uint8_t> buffer,
                       MessageSink &sink, int language = 2);
// Loads the file openToLoad opened, which it closes. With held, the buffer indexes the
// data records of an Intel HEX or S-record file wrote, sorted and merged (empty for
// other kinds and after a failure). Messages about the file come through
// showFileError, with the line of a text file and the system's reason where there are.
std::uint32_t loadFile(RegularFile file, FileKind kind, std::span<std::uint8_t> buffer,
                       MessageSink &sink, std::vector<Bounds> *held = nullptr);

// The format a save writes for the name: S-records or Intel HEX by the names above
// (".src" too, as S-records), anything else raw.
FileKind saveKind(const std::string &path);

// Saves the bytes in saveKind's format. An
// existing file is replaced only after Yes to the overwrite question, and only once
// everything was written; on failure it is left as it was. True when the file was saved.
bool saveFile(const std::string &path, std::span<const std::uint8_t> data, Prompter &prompter,
              MessageSink &sink, int language);
// The same in the kind given (Raw for anything but the text formats), the text formats
// with the first byte at address base. Failures come through showFileError with the
// system's reason.
bool saveFile(const std::string &path, FileKind kind, std::uint32_t base,
              std::span<const std::uint8_t> data, Prompter &prompter, MessageSink &sink,
              int language);
// Writes the bytes to an open descriptor (standard output), which stays open: nothing is
// asked, and a failure may leave part of them written.
bool saveFile(int fd, FileKind kind, std::uint32_t base, std::span<const std::uint8_t> data,
              MessageSink &sink, int language);

} // namespace korvat
