// korvat-cli narrowed to part of the chip, and dry runs: judged by the simulated chip's
// contents and by what reached the programmer.
#include "CliFixture.h"
#include "base/HexText.h"
#include "buffers/Checksum.h"

#include <filesystem>

using namespace korvat;
using namespace korvat::test;

namespace {

// The simulated chip: blank but for 16 bytes of data at 0x2000.
std::string chipWithData() {
    std::string bytes(0x2010, '\xFF');
    bytes.replace(0x2000, 16, 16, 'd');
    return bytes;
}

std::string crcOf(const std::string &bytes) {
    return hexText(crc32Of({reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size()}),
                   8);
}

} // namespace

// An erase cannot be narrowed, so a range refuses it (and an Auto pass that erases) with
// the chip untouched; a blank check looks only at the range.
TEST_F(Cli, RangesNarrowOnlyWhatTheProgrammerCanNarrow) {
    const std::string before = chipWithData();
    file("chip.bin", before);
    const std::string chip = "chip 25 EF4017 8M\nkeep chip.bin\n";
    const std::string image = file("image.bin", std::string(0x1000, 'a'));

    const Result erase = onSimulator(chip, "--json erase --chip W25Q64FV --range 0:FFF");
    EXPECT_EQ(erase.code, 1);
    EXPECT_NE(erase.out.find("the chip is erased whole"), std::string::npos) << erase.out;
    const Result autoPass =
        onSimulator(chip, "auto " + image + " --chip W25Q64FV --range 0:FFF --json");
    EXPECT_EQ(autoPass.code, 1);
    EXPECT_NE(autoPass.out.find("--no-erase"), std::string::npos) << autoPass.out;
    EXPECT_EQ(slurp(path("chip.bin")).substr(0, before.size()), before);

    EXPECT_EQ(onSimulator(chip, "blank --chip W25Q64FV --range 0:1FFF").code, 0);
    EXPECT_EQ(onSimulator(chip, "blank --chip W25Q64FV --range 2010:7FFFFF").code, 0);
    const Result dirty = onSimulator(chip, "--json blank --chip W25Q64FV --range 1003:2004");
    EXPECT_EQ(dirty.code, 6);
    EXPECT_NE(dirty.out.find("\"failedAddress\":8192"), std::string::npos) << dirty.out;
    EXPECT_EQ(onSimulator(chip, "blank --chip W25Q64FV --range 200F:200F").code, 6);
    EXPECT_EQ(onSimulator(chip, "blank --chip W25Q64FV").code, 6);

    // Without an erase, Auto writes and verifies the range over what the chip holds.
    EXPECT_EQ(onSimulator(chip, "auto " + image + " --chip W25Q64FV --range 0:FFF --no-erase").code,
              0);
    const std::string after = slurp(path("chip.bin"));
    EXPECT_EQ(after.substr(0, 0x1000), std::string(0x1000, 'a'));
    EXPECT_EQ(after.substr(0x1000, before.size() - 0x1000), before.substr(0x1000));
}

