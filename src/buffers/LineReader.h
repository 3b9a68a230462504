#pragma once
// Reads a text file line by line through a fixed window, the way the codecs expect:
// a line ends at the first line feed within the window (which belongs to it); with no
// line feed there, the whole window is the line. A regular file is mapped into memory
// and lines are views into it; anything else is read in large blocks. Either way there
// is no system call, seek or allocation per line.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvat {

class LineReader {
public:
    LineReader(std::size_t window);
    ~LineReader();
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    bool open(const std::string &path);
    // The next line, or false at the end of the file or on a read error. The view
    // stays valid until the next call.
    bool next(std::string_view &line);

private:
    bool fill();

    std::size_t m_window;
    int m_fd = -1;
    const char *m_map = nullptr; // the mapped file, when it could be mapped
    std::size_t m_mapSize = 0;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_eof = false;
};

} // namespace korvat
