#pragma once
// Intel HEX: the reader places data records into a buffer and reports how far the data
// reaches; the writer writes a buffer as 32-byte records with a type-04 record at every
// 64 KiB boundary, leaving out records of nothing but 0xFF.

#include "base/MessageSink.h"

#include <cstdint>
#include <span>
#include <string>

namespace korvat {

// Line window of the reader: the longest legal record (':', length, offset, type, 255
// data bytes and the checksum as digits) with CR LF. A longer line is refused as an
// illegal line before anything of it is stored.
constexpr std::size_t kIntelHexWindow = 1 + 2 + 4 + 2 + 2 * 255 + 2 + 2;

// One past the highest index written, or 0 after any failure (which the sink is told;
// a file that cannot be opened fails silently). The buffer's size is the limit; bytes
// stored before a failure stay in it.
std::uint32_t readIntelHex(const std::string &path, std::span<std::uint8_t> buffer,
                           MessageSink &sink);
// The same for a file the caller opened (see loadFile), read from its start and closed.
std::uint32_t readIntelHex(int fd, std::span<std::uint8_t> buffer, MessageSink &sink);

// Writes the bytes with CR LF line ends; false when the file cannot be created or
// written. The target is replaced only when all of it was written.
bool writeIntelHex(const std::string &path, std::span<const std::uint8_t> data);

} // namespace korvat
