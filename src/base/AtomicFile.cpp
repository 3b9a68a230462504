#include "AtomicFile.h"

#include "FileHelpers.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <linux/falloc.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace korvat {
namespace {

constexpr std::size_t kWritebackStep = 4u << 20;
constexpr std::size_t kCopyBlock = 1u << 20;
constexpr std::size_t kNameMax = 255; // longest file name the usual file systems take
constexpr int kMaxLinks = 40;         // as many links as the kernel follows in one path
constexpr std::string_view kTempSuffix = ".XXXXXX";

// The path a chain of symbolic links ends at: the path itself when it is no link, the
// missing file a dangling link names, or nothing when the chain does not end.
std::string followLinks(std::string path) {
    std::vector<char> link(PATH_MAX);
    for (int i = 0; i <= kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) == link.size())
            return {};
        const std::string next(link.data(), static_cast<std::size_t>(n));
        // A relative link is relative to the folder the link is in.
        path = next.front() == '/' ? next : folderOf(path) + next;
    }
    return {};
}

// A pattern for mkstemp naming a hidden file beside the target. The target's name is
// cut so that the whole name stays within the limit, at the start of a UTF-8 character.
std::string tempPattern(const std::string &target) {
    const std::string folder = folderOf(target);
    const std::string name = target.substr(folder.size());
    std::size_t keep = std::min(name.size(), kNameMax - 1 - kTempSuffix.size());
    while (keep > 0 && keep < name.size() &&
           (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    return folder + "." + name.substr(0, keep) + std::string(kTempSuffix);
}

// A name for a hidden file beside the target that no file has yet, for linkat (which
// does not replace one); the pattern's X's become letters and digits.
std::string freshName(const std::string &pattern) {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 gen{std::random_device{}()};
    std::string name = pattern;
    for (std::size_t i = name.size() - (kTempSuffix.size() - 1); i < name.size(); ++i)
        name[i] = kChars[gen() % (sizeof kChars - 1)];
    return name;
}

// The path through which the kernel links an unnamed file open on fd to a name.
std::string procPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// Gives a replacement the owner, group and permissions of the file it replaces, or the
// usual permissions of a new file; false when the system refuses any of them.
bool takeOver(int fd, const struct stat *old) {
    if (old == nullptr) {
        const mode_t mask = umask(0);
        umask(mask);
        return fchmod(fd, 0666 & ~mask) == 0;
    }
    struct stat now {};
    if (fstat(fd, &now) != 0)
        return false;
    if ((now.st_uid != old->st_uid || now.st_gid != old->st_gid) &&
        fchown(fd, old->st_uid, old->st_gid) != 0)
        return false;
    // After fchown, which may clear the set-user and set-group bits.
    return fchmod(fd, old->st_mode & 07777) == 0;
}

// A file without a name in the folder, so that nothing is left behind whatever happens
// to the process.
int anonymousFile(const std::string &folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    // File systems without unnamed files: a named one, removed at once.
    std::string name = folder + "/korvat-XXXXXX";
    const int named = mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0)
        ::unlink(name.c_str());
    return named;
}

} // namespace

AtomicFile::AtomicFile(std::string target, std::string stagingFolder)
    : m_target(std::move(target)), m_staging(std::move(stagingFolder)) {}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::open() {
    discard();
    m_failed = false;
    m_written = m_kicked = 0;
    m_final = followLinks(m_target);
    if (m_final.empty())
        return false;
    struct stat st {};
    const bool exists = ::stat(m_final.c_str(), &st) == 0;
    const bool regular = exists && S_ISREG(st.st_mode);
    // A file this user may not write is not replaced behind its back.
    if (exists && ::access(m_final.c_str(), W_OK) != 0)
        return false;
    // A rename would leave the old contents under the file's other names.
    if (regular && st.st_nlink > 1)
        return openInPlace();
    // Replace where the folder takes a new file that can have the old one's owner,
    // group and permissions; otherwise write the existing file over. Only a folder
    // that refuses this user leads there: a full disk, say, fails the save, as writing
    // over the file could then leave it cut short.
    if (openReplacement()) {
        if (takeOver(m_fd, exists ? &st : nullptr))
            return true;
        discard();
    } else if (errno != EACCES && errno != EPERM) {
        return false;
    }
    return regular && openInPlace();
}

