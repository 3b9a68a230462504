#include "buffers/IntelHex.h"

#include "CodecFixture.h"
#include <sys/stat.h>
#include <thread>

using namespace korvat;
using namespace korvat::test;

namespace {

class IntelHex : public FileTest {
protected:
    Bytes buffer = Bytes(0x40000, 0xFF);
    std::uint32_t read(const std::string &text) {
        return readIntelHex(file("in.hex", text), buffer, sink);
    }
};

// srec_cat's one 255-byte data record at 0x100, the longest a record can be; its bytes
// are (37 i + 11) mod 256.
constexpr const char *kLongest =
    ":FF0100000B30557A9FC4E90E33587DA2C7EC11365B80A5CAEF14395E83A8CDF2173C6186ABD0F51"
    "A3F6489AED3F81D42678CB1D6FB20456A8FB4D9FE23486D92B7DC01264B7095BADF04294E7398BDE"
    "2072C51769BC0E50A2F54799EC3E80D32577CA1C6EB10355A7FA4C9EE13385D82A7CCF1163B6085A"
    "ACFF4193E6388ADD2F71C41668BB0D5FA1F44698EB3D8FD22476C91B6DB00254A6F94B9DE03284D7"
    "297BCE1062B50759ABFE4092E53789DC2E70C31567BA0C5EA0F34597EA3C8ED12375C81A6CBF0153"
    "A5F84A9CEF3183D6287ACD1F61B40658AAFD4F91E43688DB2D7FC21466B90B5DAFF24496E93B8DD0"
    "2274C7196BBE0052A4F7499BEE3082D52779CC166";

} // namespace

