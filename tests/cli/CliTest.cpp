// korvat-cli end to end: the built program, run as a script would run it.
#include "CliFixture.h"
#include "buffers/Checksum.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>

using namespace korvat;
using namespace korvat::test;

TEST_F(Cli, ListsTheChipsWhoseNameHoldsTheText) {
    const Result text = cli("list w25q64 --catalogue " + catalogue);
    EXPECT_EQ(text.code, 0);
    EXPECT_EQ(text.out, "25_SPI_FLASH\tWinbond\tW25Q64FV\t0xEF4017\t8388608\t256\t3.3V\n"
                        "25_SPI_FLASH\tWinbond\tW25Q64JW\t0xEF6017\t8388608\t256\t1.8V\n");
    const Result json = cli("--json --catalogue " + catalogue + " list GD25");
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(json.out, "[\n{\"type\":\"25_SPI_FLASH\",\"maker\":\"GigaDevice\",\"model\":"
                        "\"GD25Q64\",\"id\":\"0xC84017\",\"size\":8388608,\"page\":256,"
                        "\"voltage\":\"3.3V\",\"family\":0,\"subType\":0,\"delay\":2,"
                        "\"eepromSize\":0,\"eepromPage\":0,\"association\":0}\n]\n");
    const std::string all = cli("list --catalogue " + catalogue).out;
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 3); // every chip without a text
    EXPECT_EQ(cli("list nothing-like-it --json --catalogue " + catalogue).out, "[\n]\n");
}

// An installed copy (the program in bin/, its default catalogue in share/korvat/): looking
// at the catalogue or the programmers makes nothing in the user's home; the merge brings
// the default's chips into the user's edited copy and says which.
TEST_F(Cli, InstalledCopyReadsWithoutWritingAndMergesTheDefault) {
    namespace fs = std::filesystem;
    fs::create_directories(dir / "usr/bin");
    fs::create_directories(dir / "usr/share/korvat");
    fs::copy_file(KORVAT_CLI, dir / "usr/bin/korvat-cli");
    fs::copy_file(catalogue, dir / "usr/share/korvat/korvat.Dat");
    const std::string run =
        "env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_STATE_HOME HOME=" + path("home") + " " +
        path("usr/bin/korvat-cli") + " ";
    EXPECT_EQ(shell(run + "list GD25").out,
              "25_SPI_FLASH\tGigaDevice\tGD25Q64\t0xC84017\t8388608\t256\t3.3V\n");
    shell(run + "devices >/dev/null 2>&1");
    EXPECT_FALSE(fs::exists(path("home")));

    const std::string mine = path("home/.local/share/korvat/korvat.Dat");
    fs::create_directories(fs::path(mine).parent_path());
    ASSERT_EQ(Catalogue()
                  .save({{"25_SPI_FLASH", "Winbond", "w25q64fv", "0xEF4017", "8388608", "256", "0",
                          "0", "7", "0", "0", "0", "0"}},
                        mine)
                  .outcome,
              CatalogueOutcome::Written);
    const std::string before = slurp(mine);
    const Result merged = shell(run + "catalogue merge");
    EXPECT_EQ(merged.code, 0);
    EXPECT_EQ(merged.out,
              "added: 25_SPI_FLASH/Winbond/W25Q64JW\nadded: 25_SPI_FLASH/GigaDevice/GD25Q64\n"
              "2 chips added to " +
                  mine + "\n");
    EXPECT_EQ(slurp(mine).substr(0, before.size() - sizeof(ChipRecord)),
              before.substr(0, before.size() - sizeof(ChipRecord))); // the user's row as it was
    EXPECT_EQ(shell(run + "list W25Q64").out,
              "25_SPI_FLASH\tWinbond\tw25q64fv\t0xEF4017\t8388608\t256\t3.3V\n"
              "25_SPI_FLASH\tWinbond\tW25Q64JW\t0xEF6017\t8388608\t256\t1.8V\n");
    EXPECT_EQ(shell(run + "--json catalogue merge").out,
              "{\"command\":\"catalogue merge\",\"result\":\"ok\",\"exitCode\":0,"
              "\"catalogue\":"
              "\"" +
                  mine + "\",\"added\":[]}\n");
}

TEST_F(Cli, ExitCodesForUsageAndFiles) {
    EXPECT_EQ(cli("").code, 1);
    EXPECT_EQ(cli("frobnicate").code, 1);
    EXPECT_EQ(cli("list --lang fr").code, 1);
    EXPECT_EQ(cli("--help").code, 0);
    EXPECT_NE(cli("--help").out.find("7 erase time-out"), std::string::npos);
    EXPECT_EQ(cli("list --catalogue " + path("absent.Dat")).code, 4);
    EXPECT_EQ(cli("list --catalogue " + file("odd.Dat", "x")).code, 4);
    EXPECT_EQ(cli("convert " + path("absent.bin") + " " + path("out.hex")).code, 4);
}

