#include "../ops/EngineFixture.h"

using namespace korvat;
using namespace korvat::test;

using Lines = std::vector<std::string>;

TEST_F(EngineTest, ProbeLogsTheProgrammerOnceASecond) {
    EXPECT_EQ(connection.panelText(), "Not connected"); // before the first probe
    connection.detectProgrammer();
    connection.detectProgrammer(); // same second: the line at the top is the same
    const std::string line =
        "14:03:27 The programmer Korvat 2 is detected, and the working state is normal.";
    EXPECT_EQ(host.log, Lines{line});
    EXPECT_EQ(connection.panelText(), "Connected");
    EXPECT_FALSE(connection.panelRed());
    EXPECT_TRUE(commands().empty()); // a probe sends no block
    EXPECT_FALSE(usb.isOpen());

    host.time = "14:03:28";
    connection.detectProgrammer();
    EXPECT_EQ(host.log.size(), 2u);
    host.insertLogLine("something else");
    host.time = "14:03:27";
    connection.detectProgrammer(); // an equal line further down does not stop it
    EXPECT_EQ(host.log.size(), 4u);
    EXPECT_EQ(host.log.front(), line);
}

TEST_F(EngineTest, ProbeWithoutProgrammerTurnsThePanelRed) {
    sim.unplug();
    connection.detectProgrammer();
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(connection.panelText(), "Not connected");
    EXPECT_TRUE(connection.panelRed());
    // The panel keeps its state across a language switch, shown in the new language.
    language = 0;
    EXPECT_EQ(connection.panelText(), "编程器未接入");
    EXPECT_TRUE(connection.panelRed());
}

TEST_F(EngineTest, BracketAroundAnOperation) {
    chip.capacity = 0x80000;
    chip.voltage = 1;
    ASSERT_EQ(connection.beginOperation(chip, 5), 1);
    EXPECT_TRUE(connection.busy());
    EXPECT_TRUE(usb.isOpen());
    connection.endOperation();
    EXPECT_FALSE(connection.busy());
    EXPECT_FALSE(usb.isOpen());
    EXPECT_EQ(commands(), (std::vector<int>{7, 8}));
    const auto setup = blocks(7).at(0);
    EXPECT_EQ(setup[10], 0x08);
    EXPECT_EQ(setup[16], 5);
    EXPECT_EQ(setup[28], 1);
    EXPECT_EQ(blocks(8).at(0)[0], 1);
    EXPECT_EQ(connection.panelText(), "Connected");

    sim.unplug();
    host.status.clear();
    EXPECT_EQ(connection.beginOperation(chip, 5), 0);
    EXPECT_EQ(host.errors, Lines{"Not connected"});
    EXPECT_TRUE(host.status.empty());
    EXPECT_FALSE(connection.busy());
}

TEST_F(EngineTest, ChipIdentityExchange) {
    useChip(ksim::Family::Spi25, 0, 4096, 256, 0xC84017);
    ChipIdentity id = connection.readChipIdentity(chip, 0);
    EXPECT_TRUE(id.answered());
    EXPECT_EQ(id.reply, (std::array<std::uint8_t, 4>{1, 0xC8, 0x40, 0x17}));
    EXPECT_EQ(id.typeCode(), 1);
    EXPECT_EQ(id.chipId(), 0xC84017u);
    EXPECT_EQ(allCommands(), (std::vector<int>{9, 8}));
    EXPECT_EQ(connection.panelText(), "Connected");

    sim.unplug();
    host.status.clear();
    id = connection.readChipIdentity(chip, 0);
    EXPECT_EQ(id.reach, ChipIdentity::Reach::NotReachable);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_TRUE(host.status.empty());
}

// A reply that never comes is a failed link, not an empty socket.
TEST_F(EngineTest, ChipIdentityWithoutAReplyIsALinkFailure) {
    useChip(ksim::Family::Spi25, 0, 4096, 256, 0xC84017);
    sim.faults.timeoutAtTransfer = sim.transferCount() + 2; // the reply to CMD_READ_ID
    const ChipIdentity id = connection.readChipIdentity(chip, 0);
    EXPECT_EQ(id.reach, ChipIdentity::Reach::LinkFailed);
    EXPECT_FALSE(connection.busy());
    EXPECT_FALSE(usb.isOpen());
    EXPECT_TRUE(host.errors.empty());
}

// A reply whose CMD_END was lost is not trusted: the link failed.
TEST_F(EngineTest, ChipIdentityWhoseEndIsLostIsALinkFailure) {
    useChip(ksim::Family::Spi25, 0, 4096, 256, 0xC84017);
    sim.faults.unplugAtTransfer = sim.transferCount() + 3; // CMD_END after the reply
    const ChipIdentity id = connection.readChipIdentity(chip, 0);
    EXPECT_EQ(id.reach, ChipIdentity::Reach::LinkFailed);
    EXPECT_FALSE(connection.busy());
    EXPECT_FALSE(usb.isOpen());
    EXPECT_TRUE(host.status.empty() || host.status.back() != "Connected");
}

TEST_F(EngineTest, ChipIdentityWhileAnOperationRunsIsNotAsked) {
    ASSERT_EQ(connection.beginOperation(chip, 0), 1);
    const auto sent = commands().size();
    EXPECT_EQ(connection.readChipIdentity(chip, 0).reach, ChipIdentity::Reach::Busy);
    EXPECT_EQ(commands().size(), sent);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_TRUE(usb.isOpen()); // the operation still holds the programmer
    connection.endOperation();
}

// The information and restart commands go on their own: one opening, the block and its
// reply in place, closed again, nothing shown. A held programmer is asked too, since the
// firmware upgrade that holds it asks through here.
TEST_F(EngineTest, ASingleCommandGoesInOneOpeningAndShowsNothing) {
    EXPECT_TRUE(connection.reachable());
    EXPECT_TRUE(allCommands().empty()); // opening and closing sends nothing
    EXPECT_FALSE(usb.isOpen());

    connection.hold();
    CommandBlock block;
    block.fill(0x5A);
    makeGetInfo(block);
    const std::vector<std::uint8_t> sent(block.begin(), block.end());
    EXPECT_EQ(connection.sendAlone(block), SingleCommand::Answered);
    EXPECT_EQ(blocks(12), std::vector<std::vector<std::uint8_t>>{sent}); // bytes 2-63 kept
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&block[51])), "KV2000001");
    EXPECT_FALSE(usb.isOpen());
    EXPECT_TRUE(connection.busy()); // the hold is the holder's to end

    sim.faults.shortAtTransfer = sim.transferCount() + 2; // half a reply
    EXPECT_EQ(connection.sendAlone(block), SingleCommand::LinkFailed);
    EXPECT_FALSE(usb.isOpen());

    sim.unplug();
    const auto before = allCommands().size();
    EXPECT_FALSE(connection.reachable());
    EXPECT_EQ(connection.sendAlone(block), SingleCommand::NotReachable);
    EXPECT_EQ(allCommands().size(), before);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_TRUE(host.status.empty());
    EXPECT_TRUE(host.log.empty());
}
