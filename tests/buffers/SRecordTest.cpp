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

// The header srec_cat writes before its records.
constexpr const char *kSrecCatHeader =
    "S0220000687474703A2F2F737265636F72642E736F75726365666F7267652E6E65742F1D\n";

// The bytes srec_cat was given for the long-record files below: (37 i + 11) mod 256.
Bytes pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 37 + 11);
    return b;
}

// srec_cat's one 250-byte S3 record at 0x100, the longest a record can be.
constexpr const char *kLongest =
    "S3FF000001000B30557A9FC4E90E33587DA2C7EC11365B80A5CAEF14395E83A8CDF2173C6186ABD0"
    "F51A3F6489AED3F81D42678CB1D6FB20456A8FB4D9FE23486D92B7DC01264B7095BADF04294E7398"
    "BDE2072C51769BC0E50A2F54799EC3E80D32577CA1C6EB10355A7FA4C9EE13385D82A7CCF1163B60"
    "85AACFF4193E6388ADD2F71C41668BB0D5FA1F44698EB3D8FD22476C91B6DB00254A6F94B9DE0328"
    "4D7297BCE1062B50759ABFE4092E53789DC2E70C31567BA0C5EA0F34597EA3C8ED12375C81A6CBF0"
    "153A5F84A9CEF3183D6287ACD1F61B40658AAFD4F91E43688DB2D7FC21466B90B5DAFF24496E93B8"
    "DD02274C7196BBE0052A4F7499BEE308B8";

// One record with an addressBytes-byte address (or count) field and a line feed.
std::string record(char type, int addressBytes, std::uint32_t address, const Bytes &data) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = {'S', type};
    const auto put = [&](std::uint32_t byte) {
        text += kDigits[(byte >> 4) & 0xF];
        text += kDigits[byte & 0xF];
    };
    const auto count = static_cast<std::uint32_t>(addressBytes + data.size() + 1);
    std::uint32_t sum = count;
    put(count);
    for (int i = addressBytes - 1; i >= 0; --i) {
        put(address >> (8 * i));
        sum += (address >> (8 * i)) & 0xFF;
    }
    for (std::uint8_t b : data) {
        put(b);
        sum += b;
    }
    put(~sum);
    return text + "\n";
}

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

TEST_F(SRecord, FileMayEndWithACountOfItsDataRecords) {
    // As srec_cat writes them: a count record last and no terminator.
    const std::string text = std::string(kSrecCatHeader) +
                             "S113000048656C6C6F2C207372656321203031322B\n"
                             "S11300103334353637383961626364656658595A02\n"
                             "S5030002FA\n";
    EXPECT_EQ(read(text), 0x20u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 0x20),
              "Hello, srec! 0123456789abcdefXYZ");
    EXPECT_EQ(read(text.substr(0, text.size() - 1)), 0x20u); // without the last line feed
    EXPECT_EQ(read("S5030000FC\n"), 0u);                     // nothing to count
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(SRecord, CountOfMoreThan64KRecordsIsAnS6Record) {
    // 70000 one-byte records, as srec_cat writes them with an output block size of 1.
    const Bytes data = pattern(70000);
    std::string text = kSrecCatHeader;
    for (std::uint32_t a = 0; a < data.size(); ++a)
        text += record(a < 0x10000 ? '1' : '2', a < 0x10000 ? 2 : 3, a, Bytes{data[a]});
    EXPECT_EQ(record('6', 3, 70000, {}), "S60401117079\n"); // srec_cat's count record
    EXPECT_EQ(read(text + "S60401117079\n"), 70000u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 70000), data);
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(read(text + "S60401116F7A\n"), 0u); // one short
    EXPECT_EQ(sink.messages, Messages{"File Read Operation Failed"});
}

TEST_F(SRecord, FileWithoutTerminatorFailsUnlessItsLastRecordCountsItsData) {
    const std::string records = "S1050000AABB95\nS1050002CCDD4F\n";
    const char *ends[] = {
        "S5030003F9\n",                   // counts three records
        "S5030001FB\n",                   // counts one
        "S5030002FB\n",                   // checksum off by one
        "S50300G2FA\n",                   // not a digit
        "S5030002F\n",                    // checksum cut short
        "S504000002F9\n",                 // length field one too long for an S5
        "S5030002FA \n",                  // something after the checksum
        "S6030002FA\n",                   // S6 with the length of an S5
        "S604000002FA\n",                 // S6 with a bad checksum
        "S5030002FA\nS00600004844521B\n", // the count is not the last record
        "S5030002FA\nS1050004EEFF09\n",   // nor here, so the third record is not counted
        "",                               // no count at all
    };
    for (const char *end : ends) {
        sink.messages.clear();
        EXPECT_EQ(read(records + end), 0u) << end;
        EXPECT_EQ(sink.messages, Messages{"File Read Operation Failed"}) << end;
    }
    EXPECT_EQ(buffer[3], 0xDD); // bytes already stored stay, as with any missing terminator
    sink.messages.clear();
    EXPECT_EQ(read(records + "S604000002F9\n"), 4u); // a sound S6 with a small count
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(SRecord, RecordsUpToTheLongestLegalOneLoad) {
    EXPECT_EQ(kSRecordWindow, 516u);
    // srec_cat with 64-byte S3 records.
    EXPECT_EQ(read(std::string(kSrecCatHeader) +
                   "S345000001000B30557A9FC4E90E33587DA2C7EC11365B80A5CAEF14395E83A8CDF2173C6186AB"
                   "D0F51A3F6489AED3F81D42678CB1D6FB20456A8FB4D9FE23486D92B7DC012699\n"
                   "S329000001404B7095BADF04294E7398BDE2072C51769BC0E50A2F54799EC3E80D32577CA1C6EB"
                   "10355AFB\n"
                   "S5030002FA\n"),
              0x164u);
    EXPECT_EQ(Bytes(buffer.begin() + 0x100, buffer.begin() + 0x164), pattern(100));
    // srec_cat with one 250-byte S3 record and CR LF: the line fills the window exactly.
    buffer.assign(buffer.size(), 0xFF);
    EXPECT_EQ(read(std::string(kSrecCatHeader) + kLongest + "\r\nS5030001FB\r\n"), 0x1FAu);
    EXPECT_EQ(Bytes(buffer.begin() + 0x100, buffer.begin() + 0x1FA), pattern(250));
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(SRecord, LineLongerThanTheWindowIsRefusedWithNothingStored) {
    for (const std::string &text :
         {std::string(kLongest) + " \r\nS70500000000FA\n",
          std::string(kLongest) + "\r\r\nS70500000000FA\n", std::string(kLongest) + "\r\r\r"}) {
        sink.messages.clear();
        EXPECT_EQ(read(text), 0u);
        EXPECT_EQ(sink.messages, Messages{"Illegal Line found"});
        EXPECT_EQ(buffer, Bytes(buffer.size(), 0xFF));
    }
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
