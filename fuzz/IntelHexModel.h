#pragma once
// A plain model of readIntelHex for the fuzz target to compare against (RecordModel.h).
//
// A file is a sequence of records ":" LL AAAA TT data CC, read one line at a time until
// the end record. Each data record's bytes go to buffer[linear base + segment base +
// AAAA + i] as they are read, before the checksum is tested; the extent is the largest
// address + LL of any data record; every failure makes the result 0 and leaves what was
// already stored in the buffer.

#include "RecordModel.h"

namespace korvat::fuzz::model {

// The longest legal record (':', length, offset, type, 255 data bytes, checksum) with
// CR LF. The reader takes every line up to this long whole and refuses a longer one
// with "Illegal Line found" before storing anything of it.
constexpr std::size_t kIntelHexLine = 1 + 2 + 4 + 2 + 2 * 255 + 2 + 2;

inline Outcome readIntelHex(std::string_view file, std::span<std::uint8_t> buffer) {
    Outcome out;
    Lines lines(file, kIntelHexLine);
    // Wide enough that two bases, an offset and a length never wrap around.
    std::uint64_t extent = 0;
    std::uint64_t segmentBase = 0;
    std::uint64_t linearBase = 0;
    for (;;) {
        std::string_view line;
        const Lines::Kind kind = lines.next(line);
        if (kind == Lines::End) { // the file ended before the end record
            out.messages.emplace_back("File Read Operation Failed");
            return out.fail("Error reading File");
        }
        if (kind == Lines::TooLong || line[0] != ':')
            return out.fail("Illegal Line found");

        Fields f(line, out);
        const auto length = f.hex(1, 2);
        const auto offset = length ? f.hex(3, 4) : std::nullopt;
        const auto type = offset ? f.hex(7, 2) : std::nullopt;
        if (!type)
            return out.fail();
        std::uint32_t sum = *length + *type + (*offset >> 8) + (*offset & 0xFF);

        if (*type == 0) { // data
            const std::uint64_t address = linearBase + segmentBase + *offset;
            if (address + *length > extent) {
                extent = address + *length;
                if (extent > buffer.size())
                    return out.fail("File exceeds Maximum Size"); // nothing of it stored
            }
            for (std::uint32_t i = 0; i < *length; ++i) {
                const auto byte = f.hex(9 + 2 * i, 2);
                if (!byte)
                    return out.fail();
                buffer[address + i] = static_cast<std::uint8_t>(*byte);
                sum += *byte;
            }
            const auto check = f.hex(9 + 2 * *length, 2);
            if (!check)
                return out.fail();
            if ((sum + *check) % 256 != 0)
                return out.fail("Checksum Error type 0");
        } else if (*type == 1) { // end of file: exactly ":00000001FF"
            const auto check = f.hex(9, 2);
            if (!check)
                return out.fail();
            if (*length != 0 || *offset != 0 || *check != 0xFF)
                return out.fail("Invalid EOF Record");
            out.extent = static_cast<std::uint32_t>(extent);
            return out;
        } else if (*type == 2 || *type == 4) { // extended segment / linear address
            const std::string n = std::to_string(*type);
            if (*length != 2)
                return out.fail("Invalid Record Length for type " + n);
            const auto value = f.hex(9, 4);
            const auto check = value ? f.hex(13, 2) : std::nullopt;
            if (!check)
                return out.fail();
            if ((sum + (*value >> 8) + (*value & 0xFF) + *check) % 256 != 0)
                return out.fail("Checksum Error type " + n);
            if (*type == 2)
                segmentBase = std::uint64_t{*value} * 16;
            else
                linearBase = std::uint64_t{*value} * 65536;
        } else if (*type > 5) {
            return out.fail("Invalid Record type");
        }
        // Types 3 and 5 (start addresses) are skipped without any check.
    }
}

} // namespace korvat::fuzz::model
