#pragma once
// Motorola S-records: the reader places S1/S2/S3 data into a buffer at the addresses
// they name and stops at S7/S8/S9, or at the end of a file whose last record is an
// S5/S6 record counting its data records; the writer writes a header, 16-byte data
// records of the smallest type that addresses the whole buffer, and the matching
// terminator.

#include "Bounds.h"
#include "base/MessageSink.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korvat {

// Line window of the reader: the longest legal record ('S', type, count and the 255
// bytes it counts as digits) with CR LF. A longer line is refused as an illegal line
// before anything of it is stored.
constexpr std::size_t kSRecordWindow = 1 + 1 + 2 + 2 * 255 + 2;

// One past the highest index written, or 0 after any failure (which the sink is told,
// with the line where there is one; a file that cannot be opened fails silently). The
// buffer's size is the limit; bytes stored before a failure stay in it.
std::uint32_t readSRecord(const std::string &path, std::span<std::uint8_t> buffer,
                          MessageSink &sink);
// The same for a file the caller opened (see loadFile), read from its start and closed.
// With held, the indexes the data records wrote (see RecordReader::held).
std::uint32_t readSRecord(int fd, std::span<std::uint8_t> buffer, MessageSink &sink,
                          std::vector<Bounds> *held = nullptr);

// Writes the bytes with CR LF line ends, the first at address base (records start at
// multiples of 16; the type is the smallest whose addresses reach base + the size);
// false when the file cannot be created or written. The target is replaced only when
// all of it was written.
bool writeSRecord(const std::string &path, std::span<const std::uint8_t> data,
                  std::uint32_t base = 0);
// The same written to an open descriptor (standard output), which stays open.
bool writeSRecord(int fd, std::span<const std::uint8_t> data, std::uint32_t base = 0);

} // namespace korvat
