// What the loaders tell besides the bytes: the line and the system's reason of a message
// (for a sink that names the file), the addresses a text file's data records hold, and
// text written at its own addresses.
#include "buffers/FileIO.h"
#include "buffers/IntelHex.h"
#include "buffers/SRecord.h"

#include "CodecFixture.h"

#include <cerrno>
#include <fcntl.h>

using namespace korvat;
using namespace korvat::test;

namespace {

struct SpotSink : MessageSink {
    std::vector<std::string> plain;
    std::vector<std::pair<std::string, FileSpot>> placed;
    void showError(std::string_view text) override { plain.emplace_back(text); }
    void showFileError(std::string_view text, const FileSpot &spot) override {
        placed.emplace_back(text, spot);
    }
};

class FileSpots : public FileTest {
protected:
    Bytes buffer = Bytes(0x40000, 0xFF);
    SpotSink spots;
    std::vector<Bounds> held;
    std::uint32_t load(const std::string &name, const std::string &text) {
        const std::string p = file(name, text);
        return loadFile(openToLoad(p, spots, 2), fileKind(p), buffer, spots, &held);
    }
};

} // namespace

TEST_F(FileSpots, MessagesSayTheirLineAndTheSystemsReason) {
    load("bad.hex", ":0400000001020304F2\n:0400040001020304EE\n:04000800010203FF00\n");
    ASSERT_EQ(spots.placed.size(), 1u);
    EXPECT_EQ(spots.placed[0].first, "Checksum Error type 0");
    EXPECT_EQ(spots.placed[0].second.line, 3u);
    EXPECT_TRUE(held.empty()); // a file that failed holds nothing
    spots.placed.clear();
    load("bad.s19", "S00600004844521B\nS1070000010203XX00\n");
    ASSERT_FALSE(spots.placed.empty());
    EXPECT_EQ(spots.placed[0].first, "Illegal Char in File");
    EXPECT_EQ(spots.placed[0].second.line, 2u);
    spots.placed.clear();
    // No end record: about no one line.
    load("short.hex", ":0400000001020304F2\n");
    ASSERT_EQ(spots.placed.size(), 2u);
    EXPECT_EQ(spots.placed[0].second.line, 0u);
    spots.placed.clear();
    EXPECT_EQ(loadFile(path("missing.bin"), buffer, spots), 0u);
    ASSERT_EQ(spots.placed.size(), 1u);
    EXPECT_EQ(spots.placed[0].first, "Can't open File");
    EXPECT_EQ(spots.placed[0].second.error, ENOENT);
    // The window's sinks show the text alone, as before.
    EXPECT_EQ(loadFile(path("missing.bin"), buffer, sink), 0u);
    EXPECT_EQ(sink.messages, Messages{"Can't open File"});
    spots.placed.clear();
    YesPrompter yes;
    EXPECT_FALSE(saveFile(path("none/out.bin"), Bytes(4), yes, spots, 2));
    ASSERT_EQ(spots.placed.size(), 1u);
    EXPECT_EQ(spots.placed[0].second.error, ENOENT);
}

TEST_F(FileSpots, TextFilesTellTheAddressesTheyHold) {
    // Out of order, touching, overlapping, and past 64 KiB through a type-04 record.
    load("sparse.hex", ":040090000102030462\n:100080000000000000000000000000000000000070\n"
                       ":020000040001F9\n:0400000001020304F2\n:00000001FF\n");
    EXPECT_EQ(held, (std::vector<Bounds>{{0x80, 0x94}, {0x10000, 0x10004}}));
    load("sparse.s19", "S1060200010203F1\nS107010001020304ED\nS1050104AABB90\nS9030000FC\n");
    EXPECT_EQ(held, (std::vector<Bounds>{{0x100, 0x106}, {0x200, 0x203}}));
    load("image.bin", "abc");
    EXPECT_TRUE(held.empty());
}

TEST_F(FileSpots, TextIsWrittenAtItsOwnAddresses) {
    const Bytes part = randomBytes(0x40);
    ASSERT_TRUE(writeIntelHex(path("part.hex"), part, 0x1FFF0));
    const std::string hex = slurp(path("part.hex"));
    EXPECT_EQ(hex.substr(0, 26), ":020000040001F9\r\n:10FFF000"); // 16 bytes up to 128 KiB
    EXPECT_NE(hex.find(":020000040002F8\r\n:20000000"), std::string::npos) << hex;
    ASSERT_TRUE(writeSRecord(path("part.s19"), part, 0xFFF0));
    EXPECT_EQ(slurp(path("part.s19")).substr(18, 10), "S21400FFF0"); // it ends past 64 KiB
    for (const char *name : {"part.hex", "part.s19"}) {
        buffer.assign(buffer.size(), 0xFF);
        load(name, slurp(path(name)));
        const std::uint32_t at = name[5] == 'h' ? 0x1FFF0 : 0xFFF0;
        EXPECT_EQ(Bytes(buffer.begin() + at, buffer.begin() + at + 0x40), part) << name;
        EXPECT_EQ(held, (std::vector<Bounds>{{at, at + 0x40}})) << name;
    }
}
