#include "AppPaths.h"

#include "ops/BatchRecord.h"
#include "UserCatalogue.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef KORVAT_SHARE_FROM_BIN
#define KORVAT_SHARE_FROM_BIN "../share/korvat"
#endif

namespace korvat {
namespace {

namespace fs = std::filesystem;

const char *systemEnvironment(const char *name) {
    return std::getenv(name);
}

std::string homeFolder(const char *(*environment)(const char *)) {
    if (const char *home = environment("HOME"); home && *home == '/')
        return home;
    if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir == '/')
        return pw->pw_dir;
    return "."; // nowhere better: never the root of the file system
}

// $name when it is an absolute path (as the XDG base directory rules ask), else
// home/fallback.
std::string xdgFolder(const char *(*environment)(const char *), const char *name,
                      const char *fallback) {
    const char *value = environment(name);
    if (value && *value == '/')
        return value;
    return homeFolder(environment) + "/" + fallback;
}

// Makes the folders that are missing, each 0700 as the XDG base directory rules ask.
void makeFolders(const fs::path &folder) {
    fs::path made;
    for (const fs::path &part : folder) {
        made /= part;
        if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return;
    }
}

bool holdsSomething(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

// The whole file written under a name of its own beside target and flushed to disk.
std::string writeUnique(const std::string &target, const std::vector<char> &bytes) {
    std::string name = target + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return {};
    const mode_t mask = umask(0);
    umask(mask);
    bool ok = fchmod(fd, 0666 & ~mask) == 0;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok) {
        unlink(name.c_str());
        return {};
    }
    return name;
}

} // namespace

AppPaths appPaths(const std::string &folder, const char *(*environment)(const char *)) {
    if (!environment)
        environment = systemEnvironment;
    std::error_code ignored;
    AppPaths paths;
    const fs::path beside = fs::path(folder) / "korvat.Dat";
    const fs::path shared =
        (fs::path(folder) / KORVAT_SHARE_FROM_BIN / "korvat.Dat").lexically_normal();
    paths.installed = !fs::exists(beside, ignored) && fs::exists(shared, ignored);
    if (!paths.installed) {
        paths.catalogue = paths.defaultCatalogue = beside.string();
        paths.settings = (fs::path(folder) / "korvat.ini").string();
        paths.record = batchRecordPathFor(paths.settings);
        return paths;
    }
    paths.defaultCatalogue = shared.string();
    paths.catalogue =
        xdgFolder(environment, "XDG_DATA_HOME", ".local/share") + "/korvat/korvat.Dat";
    paths.settings = xdgFolder(environment, "XDG_CONFIG_HOME", ".config") + "/korvat/korvat.ini";
    paths.record =
        batchRecordPathFor(xdgFolder(environment, "XDG_STATE_HOME", ".local/state") + "/korvat/");
    return paths;
}

std::string productionRecord(const AppPaths &paths) {
    const std::string record =
        paths.record.empty() ? batchRecordPathFor(paths.settings) : paths.record;
    makeFolders(fs::path(record).parent_path());
    const std::string old = batchRecordPathFor(paths.settings);
    std::error_code error;
    if (!paths.installed || old == record || !fs::exists(old, error))
        return record;
    // link, not rename: a record another process made meanwhile is never replaced.
    if (link(old.c_str(), record.c_str()) == 0) {
        unlink(old.c_str());
        return record;
    }
    return errno == EEXIST ? record : old;
}

bool seedUserCatalogue(const AppPaths &paths) {
    // An empty file is a copy that never finished, not a catalogue.
    if (!paths.installed || holdsSomething(paths.catalogue))
        return true;
    makeFolders(fs::path(paths.settings).parent_path());
    makeFolders(fs::path(paths.catalogue).parent_path());
    std::ifstream in(paths.defaultCatalogue, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    std::error_code error;
    if (bytes.empty() || bytes.size() != fs::file_size(paths.defaultCatalogue, error))
        return false;
    const std::string copy = writeUnique(paths.catalogue, bytes);
    if (copy.empty())
        return false;
    // Whole or not at all: linked in only where no catalogue is (another program may
    // have seeded it meanwhile, and that one stays, with its seed record), or over an
    // empty one.
    bool placed = link(copy.c_str(), paths.catalogue.c_str()) == 0;
    if (!placed && errno == EEXIST && !holdsSomething(paths.catalogue))
        placed = rename(copy.c_str(), paths.catalogue.c_str()) == 0;
    unlink(copy.c_str());
    if (placed)
        noteSeeded(paths);
    return holdsSomething(paths.catalogue);
}

std::string executableFolder() {
    std::error_code error;
    const auto exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

} // namespace korvat
