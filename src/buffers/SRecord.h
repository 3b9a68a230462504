#pragma once
// Motorola S-records: the reader places S1/S2/S3 data into a buffer at the addresses
// they name and stops at S7/S8/S9; the writer writes a header, 16-byte data records of
// the smallest type that addresses the whole buffer, and the matching terminator.

#include "MessageSink.h"

#include <cstdint>
#include <span>
#include <string>

namespace korvat {

// Line window of the reader: longer records are refused as illegal lines.
constexpr std::size_t kSRecordWindow = 100;

// One past the highest index written, or 0 after any failure (which the sink is told;
// a file that cannot be opened fails silently). The buffer's size is the limit; bytes
// stored before a failure stay in it.
std::uint32_t readSRecord(const std::string &path, std::span<std::uint8_t> buffer,
                          MessageSink &sink);

// Writes the bytes with CR LF line ends; false when the file cannot be created or
// written. The target is replaced only when all of it was written.
bool writeSRecord(const std::string &path, std::span<const std::uint8_t> data);

} // namespace korvat
