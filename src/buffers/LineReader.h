#pragma once
// Reads a text file line by line through a fixed window, the way the codecs expect: a
// line ends at the first line feed within the window (which belongs to it); the last
// line of the file may lack one if it fits the window. Where no line feed lies within
// the window and the file goes on past it, the line is too long. The file is read in
// large blocks with read(), so there is no system call, seek or allocation per line,
// and a file that shrinks meanwhile simply ends sooner.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvat {

class LineReader {
public:
    enum class Result {
        Line,    // a line, with its line feed if it has one
        TooLong, // no line feed within the window and more of the file after it
        End,     // the end of the file: every line has been read
        Failed,  // the file is not open or could not be read
    };

    LineReader(std::size_t window);
    ~LineReader();
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    bool open(const std::string &path);
    // Reads a file opened elsewhere, from where it stands; the reader closes it.
    void adopt(int fd);
    // Reads on. The view holds the line, or the window's bytes for TooLong, and stays
    // valid until the next call; reading may go on after a line that is too long.
    Result next(std::string_view &line);
    // The system's error number of the read that failed (Failed), or 0.
    int error() const { return m_error; }

private:
    bool fill();

    std::size_t m_window;
    int m_fd = -1;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_eof = false;
    int m_error = 0;
};

} // namespace korvat
