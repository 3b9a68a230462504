#pragma once
// A plain model of readSRecord for the fuzz target to compare against (RecordModel.h).
//
// A file is a sequence of lines 'S' type count address data checksum, read until an S7,
// S8 or S9 record (not checked). S1, S2 and S3 records carry data at the address they
// name, with 2, 3 or 4 address bytes; their bytes are stored as they are read, before
// the checksum is tested, and count + address + data + checksum must be 0xFF modulo 256.
// Every other record is skipped. Every failure makes the result 0 and leaves what was
// already stored in the buffer.
//
// Beyond that, this system's reader lets a file end without a terminator when its last
// line is a sound S5 or S6 record counting all the data records before it, as some
// tools write their files, and refuses a data record whose count cannot even hold its
// address and checksum with "Invalid Record Length".

#include "RecordModel.h"

namespace korvat::fuzz::model {

// The longest legal record ('S', type, and a count of 255 bytes as digits) with CR LF.
// The reader takes every line up to this long whole and refuses a longer one with
// "Illegal Line found" before storing anything of it.
constexpr std::size_t kSRecordLine = 1 + 1 + 2 + 2 * 255 + 2;

// Whether the line is an S5 (countBytes 2) or S6 (countBytes 3) record holding
// records, with the right count field, a good checksum and nothing after the checksum
// but its line end.
inline bool soundCount(std::string_view line, std::uint32_t countBytes, std::uint32_t records) {
    Outcome quiet; // the count is only asked for at the end of the file; it shows nothing
    Fields f(line, quiet);
    const std::size_t checkAt = 4 + 2 * countBytes;
    const auto length = f.hex(2, 2);
    const auto count = f.hex(4, 2 * countBytes);
    const auto check = f.hex(checkAt, 2);
    if (!length || !count || !check || *length != countBytes + 1 || *count != records)
        return false;
    for (std::size_t i = checkAt + 2; i < line.size(); ++i)
        if (line[i] != '\r' && line[i] != '\n')
            return false;
    return (*length + byteSum(*count) + *check) % 256 == 0xFF;
}

inline Outcome readSRecord(std::string_view file, std::span<std::uint8_t> buffer) {
    Outcome out;
    Lines lines(file, kSRecordLine);
    std::uint64_t extent = 0; // wide enough that an address and a length never wrap around
    std::uint32_t dataRecords = 0;
    bool lastCountsAll = false;
    for (;;) {
        std::string_view line;
        const Lines::Kind kind = lines.next(line);
        if (kind == Lines::End) {
            if (!lastCountsAll) // the file ended before a terminator
                return out.fail("File Read Operation Failed");
            out.extent = static_cast<std::uint32_t>(extent);
            return out;
        }
        if (kind == Lines::TooLong || line[0] != 'S')
            return out.fail("Illegal Line found");
        const char type = line.size() > 1 ? line[1] : '\0';
        lastCountsAll = false;

        if (type == '1' || type == '2' || type == '3') { // data
            ++dataRecords;
            const std::uint32_t k = static_cast<std::uint32_t>(type - '0') + 1; // address bytes
            Fields f(line, out);
            const auto count = f.hex(2, 2);
            const auto address = count ? f.hex(4, 2 * k) : std::nullopt;
            if (!address)
                return out.fail();
            if (*count < k + 1)
                return out.fail("Invalid Record Length");
            const std::uint32_t length = *count - k - 1;
            std::uint32_t sum = *count + byteSum(*address);
            const std::uint64_t end = std::uint64_t{*address} + length;
            if (end > extent) {
                extent = end;
                if (extent > buffer.size())
                    return out.fail("File exceeds Maximum Size"); // nothing of it stored
            }
            for (std::uint32_t i = 0; i < length; ++i) {
                const auto byte = f.hex(4 + 2 * k + 2 * i, 2);
                if (!byte)
                    return out.fail();
                buffer[*address + i] = static_cast<std::uint8_t>(*byte);
                sum += *byte;
            }
            const auto check = f.hex(2 + 2 * *count, 2);
            if (!check)
                return out.fail();
            if ((sum + *check) % 256 != 0xFF)
                return out.fail("Checksum Error");
        } else if (type == '5' || type == '6') {
            lastCountsAll = soundCount(line, type == '5' ? 2 : 3, dataRecords);
        } else if (type == '7' || type == '8' || type == '9') {
            out.extent = static_cast<std::uint32_t>(extent);
            return out;
        }
        // S0 headers, S4 and any other second character: the line is skipped.
    }
}

} // namespace korvat::fuzz::model
