#include "LineReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvat {
namespace {
constexpr std::size_t kBlock = 1 << 20;
}

LineReader::LineReader(std::size_t window) : m_window(window) {}

LineReader::~LineReader() {
    if (m_map)
        munmap(const_cast<char *>(m_map), m_mapSize);
    if (m_fd >= 0)
        ::close(m_fd);
}

bool LineReader::open(const std::string &path) {
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    struct stat st {};
    if (fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        void *p = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ,
                       MAP_PRIVATE | MAP_POPULATE, m_fd, 0);
        if (p != MAP_FAILED) {
            madvise(p, static_cast<std::size_t>(st.st_size), MADV_SEQUENTIAL);
            m_map = static_cast<const char *>(p);
            m_mapSize = static_cast<std::size_t>(st.st_size);
            m_end = m_mapSize;
            m_eof = true;
        }
    }
    return true;
}

// Keeps at least one window of bytes ahead of the position unless the file ends.
bool LineReader::fill() {
    if (m_map || m_end - m_pos >= m_window || m_eof)
        return true;
    if (m_buffer.empty())
        m_buffer.resize(kBlock + m_window);
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
    m_end -= m_pos;
    m_pos = 0;
    while (m_end < m_window && !m_eof) {
        const ssize_t n = ::read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            m_eof = true;
        m_end += static_cast<std::size_t>(n);
    }
    return true;
}

bool LineReader::next(std::string_view &line) {
    if (m_fd < 0 || !fill())
        return false;
    const std::size_t avail = std::min(m_window, m_end - m_pos);
    if (avail == 0)
        return false;
    const char *start = (m_map ? m_map : m_buffer.data()) + m_pos;
    const void *lf = std::memchr(start, '\n', avail);
    const std::size_t length =
        lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - start) + 1 : avail;
    line = {start, length};
    m_pos += length;
    return true;
}

} // namespace korvat