// With --json a command line that is refused before any command runs (no command, a
// missing argument, an unknown option, a bad value) is one object too, with exit code 1.
TEST_F(Cli, JsonObjectForUsageErrors) {
    struct Case {
        std::string arguments, command, named;
    };
    for (const Case &c :
         {Case{"--json", "null", "subcommand"}, Case{"write --json", "\"write\"", "FILE"},
          Case{"--json list --bogus", "\"list\"", "--bogus"},
          Case{"convert a b --size 12x --json", "\"convert\"", "--size"},
          Case{"--json --lang fr list", "\"list\"", "fr"},
          Case{"--json batch x --serial-at 0 --serial-step 0", "\"batch\"", "1 or more"}}) {
        const Result r = cli(c.arguments + " 2>/dev/null");
        EXPECT_EQ(r.code, 1) << c.arguments;
        const std::string head =
            "{\"command\":" + c.command + ",\"result\":\"refused\",\"exitCode\":1,\"errors\":[\"";
        EXPECT_EQ(r.out.substr(0, head.size()), head) << r.out;
        EXPECT_NE(r.out.find(c.named), std::string::npos) << r.out;
        EXPECT_TRUE(r.out.ends_with("]}\n")) << r.out;
        EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out; // one line
    }
    const Result help = cli("--json convert --help");
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(
        help.out.rfind("{\"command\":\"help\",\"result\":\"ok\",\"exitCode\":0,\"help\":\"", 0), 0u)
        << help.out;
    EXPECT_NE(help.out.find("Usage: korvat-cli convert"), std::string::npos) << help.out;
}

// A file name that is not UTF-8 is escaped with U+FFFD, its bytes given beside in
// hexadecimal, in the file field and in the messages alike; a UTF-8 name is kept as it
// is, without them.
TEST_F(Cli, JsonNamesStayValid) {
    const std::string odd = file("\xff\xfe\t\xe9.bin", "old");
    const std::string shown = (dir / "").string() + "\\uFFFD\\uFFFD\\t\\uFFFD.bin";
    std::string hex;
    for (const char c : odd) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
        hex += digits;
    }
    const Result r =
        cli("--catalogue " + catalogue + " --json read '" + odd + "' --chip W25Q64FV 2>/dev/null");
    EXPECT_EQ(r.code, 4);
    EXPECT_NE(r.out.find(",\"file\":\"" + shown + "\",\"fileHex\":\"" + hex + "\","),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"errors\":[\"" + shown + " exists; --force replaces it\"]"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find_first_of("\xff\xfe\xe9\t"), std::string::npos) << r.out;

    const std::string plain = file("\xc3\xa9t\xc3\xa9.bin", "old");
    const Result kept = cli("--catalogue " + catalogue + " --json read '" + plain +
                            "' --chip W25Q64FV 2>/dev/null");
    EXPECT_NE(kept.out.find(",\"file\":\"" + plain + "\",\"errors\":"), std::string::npos)
        << kept.out;
}

// Both programs name themselves and their build's version; the window's needs no display.
TEST_F(Cli, BothProgramsTellTheirVersion) {
    const Result cliVersion = cli("--version");
    EXPECT_EQ(cliVersion.code, 0);
    EXPECT_EQ(cliVersion.out, "korvat-cli " KORVAT_VERSION "\n");
    EXPECT_EQ(cli("--json --version").out,
              "{\"command\":\"version\",\"result\":\"ok\",\"exitCode\":0,\"program\":"
              "\"korvat-cli\",\"version\":\"" KORVAT_VERSION "\",\"errors\":[]}\n");
    const Result app =
        shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " KORVAT_APP " --version 2>&1");
    EXPECT_EQ(app.code, 0);
    EXPECT_EQ(app.out, "korvat " KORVAT_VERSION "\n");
}

