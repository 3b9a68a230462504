#include "LineReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace korvat {
namespace {
constexpr std::size_t kBlock = 1 << 20;
}

LineReader::LineReader(std::size_t window) : m_window(window) {}

LineReader::~LineReader() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool LineReader::open(const std::string &path) {
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    m_error = m_fd < 0 ? errno : 0;
    return m_fd >= 0;
}

void LineReader::adopt(int fd) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

// Keeps more than one window of bytes ahead of the position unless the file ends, so
// that a window without a line feed tells a line that is too long from the last one.
bool LineReader::fill() {
    if (m_end - m_pos > m_window || m_eof)
        return true;
    if (m_buffer.empty())
        m_buffer.resize(kBlock + m_window + 1);
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
    m_end -= m_pos;
    m_pos = 0;
    while (m_end <= m_window && !m_eof) {
        const ssize_t n = ::read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_error = errno;
            return false;
        }
        if (n == 0)
            m_eof = true;
        m_end += static_cast<std::size_t>(n);
    }
    return true;
}

LineReader::Result LineReader::next(std::string_view &line) {
    if (m_fd < 0 || !fill())
        return Result::Failed;
    const std::size_t ahead = m_end - m_pos;
    if (ahead == 0)
        return Result::End;
    const std::size_t avail = std::min(m_window, ahead);
    const char *start = m_buffer.data() + m_pos;
    const void *lf = std::memchr(start, '\n', avail);
    const std::size_t length =
        lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - start) + 1 : avail;
    line = {start, length};
    m_pos += length;
    return lf || ahead <= m_window ? Result::Line : Result::TooLong;
}

} // namespace korvat
