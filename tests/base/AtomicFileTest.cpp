#include "base/AtomicFile.h"
#include "OrdinaryUser.h"
#include "buffers/CodecFixture.h"
#include "buffers/IntelHex.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <csignal>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace korvat;
using korvat::test::asOrdinaryUser;
using korvat::test::FileSizeLimit;
using korvat::test::giveToChecker;
using korvat::test::isRoot;
using korvat::test::kNobody;
using korvat::test::randomBytes;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTempSuffixLength = 7; // ".XXXXXX"

std::string slurp(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const fs::path &p, const std::string &contents) {
    std::ofstream(p, std::ios::binary) << contents;
}

std::size_t entries(const fs::path &folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

struct stat statOf(const fs::path &p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st;
}

void setMode(const fs::path &p, mode_t mode) {
    ASSERT_EQ(::chmod(p.c_str(), mode), 0) << p;
}

struct TempDir {
    fs::path path = fs::temp_directory_path() / ("korvat-atomic-" + std::to_string(getpid()));
    TempDir() {
        fs::create_directories(path);
        fs::permissions(path, static_cast<fs::perms>(0755));
    }
    ~TempDir() {
        // Folders a test made read-only must be writable again to be emptied.
        std::error_code ec;
        for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end;
             it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::remove_all(path, ec);
    }
    std::size_t entries() const { return ::entries(path); }
    fs::path folder(const std::string &name) const {
        fs::create_directories(path / name);
        return path / name;
    }
};

// A staging folder of the test's own for in-place writes, so that anything left behind
// there can be seen.
struct StagingFolder {
    fs::path path;
    explicit StagingFolder(fs::path folder) : path(std::move(folder)) {
        fs::create_directories(path);
        giveToChecker(path);
    }
};

bool isUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if ((lead & 0xC0) == 0x80 || i + length > s.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

} // namespace

TEST(AtomicFile, ReplacesTheTargetOnlyOnCommit) {
    TempDir dir;
    const auto target = dir.path / "a.bin";
    ASSERT_TRUE(writeFileAtomically(target, "old"));
    {
        AtomicFile f(target);
        ASSERT_TRUE(f.open());
        ASSERT_TRUE(f.write("new contents", 12));
        EXPECT_EQ(slurp(target), "old"); // not yet
        EXPECT_EQ(dir.entries(), 1u);    // the new contents have no name yet
    }
    // Destroyed without commit: the old file stays and the temporary is gone.
    EXPECT_EQ(slurp(target), "old");
    EXPECT_EQ(dir.entries(), 1u);

    AtomicFile g(target);
    ASSERT_TRUE(g.open());
    ASSERT_TRUE(g.write("new", 3));
    ASSERT_TRUE(g.commit());
    EXPECT_EQ(slurp(target), "new");
    EXPECT_EQ(dir.entries(), 1u);
}

TEST(AtomicFile, FolderThatCannotBeWrittenFailsWithoutTouchingAnything) {
    TempDir dir;
    EXPECT_FALSE(writeFileAtomically(dir.path / "missing" / "a.bin", "x"));
    AtomicFile f(dir.path / "missing" / "a.bin");
    EXPECT_FALSE(f.open());
    EXPECT_FALSE(f.write("x", 1));
    EXPECT_FALSE(f.commit());
    EXPECT_EQ(dir.entries(), 0u);
}

TEST(AtomicFile, ReplacementKeepsPermissionsOwnerAndGroup) {
    TempDir dir;
    const auto target = dir.path / "a.bin";
    spit(target, "old");
    setMode(target, 0640);
    const ino_t before = statOf(target).st_ino;
    ASSERT_TRUE(writeFileAtomically(target, "new"));
    EXPECT_EQ(slurp(target), "new");
    EXPECT_EQ(statOf(target).st_mode & 07777, 0640u);
    EXPECT_NE(statOf(target).st_ino, before); // replaced, not written over
    EXPECT_EQ(dir.entries(), 1u);

    if (!isRoot())
        GTEST_SKIP() << "only root can give a file to another owner";
    ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
    ASSERT_TRUE(writeFileAtomically(target, "newer"));
    EXPECT_EQ(slurp(target), "newer");
    EXPECT_EQ(statOf(target).st_uid, kNobody);
    EXPECT_EQ(statOf(target).st_gid, kNobody);
    EXPECT_EQ(statOf(target).st_mode & 07777, 0640u);
    EXPECT_EQ(dir.entries(), 1u);
}

TEST(AtomicFile, FileOfAnotherOwnerIsWrittenInPlaceKeepingItsOwner) {
    if (!isRoot())
        GTEST_SKIP() << "an ordinary user cannot make a file of another owner";
    TempDir dir;
    const auto folder = dir.folder("shared");
    giveToChecker(folder); // the checker may create files there, so replacing is possible
    const auto target = folder / "a.bin";
    spit(target, "old contents");
    setMode(target, 0666); // owned by root, writable by everyone
    StagingFolder staging(dir.folder("staging"));
    asOrdinaryUser([&] {
        EXPECT_TRUE(writeFileAtomically(target, "new", staging.path));
        EXPECT_EQ(slurp(target), "new");
        EXPECT_EQ(entries(folder), 1u);
        EXPECT_EQ(entries(staging.path), 0u);
    });
    EXPECT_EQ(statOf(target).st_uid, 0u);
    EXPECT_EQ(statOf(target).st_gid, 0u);
    EXPECT_EQ(slurp(target), "new");
}

TEST(AtomicFileLinks, LinkIsWrittenThroughAndStaysALink) {
    TempDir dir;
    spit(dir.path / "real.bin", "old");
    fs::create_symlink("real.bin", dir.path / "link.bin");
    ASSERT_TRUE(writeFileAtomically(dir.path / "link.bin", "new"));
    EXPECT_EQ(slurp(dir.path / "real.bin"), "new");
    ASSERT_TRUE(fs::is_symlink(dir.path / "link.bin"));
    EXPECT_EQ(fs::read_symlink(dir.path / "link.bin"), "real.bin");
    EXPECT_EQ(dir.entries(), 2u);
}

TEST(AtomicFileLinks, ChainOfRelativeAndAbsoluteLinksIsFollowed) {
    TempDir dir;
    const auto data = dir.folder("data");
    const auto sub = dir.folder("sub");
    spit(data / "real.bin", "old");
    fs::create_symlink("../data/real.bin", sub / "l3"); // relative to its own folder
    fs::create_symlink("sub/l3", dir.path / "l2");
    fs::create_symlink(dir.path / "l2", dir.path / "l1"); // absolute
    ASSERT_TRUE(writeFileAtomically(dir.path / "l1", "new"));
    EXPECT_EQ(slurp(data / "real.bin"), "new");
    EXPECT_EQ(fs::read_symlink(dir.path / "l1"), dir.path / "l2");
    EXPECT_EQ(fs::read_symlink(dir.path / "l2"), "sub/l3");
    EXPECT_EQ(fs::read_symlink(sub / "l3"), "../data/real.bin");
    EXPECT_EQ(dir.entries(), 4u);
    EXPECT_EQ(entries(sub), 1u);
    EXPECT_EQ(entries(data), 1u);
}

TEST(AtomicFileLinks, DanglingLinkGetsItsTargetCreated) {
    TempDir dir;
    const auto data = dir.folder("data");
    fs::create_symlink("data/new.bin", dir.path / "link.bin");
    ASSERT_TRUE(writeFileAtomically(dir.path / "link.bin", "new"));
    EXPECT_EQ(slurp(data / "new.bin"), "new");
    EXPECT_TRUE(fs::is_symlink(dir.path / "link.bin"));
    EXPECT_EQ(entries(data), 1u);
}

TEST(AtomicFileLinks, LinkLoopFailsAndChangesNothing) {
    TempDir dir;
    fs::create_symlink("b", dir.path / "a");
    fs::create_symlink("a", dir.path / "b");
    EXPECT_FALSE(writeFileAtomically(dir.path / "a", "new"));
    EXPECT_EQ(fs::read_symlink(dir.path / "a"), "b");
    EXPECT_EQ(fs::read_symlink(dir.path / "b"), "a");
    EXPECT_EQ(dir.entries(), 2u);
}

TEST(AtomicFileLinks, HardLinkedFileShowsTheNewContentsUnderBothNames) {
    TempDir dir;
    StagingFolder staging(dir.folder("staging"));
    const auto a = dir.path / "a.bin";
    const auto b = dir.path / "b.bin";
    spit(a, "old contents");
    fs::create_hard_link(a, b);
    ASSERT_TRUE(writeFileAtomically(a, "new contents, longer", staging.path));
    EXPECT_EQ(slurp(a), "new contents, longer");
    EXPECT_EQ(slurp(b), "new contents, longer");
    ASSERT_TRUE(writeFileAtomically(b, "short", staging.path)); // the rest is cut off
    EXPECT_EQ(slurp(a), "short");
    EXPECT_EQ(statOf(a).st_ino, statOf(b).st_ino);
    EXPECT_EQ(statOf(a).st_nlink, 2u);
    EXPECT_EQ(dir.entries(), 3u);
    EXPECT_EQ(entries(staging.path), 0u);
}

TEST(AtomicFileLinks, InPlaceWriteLeavesTheTargetAloneUntilCommit) {
    TempDir dir;
    StagingFolder staging(dir.folder("staging"));
    const auto a = dir.path / "a.bin";
    spit(a, "old");
    fs::create_hard_link(a, dir.path / "b.bin");
    {
        AtomicFile f(a, staging.path);
        ASSERT_TRUE(f.open());
        ASSERT_TRUE(f.write("new contents", 12));
        EXPECT_EQ(slurp(a), "old");
    }
    EXPECT_EQ(slurp(a), "old");
    EXPECT_EQ(dir.entries(), 3u);
    EXPECT_EQ(entries(staging.path), 0u);
}

TEST(AtomicFileNames, NameOfTheLongestLengthIsSaved) {
    TempDir dir;
    std::string name;
    for (int i = 0; i < 127; ++i)
        name += "\xC3\xA4"; // two bytes each, so a cut at an odd length splits one
    name += 'x';
    ASSERT_EQ(name.size(), 255u);
    const auto target = dir.path / name;
    ASSERT_TRUE(writeFileAtomically(target, "old"));
    EXPECT_EQ(slurp(target), "old");

    AtomicFile f(target);
    ASSERT_TRUE(f.open());
    ASSERT_TRUE(f.write("new", 3));
    // The temporary file gets its name only as it is put in place: the folder's events
    // show it.
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir.path.c_str(), IN_CREATE | IN_MOVED_FROM), 0);
    ASSERT_TRUE(f.commit());
    std::vector<std::string> names;
    alignas(inotify_event) char events[8192];
    for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;)
        for (char *p = events; p < events + n;) {
            const auto *e = reinterpret_cast<const inotify_event *>(p);
            if (e->len > 0)
                names.emplace_back(e->name);
            p += sizeof(inotify_event) + e->len;
        }
    ::close(watch);
    ASSERT_FALSE(names.empty());
    for (const std::string &temp : names) {
        EXPECT_NE(temp, name);
        EXPECT_LE(temp.size(), 255u);
        EXPECT_EQ(temp.front(), '.') << "the temporary file is hidden";
        EXPECT_TRUE(isUtf8(temp)) << "no character is cut in half";
    }
    EXPECT_EQ(slurp(target), "new");
    EXPECT_EQ(dir.entries(), 1u);
}