// The replacement is an unnamed file in the target's folder that gets its name only
// when it is complete, so a process killed part-way leaves nothing behind. Where the
// file system has no unnamed files, or /proc is not there to link one, it is a hidden
// named file, removed when the save fails.
bool AtomicFile::openReplacement() {
    m_mode = Mode::Replace;
    const std::string folder = folderOf(m_final);
    m_fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    struct stat link {};
    if (m_fd >= 0 && ::lstat(procPath(m_fd).c_str(), &link) == 0) {
        m_unnamed = true;
        return true;
    }
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    m_unnamed = false;
    std::string name = tempPattern(m_final);
    m_fd = mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        return false;
    m_temp = name;
    return true;
}

bool AtomicFile::openInPlace() {
    m_targetFd = ::open(m_final.c_str(), O_WRONLY | O_CLOEXEC);
    m_fd = m_targetFd < 0 ? -1 : anonymousFile(m_staging);
    if (m_fd < 0) {
        discard();
        return false;
    }
    m_mode = Mode::InPlace;
    return true;
}

bool AtomicFile::write(const void *data, std::size_t size) {
    if (m_fd < 0 || m_failed)
        return false;
    if (!writeAll(m_fd, data, size, static_cast<off_t>(m_written))) {
        m_failed = true;
        return false;
    }
    m_written += size;
    // Start writing back what has piled up, so that the flush in commit() finds most
    // of a large file already on its way to the disk.
    if (m_mode == Mode::Replace && m_written - m_kicked >= kWritebackStep) {
        sync_file_range(m_fd, static_cast<off_t>(m_kicked),
                        static_cast<off_t>(m_written - m_kicked), SYNC_FILE_RANGE_WRITE);
        m_kicked = m_written;
    }
    return true;
}

bool AtomicFile::commit() {
    const bool done =
        m_fd >= 0 && !m_failed && (m_mode == Mode::Replace ? commitReplacement() : commitInPlace());
    discard();
    return done;
}

bool AtomicFile::commitReplacement() {
    const bool synced = fsync(m_fd) == 0;
    const bool named = synced && (!m_unnamed || linkReplacement());
    const bool closed = ::close(std::exchange(m_fd, -1)) == 0;
    if (!named || !closed)
        return false;
    if (m_temp != m_final && std::rename(m_temp.c_str(), m_final.c_str()) != 0)
        return false;
    m_temp.clear();
    return true;
}

// Gives the complete unnamed file a hidden name beside the target, for the rename over
// it; where no file is at the target, the target's name itself, and nothing is left to
// rename. Only between the link and the rename does a named copy exist.
bool AtomicFile::linkReplacement() {
    const std::string from = procPath(m_fd);
    if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, m_final.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        m_temp = m_final; // in place already: nothing to rename, nothing to remove
        return true;
    }
    if (errno != EEXIST)
        return false;
    const std::string pattern = tempPattern(m_final);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = freshName(pattern);
        if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            m_temp = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// Copies the collected bytes over the target from its start and cuts off the rest. The
// room for them is taken first, so a disk that cannot hold them fails the save before
// the target changes.
bool AtomicFile::commitInPlace() {
    const int reserved = fallocate(m_targetFd, FALLOC_FL_KEEP_SIZE, 0,
                                   static_cast<off_t>(std::max<std::size_t>(m_written, 1)));
    if (reserved != 0 && errno != EOPNOTSUPP)
        return false;
    std::vector<char> block(std::min(m_written, kCopyBlock));
    for (std::size_t at = 0; at < m_written;) {
        const ssize_t n = ::pread(m_fd, block.data(), std::min(block.size(), m_written - at),
                                  static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || !writeAll(m_targetFd, block.data(), static_cast<std::size_t>(n),
                                static_cast<off_t>(at)))
            return false;
        at += static_cast<std::size_t>(n);
    }
    const bool done =
        ftruncate(m_targetFd, static_cast<off_t>(m_written)) == 0 && fsync(m_targetFd) == 0;
    return ::close(std::exchange(m_targetFd, -1)) == 0 && done;
}

void AtomicFile::discard() {
    for (int *fd : {&m_fd, &m_targetFd}) {
        if (*fd >= 0)
            ::close(std::exchange(*fd, -1));
    }
    if (!m_temp.empty() && m_temp != m_final)
        ::unlink(m_temp.c_str());
    m_temp.clear();
}

bool writeFileAtomically(const std::string &path, std::string_view contents,
                         const std::string &stagingFolder) {
    AtomicFile file(path, stagingFolder);
    return file.open() && file.write(contents.data(), contents.size()) && file.commit();
}

} // namespace korvat
