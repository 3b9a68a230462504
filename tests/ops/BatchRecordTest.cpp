#include "ops/BatchRecord.h"
#include "OrdinaryUser.h"
#include "buffers/CodecFixture.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <locale>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace korvat;
using korvat::test::asOrdinaryUser;
using korvat::test::FileSizeLimit;
using korvat::test::giveToChecker;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kWinterNoon = 1796735007; // 2026-12-08 13:03:27 UTC
constexpr std::int64_t kSummerDay = 1782900000;  // 2026-07-01 10:00:00 UTC

// Sets the time zone for as long as it lives, then puts the old one back. POSIX zone
// strings are used, so the tests need no time zone database.
class ZoneScope {
public:
    explicit ZoneScope(const char *zone) {
        if (const char *old = std::getenv("TZ"))
            m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (m_old)
            setenv("TZ", m_old->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ZoneScope(const ZoneScope &) = delete;
    ZoneScope &operator=(const ZoneScope &) = delete;

private:
    std::optional<std::string> m_old;
};

constexpr const char *kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

PassRecord passed() {
    PassRecord r;
    r.when = kWinterNoon;
    r.number = 3;
    r.type = "25_SPI_FLASH";
    r.maker = "Winbond";
    r.model = "W25Q64FV";
    r.idType = 1;
    r.chipId = 0xEF4017;
    r.outcome.passed = true;
    r.outcome.verified = true;
    r.outcome.dataCrc = 0xCBF43926u;
    r.outcome.seconds = 12.3456;
    return r;
}

PassRecord failedVerify() {
    PassRecord r = passed();
    r.number = 4;
    r.outcome.passed = false;
    r.outcome.failedStep = PassStep::Verify;
    r.outcome.failedAddress = 0x1F00;
    r.outcome.dataCrc = 0x12AB;
    r.outcome.seconds = 0.5;
    return r;
}

std::string secondsOf(double seconds) {
    PassRecord r = passed();
    r.outcome.seconds = seconds;
    const std::string line = recordLine(r);
    return line.substr(line.rfind(',') + 1);
}

class BatchRecordFile : public korvat::test::FileTest {
protected:
    std::string header() const { return std::string(recordHeader()) + "\n"; }
    // The line as a file of today's layout holds it: a record without a run leaves the
    // run's field empty.
    static std::string lineOf(const PassRecord &r) {
        return recordLine(r) + (r.run ? "\n" : ",\n");
    }
    // The line of a pass of a run started at run.
    static std::string lineOf(PassRecord r, std::int64_t run) {
        r.run = run;
        return lineOf(r);
    }
};

} // namespace

TEST(BatchRecordLine, HeaderNamesTheFields) {
    EXPECT_EQ(recordHeader(),
              "time,pass,type,maker,model,id,result,step,address,crc32,seconds,run");
    EXPECT_EQ(recordHeader(true),
              "time,pass,type,maker,model,id,result,step,address,crc32,seconds,serial,run");
}

// Only a verify that passed makes a PASS; a pass that ran no verify is a word of its own.
TEST(BatchRecordLine, APassWithoutVerifyIsNotAPass) {
    ZoneScope zone(kCentralEurope);
    PassRecord r = passed();
    r.outcome.verified = false;
    EXPECT_EQ(recordLine(r), "2026-12-08T14:03:27+01:00,3,25_SPI_FLASH,Winbond,W25Q64FV,"
                             "1:EF4017,UNVERIFIED,,,CBF43926,12.346");
    r.outcome.passed = false; // a failure stays a failure, verified or not
    r.outcome.failedStep = PassStep::Write;
    EXPECT_NE(recordLine(r).find(",FAIL,write,"), std::string::npos);
}

// The run's start comes last, written as the time is, the serial number before it.
TEST(BatchRecordLine, RunComesLast) {
    ZoneScope zone(kCentralEurope);
    PassRecord r = passed();
    r.run = kWinterNoon - 3600;
    EXPECT_EQ(recordLine(r), recordLine(passed()) + ",2026-12-08T13:03:27+01:00");
    r.serial = "100";
    EXPECT_EQ(recordLine(r), recordLine(passed()) + ",100,2026-12-08T13:03:27+01:00");
}

TEST(BatchRecordLine, StepWords) {
    EXPECT_EQ(stepWord(PassStep::None), "");
    EXPECT_EQ(stepWord(PassStep::Erase), "erase");
    EXPECT_EQ(stepWord(PassStep::Write), "write");
    EXPECT_EQ(stepWord(PassStep::Verify), "verify");
    EXPECT_EQ(stepWord(PassStep::Transfer), "transfer");
    EXPECT_EQ(stepWord(PassStep::NotConnected), "not-connected");
    EXPECT_EQ(stepWord(PassStep::NothingLoaded), "nothing-loaded");
}

TEST(BatchRecordLine, PassedPass) {
    ZoneScope zone(kCentralEurope);
    EXPECT_EQ(recordLine(passed()), "2026-12-08T14:03:27+01:00,3,25_SPI_FLASH,Winbond,W25Q64FV,"
                                    "1:EF4017,PASS,,,CBF43926,12.346");
}

TEST(BatchRecordLine, FailedPass) {
    ZoneScope zone(kCentralEurope);
    EXPECT_EQ(recordLine(failedVerify()), "2026-12-08T14:03:27+01:00,4,25_SPI_FLASH,Winbond,"
                                          "W25Q64FV,1:EF4017,FAIL,verify,1F00,000012AB,0.500");

    // Nothing connected: no ID, no address, no CRC.
    PassRecord r = failedVerify();
    r.idType = 2;
    r.chipId = 0;
    r.outcome.failedStep = PassStep::NotConnected;
    r.outcome.failedAddress.reset();
    r.outcome.dataCrc.reset();
    r.outcome.seconds = 0;
    EXPECT_EQ(recordLine(r), "2026-12-08T14:03:27+01:00,4,25_SPI_FLASH,Winbond,W25Q64FV,"
                             "2:000000,FAIL,not-connected,,,0.000");
}

TEST(BatchRecordLine, PassedPassShowsNoFailureDetails) {
    ZoneScope zone(kCentralEurope);
    PassRecord r = passed();
    r.outcome.failedStep = PassStep::Write;
    r.outcome.failedAddress = 0x40;
    EXPECT_EQ(recordLine(r), recordLine(passed()));
}

TEST(BatchRecordLine, TimeCarriesTheOffsetOfItsDate) {
    {
        ZoneScope zone(kCentralEurope);
        EXPECT_EQ(recordLine(passed()).substr(0, 26), "2026-12-08T14:03:27+01:00,");
        PassRecord summer = passed();
        summer.when = kSummerDay;
        EXPECT_EQ(recordLine(summer).substr(0, 26), "2026-07-01T12:00:00+02:00,");
    }
    {
        ZoneScope zone("EST5");
        EXPECT_EQ(recordLine(passed()).substr(0, 26), "2026-12-08T08:03:27-05:00,");
    }
    {
        ZoneScope zone("IST-5:30");
        EXPECT_EQ(recordLine(passed()).substr(0, 26), "2026-12-08T18:33:27+05:30,");
    }
    {
        ZoneScope zone("UTC0");
        EXPECT_EQ(recordLine(passed()).substr(0, 26), "2026-12-08T13:03:27+00:00,");
    }
}

TEST(BatchRecordLine, NumbersAreUpperCaseHex) {
    ZoneScope zone(kCentralEurope);
    PassRecord r = failedVerify();
    r.idType = 7;
    r.chipId = 0x12ab01cd; // only the 24 bits of an ID are printed
    r.outcome.failedAddress = 0x1ffffffffULL;
    r.outcome.dataCrc = 0x0000beef;
    EXPECT_EQ(recordLine(r), "2026-12-08T14:03:27+01:00,4,25_SPI_FLASH,Winbond,W25Q64FV,"
                             "7:AB01CD,FAIL,verify,1FFFFFFFF,0000BEEF,0.500");
    r.outcome.failedAddress = 0;
    EXPECT_NE(recordLine(r).find(",verify,0,0000BEEF,"), std::string::npos);
}

TEST(BatchRecordLine, SecondsHaveThreeDecimals) {
    EXPECT_EQ(secondsOf(12.3456), "12.346");
    EXPECT_EQ(secondsOf(0.0004), "0.000");
    EXPECT_EQ(secondsOf(1234.5), "1234.500");
    EXPECT_EQ(secondsOf(-1), "0.000");
    EXPECT_EQ(secondsOf(std::nan("")), "0.000");
}

TEST(BatchRecordLine, SecondsUseAPointWhateverTheLocale) {
    // The program's C++ locale with a decimal comma, as streams would use it.
    struct Comma : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale oldGlobal =
        std::locale::global(std::locale(std::locale::classic(), new Comma));
    const std::string withStreams = secondsOf(12.3456);
    std::locale::global(oldGlobal);
    EXPECT_EQ(withStreams, "12.346");

    // And the C locale of a country that writes a comma, where one is installed.
    const std::string old = std::setlocale(LC_ALL, nullptr);
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            const std::string seconds = secondsOf(12.3456);
            std::setlocale(LC_ALL, old.c_str());
            EXPECT_EQ(seconds, "12.346") << name;
            break;
        }
    }
}

