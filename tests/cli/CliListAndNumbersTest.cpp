// korvat-cli for scripts: chip lists filtered by type, maker and ID with every field of
// the record, and numbers read one way, every mistake a usage error told in words.
#include "CliFixture.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace korvat;
using namespace korvat::test;

namespace {

// The lines of a text.
std::size_t lines(const std::string &text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST_F(Cli, ListFiltersByTypeMakerAndIdWithEveryField) {
    const std::string list = "--catalogue " + catalogue + " list ";
    EXPECT_EQ(lines(cli(list).out), 3u); // every chip without a text or a filter
    EXPECT_EQ(cli(list + "--type 25_spi_flash --maker WINBOND").out,
              "25_SPI_FLASH\tWinbond\tW25Q64FV\t0xEF4017\t8388608\t256\t3.3V\n"
              "25_SPI_FLASH\tWinbond\tW25Q64JW\t0xEF6017\t8388608\t256\t1.8V\n");
    EXPECT_EQ(cli(list + "--id 0xef6017").out,
              "25_SPI_FLASH\tWinbond\tW25Q64JW\t0xEF6017\t8388608\t256\t1.8V\n");
    EXPECT_EQ(cli(list + "--id C84017").out,
              "25_SPI_FLASH\tGigaDevice\tGD25Q64\t0xC84017\t8388608\t256\t3.3V\n");
    // The filters combine with the text and with each other; a type or a maker is whole.
    const Result none = cli(list + "W25Q --id C84017");
    EXPECT_EQ(none.code, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(cli(list + "--maker Winbond --id C84017").out, "");
    EXPECT_EQ(cli(list + "--type 25_SPI").out, "");
    EXPECT_EQ(cli(list + "--maker Giga").out, "");
    EXPECT_EQ(cli("--json " + list + "--id 0 --type 25_SPI_FLASH").out, "[\n]\n");

    // Every field of the record, the first ones under the names scripts already read.
    const std::string avr = path("avr.Dat");
    ASSERT_EQ(Catalogue()
                  .save({{"AVR", "Atmel", "ATtiny13", "0x1E9007", "1024", "32", "4", "0", "100",
                          "0", "64", "4", "7"}},
                        avr)
                  .outcome,
              CatalogueOutcome::Written);
    const Result json = cli("--json --catalogue " + avr + " list --maker atmel --id 1e9007");
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(json.out, "[\n{\"type\":\"AVR\",\"maker\":\"Atmel\",\"model\":\"ATtiny13\","
                        "\"id\":\"0x1E9007\",\"size\":1024,\"page\":32,\"voltage\":\"3.3V\","
                        "\"family\":4,\"subType\":0,\"delay\":100,\"eepromSize\":64,"
                        "\"eepromPage\":4,\"association\":7}\n]\n");

    // An ID that is not hexadecimal is the command line's mistake, before the catalogue.
    for (const char *id : {"zz", "0x", "EF-4017"}) {
        const Result wrong =
            cli("--catalogue " + path("absent.Dat") + " list --id " + id + " 2>&1");
        EXPECT_EQ(wrong.code, 1) << id;
        EXPECT_NE(wrong.out.find("--id: '" + std::string(id) + "'"), std::string::npos)
            << wrong.out;
        EXPECT_NE(wrong.out.find("hexadecimal"), std::string::npos) << wrong.out;
    }
    EXPECT_NE(cli("list --id 123456789 2>&1").out.find("is larger than 0xFFFFFFFF"),
              std::string::npos);
}

// --range takes 0x-hexadecimal and bare hexadecimal alike; --serial-at takes decimal or
// 0x-hexadecimal. Both forms reach the same bytes of the chip.
TEST_F(Cli, AddressesTakeZeroXOrTheirBareForm) {
    const std::string image = file("image.bin", std::string(0x3000, 'x'));
    const std::string chip = "chip 25 EF4017 8M\nkeep chip.bin\n";
    for (const char *range : {"0x1000:0x1FFF", "1000:1FFF", "0X1000:1fff"}) {
        std::filesystem::remove(path("chip.bin"));
        ASSERT_EQ(onSimulator(chip, "write " + image + " --chip W25Q64FV --range " + range).code, 0)
            << range;
        const std::string kept = slurp(path("chip.bin"));
        ASSERT_GE(kept.size(), 0x2001u) << range;
        EXPECT_EQ(kept.substr(0xFFF, 0x1002),
                  "\xFF" + std::string(0x1000, 'x') + "\xFF") // the range and nothing else
            << range;
    }
    std::filesystem::remove(path("chip.bin"));
    const std::string small = file("small.bin", std::string(0x40, 'x'));
    EXPECT_EQ(onSimulator(chip, "batch " + small + " --chip W25Q64FV --count 1 --record " +
                                    path("r.csv") + " --serial-at 0x10 --serial-bytes 1")
                  .code,
              0);
    const std::string kept = slurp(path("chip.bin"));
    ASSERT_GE(kept.size(), 0x12u);
    EXPECT_EQ(kept.substr(0x0F, 3), std::string("x\0x", 3)); // the first serial number, 0, at 16
}

// A mistake in a number or a range is a usage error (exit 1) that says what is wrong,
// found before the catalogue is read or the programmer is asked anything.
TEST_F(Cli, NumberMistakesAreUsageErrorsInWords) {
    const std::string image = file("image.bin", "abc");
    const std::string log = path("requests.txt");
    const std::string env = "LD_LIBRARY_PATH=" KORVAT_SIM_DIR " KORVAT_SIM=" +
                            file("scenario.txt", "chip 25 EF4017 8M\nlog-file " + log + "\n") + " ";
    struct Case {
        std::string arguments, message;
    };
    const std::string write = "write " + image + " --chip W25Q64FV --range ";
    const std::string batch = "batch " + image + " --chip W25Q64FV ";
    for (const Case &c : {
             Case{write + ":", "--range: START and END are missing"},
             Case{write + "1000:", "--range: END is missing after the ':'"},
             Case{write + ":1FFF", "--range: START is missing before the ':'"},
             Case{write + "2000:1000", "--range: END 1000 is before START 2000"},
             Case{write + "0x0x1000:0x2000", "--range: START '0x0x1000' is not hexadecimal"},
             Case{write + "1000", "--range: '1000' is not START:END"},
             Case{write + "1:2:3", "--range: '1:2:3' is not START:END"},
             Case{write + "0:100000000", "--range: END '100000000' is larger than 0xFFFFFFFF"},
             Case{"read " + path("r.bin") + " --chip W25Q64FV --range 0x:FF",
                  "--range: START '0x' has no hexadecimal digits"},
             Case{batch + "--count 0",
                  "--count: must be 1 or more; leave it out to program until Ctrl+C"},
             Case{batch + "--count 0x0", "--count: must be 1 or more"},
             Case{batch + "--count 3000000000", "--count: '3000000000' is larger than 2147483647"},
             Case{batch + "--count ten", "--count: 'ten' must be decimal digits"},
             Case{batch + "--serial-at 0x100000000", "is larger than 0xFFFFFFFF"},
             Case{batch + "--serial-at 0 --serial-bytes 33",
                  "--serial-bytes: '33' is larger than 32"},
             Case{batch + "--serial-at 0 --serial-bytes 0", "--serial-bytes: must be 1 or more"},
             Case{"convert " + path("absent.bin") + " " + path("o.bin") + " --size 0x4000001",
                  "--size: '0x4000001' is larger than 0x4000000"},
         }) {
        for (const std::string &catalogueFile : {catalogue, path("absent.Dat")}) {
            const Result r = cli("--catalogue " + catalogueFile + " " + c.arguments + " 2>&1", env);
            EXPECT_EQ(r.code, 1) << c.arguments << ": " << r.out;
            EXPECT_NE(r.out.find(c.message), std::string::npos) << c.arguments << ": " << r.out;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(log)); // the programmer was never opened
    EXPECT_FALSE(std::filesystem::exists(path("o.bin")));

    // Past the chip is the command line's mistake too; with --json one object says it.
    const Result past = cli("--json --catalogue " + catalogue + " " + write + "7FF000:800FFF", env);
    EXPECT_EQ(past.code, 1);
    EXPECT_NE(past.out.find("\"result\":\"refused\",\"exitCode\":1"), std::string::npos)
        << past.out;
    EXPECT_NE(past.out.find("reaches past the chip"), std::string::npos) << past.out;
    const Result empty =
        cli("--json --catalogue " + catalogue + " " + write + "2000:1000 2>/dev/null", env);
    EXPECT_EQ(empty.out.rfind("{\"command\":\"write\",\"result\":\"refused\",\"exitCode\":1,"
                              "\"errors\":[\"--range: END 1000 is before START 2000",
                              0),
              0u)
        << empty.out;
}
