#include "SRecord.h"

#include "BufferedWriter.h"
#include "CodecText.h"
#include "HexDigits.h"
#include "RecordReader.h"

#include <algorithm>

namespace korvat {
namespace {

constexpr std::size_t kAddressAt = 4;
constexpr std::size_t kRecordBytes = 16;

class Reader : public RecordReader {
public:
    using RecordReader::RecordReader;

private:
    bool line(std::string_view text) override;
    bool mayEndHere() const override { return m_countsAll; }
    bool data(std::string_view text, std::uint32_t addressBytes);
    bool soundCount(std::string_view text, std::uint32_t countBytes) const;

    std::uint32_t m_dataRecords = 0;
    bool m_countsAll = false; // the last line is a sound count of all data records
};

bool Reader::line(std::string_view text) {
    if (text.empty() || text[0] != 'S')
        return fail(codec::kIllegalLine);
    const char type = text.size() > 1 ? text[1] : '\0';
    m_countsAll = false;
    switch (type) {
    case '1':
    case '2':
    case '3':
        ++m_dataRecords;
        return data(text, static_cast<std::uint32_t>(type - '0') + 1);
    case '5':
    case '6':
        m_countsAll = soundCount(text, static_cast<std::uint32_t>(type - '5') + 2);
        return true; // no message either way: only the end of the file asks for it
    case '7':
    case '8':
    case '9':
        return false; // the terminator ends the file unchecked
    default:
        return true; // S0 header, S4 and anything else are skipped
    }
}

// An S5/S6 record whose countBytes-byte field holds the number of data records read,
// with its length, checksum and line end all in order.
bool Reader::soundCount(std::string_view text, std::uint32_t countBytes) const {
    const std::size_t checkAt = kAddressAt + 2 * countBytes;
    const auto length = hex::parse(text, 2, 2);
    const auto count = hex::parse(text, kAddressAt, 2 * countBytes);
    const auto check = hex::parse(text, checkAt, 2);
    if (!length || !count || !check || *length != countBytes + 1 || *count != m_dataRecords ||
        text.find_first_not_of("\r\n", checkAt + 2) != std::string_view::npos)
        return false;
    std::uint32_t sum = *length + *check;
    for (std::uint32_t c = *count; c != 0; c >>= 8)
        sum += c & 0xFF;
    return (sum & 0xFF) == 0xFF;
}

bool Reader::data(std::string_view text, std::uint32_t k) {
    const auto count = field(text, 2, 2);
    const auto address = count ? field(text, kAddressAt, 2 * k) : std::nullopt;
    if (!address)
        return fail({});
    if (*count < k + 1) // no room for the address and the checksum it claims to hold
        return fail("Invalid Record Length");
    std::uint32_t sum = *count;
    for (std::uint32_t a = *address; a != 0; a >>= 8)
        sum += a & 0xFF;
    const std::uint32_t length = *count - k - 1;
    if (!claim(*address, length)) // nothing of this record is stored
        return false;
    if (!storeData(text, kAddressAt + 2 * k, *address, length, sum))
        return fail({});
    if ((sum & 0xFF) != 0xFF)
        return fail("Checksum Error");
    return true;
}

// Records start at multiples of 16 (the first may start later).
bool write(BufferedWriter &out, std::span<const std::uint8_t> data, std::uint32_t base) {
    if (!out.open())
        return false;
    const std::uint64_t end = base + std::uint64_t{data.size()};
    const int k = end <= 0xFFFF ? 2 : end <= 0xFFFFFF ? 3 : 4;
    const char type = static_cast<char>('1' + (k - 2));
    constexpr std::size_t kLongestRecord = 2 + 2 + 8 + 2 * kRecordBytes + 2 + 2;

    out.put("S00600004844521B\r\n");
    for (std::size_t position = 0; position < data.size();) {
        const auto address = static_cast<std::uint32_t>(base + position);
        const std::size_t length =
            std::min<std::size_t>(kRecordBytes - address % kRecordBytes, data.size() - position);
        const auto bytes = data.subspan(position, length);
        position += length;
        if (std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; }))
            continue;
        const auto c = static_cast<std::uint32_t>(bytes.size() + static_cast<std::size_t>(k) + 1);
        std::uint32_t sum = c;
        for (int i = 0; i < k; ++i)
            sum += (address >> (8 * i)) & 0xFF;
        char *p = out.reserve(kLongestRecord);
        char *q = p;
        *q++ = 'S';
        *q++ = type;
        q = hex::putByte(q, static_cast<std::uint8_t>(c));
        q = hex::put(q, address, 2 * k);
        for (std::uint8_t b : bytes) {
            q = hex::putByte(q, b);
            sum += b;
        }
        q = hex::putByte(q, static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
        *q++ = '\r';
        *q++ = '\n';
        out.advance(static_cast<std::size_t>(q - p));
    }
    out.put(k == 2 ? "S9030000FC\r\n" : k == 3 ? "S804000000FB\r\n" : "S70500000000FA\r\n");
    return out.finish();
}

} // namespace

std::uint32_t readSRecord(const std::string &path, std::span<std::uint8_t> buffer,
                          MessageSink &sink) {
    return Reader(buffer, sink).readFile(path, kSRecordWindow, {});
}

std::uint32_t readSRecord(int fd, std::span<std::uint8_t> buffer, MessageSink &sink,
                          std::vector<Bounds> *held) {
    Reader reader(buffer, sink);
    const std::uint32_t extent = reader.readFile(fd, kSRecordWindow, {});
    if (held)
        *held = reader.held();
    return extent;
}

bool writeSRecord(const std::string &path, std::span<const std::uint8_t> data, std::uint32_t base) {
    BufferedWriter out(path);
    return write(out, data, base);
}

bool writeSRecord(int fd, std::span<const std::uint8_t> data, std::uint32_t base) {
    BufferedWriter out(fd);
    return write(out, data, base);
}

} // namespace korvat