TEST(BatchRecordLine, FieldsWithSeparatorsAreQuoted) {
    ZoneScope zone(kCentralEurope);
    PassRecord r = passed();
    r.type = "A\rB";
    r.maker = "Maker\nTwo";
    r.model = "W25Q64 \"FV\", rev B";
    EXPECT_EQ(recordLine(r), "2026-12-08T14:03:27+01:00,3,\"A\rB\",\"Maker\nTwo\","
                             "\"W25Q64 \"\"FV\"\", rev B\",1:EF4017,PASS,,,CBF43926,12.346");
    r.type = "plain";
    r.maker = "\"";
    r.model = ",";
    EXPECT_NE(recordLine(r).find(",plain,\"\"\"\",\",\",1:EF4017,"), std::string::npos);
}

TEST_F(BatchRecordFile, NewFileStartsWithTheHeader) {
    BatchRecord record(path("korvat-batch.csv"));
    EXPECT_EQ(record.path(), path("korvat-batch.csv"));
    ASSERT_TRUE(record.append(passed()));
    EXPECT_EQ(slurp(record.path()), header() + lineOf(passed()));
    ASSERT_TRUE(record.append(failedVerify()));
    EXPECT_EQ(slurp(record.path()), header() + lineOf(passed()) + lineOf(failedVerify()));
}

