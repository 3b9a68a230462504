#include "IntelHex.h"

#include "BufferedWriter.h"
#include "CodecText.h"
#include "HexDigits.h"
#include "RecordReader.h"

#include <algorithm>

namespace korvat {
namespace {

constexpr std::size_t kDataAt = 9;
constexpr std::size_t kRecordBytes = 32;

enum RecordType : std::uint32_t {
    kData = 0,
    kEndOfFile = 1,
    kSegment = 2,
    kStartSegment = 3,
    kLinear = 4,
    kStartLinear = 5,
};

class Reader : public RecordReader {
public:
    using RecordReader::RecordReader;

private:
    bool line(std::string_view text) override;
    bool data(std::string_view text, std::uint32_t length, std::uint32_t offset, std::uint32_t sum);
    bool base(std::string_view text, std::uint32_t length, std::uint32_t sum, bool linear);

    std::uint64_t m_segmentBase = 0;
    std::uint64_t m_linearBase = 0;
};

bool Reader::line(std::string_view text) {
    if (text.empty() || text[0] != ':')
        return fail(codec::kIllegalLine);
    const auto length = field(text, 1, 2);
    const auto offset = length ? field(text, 3, 4) : std::nullopt;
    const auto type = offset ? field(text, 7, 2) : std::nullopt;
    if (!type)
        return fail({});
    const std::uint32_t sum = *length + *type + (*offset >> 8) + (*offset & 0xFF);
    switch (*type) {
    case kData:
        return data(text, *length, *offset, sum);
    case kEndOfFile: {
        const auto check = field(text, kDataAt, 2);
        if (!check)
            return fail({});
        if (*length != 0 || *offset != 0 || *check != 0xFF)
            fail("Invalid EOF Record");
        return false;
    }
    case kSegment:
        return base(text, *length, sum, false);
    case kLinear:
        return base(text, *length, sum, true);
    case kStartSegment:
    case kStartLinear:
        return true;
    default:
        return fail("Invalid Record type");
    }
}

bool Reader::data(std::string_view text, std::uint32_t length, std::uint32_t offset,
                  std::uint32_t sum) {
    const std::uint64_t address = m_linearBase + m_segmentBase + offset;
    if (!claim(address, length)) // nothing of this record is stored
        return false;
    if (!storeData(text, kDataAt, address, length, sum))
        return fail({});
    if ((sum & 0xFF) != 0)
        return fail("Checksum Error type 0");
    return true;
}

bool Reader::base(std::string_view text, std::uint32_t length, std::uint32_t sum, bool linear) {
    if (length != 2)
        return fail(linear ? "Invalid Record Length for type 4"
                           : "Invalid Record Length for type 2");
    const auto value = field(text, kDataAt, 4);
    const auto check = value ? field(text, kDataAt + 4, 2) : std::nullopt;
    if (!check)
        return fail({});
    sum += (*value >> 8) + (*value & 0xFF) + *check;
    if ((sum & 0xFF) != 0)
        return fail(linear ? "Checksum Error type 4" : "Checksum Error type 2");
    (linear ? m_linearBase : m_segmentBase) = std::uint64_t{*value} << (linear ? 16 : 4);
    return true;
}

// ':' LL AAAA TT data CC CR LF, with the checksum the two's complement of the byte sum.
char *putRecord(char *out, std::uint32_t type, std::uint32_t offset,
                std::span<const std::uint8_t> bytes) {
    std::uint32_t sum =
        static_cast<std::uint32_t>(bytes.size()) + (offset >> 8) + (offset & 0xFF) + type;
    *out++ = ':';
    out = hex::putByte(out, static_cast<std::uint8_t>(bytes.size()));
    out = hex::put(out, offset, 4);
    out = hex::putByte(out, static_cast<std::uint8_t>(type));
    for (std::uint8_t b : bytes) {
        out = hex::putByte(out, b);
        sum += b;
    }
    out = hex::putByte(out, static_cast<std::uint8_t>(-sum));
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

// Records start at multiples of 32 (the first may start later), so none crosses a
// 64 KiB boundary; the first record past one, written or left out, brings the type-04
// record of its 64 KiB.
bool write(BufferedWriter &out, std::span<const std::uint8_t> data, std::uint32_t base) {
    if (!out.open())
        return false;
    constexpr std::size_t kLongestRecord = 1 + 2 + 4 + 2 + 2 * kRecordBytes + 2 + 2;
    std::uint64_t upperBase = 0;
    for (std::size_t position = 0; position < data.size();) {
        const std::uint64_t address = base + std::uint64_t{position};
        const std::size_t length =
            std::min<std::size_t>(kRecordBytes - address % kRecordBytes, data.size() - position);
        const auto bytes = data.subspan(position, length);
        position += length;
        if (address - upperBase > 0xFFFF) {
            upperBase = address & ~std::uint64_t{0xFFFF};
            const std::uint8_t value[2] = {static_cast<std::uint8_t>(upperBase >> 24),
                                           static_cast<std::uint8_t>(upperBase >> 16)};
            char *p = out.reserve(kLongestRecord);
            out.advance(static_cast<std::size_t>(putRecord(p, kLinear, 0, value) - p));
        }
        if (std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; }))
            continue;
        char *p = out.reserve(kLongestRecord);
        out.advance(static_cast<std::size_t>(
            putRecord(p, kData, static_cast<std::uint32_t>(address - upperBase), bytes) - p));
    }
    out.put(":00000001FF\r\n");
    return out.finish();
}

} // namespace

std::uint32_t readIntelHex(const std::string &path, std::span<std::uint8_t> buffer,
                           MessageSink &sink) {
    return Reader(buffer, sink).readFile(path, kIntelHexWindow, "Error reading File");
}

std::uint32_t readIntelHex(int fd, std::span<std::uint8_t> buffer, MessageSink &sink,
                           std::vector<Bounds> *held) {
    Reader reader(buffer, sink);
    const std::uint32_t extent = reader.readFile(fd, kIntelHexWindow, "Error reading File");
    if (held)
        *held = reader.held();
    return extent;
}

bool writeIntelHex(const std::string &path, std::span<const std::uint8_t> data,
                   std::uint32_t base) {
    BufferedWriter out(path);
    return write(out, data, base);
}

bool writeIntelHex(int fd, std::span<const std::uint8_t> data, std::uint32_t base) {
    BufferedWriter out(fd);
    return write(out, data, base);
}

} // namespace korvat
