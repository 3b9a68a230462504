#include "AppPaths.h"

#include <cstdlib>
#include <filesystem>

namespace korvat {
namespace {

namespace fs = std::filesystem;

const char *systemEnvironment(const char *name) {
    return std::getenv(name);
}

// $name when it is an absolute path (as the XDG specification asks), else $HOME/fallback.
std::string xdgFolder(const char *(*environment)(const char *), const char *name,
                      const char *fallback) {
    const char *value = environment(name);
    if (value && *value == '/')
        return value;
    const char *home = environment("HOME");
    return std::string(home ? home : "") + "/" + fallback;
}

} // namespace

AppPaths appPaths(const std::string &folder, const char *(*environment)(const char *)) {
    if (!environment)
        environment = systemEnvironment;
    std::error_code ignored;
    AppPaths paths;
    const fs::path beside = fs::path(folder) / "korvat.Dat";
    const fs::path shared = fs::path(folder).parent_path() / "share" / "korvat" / "korvat.Dat";
    paths.installed = !fs::exists(beside, ignored) && fs::exists(shared, ignored);
    if (!paths.installed) {
        paths.catalogue = paths.defaultCatalogue = beside.string();
        paths.settings = (fs::path(folder) / "korvat.ini").string();
        return paths;
    }
    paths.defaultCatalogue = shared.lexically_normal().string();
    paths.catalogue =
        xdgFolder(environment, "XDG_DATA_HOME", ".local/share") + "/korvat/korvat.Dat";
    paths.settings = xdgFolder(environment, "XDG_CONFIG_HOME", ".config") + "/korvat/korvat.ini";
    return paths;
}

bool seedUserCatalogue(const AppPaths &paths) {
    std::error_code error;
    if (!paths.installed || fs::exists(paths.catalogue, error))
        return true;
    fs::create_directories(fs::path(paths.settings).parent_path(), error);
    fs::create_directories(fs::path(paths.catalogue).parent_path(), error);
    // A copy under another name first, so a program started meanwhile never reads half
    // a catalogue.
    const fs::path staged = paths.catalogue + ".new";
    if (!fs::copy_file(paths.defaultCatalogue, staged, fs::copy_options::overwrite_existing, error))
        return false;
    fs::permissions(staged,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::others_read,
                    error);
    fs::rename(staged, paths.catalogue, error);
    return !error;
}

std::string executableFolder() {
    std::error_code error;
    const auto exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

} // namespace korvat