TEST_F(BatchRecordFile, EmptyFileGetsTheHeader) {
    BatchRecord record(file("korvat-batch.csv", ""));
    ASSERT_TRUE(record.append(failedVerify()));
    EXPECT_EQ(slurp(record.path()), header() + lineOf(failedVerify()));
}

TEST_F(BatchRecordFile, EarlierContentIsKept) {
    const std::string old = "junk,from,before\n\xff\x01 more junk\n";
    BatchRecord record(file("korvat-batch.csv", old));
    ASSERT_TRUE(record.append(passed()));
    ASSERT_TRUE(record.append(failedVerify()));
    EXPECT_EQ(slurp(record.path()), old + lineOf(passed()) + lineOf(failedVerify()));
}

TEST_F(BatchRecordFile, LineCutShortIsEndedFirst) {
    const std::string old = header() + "2026-12-08T14:03:27+01:00,1,25_SP";
    BatchRecord record(file("korvat-batch.csv", old));
    ASSERT_TRUE(record.append(passed()));
    EXPECT_EQ(slurp(record.path()), old + "\n" + lineOf(passed()));
}

TEST_F(BatchRecordFile, NewFileTakesTheUmask) {
    const mode_t old = umask(022);
    ASSERT_TRUE(BatchRecord(path("a.csv")).append(passed()));
    umask(077);
    ASSERT_TRUE(BatchRecord(path("b.csv")).ready());
    umask(old);
    EXPECT_EQ(fs::status(path("a.csv")).permissions(), static_cast<fs::perms>(0644));
    EXPECT_EQ(fs::status(path("b.csv")).permissions(), static_cast<fs::perms>(0600));
}

TEST_F(BatchRecordFile, FileBehindALinkIsWritten) {
    const std::string target = file("real.csv", "");
    fs::create_symlink(target, path("korvat-batch.csv"));
    ASSERT_TRUE(BatchRecord(path("korvat-batch.csv")).append(passed()));
    EXPECT_TRUE(fs::is_symlink(path("korvat-batch.csv")));
    EXPECT_EQ(slurp(target), header() + lineOf(passed()));
}

