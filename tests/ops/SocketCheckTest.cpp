// Every command first asks which chip is in the socket; nothing reaches a chip that is
// not the one selected.
#include "EngineFixture.h"

using namespace korvat;
using namespace korvat::test;
using ksim::Family;
using Codes = std::vector<int>;
using Lines = std::vector<std::string>;

namespace {

class SocketCheckTest : public EngineTest {
protected:
    void SetUp() override {
        useChip(Family::Spi25, 0, 4096, 256, 0xEF4012);
        buffers.loadedLength = 256;
        std::strcpy(catalogue.slot(5).nameText, "25_SPI_FLASH,Other,O1");
        catalogue.slot(5).chipId = 0xC84017;
        std::strcpy(catalogue.slot(6).nameText, "25_SPI_FLASH,Other,O2");
        catalogue.slot(6).chipId = 0xC84017;
    }
    // The chip in the socket; the selected record stays as it is.
    void socket(ksim::Chip chip) { sim.programmer().insert(std::move(chip)); }
    std::optional<PassOutcome> write(const GoOnWithOtherChip &goOn = {}) {
        sim.clearLog();
        host.errors.clear();
        host.log.clear();
        return engine.run(Operation::Write, place(chip), 0, view, goOn);
    }
    void expectRefused(const std::optional<PassOutcome> &outcome, PassStep step,
                       const Lines &errors) {
        ASSERT_TRUE(outcome);
        EXPECT_FALSE(outcome->passed);
        EXPECT_EQ(outcome->failedStep, step);
        EXPECT_EQ(host.errors, errors);
        EXPECT_EQ(allCommands(), (Codes{9, 8})); // the detection exchange, and nothing else
        EXPECT_TRUE(dataWrites().empty());
    }
};

} // namespace

TEST_F(SocketCheckTest, AnotherChipOrNoneIsRefusedBeforeTheBracket) {
    socket(ksim::Chip(Family::Spi25, 0xC84017, 4096));
    expectRefused(write(), PassStep::WrongChip,
                  {"The chip in the socket is not the chip selected: it answers ID C84017 (O1, "
                  "O2); the chip selected is F25, ID EF4012."});

    socket(ksim::Chip(Family::Spi25, 0x123456, 4096));
    expectRefused(write(), PassStep::WrongChip,
                  {"The chip in the socket is not the chip selected: it answers ID 123456 (no "
                  "catalogue chip has it); the chip selected is F25, ID EF4012."});

    socket(ksim::Chip(Family::I2c24, 0, 256));
    expectRefused(write(), PassStep::WrongChip,
                  {"The chip in the socket is not the chip selected: it answers a chip of type "
                  "24_EEPROM; the chip selected is F25, ID EF4012."});

    socket(ksim::Chip());
    expectRefused(write(), PassStep::NoChip,
                  {"No chips detected, please put the chip to try again!"});
    sim.clearLog();
    EXPECT_EQ(engine.runAuto(place(chip), 0, view, {})->failedStep, PassStep::NoChip);
    EXPECT_EQ(allCommands(), (Codes{9, 8}));

    // The person may go on with a compatible part; the log keeps that it was another chip.
    socket(ksim::Chip(Family::Spi25, 0xC84017, 4096));
    std::string asked;
    const auto goOn = [&](const std::string &refusal) {
        asked = refusal;
        return true;
    };
    EXPECT_TRUE(write(goOn)->passed);
    EXPECT_TRUE(asked.starts_with("The chip in the socket is not the chip selected"));
    EXPECT_EQ(host.log.back(), "14:03:27 " + asked);
    EXPECT_EQ(dataWrites().size(), 1u);
    // No from the person: refused, and nothing more to say.
    expectRefused(write([](const std::string &) { return false; }), PassStep::WrongChip, {});
}

// Chips without an ID are told by the type code Detect maps to their type; for the 95
// series the programmer's answer is not known, so only one that names another chip counts.
TEST_F(SocketCheckTest, ChipsWithoutAnIdAreToldByTheirTypeCode) {
    const struct {
        Family socketFamily;
        int record;  // family code of the selected record
        bool passes; // the write reaches the chip
    } cases[] = {
        {Family::I2c24, 1, true},   {Family::Microwire93, 2, true}, {Family::Microwire93, 1, false},
        {Family::I2c24, 2, false},  {Family::Spi95, 3, true},       {Family::I2c24, 3, false},
        {Family::Spi25, 3, false},  {Family::Avr, 4, true},         {Family::Spi95, 1, false},
    };
    for (const auto &c : cases) {
        // The chip in the socket, and the selected record of the other family.
        useChip(c.socketFamily, c.record, 4096, 16, c.socketFamily == Family::Avr ? 0x1E950F : 0);
        const auto outcome = write();
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->passed, c.passes) << int(c.socketFamily) << " as " << c.record;
        EXPECT_EQ(!dataWrites().empty(), c.passes);
    }
    // A flash record without an ID cannot be told in the socket: any chip there is another.
    useChip(Family::Spi25, 0, 4096, 256, 0x123456);
    chip.chipId = 0;
    expectRefused(write(), PassStep::WrongChip,
                  {"The chip in the socket is not the chip selected: it answers ID 123456 (no "
                   "catalogue chip has it); the chip selected is F25 (25_SPI_FLASH, without an ID)."});
}

TEST_F(SocketCheckTest, NoChipSelectedOrOneTooLargeIsRefusedOutright) {
    EXPECT_FALSE(engine.run(Operation::Erase, -1, 0, view));
    EXPECT_FALSE(engine.runAuto(-1, 0, view, {}));
    chip.capacity = 0x4000001; // a foreign catalogue's chip past the 64 MiB buffer
    EXPECT_FALSE(run(Operation::Read));
    EXPECT_EQ(host.errors,
              (Lines{"No chip is selected. Choose the chip in the lists first.",
                     "No chip is selected. Choose the chip in the lists first.",
                     "The chip's capacity of 67108865 bytes cannot be worked on: it must be 1 "
                     "byte to 64 MiB."}));
    EXPECT_TRUE(sim.log().empty());
}
