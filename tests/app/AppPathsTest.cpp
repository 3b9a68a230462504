#include "app/AppPaths.h"

#include "buffers/CodecFixture.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace korvat;
using namespace korvat::test;

namespace {

std::string g_home, g_data, g_config;

const char *environment(const char *name) {
    const std::string n = name;
    const std::string &value = n == "HOME" ? g_home : n == "XDG_DATA_HOME" ? g_data : g_config;
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

    const AppPaths installed = appPaths(path("usr/bin"), environment);
    EXPECT_TRUE(installed.installed);
    EXPECT_EQ(installed.defaultCatalogue, path("usr/share/korvat/korvat.Dat"));
    EXPECT_EQ(installed.catalogue, path("home/.local/share/korvat/korvat.Dat"));
    EXPECT_EQ(installed.settings, path("config/korvat/korvat.ini"));
    ASSERT_TRUE(seedUserCatalogue(installed));
    EXPECT_EQ(slurp(installed.catalogue), "default");
    EXPECT_TRUE(fs::is_directory(path("config/korvat")));
    file("home/.local/share/korvat/korvat.Dat", "edited");
    ASSERT_TRUE(seedUserCatalogue(installed)); // the user's own is kept
    EXPECT_EQ(slurp(installed.catalogue), "edited");

    file("usr/bin/korvat.Dat", "beside");
    const AppPaths portable = appPaths(path("usr/bin"), environment);
    EXPECT_FALSE(portable.installed);
    EXPECT_EQ(portable.catalogue, path("usr/bin/korvat.Dat"));
    EXPECT_EQ(portable.settings, path("usr/bin/korvat.ini"));
    EXPECT_TRUE(seedUserCatalogue(portable));
}