TEST_F(BatchRecordFile, MissingFolderIsRefused) {
    BatchRecord record(path("missing/korvat-batch.csv"));
    EXPECT_FALSE(record.ready());
    EXPECT_FALSE(record.append(passed()));
    EXPECT_FALSE(fs::exists(path("missing")));
}

TEST_F(BatchRecordFile, FolderOrFifoAtThePathIsRefused) {
    fs::create_directories(path("folder.csv"));
    EXPECT_FALSE(BatchRecord(path("folder.csv")).append(passed()));
    EXPECT_FALSE(BatchRecord(path("folder.csv")).ready());
    // A FIFO without a reader would block an ordinary open for writing.
    ASSERT_EQ(mkfifo(path("fifo.csv").c_str(), 0644), 0);
    EXPECT_FALSE(BatchRecord(path("fifo.csv")).append(passed()));
    EXPECT_FALSE(BatchRecord(path("fifo.csv")).ready());
}

TEST_F(BatchRecordFile, ReadOnlyFileIsRefusedAndKept) {
    const std::string old = header() + "kept\n";
    const std::string p = file("korvat-batch.csv", old);
    ASSERT_EQ(::chmod(p.c_str(), 0444), 0);
    asOrdinaryUser([&] {
        EXPECT_FALSE(BatchRecord(p).ready());
        EXPECT_FALSE(BatchRecord(p).append(passed()));
    });
    EXPECT_EQ(slurp(p), old);
}

TEST_F(BatchRecordFile, ReadOnlyFolderIsRefused) {
    const fs::path folder = dir / "locked";
    fs::create_directories(folder);
    giveToChecker(folder);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    const std::string p = (folder / "korvat-batch.csv").string();
    asOrdinaryUser([&] {
        EXPECT_FALSE(BatchRecord(p).ready());
        EXPECT_FALSE(BatchRecord(p).append(passed()));
    });
    EXPECT_FALSE(fs::exists(p));
    ::chmod(folder.c_str(), 0755);
}

TEST_F(BatchRecordFile, WriteOnlyFileTakesLines) {
    const std::string old = header() + "kept\n";
    const std::string p = file("korvat-batch.csv", old);
    giveToChecker(p);
    ASSERT_EQ(::chmod(p.c_str(), 0200), 0);
    asOrdinaryUser([&] { EXPECT_TRUE(BatchRecord(p).append(passed())); });
    ASSERT_EQ(::chmod(p.c_str(), 0600), 0);
    EXPECT_EQ(slurp(p), old + lineOf(passed()));
}

TEST_F(BatchRecordFile, LineThatCannotBeWrittenWholeIsNotBegun) {
    const std::string old = header() + lineOf(passed());
    const std::string p = file("korvat-batch.csv", old);
    bool appended = true;
    {
        FileSizeLimit limit(old.size() + 10);
        appended = BatchRecord(p).append(failedVerify());
    }
    EXPECT_FALSE(appended);
    EXPECT_EQ(slurp(p), old);
    EXPECT_TRUE(BatchRecord(p).append(failedVerify()));
    EXPECT_EQ(slurp(p), old + lineOf(failedVerify()));
}

TEST_F(BatchRecordFile, ReadyCreatesTheFileWithItsHeader) {
    BatchRecord record(path("korvat-batch.csv"));
    ASSERT_TRUE(record.ready());
    EXPECT_EQ(slurp(record.path()), header());
    ASSERT_TRUE(record.ready());
    EXPECT_EQ(slurp(record.path()), header());
    ASSERT_TRUE(record.append(passed()));
    EXPECT_EQ(slurp(record.path()), header() + lineOf(passed()));
}

TEST_F(BatchRecordFile, ReadyLeavesAnExistingRecordAlone) {
    const std::string empty = file("empty.csv", "");
    ASSERT_TRUE(BatchRecord(empty).ready());
    EXPECT_EQ(slurp(empty), header());

    const std::string cut = file("cut.csv", "no line end");
    ASSERT_TRUE(BatchRecord(cut).ready());
    EXPECT_EQ(slurp(cut), "no line end");
}