// Raw to Intel HEX to S-record and back gives the same bytes; an existing file is kept
// unless --force says otherwise.
TEST_F(Cli, ConvertsBetweenFormatsAndKeepsExistingFiles) {
    const Bytes bytes = randomBytes(70000, 3);
    const std::string raw = file("image.bin", std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(cli("convert " + raw + " " + path("image.hex")).code, 0);
    EXPECT_EQ(cli("--quiet convert " + path("image.hex") + " " + path("image.s19")).code, 0);
    const Result back = cli("convert " + path("image.s19") + " " + path("back.bin") + " --json");
    EXPECT_EQ(back.code, 0);
    EXPECT_EQ(back.out,
              "{\"command\":\"convert\",\"result\":\"ok\",\"exitCode\":0,\"bytes\":70000}\n");
    EXPECT_EQ(toBytes(slurp(path("back.bin"))), bytes);

    const std::string kept = file("kept.bin", "old");
    const Result refused = cli("--json convert " + raw + " " + kept + " 2>/dev/null");
    EXPECT_EQ(refused.code, 4);
    EXPECT_EQ(refused.out, "{\"command\":\"convert\",\"result\":\"refused\",\"exitCode\":4,"
                           "\"errors\":[\"" +
                               kept + " exists; --force replaces it\"]}\n");
    EXPECT_EQ(toBytes(slurp(kept)), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(cli("convert " + raw + " " + kept + " --force --size 16").code, 0);
    EXPECT_EQ(toBytes(slurp(kept)), Bytes(bytes.begin(), bytes.begin() + 16));
}

// Write, verify and read back through three programs, the chip kept between them by the
// simulator; the read-back file holds what was written.
TEST_F(Cli, WriteVerifyReadBack) {
    const Bytes bytes = randomBytes(100000, 5);
    const std::string raw = file("image.bin", std::string(bytes.begin(), bytes.end()));
    ASSERT_EQ(cli("convert " + raw + " " + path("image.hex")).code, 0);
    const std::string scenario = "chip 25 EF4017 8M\nkeep chip.bin\n";
    const Result write = onSimulator(scenario, "write " + path("image.hex") + " --chip W25Q64FV");
    EXPECT_EQ(write.code, 0);
    EXPECT_NE(write.out.find("Write Complete!"), std::string::npos) << write.out;
    // The window's log lines, in the language asked for.
    const Result chinese =
        onSimulator(scenario, "--lang zh write " + path("image.hex") + " --chip W25Q64FV");
    EXPECT_NE(chinese.out.find("写入完成！"), std::string::npos) << chinese.out;
    EXPECT_NE(onSimulator(scenario, "--lang tw blank --chip W25Q64FV").out.find("芯片沒有擦空"),
              std::string::npos);
    const Result verify =
        onSimulator(scenario, "--json verify " + path("image.hex") + " --chip w25q64fv");
    EXPECT_EQ(verify.code, 0);
    EXPECT_NE(verify.out.find("\"result\":\"ok\""), std::string::npos) << verify.out;
    EXPECT_EQ(onSimulator(scenario, "read " + path("back.bin") + " --chip W25Q64FV").code, 0);
    const std::string back = slurp(path("back.bin"));
    ASSERT_EQ(back.size(), 8u << 20); // the whole chip
    EXPECT_EQ(toBytes(back.substr(0, bytes.size())), bytes);
    EXPECT_EQ(back.find_first_not_of('\xFF', bytes.size()), std::string::npos);
    // An existing file is replaced only with --force.
    EXPECT_EQ(onSimulator(scenario, "read " + path("back.bin") + " --chip W25Q64FV").code, 4);
    EXPECT_EQ(onSimulator(scenario, "read " + path("back.bin") + " --chip W25Q64FV --force").code,
              0);
}

// The CRC-32 a command reports is the one `crc32` prints for its file: the image written,
// compared or programmed (not the filler that rounds it to whole pages), and the whole
// chip read.
TEST_F(Cli, CrcFiguresMatchTheFiles) {
    const std::string scenario = "chip 25 EF4017 8M\nkeep chip.bin\n";
    const Bytes bytes = randomBytes(1000, 9); // not a whole number of 256-byte pages
    const std::string image = file("odd.bin", std::string(bytes.begin(), bytes.end()));
    auto crcIn = [](const Result &r) {
        const auto at = r.out.find("\"crc32\":\"");
        return at == std::string::npos ? r.out : r.out.substr(at + 9, 8);
    };
    auto hex8 = [](std::uint32_t crc) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(crc));
        return std::string(digits);
    };
    for (const char *command : {"write", "verify", "auto"}) {
        const Result r = onSimulator(scenario, std::string("--json ") + command + " " + image +
                                                   " --chip W25Q64FV");
        EXPECT_EQ(r.code, 0) << command << r.out;
        EXPECT_EQ(crcIn(r), hex8(crc32Of(bytes))) << command;
    }
    const Result read =
        onSimulator(scenario, "--json read " + path("back.bin") + " --chip W25Q64FV");
    EXPECT_EQ(read.code, 0) << read.out;
    EXPECT_EQ(crcIn(read), hex8(crc32Of(toBytes(slurp(path("back.bin"))))));
}

// Every exit code a chip command can give.
TEST_F(Cli, ChipCommandExitCodes) {
    const std::string image = file("small.bin", std::string(4096, '\x12'));
    const std::string chip = "chip 25 EF4017 8M\n";
    EXPECT_EQ(onSimulator(chip, "erase").code, 1); // no --chip
    EXPECT_EQ(onSimulator(chip, "erase --chip W25Q64FV --range 10").code, 1);
    EXPECT_EQ(onSimulator(chip, "erase --chip AT24C02").code, 3); // unknown
    EXPECT_EQ(onSimulator(chip, "erase --chip W25Q64").code, 3);  // not unique
    EXPECT_EQ(onSimulator(chip, "write " + path("none.bin") + " --chip W25Q64FV").code, 4);
    // The chip named alone is looked for first: an empty socket, or a programmer that
    // does not answer, is told apart from a failed operation.
    EXPECT_EQ(onSimulator("chip none\n", "erase --chip W25Q64FV").code, 3);
    EXPECT_EQ(onSimulator(chip + "fault unplug 1\n", "erase --chip W25Q64FV").code, 5);
    EXPECT_EQ(cli("--catalogue " + catalogue + " erase --chip W25Q64FV 2>/dev/null",
                  "env -u KORVAT_SIM LD_LIBRARY_PATH=/nonexistent ")
                  .code,
              2);
    EXPECT_EQ(
        onSimulator(chip + "fault timeout 6\n", "read " + path("r.bin") + " --chip W25Q64FV").code,
        5);
    EXPECT_EQ(
        onSimulator(chip + "fault flip 0x10 0x01\n", "auto " + image + " --chip W25Q64FV").code, 6);
    EXPECT_EQ(onSimulator(chip + "image " + image + "\n", "blank --chip W25Q64FV").code, 6);
    EXPECT_EQ(onSimulator(chip + "fault stuck-busy\n", "erase --chip W25Q64FV").code, 7);
    EXPECT_EQ(onSimulator(chip, "auto " + image + " --chip W25Q64FV").code, 0);
    EXPECT_EQ(onSimulator(chip, "blank --chip W25Q64FV").code, 0);
}

