#include "RegularFile.h"

#include "base/TextTable.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace korvat {

RegularFile::RegularFile(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        m_problem = Problem::NotRegular;
        return;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return;
    const bool looked = fstat(fd, &st) == 0;
    const int flags = fcntl(fd, F_GETFL);
    if (!looked || !S_ISREG(st.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        m_problem = looked && !S_ISREG(st.st_mode) ? Problem::NotRegular : Problem::CannotOpen;
        return;
    }
    m_fd = fd;
    m_problem = Problem::None;
}

RegularFile::~RegularFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

RegularFile::RegularFile(RegularFile &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_problem(other.m_problem) {}

int RegularFile::release() {
    return std::exchange(m_fd, -1);
}

bool RegularFile::readInto(char *out, std::size_t size, std::size_t &got) const {
    got = 0;
    while (got < size) {
        const ssize_t n = ::read(m_fd, out + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool isIrregularFile(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

std::string notRegularFileText(const std::string &path, int language) {
    std::string message(text(txtNotRegularFile, language));
    replaceMark(message, "%1", path);
    return message;
}

} // namespace korvat
