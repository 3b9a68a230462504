// What the loaders tell besides the bytes: the line of a message (for a sink that names
// the file) and the addresses a text file's data records hold.
#include "buffers/FileIO.h"

#include "CodecFixture.h"

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

// Where a message arose reaches a sink that asks for it; the window's sinks show the
// text alone, as before.
TEST_F(FileSpots, MessagesSayTheirLineToASinkThatAsks) {
    load("short.hex", ":0400000001020304F2\n:04000400010203FF00\n");
    ASSERT_EQ(spots.placed.size(), 1u);
    EXPECT_EQ(spots.placed[0].second.line, 2u);
    EXPECT_TRUE(held.empty()); // a file that failed holds nothing
    EXPECT_EQ(loadFile(path("missing.bin"), buffer, sink), 0u);
    EXPECT_EQ(sink.messages, Messages{"Can't open File"});
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