// A chip the programmer cannot erase is not reported erased; Auto writes it all the same.
TEST_F(Cli, AnEraseThatErasesNothingIsNotOk) {
    catalogue = path("eeproms.Dat");
    Catalogue cat;
    ASSERT_EQ(cat.save({GridRow{"95_EEPROM", "Generic", "95020", "0x0", "256", "16", "3", "0",
                                "100", "0", "0", "0", "0"}},
                       catalogue)
                  .outcome,
              CatalogueOutcome::Written);
    const std::string eeprom = "chip 95 0 256\n";
    const Result erase = onSimulator(eeprom, "--json erase --chip 95020");
    EXPECT_EQ(erase.code, 3);
    EXPECT_NE(erase.out.find("\"result\":\"refused\""), std::string::npos) << erase.out;
    EXPECT_NE(erase.out.find("nothing was erased"), std::string::npos) << erase.out;
    const std::string image = file("e.bin", std::string(256, 'e'));
    EXPECT_EQ(onSimulator(eeprom, "auto " + image + " --chip 95020").code, 0);
}

// With --json every command prints one object, a refusal before the programmer is
// asked included: the result, the exit code, the first failing address and the CRC-32
// of the bytes covered.
TEST_F(Cli, JsonObjectForEveryOutcome) {
    const std::string chip = "chip 25 EF4017 8M\n";
    EXPECT_EQ(onSimulator(chip, "--json erase --chip NOPE").out,
              "{\"command\":\"erase\",\"chip\":null,\"result\":\"refused\",\"exitCode\":3,"
              "\"failedAddress\":null,\"crc32\":null,\"seconds\":0.000,"
              "\"errors\":[\"unknown chip NOPE\"]}\n");
    const std::string image = file("image.bin", std::string(0x10, '\xFF') + std::string(0xF0, 'x'));
    const Result written = onSimulator(chip, "--json write " + image + " --chip W25Q64FV");
    EXPECT_EQ(written.code, 0);
    const std::vector<std::uint8_t> bytes = toBytes(slurp(image));
    char crc[32];
    std::snprintf(crc, sizeof crc, "\"crc32\":\"%08X\"", static_cast<unsigned>(crc32Of(bytes)));
    EXPECT_NE(written.out.find(crc), std::string::npos) << written.out;
    EXPECT_NE(written.out.find("\"chip\":\"25_SPI_FLASH/Winbond/W25Q64FV\",\"result\":\"ok\""),
              std::string::npos)
        << written.out;
    const Result blank =
        onSimulator(chip + "image " + image + "\n", "--json blank --chip W25Q64FV");
    EXPECT_EQ(blank.code, 6);
    EXPECT_NE(blank.out.find("\"result\":\"failed\",\"exitCode\":6,\"failedAddress\":16,"),
              std::string::npos)
        << blank.out;
}

// An Auto pass whose range the write would refuse does not erase the chip first; an
// empty file is a file error with or without a range.
TEST_F(Cli, RefusalsComeBeforeTheChipIsTouched) {
    const std::string log = path("requests.txt");
    const std::string image = file("image.bin", std::string(0x100, 'x'));
    const std::string chip = "chip 25 EF4017 8M\nlog-file " + log + "\n";
    EXPECT_EQ(onSimulator(chip, "auto " + image + " --chip W25Q64FV --range 0:4FFFFFF").code, 1);
    EXPECT_EQ(slurp(log).find("cmd 2\n"), std::string::npos) << slurp(log); // no erase
    EXPECT_EQ(
        onSimulator(chip, "write " + file("empty.bin", "") + " --chip W25Q64FV --range 0:FF").code,
        4);
}

