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
        const LineReader::Result result = in.next(text);
        if (result == LineReader::Result::Line || result == LineReader::Result::TooLong)
            ++m_line;
        switch (result) {
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
            // Not about a line: the file ended before its end record, or a read failed.
            m_extent = 0;
            m_sink.showFileError(codec::kReadFailed, {0, in.error()});
            if (!endMessage.empty())
                m_sink.showFileError(endMessage, {});
            return 0;
        }
    }
}

std::optional<std::uint32_t> RecordReader::field(std::string_view text, std::size_t at,
                                                 std::size_t count) {
    const auto v = hex::parse(text, at, count);
    if (!v)
        show(codec::kIllegalChar);
    return v;
}

bool RecordReader::fail(std::string_view message) {
    if (!message.empty())
        show(message);
    m_extent = 0;
    return false;
}

void RecordReader::show(std::string_view message) {
    m_sink.showFileError(message, {m_line, 0});
}

std::vector<Bounds> RecordReader::held() const {
    if (m_extent == 0)
        return {};
    std::vector<Bounds> held = m_held;
    mergeBounds(held);
    return held;
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
        hold(address, length);
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
    hold(address, length);
    return true; // only reached if the fast path missed a well-formed record
}

// Records follow each other in most files: a record that goes on where the last one
// ended extends it, so the list stays short.
void RecordReader::hold(std::uint64_t address, std::uint32_t length) {
    if (length == 0)
        return;
    const auto start = static_cast<std::uint32_t>(address);
    const auto end = static_cast<std::uint32_t>(address + length); // within the buffer
    if (!m_held.empty() && m_held.back().end == start)
        m_held.back().end = end;
    else
        m_held.push_back({start, end});
}

} // namespace korvat