// A save killed part-way, the way a crash or a kill ends it, leaves the old file and
// nothing else: the bytes written so far had no name. Killed at whatever point of a
// large Intel HEX save, the file is the old one or the whole new one.
TEST(AtomicFileKilled, SaveKilledPartWayLeavesOnlyTheOldFile) {
    TempDir dir;
    const auto target = dir.path / "image.hex";
    spit(target, "old");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFile f(target);
        const std::string block(1 << 20, 'x');
        bool written = f.open();
        for (int i = 0; written && i < 16; ++i)
            written = f.write(block.data(), block.size());
        if (written && ::write(ready[1], "w", 1) == 1)
            pause(); // killed here, before the commit
        _exit(1);
    }
    char c = 0;
    EXPECT_EQ(::read(ready[0], &c, 1), 1);
    kill(child, SIGKILL);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(slurp(target), "old");
    EXPECT_EQ(dir.entries(), 1u);

    const auto data = randomBytes(16u << 20, 7);
    const auto whole = dir.path.parent_path() / ("korvat-whole-" + std::to_string(getpid()) + ".hex");
    ASSERT_TRUE(writeIntelHex(whole, data));
    const std::string wanted = slurp(whole);
    fs::remove(whole);
    for (int run = 0; run < 6; ++run) {
        spit(target, "old");
        const pid_t saver = fork();
        ASSERT_GE(saver, 0);
        if (saver == 0)
            _exit(writeIntelHex(target, data) ? 0 : 1);
        usleep(static_cast<useconds_t>(20000 + run * 40000));
        kill(saver, SIGKILL);
        ASSERT_EQ(waitpid(saver, nullptr, 0), saver);
        const std::string now = slurp(target);
        EXPECT_TRUE(now == "old" || now == wanted) << run << ": " << now.size() << " bytes";
        EXPECT_EQ(dir.entries(), 1u) << run;
    }
}

