#include "buffers/FileIO.h"
#include "CodecFixture.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace korvat;
using namespace korvat::test;

namespace {

class Files : public FileTest {
protected:
    Bytes buffer = Bytes(0x1000, 0xFF);
    ScriptedPrompter prompter;
    std::uint32_t load(const std::string &p) { return loadFile(p, buffer, sink); }
    bool save(const std::string &p, const Bytes &data, int language = 2) {
        return saveFile(p, data, prompter, sink, language);
    }
};

} // namespace

TEST_F(Files, ExtensionDecidesTheFormat) {
    EXPECT_EQ(fileExtension("/a/IMAGE.BIN"), ".BIN");
    EXPECT_EQ(fileExtension("/a.hex/image"), "");
    EXPECT_EQ(fileExtension("image"), "");

    const std::string hex = ":0100000041BE\n:00000001FF\n";
    for (const char *name : {"IMAGE.BIN", "image.Bin", "image", "image.rom", "a.hex.txt"}) {
        buffer.assign(buffer.size(), 0xFF);
        EXPECT_EQ(load(file(name, hex)), hex.size()) << name; // raw: the text itself
        EXPECT_EQ(buffer[0], ':') << name;
    }
    for (const char *name : {"image.HEX", "image.hex", "image.ihex", "image.IHX"}) {
        buffer.assign(buffer.size(), 0xFF);
        EXPECT_EQ(load(file(name, hex)), 1u) << name;
        EXPECT_EQ(buffer[0], 0x41) << name;
    }
    const std::string srec = "S104000042B9\nS9030000FC\n";
    for (const char *name : {"fw.s19", "fw.S28", "fw.s37", "fw.srec", "fw.MOT"}) {
        buffer.assign(buffer.size(), 0xFF);
        EXPECT_EQ(load(file(name, srec)), 1u) << name;
        EXPECT_EQ(buffer[0], 0x42) << name;
    }
    EXPECT_TRUE(sink.messages.empty());
}

// ".eep" files, and ".src" files as Save writes them, by their first character.
TEST_F(Files, EepromAndSrcFilesAreToldByTheirFirstCharacter) {
    for (const std::string ext : {".eep", ".EEP", ".src"}) {
        EXPECT_EQ(load(file("a" + ext, ":0100000041BE\n:00000001FF\n")), 1u);
        EXPECT_EQ(buffer[0], 0x41);
        EXPECT_EQ(load(file("b" + ext, "S104000042B9\nS9030000FC\n")), 1u);
        EXPECT_EQ(buffer[0], 0x42);
        EXPECT_EQ(load(file("c" + ext, "xyz")), 3u);
        EXPECT_EQ(buffer[0], 'x');
        EXPECT_EQ(load(file("d" + ext, "")), 0u);
    }
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(load(path("missing.eep")), 0u);
    EXPECT_EQ(sink.messages, Messages{"Can't open File"});
}

TEST_F(Files, CapsuleHeaderIsSkipped) {
    std::string capsule(kCapsuleHeader, 'H');
    for (int i = 0; i < 100; ++i)
        capsule += static_cast<char>(i);
    EXPECT_EQ(load(file("bios.cap", capsule)), 100u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[99], 99);
    EXPECT_EQ(buffer[100], 0xFF);
    EXPECT_EQ(load(file("short.CAP", std::string(kCapsuleHeader, 'H'))), 0u);
    // The size test counts the header: 0x1000 + 1 bytes do not fit a 0x1000 buffer.
    EXPECT_EQ(load(file("big.cap", std::string(0x1001, 'x'))), 0u);
    EXPECT_EQ(sink.messages, Messages{"File is too big for Buffer"});
}

TEST_F(Files, RawFileFailures) {
    EXPECT_EQ(load(file("fits.bin", std::string(0x1000, 'x'))), 0x1000u);
    EXPECT_EQ(load(file("big.bin", std::string(0x1001, 'y'))), 0u);
    EXPECT_EQ(buffer[0], 'x'); // nothing of the refused file was read
    EXPECT_EQ(load(path("missing.bin")), 0u);
    EXPECT_EQ(load(dir.string()), 0u);
    EXPECT_EQ(sink.messages, (Messages{"File is too big for Buffer", "Can't open File",
                                       dir.string() + " is not an ordinary file (it may be a "
                                                      "pipe, a device or a folder) and was not "
                                                      "opened."}));
}

