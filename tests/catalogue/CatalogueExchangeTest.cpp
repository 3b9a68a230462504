#include "catalogue/CatalogueExchange.h"

#include "base/RegularFile.h"
#include "buffers/ChoiceScript.h"
#include "buffers/CodecFixture.h"
#include "catalogue/CatalogueCsv.h"

#include <sys/stat.h>

using namespace korvat;
using namespace korvat::test;

namespace {

const GridRow kChip = {"SPI", "Winbond", "W25Q64", "0xEF4017", "8388608", "256", "0",
                       "0",   "100",     "0",      "0",        "4",       "0"};

class Exchange : public FileTest {
protected:
    ScriptedChooser chooser;
    ScriptedPrompter prompter;
    int language = 2;
    CatalogueExchange exchange{chooser, prompter, sink, language};

    std::string contents(const std::string &p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

} // namespace

// Export asks before it replaces a file; No leaves it. The dialogs offer CSV first and
// start where the last file was chosen.
TEST_F(Exchange, ExportAsksBeforeReplacingAFile) {
    const std::string target = file("chips.csv", "old");
    chooser.files = {target, target};
    prompter.answer = false;
    EXPECT_FALSE(exchange.exportRows({kChip}));
    EXPECT_EQ(contents(target), "old");
    EXPECT_EQ(prompter.asked, Messages{"File already exists. Is it covered? "});
    prompter.answer = true;
    EXPECT_TRUE(exchange.exportRows({kChip}));
    EXPECT_EQ(contents(target), writeCatalogueCsv({kChip}));
    ASSERT_EQ(chooser.choices.size(), 2u);
    EXPECT_EQ(chooser.choices[0].filters.front(), "CSV (*.csv)");
    EXPECT_EQ(chooser.choices[0].defaultSuffix, "csv");
    EXPECT_EQ(chooser.choices[1].folder, dir.string());
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(Exchange, CancelledDialogsDoNothing) {
    EXPECT_FALSE(exchange.exportRows({kChip}));
    EXPECT_FALSE(exchange.importRows(0));
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(Exchange, ExportThatCannotBeWrittenSaysSo) {
    const std::string target = path("missing/chips.csv");
    chooser.files = {target};
    EXPECT_FALSE(exchange.exportRows({kChip}));
    EXPECT_EQ(sink.messages, Messages{"Cannot create file " + target});
}

TEST_F(Exchange, ImportReadsTheRowsOrSaysWhyNot) {
    const std::string good = file("good.csv", writeCatalogueCsv({kChip, kChip}));
    chooser.files = {good, path("absent.csv"), good};
    const auto rows = exchange.importRows(997);
    ASSERT_TRUE(rows);
    EXPECT_EQ(*rows, (std::vector<GridRow>{kChip, kChip}));

    EXPECT_FALSE(exchange.importRows(0));
    EXPECT_EQ(sink.messages.back(), "Cannot open file " + path("absent.csv"));

    EXPECT_FALSE(exchange.importRows(998)); // 998 + 2 passes 999
    EXPECT_EQ(sink.messages.back(),
              good + ": its 2 chips and the grid's 998 are more than the catalogue holds (999)");

    // A file of more than a catalogue's worth of text is refused unread.
    const std::string huge = path("huge.csv");
    std::filesystem::resize_file(file("huge.csv", ""), 5u << 20);
    chooser.files = {huge};
    EXPECT_FALSE(exchange.importRows(0));
    EXPECT_NE(sink.messages.back().find("larger than a catalogue"), std::string::npos);

    // A named pipe is refused without waiting for something to write into it.
    const std::string pipe = path("pipe.csv");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const PipeUnblocker unblocker({pipe});
    chooser.files = {pipe};
    language = 1;
    EXPECT_FALSE(exchange.importRows(0));
    EXPECT_EQ(sink.messages.back(), notRegularFileText(pipe, 1));
    EXPECT_EQ(readCatalogueCsvFile(pipe).error, "Cannot open file " + pipe);
}