// A file with the given contents and mode in a folder of dir that takes no new file.
fs::path fileInLockedFolder(const TempDir &dir, const std::string &contents, mode_t mode) {
    const auto folder = dir.folder("locked");
    const auto target = folder / "a.bin";
    spit(target, contents);
    giveToChecker(target);
    setMode(target, mode);
    setMode(folder, 0555);
    return target;
}

TEST(AtomicFileReadOnlyFolder, WritableFileIsWrittenInPlace) {
    TempDir dir;
    const auto target = fileInLockedFolder(dir, "old contents", 0644);
    const auto folder = target.parent_path();
    StagingFolder staging(dir.folder("staging"));
    asOrdinaryUser([&] {
        EXPECT_TRUE(writeFileAtomically(target, "new", staging.path));
        EXPECT_EQ(slurp(target), "new");
        EXPECT_EQ(entries(folder), 1u);
        EXPECT_EQ(entries(staging.path), 0u);
    });
}

TEST(AtomicFileReadOnlyFolder, FileThatIsNotWritableFailsAndChangesNothing) {
    TempDir dir;
    const auto target = fileInLockedFolder(dir, "old", 0444);
    const auto folder = target.parent_path();
    StagingFolder staging(dir.folder("staging"));
    asOrdinaryUser([&] {
        EXPECT_FALSE(writeFileAtomically(target, "new", staging.path));
        EXPECT_EQ(slurp(target), "old");
        EXPECT_EQ(entries(folder), 1u);
        EXPECT_EQ(entries(staging.path), 0u);
    });
}