// Nothing reaches a chip that is not the one named: another chip in the socket refuses
// the command (unless --ignore-id) and fails a batch pass, and a range past the chip is
// refused; the chip's contents are what the simulator keeps between the runs.
TEST_F(Cli, OnlyTheChipNamedIsProgrammed) {
    const std::string image = file("image.bin", std::string(0x100, '\x42'));
    const std::string other = "chip 25 C84017 8M\nkeep other.bin\n";
    const Result refused = onSimulator(other, "--json write " + image + " --chip W25Q64FV");
    EXPECT_EQ(refused.code, 3);
    EXPECT_NE(refused.out.find("\"result\":\"refused\",\"exitCode\":3,"), std::string::npos)
        << refused.out;
    EXPECT_NE(refused.out.find("it answers ID C84017 (GD25Q64); the chip selected is W25Q64FV, "
                               "ID EF4017."),
              std::string::npos)
        << refused.out;
    EXPECT_EQ(slurp(path("other.bin")), std::string(8u << 20, '\xFF'));
    const Result batch = onSimulator(other, "batch " + image + " --chip W25Q64FV --count 1 " +
                                                "--record " + path("record.csv"));
    EXPECT_EQ(batch.code, 3);
    EXPECT_NE(slurp(path("record.csv")).find(",1:C84017,FAIL,wrong-chip,"), std::string::npos)
        << slurp(path("record.csv"));
    EXPECT_EQ(slurp(path("other.bin")), std::string(8u << 20, '\xFF'));
    EXPECT_EQ(onSimulator(other, "write " + image + " --chip W25Q64FV --ignore-id").code, 0);
    EXPECT_EQ(slurp(path("other.bin")).substr(0, 0x101), std::string(0x100, '\x42') + '\xFF');
    EXPECT_EQ(onSimulator("chip none\n", "read " + path("r.bin") + " --chip W25Q64FV").code, 3);
    EXPECT_FALSE(std::filesystem::exists(path("r.bin")));

    // The range's end is its last address: up to 7FFFFF fits the 8 MiB chip, one more
    // would wrap round to 0.
    const std::string chip = "chip 25 EF4017 8M\nkeep chip.bin\n";
    EXPECT_EQ(onSimulator(chip, "write " + image + " --chip W25Q64FV --range 7F0000:810000").code,
              1);
    EXPECT_EQ(slurp(path("chip.bin")), std::string(8u << 20, '\xFF'));
    EXPECT_EQ(onSimulator(chip, "write " + image + " --chip W25Q64FV --range 7FFF00:7FFFFF").code,
              0);
    EXPECT_EQ(slurp(path("chip.bin")).substr(0x7FFF00), std::string(0x100, '\x42'));
    EXPECT_EQ(slurp(path("chip.bin")).substr(0, 0x100), std::string(0x100, '\xFF'));
}

// Detection names every record with the ID; --detect refuses a shared ID unless --chip
// picks one of its records.
TEST_F(Cli, DetectAndSharedIds) {
    const std::string shared = "chip 25 EF4017 8M\n";
    const std::string catalogueWithTwins = path("twins.Dat");
    Catalogue cat;
    auto row = [](std::string model, std::string id, std::string maker = "Winbond") {
        return GridRow{
            "25_SPI_FLASH", maker, model, id, "8388608", "256", "0", "0", "2", "0", "0", "0", "0"};
    };
    ASSERT_EQ(cat.save({row("W25Q64FV", "0xEF4017"), row("W25Q64JV", "0xEF4017"),
                        row("W25Q80", "0xEF4014"), row("W25Q80", "0xC84014", "Other")},
                       catalogueWithTwins)
                  .outcome,
              CatalogueOutcome::Written);
    catalogue = catalogueWithTwins;
    const Result found = onSimulator(shared, "detect");
    EXPECT_EQ(found.code, 0);
    EXPECT_EQ(found.out, "type 1 id EF4017\n25_SPI_FLASH/Winbond/W25Q64FV\n"
                         "25_SPI_FLASH/Winbond/W25Q64JV\n");
    EXPECT_EQ(onSimulator(shared, "--json detect").out,
              "{\"command\":\"detect\",\"result\":\"ok\",\"exitCode\":0,\"type\":1,"
              "\"id\":\"EF4017\",\"chips\":[\"25_SPI_FLASH/Winbond/W25Q64FV\","
              "\"25_SPI_FLASH/Winbond/W25Q64JV\"],\"errors\":[]}\n");
    // An ID no record has, and a type code that means no chip (4 and above).
    EXPECT_EQ(onSimulator("chip 25 123456 8M\n", "detect").code, 3);
    EXPECT_EQ(onSimulator("chip 24 0 256\nid-type 200\n", "detect").code, 3);
    EXPECT_EQ(onSimulator("chip 24 0 256\nid-type 200\n", "erase --chip W25Q64FV").code, 3);
    EXPECT_EQ(onSimulator("chip 24 0 256\nid-type 200\n", "erase --detect").code, 3);
    const Result refused = onSimulator(shared + "decoy second-programmer\n", "--json detect");
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.out.find("{\"command\":\"detect\",\"result\":\"refused\",\"exitCode\":2,"
                               "\"errors\":[\"several programmers are attached"),
              0u)
        << refused.out;
    EXPECT_EQ(onSimulator(shared, "erase --detect").code, 3);
    EXPECT_EQ(onSimulator(shared, "erase --detect --chip W25Q64JV").code, 0);
    EXPECT_EQ(onSimulator(shared, "erase --detect --chip W25Q80").code, 3); // not what is there
    EXPECT_EQ(onSimulator("chip 25 EF4014 1M\n", "erase --detect").code, 0);
    // A name that is unknown is an error with --detect too; one that is ambiguous is
    // settled by the ID found.
    EXPECT_EQ(onSimulator("chip 25 EF4014 1M\n", "erase --detect --chip NOPE").code, 3);
    EXPECT_EQ(onSimulator("chip 25 EF4014 1M\n", "erase --chip W25Q80").code, 3);
    EXPECT_EQ(onSimulator("chip 25 EF4014 1M\n", "erase --detect --chip W25Q80").code, 0);
    const Result other = onSimulator("chip 25 C84014 1M\n", "--json erase --detect --chip w25q80");
    EXPECT_EQ(other.code, 0);
    EXPECT_NE(other.out.find("\"chip\":\"25_SPI_FLASH/Other/W25Q80\""), std::string::npos)
        << other.out;
    EXPECT_EQ(onSimulator("chip none\n", "erase --detect").code, 3);
    EXPECT_EQ(onSimulator("chip none\n", "detect").code, 3);
    EXPECT_EQ(onSimulator("chip 24 0 256\n", "erase --detect").code, 3); // no ID to go by
}