// A text file that cannot be opened says so as a raw one does (the readers alone are
// silent); nothing that is not a regular file is opened or waited on, in any format,
// and none of them touches the buffer.
TEST_F(Files, WhatCannotBeOpenedIsSaidAndNothingWaits) {
    buffer.assign(buffer.size(), 0x5A);
    for (const char *name : {"missing.hex", "missing.s19", "missing.src", "missing.eep"}) {
        sink.messages.clear();
        EXPECT_EQ(load(path(name)), 0u) << name;
        EXPECT_EQ(sink.messages, Messages{"Can't open File"}) << name;
    }
    const std::string pipe = path("pipe.hex");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string link = path("link.bin");
    ASSERT_EQ(symlink(pipe.c_str(), link.c_str()), 0);
    const PipeUnblocker unblocker({pipe});
    for (const std::string &p : {pipe, link, std::string("/dev/zero")}) {
        for (int language = 0; language < 3; ++language) {
            sink.messages.clear();
            EXPECT_EQ(loadFile(p, buffer, sink, language), 0u) << p;
            EXPECT_EQ(sink.messages, Messages{notRegularFileText(p, language)}) << p;
        }
    }
    EXPECT_EQ(notRegularFileText("/a/b", 1), "/a/b 不是普通檔案（可能是管道、裝置或資料夾），沒有開啟。");
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0x5A), 0x1000);
    // A regular file behind a link is loaded as ever.
    const std::string image = file("image.bin", "abc");
    ASSERT_EQ(symlink(image.c_str(), path("image-link.rom").c_str()), 0);
    EXPECT_EQ(load(path("image-link.rom")), 3u);
}

// A kernel attribute file states a page as its size but yields only its few bytes of
// text: a regular file that reads shorter than its size, the way a file that shrinks
// after it was opened does.
TEST_F(Files, RawFileThatReadsShorterThanItsSizeIsNotLoaded) {
    const char *shortFile = "/sys/devices/system/cpu/online";
    struct stat st {};
    if (stat(shortFile, &st) != 0 || slurp(shortFile).size() >= std::size_t(st.st_size))
        GTEST_SKIP() << shortFile << " does not read shorter than its size here";
    buffer.assign(std::size_t(st.st_size), 0xFF);
    for (const char *name : {"short.bin", "short.cap"}) {
        sink.messages.clear();
        const std::string link = path(name);
        ASSERT_EQ(symlink(shortFile, link.c_str()), 0);
        EXPECT_EQ(load(link), 0u) << name;
        EXPECT_EQ(sink.messages, Messages{"File Read Operation Failed"}) << name;
    }
}

// Reading the link speed of the loopback interface fails: a regular file whose read
// gives an error.
TEST_F(Files, RawFileThatCannotBeReadIsNotLoaded) {
    const char *failing = "/sys/class/net/lo/speed";
    struct stat st {};
    if (stat(failing, &st) != 0 || !S_ISREG(st.st_mode) || std::ifstream(failing).get() != EOF)
        GTEST_SKIP() << failing << " does not fail to read here";
    buffer.assign(std::size_t(st.st_size), 0xFF);
    const std::string link = path("speed.bin");
    ASSERT_EQ(symlink(failing, link.c_str()), 0);
    EXPECT_EQ(load(link), 0u);
    EXPECT_EQ(sink.messages, Messages{"File Read Operation Failed"});
}

TEST_F(Files, SaveWritesTheFormatOfTheName) {
    Bytes data(32, 0xFF);
    data[1] = 0x00;
    ASSERT_TRUE(save(path("a.src"), data));
    EXPECT_EQ(slurp(path("a.src")).substr(0, 18), "S00600004844521B\r\n");
    for (const char *name : {"a.s19", "a.S28", "a.s37", "a.srec", "a.mot"}) {
        ASSERT_TRUE(save(path(name), data)) << name;
        EXPECT_EQ(slurp(path(name)), slurp(path("a.src"))) << name;
    }
    for (const char *name : {"a.HEX", "a.ihex", "a.ihx"}) {
        ASSERT_TRUE(save(path(name), data)) << name;
        EXPECT_EQ(slurp(path(name)).substr(0, 9), ":20000000") << name;
    }
    for (const char *name : {"a.bin", "a.rom", "a.cap", "a.eep", "a"}) {
        ASSERT_TRUE(save(path(name), data)) << name;
        EXPECT_EQ(slurp(path(name)), std::string(data.begin(), data.end())) << name;
    }
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(Files, ExistingFileIsReplacedOnlyAfterYes) {
    const std::string p = file("old.bin", "old");
    prompter.answer = false;
    EXPECT_FALSE(save(p, Bytes{1, 2, 3}, 2));
    EXPECT_EQ(prompter.asked, Messages{"File already exists. Is it covered? "});
    EXPECT_EQ(slurp(p), "old");
    prompter.answer = true;
    EXPECT_TRUE(save(p, Bytes{1, 2, 3}, 0));
    EXPECT_EQ(prompter.asked.back(), "文件已存在,是否覆盖?");
    EXPECT_EQ(slurp(p), "\x01\x02\x03");
}

TEST_F(Files, SaveFailuresAreReportedAndLeaveTheOldFile) {
    EXPECT_FALSE(save(path("no/such/a.bin"), Bytes(4)));
    EXPECT_FALSE(save(path("no/such/a.hex"), Bytes(4)));
    EXPECT_FALSE(save(path("no/such/a.src"), Bytes(4), 1));
    EXPECT_EQ(sink.messages, (Messages{"创建文件失败", "Error writing file.", "寫入文件出錯。"}));

    sink.messages.clear();
    const std::string p = file("keep.bin", "old");
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(save(p, randomBytes(1 << 16)));
    }
    EXPECT_EQ(sink.messages, Messages{"Error writing file."});
    EXPECT_EQ(slurp(p), "old");
    EXPECT_EQ(entries(), 1u); // the temporary file is gone
}