// A dry run checks what the command would check and says what it would do, and nothing
// but the programmer's opening reaches it.
TEST_F(Cli, DryRunsSayWhatWouldBeDoneAndSendNothing) {
    const std::string before = chipWithData();
    file("chip.bin", before);
    const std::string log = path("requests.txt");
    const std::string chip = "chip 25 EF4017 8M\nkeep chip.bin\nlog-file " + log + "\n";
    const std::string bytes(0x1001, 'a');
    const std::string image = file("image.bin", bytes);

    const Result write = onSimulator(chip, "write --dry-run " + image + " --chip W25Q64FV");
    EXPECT_EQ(write.code, 0);
    EXPECT_NE(write.out.find("dry run: write on 25_SPI_FLASH/Winbond/W25Q64FV\nsteps: write\n"
                             "addresses: 0x000000 to 0x0010FF (4352 bytes)\nimage: " +
                             image + ", 4097 bytes, CRC-32 " + crcOf(bytes) +
                             "\nnothing was sent to the chip\n"),
              std::string::npos)
        << write.out;
    const Result autoPass =
        onSimulator(chip, "--json auto " + image + " --chip W25Q64FV --dry-run --no-verify");
    EXPECT_EQ(autoPass.code, 0);
    EXPECT_NE(autoPass.out.find("\"dryRun\":true,\"chip\":\"25_SPI_FLASH/Winbond/W25Q64FV\","
                                "\"result\":\"ok\",\"exitCode\":0,\"steps\":[\"erase\",\"write\"]"),
              std::string::npos)
        << autoPass.out;
    EXPECT_NE(autoPass.out.find("\"crc32\":\"" + crcOf(bytes) + "\""), std::string::npos);
    const Result blank = onSimulator(chip, "blank --chip W25Q64FV --range 10:1F --dry-run");
    EXPECT_NE(blank.out.find("addresses: 0x000010 to 0x00001F (16 bytes)"), std::string::npos)
        << blank.out;
    const Result read = onSimulator(chip, "read " + path("out.bin") +
                                              " --chip W25Q64FV --range 2000:200F --dry-run");
    EXPECT_NE(read.out.find("addresses: 0x000000 to 0x7FFFFF (8388608 bytes)\nsaved to " +
                            path("out.bin") + ": 0x002000 to 0x00200F (16 bytes)"),
              std::string::npos)
        << read.out;
    const std::string record = path("line/record.csv");
    const Result batch =
        onSimulator(chip, "batch " + image + " --chip W25Q64FV --dry-run --count 20 --record " +
                              record + " --serial-at 0x10 --serial-start 1000 --serial-step 2");
    EXPECT_EQ(batch.code, 0);
    EXPECT_NE(batch.out.find("steps: erase, write, verify\n"), std::string::npos) << batch.out;
    EXPECT_NE(batch.out.find("serial numbers: 1000 to 1038 (step 2) at image address 0x000010, "
                             "4 bytes le\nchips: 20\nrecord: " +
                             record + "\n"),
              std::string::npos)
        << batch.out;

    // What a real command refuses, its dry run refuses with the same exit code.
    EXPECT_EQ(onSimulator(chip, "batch --dry-run " + image + " --chip W25Q64FV --record " +
                                    path("").substr(0, path("").size() - 1))
                  .code,
              4); // a folder for a record
    EXPECT_EQ(
        onSimulator(chip, "write --dry-run " + image + " --chip W25Q64FV --range 7FF000:800FFF")
            .code,
        1);
    EXPECT_EQ(onSimulator(chip, "verify --dry-run " + path("absent.bin") + " --chip W25Q64FV").code,
              4);
    EXPECT_EQ(
        onSimulator(chip, "batch --dry-run " + image + " --chip W25Q64FV --serial-at 0x7FFFFE")
            .code,
        1);

    EXPECT_FALSE(std::filesystem::exists(path("out.bin")));
    EXPECT_FALSE(std::filesystem::exists(path("line")));
    EXPECT_EQ(slurp(path("chip.bin")), before);
    const std::string sent = slurp(log);
    EXPECT_EQ(sent.find("out "), std::string::npos) << sent; // no command block, no data
}

namespace {

// An Intel HEX data record of the bytes at the address (below 64 KiB).
std::string hexRecord(std::uint32_t address, const std::string &bytes) {
    std::string line = ":" + hexText(bytes.size(), 2) + hexText(address, 4) + "00";
    unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF);
    for (const char c : bytes) {
        line += hexText(static_cast<std::uint8_t>(c), 2);
        sum += static_cast<std::uint8_t>(c);
    }
    return line + hexText((0x100 - (sum & 0xFF)) & 0xFF, 2) + "\n";
}

} // namespace