// Two programmers: devices lists both; a command needs --device, which picks one by its
// serial number; an unknown serial number is refused.
TEST_F(Cli, SeveralProgrammersNeedDevice) {
    const std::string two = "chip 25 EF4014 1M\ninfo 1.0 1.02 KV2000001\n"
                            "decoy second-programmer\n"; // KV2000002, with an 8 MiB EF4017
    const Result devices = onSimulator(two, "devices");
    EXPECT_EQ(devices.code, 0);
    EXPECT_EQ(devices.out, "KV2000001\thardware 1.0\tfirmware 1.02\tat 001/001\n"
                           "KV2000002\thardware 1.0\tfirmware 1.02\tat 002/002\n");
    // One that does not answer is listed, and the walk goes on to the next.
    const Result silentFirst = onSimulator(two + "fault timeout 1\n", "devices");
    EXPECT_EQ(silentFirst.code, 5);
    EXPECT_EQ(silentFirst.out, "?\tno answer to GET_INFO\tat 001/001\n"
                               "KV2000002\thardware 1.0\tfirmware 1.02\tat 002/002\n");
    EXPECT_EQ(onSimulator(two, "detect").code, 2);
    EXPECT_EQ(onSimulator(two, "erase --chip W25Q64FV").code, 2);
    EXPECT_EQ(onSimulator(two, "detect --device KV2000003").code, 2);
    EXPECT_EQ(onSimulator(two, "detect --device KV2000002").out.substr(0, 17),
              "type 1 id EF4017\n");
    EXPECT_EQ(onSimulator(two, "--device KV2000001 detect").out, "type 1 id EF4014\n");
    EXPECT_EQ(onSimulator(two, "erase --detect --chip W25Q64FV --device KV2000002").code, 0);
    EXPECT_EQ(onSimulator("chip 25 EF4014 1M\nfault unplug 1\n", "devices").code, 5);
    EXPECT_EQ(cli("devices 2>/dev/null", "env -u KORVAT_SIM LD_LIBRARY_PATH=/nonexistent ").code,
              2);
    EXPECT_EQ(onSimulator("chip 25 EF4014 1M\n", "--json devices").out,
              "[\n{\"serial\":\"KV2000001\",\"hardware\":\"1.0\",\"firmware\":\"1.02\","
              "\"location\":\"001/001\"}\n]\n");
}

// Ctrl+C in the middle of a read ends the operation properly: CMD_END, then the close,
// before the program exits with 130.
TEST_F(Cli, InterruptedReadClosesTheBracket) {
    const std::string log = path("requests.txt");
    const std::string scenario =
        file("scenario.txt", "chip 25 EF4017 8M\ntiming realistic\nlog-file " + log + "\n");
    const std::string command = std::string("env LD_LIBRARY_PATH=") + KORVAT_SIM_DIR +
                                " KORVAT_SIM=" + scenario + " " + KORVAT_CLI + " --catalogue " +
                                catalogue + " read " + path("r.bin") +
                                " --chip W25Q64FV -q 2>/dev/null";
    const pid_t child = startShell(command);
    ASSERT_GE(child, 0);
    // Interrupt once the read is under way: its read command sent, data coming in.
    EXPECT_TRUE(waitForText(log, "out 1 cmd 5\n"));
    usleep(100000);
    kill(child, SIGINT);
    EXPECT_EQ(exitCodeOf(child), 130);
    const std::string requests = slurp(log);
    const auto end = requests.rfind("out 1 cmd 8\n");
    ASSERT_NE(end, std::string::npos) << requests.substr(requests.size() - 200);
    EXPECT_EQ(requests.substr(end), "out 1 cmd 8\nrelease 0\nclose 0\n");
    EXPECT_GT(end, requests.find("out 1 cmd 5\n"));       // the read's own bracket was closed
    EXPECT_FALSE(std::filesystem::exists(path("r.bin"))); // nothing saved
}

