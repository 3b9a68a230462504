#pragma once
// What the Intel HEX and S-record readers share: reading the file line by line through
// their window, reading hexadecimal fields with the "Illegal Char in File" message,
// keeping the extent within the buffer, storing a record's data and checksum and the
// addresses the data records wrote, and telling the sink on which line a message arose.

#include "Bounds.h"
#include "base/MessageSink.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvat {

class LineReader;

class RecordReader {
public:
    RecordReader(std::span<std::uint8_t> buffer, MessageSink &sink)
        : m_buffer(buffer), m_sink(sink) {}
    virtual ~RecordReader() = default;

    // Feeds the file's lines to line() until it returns false, and returns the extent.
    // Returns 0 instead when the file cannot be opened (silently), when a line is longer
    // than the window ("Illegal Line found"; nothing of that line is stored), or when
    // the file cannot be read or ends before line() says so and mayEndHere() does not
    // allow that ("File Read Operation Failed", then endMessage when there is one).
    std::uint32_t readFile(const std::string &path, std::size_t window,
                           std::string_view endMessage);
    // The same for a file opened elsewhere, which it reads from its start and closes.
    std::uint32_t readFile(int fd, std::size_t window, std::string_view endMessage);

    // The buffer addresses the data records of a file read whole wrote, sorted and
    // merged; empty after a failure.
    std::vector<Bounds> held() const;

protected:
    // Handles one line; false when reading ends, successfully or not.
    virtual bool line(std::string_view text) = 0;
    // Whether the file may end after the lines handled so far, without the record that
    // ends it otherwise.
    virtual bool mayEndHere() const { return false; }

    // count hexadecimal digits at position at; "Illegal Char in File" when not.
    std::optional<std::uint32_t> field(std::string_view text, std::size_t at, std::size_t count);
    // Ends reading with extent 0, showing the message if there is one.
    bool fail(std::string_view message);
    // Shows the message as one about the line read last.
    void show(std::string_view message);
    // Extends the extent over [address, address + length); past the buffer it fails
    // with "File exceeds Maximum Size" and nothing may be stored.
    bool claim(std::uint64_t address, std::uint32_t length);
    // Stores the length data bytes at dataAt into the buffer at address (as they are
    // read, so bytes before a bad digit stay) and adds them and the checksum byte after
    // them to sum. False on a bad digit, whose message has been shown.
    bool storeData(std::string_view text, std::size_t dataAt, std::uint64_t address,
                   std::uint32_t length, std::uint32_t &sum);

private:
    std::uint32_t readLines(LineReader &in, std::string_view endMessage);
    void hold(std::uint64_t address, std::uint32_t length);

    std::span<std::uint8_t> m_buffer;
    MessageSink &m_sink;
    std::uint64_t m_extent = 0;
    std::uint32_t m_line = 0; // lines read so far, the one being handled included
    std::vector<Bounds> m_held;
};

} // namespace korvat