TEST_F(IntelHex, DataRecordAndEndRecord) {
    for (const char *eol : {"\r\n", "\n"}) {
        buffer.assign(buffer.size(), 0xFF);
        EXPECT_EQ(read(std::string(":0400100001020304E2") + eol + ":00000001FF" + eol), 0x14u);
        EXPECT_EQ(Bytes(buffer.begin() + 0x10, buffer.begin() + 0x14), (Bytes{1, 2, 3, 4}));
        EXPECT_EQ(buffer[0x0F], 0xFF);
    }
    EXPECT_EQ(read(":0400100001020304e2\n:00000001ff\n"), 0x14u); // lower case
    EXPECT_EQ(read(":00000001FF"), 0u); // end record without a line end: nothing stored
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(IntelHex, SegmentAndLinearBasesMoveTheData) {
    EXPECT_EQ(read(":020000021000EC\n:01000000AA55\n:00000001FF\n"), 0x10001u);
    EXPECT_EQ(buffer[0x10000], 0xAA);
    EXPECT_EQ(read(":020000040001F9\n:01000500BB3F\n:00000001FF\n"), 0x10006u);
    EXPECT_EQ(buffer[0x10005], 0xBB);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(IntelHex, StartAddressRecordsAreSkippedUnchecked) {
    EXPECT_EQ(read(":0400000300000000ZZ\n:04000005000000000\n:01000000AA55\n:00000001FF\n"), 1u);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(IntelHex, MissingEndRecordFailsButKeepsTheData) {
    EXPECT_EQ(read(":0400100001020304E2\n"), 0u);
    EXPECT_EQ(sink.messages, (Messages{"File Read Operation Failed", "Error reading File"}));
    EXPECT_EQ(buffer[0x12], 3);
}

TEST_F(IntelHex, MalformedInputIsRefusedWithItsMessage) {
    const std::pair<const char *, const char *> cases[] = {
        {"0400100001020304E2\n", "Illegal Line found"},
        {"\n:00000001FF\n", "Illegal Line found"},
        {":G400100001020304E2\n", "Illegal Char in File"},
        {":04001G0001020304E2\n", "Illegal Char in File"},
        {":040010X001020304E2\n", "Illegal Char in File"},
        {":040010000102030GE2\n", "Illegal Char in File"},
        {":0400100001020304E\n", "Illegal Char in File"},
        {":0400100001020304\n", "Illegal Char in File"},
        {":0400100001020304E3\n", "Checksum Error type 0"},
        {":00000006FA\n", "Invalid Record type"},
        {":00000101FE\n", "Invalid EOF Record"},
        {":01000001FF\n", "Invalid EOF Record"},
        {":00000001FE\n", "Invalid EOF Record"},
        {":0000000 1FF\n", "Illegal Char in File"},
        {":030000021000EB\n", "Invalid Record Length for type 2"},
        {":020000021000ED\n", "Checksum Error type 2"},
        {":0200000210\n", "Illegal Char in File"},
        {":0100000400FB\n", "Invalid Record Length for type 4"},
        {":020000040001F8\n", "Checksum Error type 4"},
        {":020000040800F2\n:01000000AA55\n", "File exceeds Maximum Size"},
        {":020000040005F5\n:00000000FF\n", "File exceeds Maximum Size"},
    };
    for (const auto &[text, message] : cases) {
        sink.messages.clear();
        EXPECT_EQ(read(std::string(text) + ":00000001FF\n"), 0u) << text;
        EXPECT_EQ(sink.messages, Messages{message}) << text;
    }
}

TEST_F(IntelHex, AddressesThatWouldOverflowAreBeyondTheLimit) {
    // Both bases and the offset add up past 32 bits; nothing may be stored.
    EXPECT_EQ(read(":02000004FFFFFC\n:020000021000EC\n:02FFFF00AABB9B\n:00000001FF\n"), 0u);
    EXPECT_EQ(sink.messages, Messages{"File exceeds Maximum Size"});
    EXPECT_EQ(buffer, Bytes(buffer.size(), 0xFF));
}

TEST_F(IntelHex, ChecksumFailureKeepsTheBytesAlreadyStored) {
    EXPECT_EQ(read(":0200000011220B\n:00000001FF\n"), 0u);
    EXPECT_EQ(sink.messages, Messages{"Checksum Error type 0"});
    EXPECT_EQ(buffer[0], 0x11);
    EXPECT_EQ(buffer[1], 0x22);
}

TEST_F(IntelHex, RecordsUpToTheLongestLegalOneLoad) {
    EXPECT_EQ(kIntelHexWindow, 523u);
    Bytes expected(255);
    for (std::size_t i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<std::uint8_t>(i * 37 + 11);
    // As srec_cat writes it with CR LF, which fills the window exactly, and with LF.
    for (const char *eol : {"\r\n", "\n"}) {
        buffer.assign(buffer.size(), 0xFF);
        EXPECT_EQ(read(std::string(":020000040000FA") + eol + kLongest + eol + ":00000001FF" + eol),
                  0x1FFu);
        EXPECT_EQ(Bytes(buffer.begin() + 0x100, buffer.begin() + 0x1FF), expected);
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(IntelHex, LineLongerThanTheWindowIsRefusedWithNothingStored) {
    for (const std::string &text :
         {std::string(kLongest) + " \r\n:00000001FF\n",
          std::string(kLongest) + "\r\r\n:00000001FF\n", std::string(kLongest) + "\r\r\r"}) {
        sink.messages.clear();
        EXPECT_EQ(read(text), 0u);
        EXPECT_EQ(sink.messages, Messages{"Illegal Line found"});
        EXPECT_EQ(buffer, Bytes(buffer.size(), 0xFF));
    }
}

TEST_F(IntelHex, WriterLayout) {
    Bytes data(0x20000, 0xFF);
    data[0x10005] = 0x12;
    const std::string p = path("out.hex");
    ASSERT_TRUE(writeIntelHex(p, data));
    std::string record = ":20000000";
    for (int i = 0; i < 32; ++i)
        record += i == 5 ? "12" : "FF";
    EXPECT_EQ(slurp(p), ":020000040001F9\r\n" + record + "ED\r\n:00000001FF\r\n");

    ASSERT_TRUE(writeIntelHex(p, Bytes(40, 0xAB)));
    const std::string forty = slurp(p);
    EXPECT_EQ(forty.substr(0, 9), ":20000000");
    EXPECT_NE(forty.find("\r\n:08002000ABABABABABABABAB"), std::string::npos) << forty;

    ASSERT_TRUE(writeIntelHex(p, {}));
    EXPECT_EQ(slurp(p), ":00000001FF\r\n");
}

TEST_F(IntelHex, RoundTripsAroundTheBoundaries) {
    for (std::size_t n : {std::size_t{1}, std::size_t{0xFFFF}, std::size_t{0x10000},
                          std::size_t{0x10001}, std::size_t{0x20000}, std::size_t{0xFFFFE0},
                          std::size_t{0x1000000}, std::size_t{0x1000021}}) {
        Bytes data = randomBytes(n, static_cast<unsigned>(n));
        std::fill_n(data.begin(), std::min<std::size_t>(n, 64), 0xFF); // a left-out record
        const std::string p = path("rt.hex");
        ASSERT_TRUE(writeIntelHex(p, data));
        Bytes back(n + 0x100, 0xFF);
        const std::uint32_t extent = readIntelHex(p, back, sink);
        EXPECT_EQ(extent, n <= 64 ? 0u : n) << n; // the extent ends at the last written byte
        back.resize(n);
        EXPECT_EQ(back, data) << n;
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(IntelHex, FailedWriteLeavesTheOldFile) {
    const std::string p = file("keep.hex", "old");
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(writeIntelHex(p, randomBytes(1 << 20)));
    }
    EXPECT_EQ(slurp(p), "old");
    EXPECT_EQ(entries(), 1u);
    EXPECT_FALSE(writeIntelHex(path("no/such/dir.hex"), Bytes(4)));
}

TEST_F(IntelHex, EmptyFilesFailAndPipesAreRead) {
    // A pipe is read like any file; lines that straddle the reader's blocks must come
    // out whole.
    EXPECT_EQ(read(""), 0u);
    EXPECT_EQ(sink.messages, (Messages{"File Read Operation Failed", "Error reading File"}));
    sink.messages.clear();

    const std::string fifo = path("pipe.hex");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const Bytes data = randomBytes(3u << 20);
    ASSERT_TRUE(writeIntelHex(path("src.hex"), data));
    const std::string text = slurp(path("src.hex"));
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << text; });
    Bytes back(data.size());
    EXPECT_EQ(readIntelHex(fifo, back, sink), data.size());
    writer.join();
    EXPECT_EQ(back, data);
    EXPECT_TRUE(sink.messages.empty());
}
