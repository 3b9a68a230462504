// The build step that turns the catalogue source into korvat.Dat, run as the build runs
// it: what it refuses, that it names every refused chip, and that it then writes nothing.
#include "buffers/CodecFixture.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueCsv.h"

#include <array>
#include <cstdio>
#include <sys/wait.h>

using namespace korvat;

namespace {

class CatalogueBuild : public test::FileTest {
protected:
    struct Run {
        int code;
        std::string said; // standard error
    };
    // Builds the catalogue from the rows; the target is chips.Dat in the scratch folder.
    Run build(const std::vector<GridRow> &rows) {
        const std::string source = file("chips.csv", writeCatalogueCsv(rows));
        const std::string command =
            std::string(KORVAT_CATALOGUE_BUILD) + " " + source + " " + path("chips.Dat") + " 2>&1";
        FILE *pipe = popen(command.c_str(), "r");
        Run run{-1, {}};
        if (!pipe)
            return run;
        std::array<char, 4096> chunk{};
        while (const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
            run.said.append(chunk.data(), n);
        const int status = pclose(pipe);
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    static GridRow eeprom(std::string maker, std::string model, std::string capacity,
                          std::string page) {
        // Two address bytes from 4 KB.
        const std::string subType = std::stoul(capacity, nullptr, 0) >= 4096 ? "1" : "0";
        return {"24_EEPROM", maker, model, "0x0", capacity, page, "1",
                subType,     "100", "0",   "0",   "0",      "0"};
    }
    static GridRow avr(std::string model, std::string eeprom, std::string eepromPage) {
        return {"AVR", "Atmel", model, "0x1E9205", "4096",     "64", "4",
                "0",   "100",   "0",   eeprom,     eepromPage, "0"};
    }
};

} // namespace

TEST_F(CatalogueBuild, WritesTheRowsThatPassItsCheck) {
    const std::vector<GridRow> rows = {eeprom("ST", "M24C64", "8192", "32"),
                                       eeprom("ST", "M24C32", "0x1000", "32"),
                                       avr("ATmega48", "256", "4")};
    const Run run = build(rows);
    ASSERT_EQ(run.code, 0) << run.said;
    EXPECT_EQ(run.said, "");
    Catalogue cat;
    ASSERT_EQ(cat.load(path("chips.Dat"), 2).outcome, CatalogueOutcome::Read);
    ASSERT_EQ(cat.chipCount(), 3);
    EXPECT_EQ(cat.slot(1).capacity, 4096u);
    EXPECT_EQ(cat.slot(2).eepromSize, 256);
}

TEST_F(CatalogueBuild, RefusesChipsTheListsOrTheBuffersCannotTakeAndNamesEachOne) {
    std::vector<GridRow> rows = {
        eeprom("ST", "M24C64", "8192", "32"),
        eeprom("st", "m24c64", "8192", "32"), // the same chip, letter case aside
        eeprom("ST", "M24C65", "8000", "32"), // not a power of two
        eeprom("ST", "M24C00", "16", "1"),    // below the smallest transfer
        eeprom("ST", "M24C01", "128", "256"), // a page larger than the chip
        avr("ATmega1", "16384", "4"),         // larger than the EEPROM buffer
        avr("ATmega2", "0", "4"),             // a page of an EEPROM that is not there
        eeprom("ST", "M24C16", "2048", "16"), // a good chip among them
    };
    rows.push_back(eeprom("ST", "M24C08", "1024", "16"));
    rows.back()[7] = "1"; // two address bytes below 4 KB
    rows.push_back({"25_SPI_FLASH", "Winbond", "W25Q256JV", "0xEF4019", "33554432", "256", "0", "0",
                    "100", "0", "0", "0", "0"}); // 32 MiB without 4-byte addresses
    rows.push_back(eeprom("ST", "M24C02", "256", "16"));
    rows.back()[9] = "3"; // neither 3.3 V nor 1.8 V
    const Run run = build(rows);
    EXPECT_EQ(run.code, 1);
    for (const char *said : {
             "chip 2 (24_EEPROM,st,m24c64): the type, maker and model of chip 1 "
             "(24_EEPROM,ST,M24C64)",
             "chip 3 (24_EEPROM,ST,M24C65): capacity 8000 is not a power of two",
             "chip 4 (24_EEPROM,ST,M24C00): capacity 16 is not a power of two from 64 bytes",
             "chip 5 (24_EEPROM,ST,M24C01): FLASH page 256 is larger than the capacity 128",
             "chip 6 (AVR,Atmel,ATmega1): EEPROM size 16384 is not 0 or a power of two up to 8192",
             "chip 7 (AVR,Atmel,ATmega2): EEPROM page 4 is larger than the EEPROM size 0",
             "chip 2 (24_EEPROM,st,m24c64): the maker is spelt 24_EEPROM,ST by an earlier chip",
             "chip 9 (24_EEPROM,ST,M24C08): a 24-series chip of 1024 bytes has sub-type 0",
             "chip 10 (25_SPI_FLASH,Winbond,W25Q256JV): sub-type 128 is for 25-series chips",
             "chip 11 (24_EEPROM,ST,M24C02): voltage 3 is neither 0 (3.3 V) nor 1 (1.8 V)",
             "10 problem(s)",
         })
        EXPECT_NE(run.said.find(said), std::string::npos) << said << " in:\n" << run.said;
    EXPECT_EQ(run.said.find("chip 8"), std::string::npos) << run.said;
    EXPECT_FALSE(std::filesystem::exists(path("chips.Dat")));
}

TEST_F(CatalogueBuild, TheWritersOwnRefusalsStillStopIt) {
    // A sub-type the 24 series does not list, and a page the record cannot hold.
    GridRow subtype = eeprom("ST", "M24C64", "8192", "32");
    subtype[7] = "2";
    Run run = build({subtype});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.said.find("sub_type"), std::string::npos) << run.said;
    run = build({eeprom("ST", "M95M04", "524288", "512")});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.said.find("flash_page"), std::string::npos) << run.said;
    EXPECT_FALSE(std::filesystem::exists(path("chips.Dat")));
}
