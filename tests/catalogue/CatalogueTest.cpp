#include "catalogue/Catalogue.h"
#include "OrdinaryUser.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

using namespace korvat;
namespace fs = std::filesystem;

namespace {

class CatalogueFile : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() /
                   ("korvat-cat-" + std::to_string(getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::string path = (dir / "korvat.Dat").string();
    Catalogue cat;

    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    void writeBytes(const std::string &bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::string readBytes() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::string record(const char *name) {
        std::string r(sizeof(ChipRecord), '\0');
        std::strcpy(r.data(), name);
        if (*name)
            r[offsetof(ChipRecord, flashPage)] = 1; // the smallest page the writer stores
        return r;
    }
};

GridRow row(std::string type, std::string maker, std::string model, std::string id = "0",
            std::string capacity = "4096") {
    return {type, maker, model, id, capacity, "256", "0", "0", "100", "0", "0", "4", "0"};
}

} // namespace

TEST_F(CatalogueFile, MissingFileIsNotAnError) {
    EXPECT_EQ(cat.load(path, 0).outcome, CatalogueOutcome::NoFile);
    EXPECT_EQ(cat.chipCount(), 0);
}

TEST_F(CatalogueFile, EmptyFileGivesEmptyCatalogue) {
    writeBytes("");
    EXPECT_EQ(cat.load(path, 0).outcome, CatalogueOutcome::Read);
    EXPECT_EQ(cat.chipCount(), 0);
}

TEST_F(CatalogueFile, SizesThatAreNotWholeRecordsAreDamagedAndChangeNothing) {
    writeBytes(record("a,b,c") + record(""));
    ASSERT_EQ(cat.load(path, 0).outcome, CatalogueOutcome::Read);
    ASSERT_EQ(cat.chipCount(), 1);

    writeBytes(record("x,y,z") + "!"); // 69 bytes
    for (int lang : {0, 1, 2, 7}) {
        const CatalogueResult r = cat.load(path, lang);
        EXPECT_EQ(r.outcome, CatalogueOutcome::Damaged);
        EXPECT_EQ(r.message, lang == 1   ? "配置文件被破壞！"
                             : lang == 2 ? "The configuration file was destroyed."
                                         : "配置文件被破坏！");
    }
    EXPECT_EQ(cat.name(0), "a,b,c");
}

TEST_F(CatalogueFile, FileLargerThanTheTableIsRefused) {
    std::string big;
    for (int i = 0; i < kCatalogueSlots + 1; ++i)
        big += record("a,b,c");
    writeBytes(big);
    EXPECT_EQ(cat.load(path, 2).outcome, CatalogueOutcome::Damaged);
    EXPECT_EQ(cat.chipCount(), 0);
}

TEST_F(CatalogueFile, SecondRecordStartingWithZeroEndsTheCatalogue) {
    std::string second = record("");
    second[5] = 'q'; // bytes after the first carry no meaning
    writeBytes(record("25,Winbond,W25Q64") + second);
    ASSERT_EQ(cat.load(path, 0).outcome, CatalogueOutcome::Read);
    EXPECT_EQ(cat.chipCount(), 1);
}

TEST_F(CatalogueFile, ShorterFileNeverShowsChipsFromAnEarlierRead) {
    writeBytes(record("a,b,1") + record("a,b,2") + record("a,b,3"));
    ASSERT_EQ(cat.load(path, 0).outcome, CatalogueOutcome::Read);
    EXPECT_EQ(cat.chipCount(), 3);
    writeBytes(record("a,b,9")); // no end record
    ASSERT_EQ(cat.load(path, 0).outcome, CatalogueOutcome::Read);
    EXPECT_EQ(cat.chipCount(), 1);
}

TEST_F(CatalogueFile, FileThatCannotBeOpened) {
    fs::create_directory(path); // a folder by the catalogue's name
    const CatalogueResult r = cat.load(path, 2);
    EXPECT_EQ(r.outcome, CatalogueOutcome::CannotOpen);
    EXPECT_EQ(r.message, path + " is not an ordinary file (it may be a pipe, a device or a "
                                "folder) and was not opened.");
}

TEST_F(CatalogueFile, OnlyAMissingFileIsSilent) {
    fs::create_symlink("korvat.Dat", path); // a link to itself: there, but unreadable
    const CatalogueResult loop = cat.load(path, 0);
    EXPECT_EQ(loop.outcome, CatalogueOutcome::CannotOpen);
    EXPECT_EQ(loop.message, "Cannot open file " + path);
    fs::remove(path);

    fs::create_symlink("elsewhere.Dat", path); // a link to nothing: no file
    EXPECT_EQ(cat.load(path, 0).outcome, CatalogueOutcome::NoFile);
    fs::remove(path);

    writeBytes(record("a,b,c"));
    fs::permissions(path, fs::perms::none);
    test::asOrdinaryUser([&] {
        const CatalogueResult locked = cat.load(path, 0);
        EXPECT_EQ(locked.outcome, CatalogueOutcome::CannotOpen);
        EXPECT_EQ(locked.message, "Cannot open file " + path);
    });
}

// A save of fewer chips than the table held clears every slot after its end record:
// nothing that searches all slots (identification) can find a chip that is not listed.
TEST_F(CatalogueFile, SaveLeavesNoOldRecordBehindItsEnd) {
    std::string three;
    for (const char *name : {"a,b,1", "a,b,2", "a,b,3"}) {
        std::string r = record(name);
        r[48] = 0x17; // chip ID
        three += r;
    }
    writeBytes(three + record(""));
    ASSERT_EQ(cat.load(path, 0).outcome, CatalogueOutcome::Read);
    ASSERT_EQ(cat.save({row("a", "b", "9", "0x42")}, path).outcome, CatalogueOutcome::Written);
    const ChipRecord zero{};
    for (int i = 1; i < kCatalogueSlots; ++i)
        ASSERT_EQ(std::memcmp(&cat.slot(i), &zero, sizeof zero), 0) << "slot " << i;
    const std::string bytes = readBytes();
    ASSERT_EQ(bytes.size(), 2 * sizeof(ChipRecord));
    EXPECT_EQ(bytes.substr(sizeof(ChipRecord)), std::string(sizeof(ChipRecord), '\0'));
}

TEST_F(CatalogueFile, SavingNoChipsWritesOneEndRecord) {
    const CatalogueResult r = cat.save({}, path);
    EXPECT_EQ(r.outcome, CatalogueOutcome::Written);
    const std::string bytes = readBytes();
    ASSERT_EQ(bytes.size(), 68u);
    EXPECT_EQ(bytes.substr(0, 20), std::string(20, '\0'));
}

TEST_F(CatalogueFile, FieldsAreStoredFromTheirCells) {
    GridRow r = {" 25 ", "Winbond ", " W25Q256", "0xEF4019", "33554432", "256", "0",
                 "129",  "65535",    "1",        "8192",     "128",      "3"};
    ASSERT_EQ(cat.save({r}, path).outcome, CatalogueOutcome::Written);
    const ChipRecord &c = cat.slot(0);
    EXPECT_STREQ(c.nameText, "25,Winbond,W25Q256");
    EXPECT_EQ(c.chipId, 0xEF4019u);
    EXPECT_EQ(c.capacity, 33554432u);
    EXPECT_EQ(c.flashPage, 256);
    EXPECT_EQ(c.family, 0);
    EXPECT_EQ(c.algorithm, 129);
    EXPECT_EQ(c.delay, 65535);
    EXPECT_EQ(c.voltage, 1);
    EXPECT_EQ(c.eepromSize, 8192);
    EXPECT_EQ(c.eepromPage, 128);
    EXPECT_EQ(c.association, 3);
    EXPECT_TRUE(cat.slot(1).isEnd());
    EXPECT_EQ(readBytes().size(), 136u);

    Catalogue again;
    ASSERT_EQ(again.load(path, 0).outcome, CatalogueOutcome::Read);
    EXPECT_EQ(std::memcmp(&again.slot(0), &c, sizeof c), 0);
    EXPECT_EQ(gridRowFor(again.slot(0))[3], "0xEF4019");
}

// The file keeps its widths: a value its field cannot hold is refused, naming the row
// and the column, and nothing is cut to its low bits. So is a chip larger than the FLASH
// buffer, and a name part that the main window's lists would split apart (they split at
// blanks and control characters too, and take quotes as quoting).
TEST_F(CatalogueFile, ValuesTheFileOrTheListsCannotHoldAreRefused) {
    const GridRow good = {"25", "W",     "X",   "0xFFFFFF", "67108864", "256",  "4",
                          "0",  "65535", "255", "65535",    "128",      "65535"};
    ASSERT_EQ(cat.save({good}, path).outcome, CatalogueOutcome::Written);
    const auto before = readBytes();
    const struct {
        int column;
        const char *cell, *message;
    } cases[] = {
        {3, "0x1000000",
         "Row 2, column chip ID: 0x1000000 does not fit the field (0 to 16777215)."},
        {8, "65536", "Row 2, column delay: 65536 does not fit the field (0 to 65535)."},
        {10, "70000", "Row 2, column EEPROM: 70000 does not fit the field (0 to 65535)."},
        {11, "256", "Row 2, column EEPROM page: 256 does not fit the field (0 to 255)."},
        {12, "$10000", "Row 2, column association: $10000 does not fit the field (0 to 65535)."},
        {4, "-1", "Row 2, column FLASH: -1 does not fit the 64 MiB FLASH buffer (0 to 67108864)."},
        {4, "0x4000001",
         "Row 2, column FLASH: 0x4000001 does not fit the 64 MiB FLASH buffer (0 to 67108864)."},
        {6, "256", "Row 2, column family: 256 does not fit the field (0 to 255)."},
        // What the editor's lists do not offer: the reader refuses the same (isStorableRecord).
        {6, "5", "Row 2, column family: 5 is not a family code (0 to 4)."},
        {7, "1", "Row 2, column sub-type: 1 is not a sub-type code of family 4."},
        {5, "512", "Row 2, column FLASH page: 512 is not a page size (a power of two up to 256)."},
        {5, "0", "Row 2, column FLASH page: 0 is not a page size (a power of two up to 256)."},
        {11, "3", "Row 2, column EEPROM page: 3 is not a page size (a power of two up to 128)."},
        {1, " Acme Corp ", "Row 2, column maker: the name \"25,Acme Corp,X\" cannot hold a blank."},
        {0, "25\tSPI",
         "Row 2, column type: the name \"25\tSPI,W,X\" cannot hold a control character."},
        {2, "X\x7F",
         "Row 2, column model: the name \"25,W,X\x7F\" cannot hold a control character."},
        {2, "X,Y", "Row 2, column model: the name \"25,W,X,Y\" cannot hold a comma here."},
        {2, "\"X\"", "Row 2, column model: the name \"25,W,\"X\"\" cannot hold a double quote."},
    };
    for (const auto &c : cases) {
        GridRow bad = good;
        bad[static_cast<std::size_t>(c.column)] = c.cell;
        const CatalogueResult result = cat.save({good, bad}, path);
        EXPECT_EQ(result.outcome, CatalogueOutcome::BadCell) << c.cell;
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(readBytes(), before) << c.cell; // no file written
    }
}

TEST_F(CatalogueFile, ChipIdInDecimalOrHexSavesTheSameValue) {
    ASSERT_EQ(cat.save({row("a", "b", "c", "0xEF4017"), row("a", "b", "d", "15679511"),
                        row("a", "b", "e", "0x1F")},
                       path)
                  .outcome,
              CatalogueOutcome::Written);
    EXPECT_EQ(cat.slot(0).chipId, 15679511u);
    EXPECT_EQ(cat.slot(1).chipId, 15679511u);
    EXPECT_EQ(cat.slot(2).chipId, 31u);
    EXPECT_EQ(gridRowFor(cat.slot(1))[3], "0xEF4017");
}

TEST_F(CatalogueFile, BadCellStopsTheSaveAndChangesNothing) {
    ASSERT_EQ(cat.save({row("a", "b", "keep")}, path).outcome, CatalogueOutcome::Written);
    const std::string before = readBytes();
    const CatalogueResult r = cat.save({row("a", "b", "c"), row("a", "b", "d", "W25")}, path);
    EXPECT_EQ(r.outcome, CatalogueOutcome::BadCell);
    EXPECT_EQ(r.message, "'W25' is not a valid integer value");
    EXPECT_EQ(readBytes(), before);
    EXPECT_EQ(cat.name(0), "a,b,keep");
    EXPECT_EQ(cat.chipCount(), 1);
}

TEST_F(CatalogueFile, NameLongerThanTheFieldIsRefusedNamingTheRow) {
    const std::string model(41, 'M'); // "a,b," and 41 bytes: 45, fits in 47
    ASSERT_EQ(cat.save({row("a", "b", model)}, path).outcome, CatalogueOutcome::Written);
    const CatalogueResult r =
        cat.save({row("a", "b", "c"), row("aa", "bb", std::string(44, 'M'))}, path);
    EXPECT_EQ(r.outcome, CatalogueOutcome::BadCell);
    EXPECT_NE(r.message.find("Row 2"), std::string::npos) << r.message;
    EXPECT_EQ(cat.name(0), "a,b," + model);
    EXPECT_EQ(cat.slot(0).chipId, 0u); // the field after the name is untouched
}

TEST_F(CatalogueFile, ChineseNamesAreStoredAsGbk) {
    ASSERT_EQ(cat.save({row("24系列", "厂商", "型号")}, path).outcome, CatalogueOutcome::Written);
    EXPECT_STREQ(cat.slot(0).nameText, "24\xCF\xB5\xC1\xD0,\xB3\xA7\xC9\xCC,\xD0\xCD\xBA\xC5");
    EXPECT_EQ(cat.name(0), "24系列,厂商,型号");
    EXPECT_EQ(cat.save({row("a", "b", "\xF0\x9F\x98\x80")}, path).outcome,
              CatalogueOutcome::BadCell);
}

TEST_F(CatalogueFile, FullCatalogueOf999ChipsRoundTrips) {
    std::vector<GridRow> rows;
    for (int i = 0; i < kCatalogueSlots - 1; ++i)
        rows.push_back(row("25", "M", "C" + std::to_string(i), std::to_string(i)));
    ASSERT_EQ(cat.save(rows, path).outcome, CatalogueOutcome::Written);
    EXPECT_EQ(readBytes().size(), 68000u);
    Catalogue again;
    ASSERT_EQ(again.load(path, 0).outcome, CatalogueOutcome::Read);
    EXPECT_EQ(again.chipCount(), 999);
    EXPECT_EQ(again.slot(998).chipId, 998u);

    rows.push_back(row("25", "M", "one too many"));
    EXPECT_EQ(cat.save(rows, path).outcome, CatalogueOutcome::BadCell);
}

TEST_F(CatalogueFile, ThousandRecordsWithoutEndReadWhole) {
    std::string all;
    for (int i = 0; i < kCatalogueSlots; ++i)
        all += record("a,b,c");
    writeBytes(all);
    ASSERT_EQ(cat.load(path, 0).outcome, CatalogueOutcome::Read);
    EXPECT_EQ(cat.chipCount(), 1000);
}

TEST_F(CatalogueFile, UnwritableFolderKeepsTheNewTable) {
    const std::string bad = (dir / "missing" / "korvat.Dat").string();
    const CatalogueResult r = cat.save({row("a", "b", "c")}, bad);
    EXPECT_EQ(r.outcome, CatalogueOutcome::CannotCreate);
    EXPECT_EQ(r.message, "Cannot create file " + bad);
    EXPECT_EQ(cat.name(0), "a,b,c");
}

// The records a detected ID names: every one before the end record, none for the IDs that
// a chip without one (or no chip) puts on the bus.
TEST(Catalogue, SlotsWithChipId) {
    Catalogue cat;
    const std::uint32_t ids[] = {0xC84017, 0, 0xFFFFFF, 0xC84017, 0xEF4017};
    for (int i = 0; i < 5; ++i) {
        std::strcpy(cat.slot(i).nameText, "25_SPI_FLASH,Maker,Model");
        cat.slot(i).chipId = ids[i];
    }
    cat.slot(6).chipId = 0xC84017; // past the end record in slot 5
    std::strcpy(cat.slot(6).nameText, "25_SPI_FLASH,Maker,Hidden");
    EXPECT_EQ(cat.slotsWithChipId(0xC84017), (std::vector<int>{0, 3}));
    EXPECT_EQ(cat.slotsWithChipId(0xEF4017), std::vector<int>{4});
    EXPECT_TRUE(cat.slotsWithChipId(0).empty());
    EXPECT_TRUE(cat.slotsWithChipId(0xFFFFFF).empty());
    EXPECT_TRUE(cat.slotsWithChipId(0x123456).empty());
}

TEST(CataloguePath, ExtensionOfTheExecutableBecomesDat) {
    EXPECT_EQ(cataloguePathFor("/opt/korvat/bin/korvat"), "/opt/korvat/bin/korvat.Dat");
    EXPECT_EQ(cataloguePathFor("/opt/k.v2/korvat.exe"), "/opt/k.v2/korvat.Dat");
    EXPECT_EQ(cataloguePathFor("korvat"), "korvat.Dat");
}

TEST(GridRow, EditorRowShowsEveryField) {
    ChipRecord r;
    std::memset(&r, 0, sizeof r);
    std::strcpy(r.nameText, "25 flash,Winbond,W25Q64");
    r.chipId = 0xEF4017;
    r.capacity = 0x800000;
    r.flashPage = 256;
    r.delay = 65535;
    r.eepromSize = 0;
    const GridRow g = gridRowFor(r);
    EXPECT_EQ(g[0], "25 flash");
    EXPECT_EQ(g[1], "Winbond");
    EXPECT_EQ(g[2], "W25Q64");
    EXPECT_EQ(g[3], "0xEF4017");
    EXPECT_EQ(g[4], "8388608");
    EXPECT_EQ(g[8], "65535");
}