// Batch mode on a production line: three chips put in one after the other (the scenario
// changes while the program runs), each with its serial number in the chip and in the
// record.
TEST_F(Cli, BatchWritesSerialNumbersIntoEachChipAndTheRecord) {
    const std::string image = file("image.bin", std::string(256, '\x5A'));
    const std::string scenario = path("scenario.txt");
    const std::string record = path("record.csv");
    auto socket = [&](const std::string &lines) {
        std::ofstream(scenario + ".new") << lines;
        std::filesystem::rename(scenario + ".new", scenario);
    };
    socket("chip 25 EF4017 8M\nkeep chip1.bin\n");
    const std::string command = std::string("env LD_LIBRARY_PATH=") + KORVAT_SIM_DIR +
                                " KORVAT_SIM=" + scenario + " " + KORVAT_CLI + " -q --catalogue " +
                                catalogue + " batch " + image +
                                " --chip W25Q64FV --count 3 --record " + record +
                                " --serial-at 0x10 --serial-start 100 >/dev/null 2>&1";
    const pid_t child = startShell(command);
    ASSERT_GE(child, 0);
    auto lines = [&] {
        const std::string text = slurp(record);
        return std::count(text.begin(), text.end(), '\n');
    };
    for (int chip = 2; chip <= 3; ++chip) {
        for (int i = 0; i < 2000 && lines() < chip; ++i) // the header and the passes so far
            usleep(10000);
        if (lines() != chip)
            kill(child, SIGKILL); // and the wait below reports it
        ASSERT_EQ(lines(), chip) << slurp(record);
        socket("chip none\n"); // taken out
        usleep(500000);
        socket("chip 25 EF4017 8M\nkeep chip" + std::to_string(chip) + ".bin\n");
    }
    EXPECT_EQ(exitCodeOf(child), 0);

    const std::string text = slurp(record);
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "time,pass,type,maker,model,id,result,step,address,crc32,seconds,serial,run");
    std::istringstream rows(text.substr(text.find('\n') + 1));
    std::string row, run;
    for (int n = 0; n < 3; ++n) {
        ASSERT_TRUE(std::getline(rows, row));
        EXPECT_NE(row.find(",PASS,"), std::string::npos) << row;
        // The serial number, then the run's start, the same in every line of the run.
        const std::size_t last = row.rfind(',');
        const std::size_t serial = row.rfind(',', last - 1);
        EXPECT_EQ(row.substr(serial + 1, last - serial - 1), std::to_string(100 + n)) << row;
        EXPECT_EQ(row.size() - last - 1, 25u) << row; // "2026-12-08T14:03:27+01:00"
        EXPECT_TRUE(run.empty() || row.substr(last + 1) == run) << row;
        run = row.substr(last + 1);
        const std::string chip = slurp(path("chip" + std::to_string(n + 1) + ".bin"));
        ASSERT_GE(chip.size(), 0x14u);
        EXPECT_EQ(chip.substr(0x10, 4), std::string({char(100 + n), 0, 0, 0})) << n;
        EXPECT_EQ(chip.substr(0, 0x10), std::string(0x10, '\x5A'));
    }
    EXPECT_FALSE(std::getline(rows, row));
}

// A batch run ends with the exit code of its first failed pass; serial numbers that
// cannot be written to every chip are refused before the first one; a programmer that
// stops answering ends the run.
TEST_F(Cli, BatchRefusalsAndFailures) {
    const std::string image = file("image.bin", std::string(0x100, 'x'));
    const std::string batch =
        "batch " + image + " --chip W25Q64FV --count 2 --record " + path("record.csv") + " ";
    const std::string chip = "chip 25 EF4017 8M\n";
    EXPECT_EQ(onSimulator(chip, batch + "--serial-at 0x7FFFFE --serial-bytes 4").code, 1);
    EXPECT_EQ(onSimulator(chip, batch + "--serial-at 0 --serial-bytes 40").code, 1);
    EXPECT_EQ(onSimulator(chip, batch + "--serial-at 0 --serial-bytes 1 --serial-start 255").code,
              1);
    EXPECT_EQ(onSimulator(chip, batch + "--serial-at 0 --serial-format ascii --serial-bytes 2 "
                                        "--serial-start 98 --serial-step 2")
                  .code,
              1);
    EXPECT_FALSE(std::filesystem::exists(path("record.csv")));

    const Result flipped =
        onSimulator(chip + "fault flip 0x10 0x01\n", "--json batch " + image +
                                                         " --chip W25Q64FV --count 1 "
                                                         "--record " +
                                                         path("record.csv"));
    EXPECT_EQ(flipped.code, 6);
    EXPECT_NE(flipped.out.find("\"result\":\"failed\",\"exitCode\":6,\"passes\":1,"
                               "\"passed\":0,\"failed\":1,\"failedAddress\":16,"),
              std::string::npos)
        << flipped.out;

    EXPECT_EQ(onSimulator("chip none\nfault unplug 3\n", batch).code, 2);
}

// Serial numbers that run out after good passes end the run as its count would: exit 0,
// with a line saying why. A run that had failed passes ends with the first one's code.
TEST_F(Cli, BatchEndsWhenTheSerialNumbersRunOut) {
    const std::string image = file("image.bin", std::string(0x100, 'x'));
    const std::string record = path("record.csv");
    const std::string batch = "batch " + image + " --chip W25Q64FV --record " + record +
                              " --serial-at 0 --serial-bytes 1 --serial-start 255";
    const std::string chip = "chip 25 EF4017 8M\n";
    const Result ended = onSimulator(chip, batch);
    EXPECT_EQ(ended.code, 0) << ended.out;
    EXPECT_NE(ended.out.find("#1 PASS, 1 passed, 0 failed\n"), std::string::npos) << ended.out;
    EXPECT_NE(ended.out.find(" the serial numbers have run out after 1 chip: the next one does "
                             "not fit in 1 byte; the batch ends\n"),
              std::string::npos)
        << ended.out;
    const Result json = onSimulator(chip, "--json " + batch);
    EXPECT_EQ(json.code, 0);
    EXPECT_NE(json.out.find("\"result\":\"ok\",\"exitCode\":0,\"passes\":1,\"passed\":1,"),
              std::string::npos)
        << json.out;
    EXPECT_EQ(json.out.find("run out"), std::string::npos); // standard output is the object

    EXPECT_EQ(onSimulator(chip + "fault flip 0x10 0x01\n", batch).code, 6);

    // Three runs in one record, under one header, each with its own start.
    const std::string text = slurp(record);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_EQ(text.find("time,pass,"), 0u);
    EXPECT_EQ(text.find("time,pass,", 1), std::string::npos);
    std::istringstream rows(text.substr(text.find('\n') + 1));
    std::set<std::string> runs;
    for (std::string row; std::getline(rows, row);) {
        EXPECT_EQ(row.substr(row.find(',') + 1, 2), "1,") << row; // every run's pass 1
        runs.insert(row.substr(row.rfind(',') + 1));
    }
    EXPECT_EQ(runs.size(), 3u);
}