// A record of serial numbers has one more column; the two layouts are never mixed.
TEST_F(BatchRecordFile, SerialNumbersHaveTheirOwnColumnAndFile) {
    const std::string serials = file("serials.csv", "");
    BatchRecord withSerial(serials, true);
    ASSERT_TRUE(withSerial.ready());
    PassRecord r = passed();
    r.serial = "100";
    ASSERT_TRUE(withSerial.append(r));
    EXPECT_EQ(slurp(serials), recordHeader(true) + "\n" + recordLine(passed()) + ",100,\n");
    EXPECT_FALSE(BatchRecord(serials).ready());
    const std::string plain = file("plain.csv", header());
    EXPECT_FALSE(BatchRecord(plain, true).ready());
    EXPECT_TRUE(BatchRecord(plain).ready());
}

// Every run's lines carry its start, so a file holding several runs tells their "pass 1"
// lines apart; the header is written once. A file from before the run column goes on
// without it, one table with the lines it holds, and a line without a run in a file
// with the column leaves the field empty, so the columns keep their places.
TEST_F(BatchRecordFile, RunsAreToldApartAndOlderFilesKeepTheirLayout) {
    ZoneScope zone(kCentralEurope);
    const std::int64_t firstRun = kWinterNoon - 60, secondRun = kWinterNoon;
    PassRecord a = passed(), b = failedVerify();
    a.run = firstRun;
    b.run = secondRun;
    BatchRecord record(path("korvat-batch.csv"));
    ASSERT_TRUE(record.ready());
    ASSERT_TRUE(record.append(a));
    ASSERT_TRUE(BatchRecord(record.path()).ready());
    ASSERT_TRUE(BatchRecord(record.path()).append(b));
    ASSERT_TRUE(BatchRecord(record.path()).append(passed()));
    EXPECT_EQ(slurp(record.path()), header() + lineOf(passed(), firstRun) +
                                        lineOf(failedVerify(), secondRun) + lineOf(passed()));
    EXPECT_NE(slurp(record.path()).find(",2026-12-08T14:02:27+01:00\n"), std::string::npos);

    const std::string older = "time,pass,type,maker,model,id,result,step,address,crc32,seconds\n"
                              "2026-12-08T14:03:27+01:00,1,25_SPI_FLASH,Winbond,W25Q64FV,"
                              "1:EF4017,PASS,,,CBF43926,12.346\n";
    const std::string p = file("older.csv", older);
    ASSERT_TRUE(BatchRecord(p).ready());
    ASSERT_TRUE(BatchRecord(p).append(a)); // also without ready()
    EXPECT_EQ(slurp(p), older + recordLine(passed()) + "\n");
    // Saved again by a spreadsheet, with CR LF line ends, it is still the older layout.
    const std::string crlf = file("crlf.csv", "time,pass,type,maker,model,id,result,step,"
                                              "address,crc32,seconds\r\n");
    ASSERT_TRUE(BatchRecord(crlf).append(a));
    EXPECT_EQ(slurp(crlf).substr(slurp(crlf).find('\n') + 1), recordLine(passed()) + "\n");

    // An older record of serial numbers likewise; older or not, the other layout is refused.
    const std::string olderSerials =
        file("older-serials.csv", "time,pass,type,maker,model,id,result,step,address,crc32,seconds,"
                                  "serial\n");
    PassRecord withSerial = a;
    withSerial.serial = "7";
    ASSERT_TRUE(BatchRecord(olderSerials, true).ready());
    ASSERT_TRUE(BatchRecord(olderSerials, true).append(withSerial));
    EXPECT_TRUE(slurp(olderSerials).ends_with(",CBF43926,12.346,7\n")) << slurp(olderSerials);
    EXPECT_FALSE(BatchRecord(olderSerials).ready());
    EXPECT_FALSE(BatchRecord(p, true).ready());
}

TEST(BatchRecordPath, SitsBesideTheSettingsFile) {
    EXPECT_EQ(batchRecordPathFor("/home/user/.config/korvat/korvat.ini"),
              "/home/user/.config/korvat/korvat-batch.csv");
    EXPECT_EQ(batchRecordPathFor("/korvat.ini"), "/korvat-batch.csv");
    EXPECT_EQ(batchRecordPathFor("korvat.ini"), "korvat-batch.csv");
    EXPECT_EQ(batchRecordPathFor("conf/"), "conf/korvat-batch.csv");
}