// --file-bytes compares only the addresses a HEX file holds: the chip's other bytes may
// be anything, a difference inside them still fails.
TEST_F(Cli, FileBytesCompareOnlyWhatTheFileHolds) {
    std::string bytes(0x2000, '\0'); // the chip holds zeros where the file has nothing
    const std::string first(16, 'f'), second(16, 's');
    bytes.replace(0x80, 16, first);
    bytes.replace(0x1000, 16, second);
    file("chip.bin", bytes);
    const std::string chip = "chip 25 EF4017 8M\nkeep chip.bin\n";
    const std::string sparse =
        file("sparse.hex", hexRecord(0x80, first) + hexRecord(0x1000, second) + ":00000001FF\n");
    const std::string verify = "verify " + sparse + " --chip W25Q64FV";

    EXPECT_EQ(onSimulator(chip, verify).code, 6); // the gaps count as 0xFF
    EXPECT_EQ(onSimulator(chip, verify + " --file-bytes").code, 0);
    const Result dry = onSimulator(chip, verify + " --file-bytes --dry-run");
    EXPECT_NE(dry.out.find("addresses: 0x000080 to 0x00100F (3984 bytes)\n"), std::string::npos)
        << dry.out;
    EXPECT_NE(dry.out.find("compared: only the 32 bytes the file holds\n"), std::string::npos);
    EXPECT_EQ(onSimulator(chip, verify + " --file-bytes --range 100:FFF").code, 1);

    bytes[0x1005] = 'x';
    file("chip.bin", bytes);
    const Result differs = onSimulator(chip, verify + " --file-bytes --json");
    EXPECT_EQ(differs.code, 6);
    EXPECT_NE(differs.out.find("\"failedAddress\":4101"), std::string::npos) << differs.out;
    const Result line = onSimulator(chip, verify + " --file-bytes");
    EXPECT_NE(line.out.find("1 of the 16 bytes compared in this transfer differ"),
              std::string::npos)
        << line.out;

    // A raw file holds every byte it covers: the flag changes nothing.
    const std::string raw = file("raw.bin", bytes.substr(0, 0x1010));
    EXPECT_EQ(onSimulator(chip, "verify " + raw + " --chip W25Q64FV --file-bytes").code, 0);
    bytes[0x900] = 'x';
    file("chip.bin", bytes);
    EXPECT_EQ(onSimulator(chip, "verify " + raw + " --chip W25Q64FV --file-bytes").code, 6);
}

// On an EEPROM, whose writes replace bytes, a range that does not start or end on a page
// and the gaps of a file that holds only some addresses keep the chip's own bytes: the
// pages are written whole with those bytes read back first.
TEST_F(Cli, WritesOnAnEepromChangeOnlyWhatWasAsked) {
    // The type a 24-series chip answers is its place in the catalogue's list of types.
    ASSERT_EQ(Catalogue()
                  .save({{"25_SPI_FLASH", "Winbond", "W25Q64FV", "0xEF4017", "8388608", "256", "0",
                          "0", "2", "0", "0", "0", "0"},
                         {"24_EEPROM", "Microchip", "24LC256", "0x0", "32768", "64", "1", "1",
                          "100", "0", "0", "0", "0"}},
                        catalogue)
                  .outcome,
              CatalogueOutcome::Written);
    const std::string before(0x8000, '\0');
    file("chip.bin", before);
    const std::string chip = "chip 24 0 32K\nkeep chip.bin\n";
    const std::string image = file("image.bin", std::string(0x100, 'w'));

    EXPECT_EQ(onSimulator(chip, "write " + image + " --chip 24LC256 --range 42:45").code, 0);
    std::string expected = before;
    expected.replace(0x42, 4, 4, 'w');
    EXPECT_TRUE(slurp(path("chip.bin")) == expected);
    EXPECT_EQ(onSimulator(chip, "verify " + image + " --chip 24LC256 --range 42:45").code, 0);

    const std::string sparse =
        file("sparse.hex", hexRecord(0x80, "held") + hexRecord(0x4000, "more") + ":00000001FF\n");
    EXPECT_EQ(onSimulator(chip, "auto " + sparse + " --chip 24LC256 --no-erase --file-bytes").code,
              0);
    expected.replace(0x80, 4, "held");
    expected.replace(0x4000, 4, "more");
    EXPECT_TRUE(slurp(path("chip.bin")) == expected);

    // A file that holds nothing inside the range is refused, the chip untouched.
    EXPECT_EQ(onSimulator(chip, "write " + sparse + " --chip 24LC256 --range 100:1FF").code, 1);
    EXPECT_TRUE(slurp(path("chip.bin")) == expected);
}