// On a terminal, standard error carries a progress bar; piped, it does not.
TEST_F(Cli, ProgressBarOnATerminalOnly) {
    const std::string scenarioFile = file("scenario.txt", "chip 25 EF4017 8M\n");
    const std::string command = std::string("LD_LIBRARY_PATH=") + KORVAT_SIM_DIR +
                                " KORVAT_SIM=" + scenarioFile + " " + KORVAT_CLI + " --catalogue " +
                                catalogue + " read " + path("r.bin") + " --chip W25Q64FV";
    // script(1) runs the command on a pseudo-terminal and passes on what it shows.
    const Result onTerminal = shell("script -qec '" + command + "' /dev/null");
    EXPECT_NE(onTerminal.out.find("% "), std::string::npos) << onTerminal.out;
    EXPECT_NE(onTerminal.out.find("/8388608 bytes"), std::string::npos);
    EXPECT_NE(onTerminal.out.find("Read Complete!"), std::string::npos);
    const Result piped = shell(command + " --force 2>&1");
    EXPECT_EQ(piped.out.find("bytes"), std::string::npos) << piped.out;
    EXPECT_NE(piped.out.find("Read Complete!"), std::string::npos);
}

// A file that loads only in part is never written, whatever the window would keep of it;
// batch mode without a programmer ends at once instead of waiting for chips.
TEST_F(Cli, PartlyLoadedFilesAndAMissingProgrammerAreRefused) {
    const std::string chip = "chip 25 EF4017 8M\n";
    const std::string broken = file("broken.hex", ":0400000001020304F1\n:04000400010203FF00\n");
    EXPECT_EQ(onSimulator(chip, "write " + broken + " --chip W25Q64FV").code, 4);
    EXPECT_EQ(onSimulator(chip, "write " + broken + " --chip W25Q64FV --range 1000:FFFF").code, 4);
    EXPECT_EQ(onSimulator(chip, "auto " + file("empty.bin", "") + " --chip W25Q64FV").code, 4);
    EXPECT_EQ(cli("--catalogue " + catalogue + " batch " + file("image.bin", "x") +
                      " --chip W25Q64FV --count 1 2>/dev/null",
                  "env -u KORVAT_SIM LD_LIBRARY_PATH=/nonexistent ")
                  .code,
              2);
}

// An input that cannot be opened or read, or that is no regular file, is a file error in
// every command, at once (a pipe is not waited on), and the output is left as it was.
TEST_F(Cli, InputsThatCannotBeReadAreFileErrorsAndTouchNothing) {
    const std::string keep = file("keep.bin", "old");
    const std::string pipe = path("pipe.hex");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::filesystem::create_directory(path("folder.hex"));
    std::vector<std::string> inputs = {path("missing.hex"), path("missing.s19"),
                                       path("missing.bin"), pipe, path("folder.hex")};
    // A kernel file that states a page as its size but fails to read.
    if (symlink("/sys/class/net/lo/speed", path("speed.hex").c_str()) == 0 &&
        std::ifstream(path("speed.hex")).good())
        inputs.push_back(path("speed.hex"));
    const PipeUnblocker unblocker({pipe}); // so the run fails rather than hangs
    for (const std::string &in : inputs) {
        const Result convert = cli("convert " + in + " " + keep + " --force 2>&1", "timeout 20 ");
        EXPECT_EQ(convert.code, 4) << in << ": " << convert.out;
        EXPECT_EQ(convert.out.find("bytes written"), std::string::npos) << convert.out;
        EXPECT_EQ(slurp(keep), "old") << in;
    }
    const Result named = cli("convert " + pipe + " " + path("out.bin") + " 2>&1", "timeout 20 ");
    EXPECT_NE(named.out.find(pipe + " is not an ordinary file"), std::string::npos) << named.out;
    EXPECT_FALSE(std::filesystem::exists(path("out.bin")));

    const std::string sim = "LD_LIBRARY_PATH=" KORVAT_SIM_DIR " KORVAT_SIM=" +
                            file("scenario.txt", "chip 25 EF4017 8M\n") + " timeout 20 ";
    for (const char *command : {"write", "verify", "auto"})
        for (const std::string &in : {path("missing.hex"), pipe}) {
            const Result run = cli("--catalogue " + catalogue + " " + command + " " + in +
                                       " --chip W25Q64FV 2>/dev/null",
                                   sim);
            EXPECT_EQ(run.code, 4) << command << " " << in;
        }
}
