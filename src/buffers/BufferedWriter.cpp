#include "BufferedWriter.h"

#include "base/FileHelpers.h"

#include <cstring>

namespace korvat {
namespace {
constexpr std::size_t kBlock = 1 << 20;
}

BufferedWriter::BufferedWriter(const std::string &path) : m_file(path), m_buffer(kBlock) {}

BufferedWriter::BufferedWriter(int fd) : m_file({}), m_fd(fd), m_buffer(kBlock) {}

bool BufferedWriter::open() {
    return m_ok = m_fd >= 0 || m_file.open();
}

void BufferedWriter::flush() {
    if (m_used > 0 && m_ok &&
        !(m_fd >= 0 ? writeAll(m_fd, m_buffer.data(), m_used)
                    : m_file.write(m_buffer.data(), m_used)))
        m_ok = false;
    m_used = 0;
}

char *BufferedWriter::reserve(std::size_t n) {
    if (m_buffer.size() - m_used < n)
        flush();
    if (m_buffer.size() < n)
        m_buffer.resize(n);
    return m_buffer.data() + m_used;
}

void BufferedWriter::put(std::string_view text) {
    std::memcpy(reserve(text.size()), text.data(), text.size());
    advance(text.size());
}

bool BufferedWriter::finish() {
    flush();
    return m_ok && (m_fd >= 0 || m_file.commit());
}

} // namespace korvat
