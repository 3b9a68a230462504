// korvat-cli end to end: the built program, run as a script would run it.
#include "buffers/CodecFixture.h"
#include "catalogue/Catalogue.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sys/wait.h>

using namespace korvat;
using namespace korvat::test;

namespace {

struct Result {
    int code;
    std::string out;
};

// Runs korvat-cli with the arguments (shell words); standard error is dropped unless
// asked for with 2>&1.
Result cli(const std::string &arguments) {
    const std::string command = std::string(KORVAT_CLI) + " " + arguments;
    FILE *pipe = popen(command.c_str(), "r");
    Result run{-1, {}};
    if (!pipe)
        return run;
    std::array<char, 4096> chunk{};
    while (const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
        run.out.append(chunk.data(), n);
    const int status = pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class Cli : public FileTest {
protected:
    std::string catalogue;
    void SetUp() override {
        FileTest::SetUp();
        catalogue = path("chips.Dat");
        auto row = [](std::string maker, std::string model, std::string id, std::string voltage) {
            return GridRow{"25_SPI_FLASH", maker,   model, id,  "8388608", "256", "0", "0",
                           "100",          voltage, "0",   "0", "0"};
        };
        Catalogue cat;
        ASSERT_EQ(cat.save({row("Winbond", "W25Q64FV", "0xEF4017", "0"),
                            row("Winbond", "W25Q64JW", "0xEF6017", "1"),
                            row("GigaDevice", "GD25Q64", "0xC84017", "0")},
                           catalogue)
                      .outcome,
                  CatalogueOutcome::Written);
    }
};

Bytes toBytes(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

} // namespace

TEST_F(Cli, ListsTheChipsWhoseNameHoldsTheText) {
    const Result text = cli("list w25q64 --catalogue " + catalogue);
    EXPECT_EQ(text.code, 0);
    EXPECT_EQ(text.out, "25_SPI_FLASH\tWinbond\tW25Q64FV\t0xEF4017\t8388608\t256\t3.3V\n"
                        "25_SPI_FLASH\tWinbond\tW25Q64JW\t0xEF6017\t8388608\t256\t1.8V\n");
    const Result json = cli("--json --catalogue " + catalogue + " list GD25");
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(json.out, "[\n{\"type\":\"25_SPI_FLASH\",\"maker\":\"GigaDevice\",\"model\":"
                        "\"GD25Q64\",\"id\":\"0xC84017\",\"size\":8388608,\"page\":256,"
                        "\"voltage\":\"3.3V\"}\n]\n");
    const std::string all = cli("list --catalogue " + catalogue).out;
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 3); // every chip without a text
    EXPECT_EQ(cli("list nothing-like-it --json --catalogue " + catalogue).out, "[\n]\n");
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

// Raw to Intel HEX to S-record and back gives the same bytes; an existing file is kept
// unless --force says otherwise.
TEST_F(Cli, ConvertsBetweenFormatsAndKeepsExistingFiles) {
    const Bytes bytes = randomBytes(70000, 3);
    const std::string raw = file("image.bin", std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(cli("convert " + raw + " " + path("image.hex")).code, 0);
    EXPECT_EQ(cli("--quiet convert " + path("image.hex") + " " + path("image.s19")).code, 0);
    const Result back = cli("convert " + path("image.s19") + " " + path("back.bin") + " --json");
    EXPECT_EQ(back.code, 0);
    EXPECT_EQ(back.out, "{\"command\":\"convert\",\"result\":\"ok\",\"bytes\":70000}\n");
    EXPECT_EQ(toBytes(slurp(path("back.bin"))), bytes);

    const std::string kept = file("kept.bin", "old");
    EXPECT_EQ(cli("convert " + raw + " " + kept).code, 4);
    EXPECT_EQ(toBytes(slurp(kept)), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(cli("convert " + raw + " " + kept + " --force --size 16").code, 0);
    EXPECT_EQ(toBytes(slurp(kept)), Bytes(bytes.begin(), bytes.begin() + 16));
}
