#include "FileHelpers.h"

#include <cerrno>
#include <unistd.h>

namespace korvat {

std::string folderOf(const std::string &path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool writeAll(int fd, const void *data, std::size_t size, std::optional<off_t> at) {
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = at ? ::pwrite(fd, p, size, *at) : ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        if (at)
            *at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace korvat
