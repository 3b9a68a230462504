#include "base/FileHelpers.h"
#include "base/HexText.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace korvat;

TEST(SmallHelpers, HexTextIsUpperCaseWithAtLeastTheWidth) {
    EXPECT_EQ(hexText(0), "0");
    EXPECT_EQ(hexText(0xABCDEF), "ABCDEF");
    EXPECT_EQ(hexText(0x3FFFFFF), "3FFFFFF"); // a 64 MiB chip's last address
    EXPECT_EQ(hexText(0xEF4017, 6), "EF4017");
    EXPECT_EQ(hexText(0x17, 6), "000017");
    EXPECT_EQ(hexText(0x1234, 2), "1234"); // the width is a least, never a cut
    EXPECT_EQ(hexText(0xCBF43926, 8), "CBF43926");
    EXPECT_EQ(hexText(~0ull), "FFFFFFFFFFFFFFFF");
}

TEST(SmallHelpers, FolderOfKeepsTheSlashAndIsEmptyForABareName) {
    EXPECT_EQ(folderOf("/home/line/korvat.ini"), "/home/line/");
    EXPECT_EQ(folderOf("relative/dir/image.bin"), "relative/dir/");
    EXPECT_EQ(folderOf("/image.bin"), "/");
    EXPECT_EQ(folderOf("image.bin"), "");
    EXPECT_EQ(folderOf("dir/"), "dir/");
}

TEST(SmallHelpers, WriteAllWritesAtThePositionOrAtAnOffset) {
    char name[] = "/tmp/korvat-helpers-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(writeAll(fd, "abcdef", 6));
    ASSERT_TRUE(writeAll(fd, "gh", 2)); // after the first, where the position moved
    ASSERT_TRUE(writeAll(fd, "XY", 2, off_t{1}));
    ASSERT_TRUE(writeAll(fd, "!", 1)); // an offset write leaves the position alone
    std::string got(16, '\0');
    const ssize_t n = ::pread(fd, got.data(), got.size(), 0);
    ::close(fd);
    ::unlink(name);
    ASSERT_GE(n, 0);
    got.resize(static_cast<std::size_t>(n));
    EXPECT_EQ(got, "aXYdefgh!");

    const int readOnly = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(readOnly, 0);
    EXPECT_FALSE(writeAll(readOnly, "x", 1));
    EXPECT_FALSE(writeAll(readOnly, "x", 1, off_t{0}));
    ::close(readOnly);
}
