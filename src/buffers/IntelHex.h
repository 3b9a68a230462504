#pragma once
// Intel HEX: the reader places data records into a buffer and reports how far the data
// reaches; the writer writes a buffer as 32-byte records with a type-04 record at every
// 64 KiB boundary, leaving out records of nothing but 0xFF.

#include "Bounds.h"
#include "base/MessageSink.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korvat {

// Line window of the reader: the longest legal record (':', length, offset, type, 255
// data bytes and the checksum as digits) with CR LF. A longer line is refused as an
// illegal line before anything of it is stored.
constexpr std::size_t kIntelHexWindow = 1 + 2 + 4 + 2 + 2 * 255 + 2 + 2;

// One past the highest index written, or 0 after any failure (which the sink is told,
// with the line where there is one; a file that cannot be opened fails silently). The
// buffer's size is the limit; bytes stored before a failure stay in it.
std::uint32_t readIntelHex(const std::string &path, std::span<std::uint8_t> buffer,
                           MessageSink &sink);
// The same for a file the caller opened (see loadFile), read from its start and closed.
// With held, the indexes the data records wrote (see RecordReader::held).
std::uint32_t readIntelHex(int fd, std::span<std::uint8_t> buffer, MessageSink &sink,
                           std::vector<Bounds> *held = nullptr);

// Writes the bytes with CR LF line ends, the first at address base (records start at
// multiples of 32, so none crosses a 64 KiB boundary); false when the file cannot be
// created or written. The target is replaced only when all of it was written.
bool writeIntelHex(const std::string &path, std::span<const std::uint8_t> data,
                   std::uint32_t base = 0);
// The same written to an open descriptor (standard output), which stays open.
bool writeIntelHex(int fd, std::span<const std::uint8_t> data, std::uint32_t base = 0);

} // namespace korvat
