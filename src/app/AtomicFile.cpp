#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace korvat {
namespace {
constexpr std::size_t kWritebackStep = 4u << 20;
}

AtomicFile::AtomicFile(std::string target) : m_target(std::move(target)) {}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::open() {
    discard();
    std::vector<char> name(m_target.begin(), m_target.end());
    const std::string suffix = ".tmpXXXXXX";
    name.insert(name.end(), suffix.begin(), suffix.end());
    name.push_back('\0');
    m_fd = mkstemp(name.data());
    if (m_fd < 0)
        return false;
    m_temp = name.data();
    m_failed = false;
    m_written = m_kicked = 0;
    // mkstemp creates the file for the owner only; give it the usual permissions,
    // or keep those of the file it replaces.
    struct stat st {};
    const mode_t mask = umask(0);
    umask(mask);
    const mode_t mode = stat(m_target.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~mask);
    fchmod(m_fd, mode);
    return true;
}

bool AtomicFile::write(const void *data, std::size_t size) {
    if (m_fd < 0 || m_failed)
        return false;
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_failed = true;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        m_written += static_cast<std::size_t>(n);
    }
    // Start writing back what has piled up, so that the flush in commit() finds most
    // of a large file already on its way to the disk.
    if (m_written - m_kicked >= kWritebackStep) {
        sync_file_range(m_fd, static_cast<off_t>(m_kicked),
                        static_cast<off_t>(m_written - m_kicked), SYNC_FILE_RANGE_WRITE);
        m_kicked = m_written;
    }
    return true;
}

bool AtomicFile::commit() {
    if (m_fd < 0 || m_failed) {
        discard();
        return false;
    }
    const bool synced = fsync(m_fd) == 0;
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    if (!synced || !closed || std::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        discard();
        return false;
    }
    m_temp.clear();
    return true;
}

void AtomicFile::discard() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
    m_temp.clear();
}

bool writeFileAtomically(const std::string &path, std::string_view contents) {
    AtomicFile file(path);
    return file.open() && file.write(contents.data(), contents.size()) && file.commit();
}

} // namespace korvat
