#include "RecordReader.h"

#include "CodecText.h"
#include "HexDigits.h"
#include "LineReader.h"

#include <cstring>

namespace korvat {

std::uint32_t RecordReader::readFile(const std::string &path, std::size_t window,
                                     std::string_view endMessage) {
    LineReader in(window);
    if (!in.open(path))
        return 0;
    return readLines(in, endMessage);
}

std::uint32_t RecordReader::readFile(int fd, std::size_t window, std::string_view endMessage) {
    LineReader in(window);
    in.adopt(fd);
    return readLines(in, endMessage);
}

std::uint32_t RecordReader::readLines(LineReader &in, std::string_view endMessage) {
    std::string_view text;
    for (;;) {
        switch (in.next(text)) {
        case LineReader::Result::Line:
            if (!line(text))
                return static_cast<std::uint32_t>(m_extent);
            break;
        case LineReader::Result::TooLong:
            fail(codec::kIllegalLine);
            return 0;
        case LineReader::Result::End:
            if (mayEndHere())
                return static_cast<std::uint32_t>(m_extent);
            [[fallthrough]];
        case LineReader::Result::Failed:
            m_sink.showError(codec::kReadFailed);
            if (!endMessage.empty())
                m_sink.showError(endMessage);
            return 0;
        }
    }
}

std::optional<std::uint32_t> RecordReader::field(std::string_view text, std::size_t at,
                                                 std::size_t count) {
    const auto v = hex::parse(text, at, count);
    if (!v)
        m_sink.showError(codec::kIllegalChar);
    return v;
}

bool RecordReader::fail(std::string_view message) {
    if (!message.empty())
        m_sink.showError(message);
    m_extent = 0;
    return false;
}

bool RecordReader::claim(std::uint64_t address, std::uint32_t length) {
    if (address + length > m_extent) {
        m_extent = address + length;
        if (m_extent > m_buffer.size())
            return fail(codec::kTooBig);
    }
    return true;
}

bool RecordReader::storeData(std::string_view text, std::size_t dataAt, std::uint64_t address,
                             std::uint32_t length, std::uint32_t &sum) {
    std::uint8_t *out = m_buffer.data() + address;
    std::uint8_t bytes[256];
    std::uint32_t fastSum = 0;
    if (text.size() >= dataAt + 2 * std::size_t{length} + 2 &&
        hex::decodeBytes(text.data() + dataAt, length + 1, bytes, fastSum)) {
        std::memcpy(out, bytes, length);
        sum += fastSum;
        return true;
    }
    // Not well formed: digit by digit, so the bytes before the bad one are stored.
    for (std::uint32_t i = 0; i <= length; ++i) {
        const auto b = field(text, dataAt + 2 * i, 2);
        if (!b)
            return false;
        if (i < length)
            out[i] = static_cast<std::uint8_t>(*b);
        sum += *b;
    }
    return true; // only reached if the fast path missed a well-formed record
}

} // namespace korvat
