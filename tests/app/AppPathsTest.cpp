#include "app/AppPaths.h"

#include "buffers/CodecFixture.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

using namespace korvat;
using namespace korvat::test;

namespace {

std::string g_home, g_data, g_config, g_state;

const char *environment(const char *name) {
    const std::string n = name;
    const std::string &value = n == "HOME"             ? g_home
                               : n == "XDG_DATA_HOME"  ? g_data
                               : n == "XDG_STATE_HOME" ? g_state
                                                       : g_config;
    return value.empty() ? nullptr : value.c_str();
}

class AppPathsTest : public FileTest {};

} // namespace

// A catalogue beside the executable makes a portable copy, whatever else lies around; an
// installed copy uses the XDG folders (their defaults under HOME, and only absolute
// values of the variables) and seeds the user's catalogue once.
TEST_F(AppPathsTest, PortableOrInstalled) {
    namespace fs = std::filesystem;
    fs::create_directories(dir / "usr/bin");
    fs::create_directories(dir / "usr/share/korvat");
    file("usr/share/korvat/korvat.Dat", "default");
    g_home = path("home");
    g_data = "relative/data";
    g_config = path("config");
    g_state.clear();

    const AppPaths installed = appPaths(path("usr/bin"), environment);
    EXPECT_TRUE(installed.installed);
    EXPECT_EQ(installed.defaultCatalogue, path("usr/share/korvat/korvat.Dat"));
    EXPECT_EQ(installed.catalogue, path("home/.local/share/korvat/korvat.Dat"));
    EXPECT_EQ(installed.settings, path("config/korvat/korvat.ini"));
    EXPECT_EQ(installed.record, path("home/.local/state/korvat/korvat-batch.csv"));
    g_state = path("state");
    EXPECT_EQ(appPaths(path("usr/bin"), environment).record, path("state/korvat/korvat-batch.csv"));
    ASSERT_TRUE(seedUserCatalogue(installed));
    EXPECT_EQ(slurp(installed.catalogue), "default");
    EXPECT_TRUE(fs::is_directory(path("config/korvat")));
    file("home/.local/share/korvat/korvat.Dat", "edited");
    ASSERT_TRUE(seedUserCatalogue(installed)); // the user's own is kept
    EXPECT_EQ(slurp(installed.catalogue), "edited");
    // A record beside the settings is left where it is once the state folder has its own.
    EXPECT_EQ(productionRecord(installed), installed.record); // its folder made
    file("home/.local/state/korvat/korvat-batch.csv", "own");
    file("config/korvat/korvat-batch.csv", "older");
    EXPECT_EQ(productionRecord(installed), installed.record);
    EXPECT_EQ(slurp(installed.record), "own");
    EXPECT_EQ(slurp(path("config/korvat/korvat-batch.csv")), "older");

    file("usr/bin/korvat.Dat", "beside");
    const AppPaths portable = appPaths(path("usr/bin"), environment);
    EXPECT_FALSE(portable.installed);
    EXPECT_EQ(portable.catalogue, path("usr/bin/korvat.Dat"));
    EXPECT_EQ(portable.settings, path("usr/bin/korvat.ini"));
    EXPECT_EQ(portable.record, path("usr/bin/korvat-batch.csv"));
    EXPECT_EQ(productionRecord(portable), portable.record);
    EXPECT_TRUE(seedUserCatalogue(portable));
}

// First starts at once (two line processes, say) all find a whole catalogue, and none is
// left empty or half copied; an empty file counts as none. Missing folders are private.
TEST_F(AppPathsTest, SeedingIsWholeOrNothing) {
    namespace fs = std::filesystem;
    fs::create_directories(dir / "usr/bin");
    fs::create_directories(dir / "usr/share/korvat");
    const std::string catalogue(200000, 'c');
    file("usr/share/korvat/korvat.Dat", catalogue);
    g_home = path("home");
    g_data.clear();
    g_config.clear();
    const AppPaths paths = appPaths(path("usr/bin"), environment);
    ASSERT_TRUE(paths.installed);
    std::vector<std::thread> starts;
    std::atomic<int> seeded{0};
    for (int i = 0; i < 8; ++i)
        starts.emplace_back([&] { seeded += seedUserCatalogue(paths) ? 1 : 0; });
    for (std::thread &t : starts)
        t.join();
    EXPECT_EQ(seeded, 8);
    EXPECT_EQ(slurp(paths.catalogue), catalogue);
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(paths.catalogue).parent_path()),
                            fs::directory_iterator{}),
              2); // the catalogue and its seed record: no copy left behind
    EXPECT_EQ(fs::status(path("home/.local")).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(path("home/.config/korvat")).permissions() & fs::perms::all,
              fs::perms::owner_all);

    file("home/.local/share/korvat/korvat.Dat", "");
    ASSERT_TRUE(seedUserCatalogue(paths));
    EXPECT_EQ(slurp(paths.catalogue), catalogue);
}
