#pragma once
// What the models of the record file readers share (IntelHexModel.h, SRecordModel.h).
// A model is a second, deliberately plain reading of a format's rules: the whole file is
// in memory, every field is read digit by digit, and nothing is done for speed, so that
// the fuzz target can hold the real reader to the same result byte for byte.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvat::fuzz::model {

// What a reader returns and what the user is shown, in order. The bytes it stores are
// in the buffer the model was handed.
struct Outcome {
    std::uint32_t extent = 0;
    std::vector<std::string> messages;

    // Ends reading unsuccessfully: the extent is 0 whatever was stored before, and the
    // message (if any) is shown.
    Outcome fail(std::string_view message = {}) {
        if (!message.empty())
            messages.emplace_back(message);
        extent = 0;
        return *this;
    }
};

// The file's lines, each up to and including its first line feed; the last line may
// lack one. A line longer than window bytes (its line feed included) is not handed out:
// the readers refuse it whole.
class Lines {
public:
    enum Kind { Line, TooLong, End };

    Lines(std::string_view file, std::size_t window) : m_rest(file), m_window(window) {}

    Kind next(std::string_view &line) {
        if (m_rest.empty())
            return End;
        const std::size_t lf = m_rest.find('\n');
        const std::size_t length = lf == std::string_view::npos ? m_rest.size() : lf + 1;
        if (length > m_window)
            return TooLong;
        line = m_rest.substr(0, length);
        m_rest.remove_prefix(length);
        return Line;
    }

private:
    std::string_view m_rest;
    std::size_t m_window;
};

inline int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads the hexadecimal fields of one line. A field of count digits at position at is
// read most significant digit first; a character that is not a digit, or a position
// past the end of the line, shows "Illegal Char in File" and gives nothing.
class Fields {
public:
    Fields(std::string_view line, Outcome &out) : m_line(line), m_out(out) {}

    std::optional<std::uint32_t> hex(std::size_t at, std::size_t count) {
        std::uint32_t value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            const int d = i < m_line.size() ? digitValue(m_line[i]) : -1;
            if (d < 0) {
                m_out.messages.emplace_back("Illegal Char in File");
                return std::nullopt;
            }
            value = value * 16 + static_cast<std::uint32_t>(d);
        }
        return value;
    }

private:
    std::string_view m_line;
    Outcome &m_out;
};

// The sum of the bytes of a value, as the record checksums count an address.
inline std::uint32_t byteSum(std::uint32_t value) {
    return (value & 0xFF) + ((value >> 8) & 0xFF) + ((value >> 16) & 0xFF) + (value >> 24);
}

} // namespace korvat::fuzz::model
