#include "app/AtomicFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

using namespace korvat;
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TempDir {
    fs::path path = fs::temp_directory_path() / ("korvat-atomic-" + std::to_string(getpid()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
    std::size_t entries() const { return std::distance(fs::directory_iterator(path), {}); }
};

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
        EXPECT_EQ(dir.entries(), 2u);    // target and its temporary
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
