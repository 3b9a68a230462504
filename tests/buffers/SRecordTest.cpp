#include "buffers/SRecord.h"
#include "CodecFixture.h"

#include <cstring>

using namespace korvat;
using namespace korvat::test;

namespace {

class SRecord : public FileTest {
protected:
    Bytes buffer = Bytes(0x20000, 0xFF);
    std::uint32_t read(const std::string &text) {
        return readSRecord(file("in.s", text), buffer, sink);
    }
    std::string written(const Bytes &data) {
        const std::string p = path("out.src");
        EXPECT_TRUE(writeSRecord(p, data));
        return slurp(p);
    }
};

} // namespace

TEST_F(SRecord, WriterLayoutForSixteenBytes) {
    Bytes data(16);
    for (int i = 0; i < 16; ++i)
        data[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(written(data), "S00600004844521B\r\n"
                             "S1130000000102030405060708090A0B0C0D0E0F74\r\n"
                             "S9030000FC\r\n");
    EXPECT_EQ(written({}), "S00600004844521B\r\nS9030000FC\r\n");
}

TEST_F(SRecord, RecordTypeFollowsTheBufferSize) {
    struct Case {
        std::size_t size;
        const char *record;
        const char *terminator;
    };
    for (const Case &c : {Case{0xFFFF, "\r\nS112FFF0", "S9030000FC\r\n"},
                          Case{0x10000, "\r\nS214000000", "S804000000FB\r\n"},
                          Case{0xFFFFFF, "\r\nS213FFFFF0", "S804000000FB\r\n"},
                          Case{0x1000000, "\r\nS31500FFFFF0", "S70500000000FA\r\n"}}) {
        Bytes data(c.size, 0x5A);
        const std::string text = written(data);
        EXPECT_NE(text.find(c.record), std::string::npos) << c.size;
        EXPECT_EQ(text.substr(text.size() - std::strlen(c.terminator)), c.terminator) << c.size;
    }
}

TEST_F(SRecord, RecordsOfOnlyErasedBytesAreLeftOut) {
    Bytes data(64, 0xFF);
    data[40] = 0x00;
    const std::string text = written(data);
    std::string record = "S1130020";
    for (int i = 32; i < 48; ++i)
        record += i == 40 ? "00" : "FF";
    EXPECT_EQ(text, "S00600004844521B\r\n" + record + "DB\r\nS9030000FC\r\n");
    buffer.assign(buffer.size(), 0x11);
    EXPECT_EQ(readSRecord(path("out.src"), buffer, sink), 0x30u);
    EXPECT_EQ(buffer[0x1F], 0x11); // the left-out records leave the buffer as it was
    EXPECT_EQ(buffer[40], 0x00);
    EXPECT_EQ(buffer[41], 0xFF);
}

TEST_F(SRecord, DataAtItsOwnAddress) {
    EXPECT_EQ(read("S208012345AAAAAAAAE6\nS804000000FB\n"), 0x12349u);
    EXPECT_EQ(Bytes(buffer.begin() + 0x12345, buffer.begin() + 0x12349), Bytes(4, 0xAA));
    EXPECT_EQ(buffer[0x12344], 0xFF);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(SRecord, HeadersCountsAndBadTerminatorsAreNotChecked) {
    EXPECT_EQ(read("S00600004844521B\r\nS1050000AABB95\r\nS5030001FB\r\nS0XX\r\nS6\r\n"
                   "S1050002CCDD4F\r\nS9030000FF\r\n"),
              4u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), (Bytes{0xAA, 0xBB, 0xCC, 0xDD}));
    EXPECT_EQ(read("s1050000aabb95\ns9030000fc\n"), 0u); // 's' is not a record start
    EXPECT_EQ(read("S1050000aabb95\nS9030000fc\n"), 2u); // lower-case digits are
}

TEST_F(SRecord, MissingTerminator) {
    EXPECT_EQ(read("S1050000AABB95\n"), 0u);
    EXPECT_EQ(sink.messages, Messages{"File Read Operation Failed"});
    EXPECT_EQ(buffer[1], 0xBB);
}

TEST_F(SRecord, MalformedInputIsRefusedWithItsMessage) {
    const std::pair<const char *, const char *> cases[] = {
        {"X1050000AABB95\n", "Illegal Line found"},
        {"\n", "Illegal Line found"},
        {"S1G50000AABB95\n", "Illegal Char in File"},
        {"S1050G00AABB95\n", "Illegal Char in File"},
        {"S1050000AAXB95\n", "Illegal Char in File"},
        {"S1050000AABB9\n", "Illegal Char in File"},
        {"S1050000AABB96\n", "Checksum Error"},
        {"S1020000FD\n", "Invalid Record Length"},
        {"S100\n", "Illegal Char in File"},
        {"S305800000007A\n", "File exceeds Maximum Size"},
        {"S214FFFFF0000102030405060708090A0B0C0D0E0F04\n", "File exceeds Maximum Size"},
        {"S315FFFFFFF0000102030405060708090A0B0C0D0E0F00\n", "File exceeds Maximum Size"},
    };
    for (const auto &[text, message] : cases) {
        sink.messages.clear();
        buffer.assign(buffer.size(), 0xFF);
        EXPECT_EQ(read(std::string(text) + "S9030000FC\n"), 0u) << text;
        EXPECT_EQ(sink.messages, Messages{message}) << text;
    }
    EXPECT_EQ(buffer, Bytes(buffer.size(), 0xFF)); // nothing past the limit was touched
}

TEST_F(SRecord, LineLongerThanTheWindowIsRefused) {
    std::string data;
    for (int i = 0; i < 60; ++i)
        data += "11";
    EXPECT_EQ(read("S341" + std::string("00000000") + data + "00\nS70500000000FA\n"), 0u);
    EXPECT_EQ(sink.messages, Messages{"Illegal Char in File"});
}

TEST_F(SRecord, RoundTripsAroundTheBoundaries) {
    for (std::size_t n : {std::size_t{17}, std::size_t{0xFFFF}, std::size_t{0x10000},
                          std::size_t{0xFFFFFF}, std::size_t{0x1000000}, std::size_t{0x1000011}}) {
        const Bytes data = randomBytes(n, static_cast<unsigned>(n));
        const std::string p = path("rt.src");
        ASSERT_TRUE(writeSRecord(p, data));
        Bytes back(n, 0xFF);
        EXPECT_EQ(readSRecord(p, back, sink), n) << n;
        EXPECT_EQ(back, data) << n;
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(SRecord, FailedWriteLeavesTheOldFile) {
    const std::string p = file("keep.src", "old");
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(writeSRecord(p, randomBytes(1 << 20)));
    }
    EXPECT_EQ(slurp(p), "old");
    EXPECT_EQ(entries(), 1u);
}
