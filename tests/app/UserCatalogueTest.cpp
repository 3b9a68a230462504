// An installed copy's user catalogue across upgrades of the installed default, a damaged
// copy, and the merge of a newer default into an edited copy.
#include "app/UserCatalogue.h"

#include "buffers/CodecFixture.h"
#include "catalogue/CatalogueMerge.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace korvat;
using namespace korvat::test;

namespace {

GridRow chip(const std::string &model, const std::string &id = "0xEF4017") {
    return {"25", "Winbond", model, id, "8388608", "256", "0", "0", "1000", "0", "0", "0", "0"};
}

class UserCatalogueTest : public FileTest {
protected:
    AppPaths paths;
    void SetUp() override {
        FileTest::SetUp();
        std::filesystem::create_directories(dir / "share");
        std::filesystem::create_directories(dir / "data");
        paths = {path("data/korvat.Dat"), path("data/korvat.ini"), path("share/korvat.Dat"), true};
    }
    void install(const std::vector<GridRow> &rows) {
        ASSERT_EQ(Catalogue().save(rows, paths.defaultCatalogue).outcome,
                  CatalogueOutcome::Written);
    }
    std::vector<std::string> models(const std::string &file) {
        Catalogue c;
        EXPECT_EQ(c.load(file, 2).outcome, CatalogueOutcome::Read);
        std::vector<std::string> m;
        for (int i = 0; i < c.chipCount(); ++i)
            m.push_back(gridRowFor(c.slot(i))[2]);
        return m;
    }
};

} // namespace

// The unedited seed follows the installed default; an edited copy is kept, the user is
// told once, and a read-only look never writes.
TEST_F(UserCatalogueTest, UpgradesReachAnUneditedCopyAndSpareAnEditedOne) {
    install({chip("W25Q64")});
    EXPECT_EQ(catalogueToRead(paths), paths.defaultCatalogue);
    EXPECT_EQ(entries(), 2u);                                     // nothing made by looking
    ASSERT_EQ(updateUserCatalogue(paths), CatalogueUpdate::None); // seeds it
    EXPECT_EQ(slurp(paths.catalogue), slurp(paths.defaultCatalogue));
    EXPECT_TRUE(std::filesystem::exists(seedPathFor(paths.catalogue)));

    install({chip("W25Q64"), chip("W25Q128", "0xEF4018")});
    EXPECT_EQ(catalogueToRead(paths), paths.defaultCatalogue); // what the window will read
    EXPECT_EQ(updateUserCatalogue(paths), CatalogueUpdate::Replaced);
    EXPECT_EQ(models(paths.catalogue), (std::vector<std::string>{"W25Q64", "W25Q128"}));
    EXPECT_EQ(catalogueToRead(paths), paths.catalogue);

    ASSERT_EQ(Catalogue().save({chip("MINE")}, paths.catalogue).outcome, CatalogueOutcome::Written);
    EXPECT_EQ(updateUserCatalogue(paths), CatalogueUpdate::None); // the same default
    install({chip("W25Q64"), chip("W25Q128", "0xEF4018"), chip("W25Q256", "0xEF4019")});
    EXPECT_EQ(catalogueToRead(paths), paths.catalogue);
    Catalogue table;
    const CatalogueStart first = startCatalogue(table, paths, 2, 0);
    EXPECT_EQ(first.logLine, "A newer default catalogue is installed (" + paths.defaultCatalogue +
                                 "); your edited " + paths.catalogue +
                                 " is kept. korvat-cli catalogue merge adds the chips it lacks.");
    EXPECT_EQ(first.error, "");
    EXPECT_EQ(startCatalogue(table, paths, 2, 0).logLine, ""); // told once
    EXPECT_EQ(models(paths.catalogue), std::vector<std::string>{"MINE"});

    // The merge appends what the copy lacks, the user's rows byte for byte first.
    const std::string mine = slurp(paths.catalogue).substr(0, sizeof(ChipRecord));
    const CatalogueMerge merge = mergeCatalogue(paths.catalogue, paths.defaultCatalogue, 2);
    ASSERT_EQ(merge.error, "");
    ASSERT_EQ(merge.added.size(), 3u);
    EXPECT_EQ(merge.added[2].model, "W25Q256");
    EXPECT_EQ(slurp(paths.catalogue).substr(0, sizeof(ChipRecord)), mine);
    EXPECT_EQ(models(paths.catalogue),
              (std::vector<std::string>{"MINE", "W25Q64", "W25Q128", "W25Q256"}));
    EXPECT_TRUE(mergeCatalogue(paths.catalogue, paths.defaultCatalogue, 2).added.empty());
}

// Random bytes of a fitting size are damaged; the user's copy is set aside under a
// stamped name, the default seeded, and the box names both files. A portable copy's is
// named and kept.
TEST_F(UserCatalogueTest, DamagedCopyIsSetAsideAndTheDefaultSeeded) {
    install({chip("W25Q64")});
    std::string noise(723 * sizeof(ChipRecord), '\0');
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    noise[0] = 'x'; // not an end record: 723 records of noise
    file("data/korvat.Dat", noise);
    Catalogue table;
    const std::time_t when = 1700000000;
    const CatalogueStart start = startCatalogue(table, paths, 2, when);
    char stamp[32];
    std::tm local{};
    localtime_r(&when, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string aside = paths.catalogue + ".damaged-" + stamp;
    EXPECT_EQ(start.loaded.outcome, CatalogueOutcome::Read);
    EXPECT_EQ(start.error, "The configuration file was destroyed.\nIt was renamed to " + aside +
                               ", and " + paths.catalogue +
                               " now holds the installed default catalogue.");
    EXPECT_EQ(slurp(aside), noise);
    EXPECT_EQ(slurp(paths.catalogue), slurp(paths.defaultCatalogue));
    EXPECT_EQ(table.chipCount(), 1);

    const AppPaths portable{paths.defaultCatalogue, path("share/korvat.ini"),
                            paths.defaultCatalogue, false};
    file("share/korvat.Dat", noise);
    const CatalogueStart kept = startCatalogue(table, portable, 0, when);
    EXPECT_EQ(kept.loaded.outcome, CatalogueOutcome::Damaged);
    EXPECT_EQ(kept.error, "配置文件被破坏！\n" + portable.catalogue);
    EXPECT_EQ(slurp(portable.catalogue), noise);
}