TEST(AtomicFileReadOnlyFile, IsRefusedEvenWhereItsFolderTakesNewFiles) {
    TempDir dir;
    const auto folder = dir.folder("open");
    giveToChecker(folder);
    const auto target = folder / "a.bin";
    spit(target, "old");
    giveToChecker(target);
    setMode(target, 0444);
    asOrdinaryUser([&] {
        EXPECT_FALSE(writeFileAtomically(target, "new"));
        EXPECT_EQ(slurp(target), "old");
        EXPECT_EQ(entries(folder), 1u);
    });
    EXPECT_EQ(statOf(target).st_mode & 07777, 0444u);
}

// Where the folder takes no new file for another reason than this user's rights (here
// the temporary file's path would be too long; a full disk is alike), the file is not
// written over in place, where it could be left cut short: the save fails.
TEST(AtomicFileFullDisk, FolderThatTakesNoNewFileIsNotWrittenOver) {
    TempDir dir;
    std::string folder = dir.path.string();
    const std::string name = "a.bin";
    const std::size_t suffix = 1 + 1 + kTempSuffixLength; // "/" + "." + ".XXXXXX"
    while (folder.size() + 1 + name.size() + suffix < PATH_MAX)
        folder += "/" + std::string(std::min<std::size_t>(200, PATH_MAX - folder.size() -
                                                                   name.size() - suffix - 1),
                                    'd');
    fs::create_directories(folder);
    const fs::path target = folder + "/" + name;
    spit(target, "old");
    ASSERT_EQ(slurp(target), "old");
    EXPECT_FALSE(writeFileAtomically(target, "new"));
    EXPECT_EQ(slurp(target), "old");
    EXPECT_EQ(entries(folder), 1u);
}

TEST(AtomicFileFullDisk, ReplacementLeavesTheOldFile) {
    TempDir dir;
    const auto target = dir.path / "a.bin";
    spit(target, "old");
    const auto data = randomBytes(1 << 16);
    {
        FileSizeLimit limit(4096);
        AtomicFile f(target);
        ASSERT_TRUE(f.open());
        EXPECT_FALSE(f.write(data.data(), data.size()));
        EXPECT_FALSE(f.commit());
    }
    EXPECT_EQ(slurp(target), "old");
    EXPECT_EQ(dir.entries(), 1u);
}

TEST(AtomicFileFullDisk, InPlaceLeavesTheOldFile) {
    TempDir dir;
    StagingFolder staging(dir.folder("staging"));
    const auto target = dir.path / "a.bin";
    spit(target, "old");
    fs::create_hard_link(target, dir.path / "b.bin");
    const auto data = randomBytes(1 << 16);
    {
        FileSizeLimit limit(4096);
        AtomicFile f(target, staging.path);
        ASSERT_TRUE(f.open());
        EXPECT_FALSE(f.write(data.data(), data.size()));
        EXPECT_FALSE(f.commit());
    }
    EXPECT_EQ(slurp(target), "old");
    EXPECT_EQ(slurp(dir.path / "b.bin"), "old");
    EXPECT_EQ(dir.entries(), 3u);
    EXPECT_EQ(entries(staging.path), 0u);
}
