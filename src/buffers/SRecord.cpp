#include "SRecord.h"

#include "BufferedWriter.h"
#include "CodecText.h"
#include "HexText.h"
#include "LineReader.h"

#include <algorithm>
#include <cstring>

namespace korvat {
namespace {

constexpr std::size_t kAddressAt = 4;
constexpr std::size_t kRecordBytes = 16;

class Reader {
public:
    Reader(std::span<std::uint8_t> buffer, MessageSink &sink) : m_buffer(buffer), m_sink(sink) {}

    // Handles one line; false when reading ends (successfully or not).
    bool line(std::string_view text);
    std::uint64_t extent() const { return m_extent; }

private:
    std::optional<std::uint32_t> field(std::string_view text, std::size_t at, std::size_t n) {
        const auto v = hex::parse(text, at, n);
        if (!v)
            m_sink.showError(codec::kIllegalChar);
        return v;
    }
    bool fail(std::string_view message) {
        if (!message.empty())
            m_sink.showError(message);
        m_extent = 0;
        return false;
    }
    bool data(std::string_view text, std::uint32_t addressBytes);

    std::span<std::uint8_t> m_buffer;
    MessageSink &m_sink;
    std::uint64_t m_extent = 0;
};

bool Reader::line(std::string_view text) {
    if (text.empty() || text[0] != 'S')
        return fail(codec::kIllegalLine);
    const char type = text.size() > 1 ? text[1] : '\0';
    switch (type) {
    case '1':
    case '2':
    case '3':
        return data(text, static_cast<std::uint32_t>(type - '0') + 1);
    case '7':
    case '8':
    case '9':
        return false; // the terminator ends the file unchecked
    default:
        return true; // S0 header, S4-S6 and anything else are skipped
    }
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
    const std::uint64_t end = std::uint64_t{*address} + length;
    if (end > m_extent) {
        m_extent = end;
        if (m_extent > m_buffer.size())
            return fail(codec::kTooBig);
    }
    std::uint8_t *out = m_buffer.data() + *address;
    const std::size_t dataAt = kAddressAt + 2 * k;
    std::uint8_t bytes[256];
    std::uint32_t fastSum = 0;
    if (text.size() >= dataAt + 2 * length + 2 &&
        hex::decodeBytes(text.data() + dataAt, length + 1, bytes, fastSum)) {
        std::memcpy(out, bytes, length);
        sum += fastSum;
        if ((sum & 0xFF) != 0xFF)
            return fail("Checksum Error");
        return true;
    }
    // Not well formed: go digit by digit, so the bytes before the bad one are stored
    // and the right message is shown.
    for (std::uint32_t i = 0; i < length; ++i) {
        const auto b = field(text, dataAt + 2 * i, 2);
        if (!b)
            return fail({});
        out[i] = static_cast<std::uint8_t>(*b);
        sum += *b;
    }
    const auto check = field(text, 2 + 2 * std::size_t{*count}, 2);
    if (!check)
        return fail({});
    if (((sum + *check) & 0xFF) != 0xFF)
        return fail("Checksum Error");
    return true;
}

} // namespace

std::uint32_t readSRecord(const std::string &path, std::span<std::uint8_t> buffer,
                          MessageSink &sink) {
    LineReader in(kSRecordWindow);
    if (!in.open(path))
        return 0;
    Reader reader(buffer, sink);
    std::string_view text;
    for (;;) {
        if (!in.next(text)) {
            sink.showError(codec::kReadFailed);
            return 0;
        }
        if (!reader.line(text))
            break;
    }
    return static_cast<std::uint32_t>(reader.extent());
}

bool writeSRecord(const std::string &path, std::span<const std::uint8_t> data) {
    BufferedWriter out(path);
    if (!out.open())
        return false;
    const std::size_t count = data.size();
    const int k = count <= 0xFFFF ? 2 : count <= 0xFFFFFF ? 3 : 4;
    const char type = static_cast<char>('1' + (k - 2));
    constexpr std::size_t kLongestRecord = 2 + 2 + 8 + 2 * kRecordBytes + 2 + 2;

    out.put("S00600004844521B\r\n");
    for (std::size_t position = 0; position < count; position += kRecordBytes) {
        const auto bytes = data.subspan(position, std::min(kRecordBytes, count - position));
        if (std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; }))
            continue;
        const auto c = static_cast<std::uint32_t>(bytes.size() + static_cast<std::size_t>(k) + 1);
        const auto address = static_cast<std::uint32_t>(position);
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

} // namespace korvat
