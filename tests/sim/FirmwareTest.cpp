// The simulated programmer's behaviour that later tests rely on, driven through the
// real transport and command blocks.
#include "../link/SimBinding.h"
#include "link/Usbbulk.h"
#include "link/CommandBlock.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace korvat;
using namespace korvat::test;
using ksim::Family;

namespace {

class Programmer : public ::testing::Test {
protected:
    ActiveSimulator sim;
    TUsbBulk usb{simulatedUsb(), {}, [](int) {}};
    ChipRecord chip{};

    void SetUp() override { useChip(0, 0x800000, 256); }

    void useChip(int family, std::uint32_t capacity, std::uint16_t page) {
        std::memset(&chip, 0, sizeof chip);
        chip.family = static_cast<std::uint8_t>(family);
        chip.capacity = capacity;
        chip.flashPage = page;
        chip.delay = 100;
    }
    CommandBlock cmd(CommandBlock b, bool reply) {
        usb.USB_bulk_cmd(reinterpret_cast<char *>(b.data()), 64, reply ? 1 : 0);
        return b;
    }
    void begin() {
        ASSERT_EQ(usb.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                                kProgrammerProduct),
                  1);
        cmd(setupBlock(chip, 0), true);
    }
    void end() {
        cmd(endBlock(), false);
        usb.USB_bulk_close();
    }
    std::vector<std::uint8_t> read(std::uint32_t address, std::size_t count) {
        cmd(addressBlock(address), true);
        const std::size_t t = transferSize(chip);
        std::vector<std::uint8_t> out((count + t - 1) / t * t); // whole transfers
        for (std::size_t at = 0; at < count; at += t)
            usb.USB_bulk_read(reinterpret_cast<char *>(out.data() + at), static_cast<int>(t));
        out.resize(count);
        return out;
    }
    void write(std::uint32_t address, std::vector<std::uint8_t> data) {
        cmd(addressBlock(address), false);
        const std::size_t t = transferSize(chip);
        data.resize((data.size() + t - 1) / t * t, 0xFF);
        for (std::size_t at = 0; at < data.size(); at += t)
            usb.USB_bulk_write(reinterpret_cast<char *>(data.data() + at), static_cast<int>(t));
    }
    int pollsUntilIdle(int limit) {
        CommandBlock b = cmd(eraseBlock(kWholeChipErase), false);
        for (int n = 1; n <= limit; ++n) {
            makePoll(b);
            usb.USB_bulk_cmd(reinterpret_cast<char *>(b.data()), 64, 1);
            if (!pollBusy(b))
                return n;
        }
        return -1;
    }
};

} // namespace

TEST_F(Programmer, FlashProgrammingOnlyClearsBitsUntilErased) {
    begin();
    write(0, std::vector<std::uint8_t>(256, 0xF0));
    write(0, std::vector<std::uint8_t>(256, 0x3C));
    EXPECT_EQ(read(0, 256), std::vector<std::uint8_t>(256, 0x30));
    sim.programmer().erasePolls = 4;
    EXPECT_EQ(pollsUntilIdle(20), 5); // busy for four polls, idle at the fifth
    EXPECT_EQ(read(0, 256), std::vector<std::uint8_t>(256, 0xFF));
    end();
}

// Until its last busy poll a whole-chip erase has not happened yet, and the busy chip
// takes no data and sends none: a host that stops polling early finds it out.
TEST_F(Programmer, WholeChipEraseHappensOnlyAtTheLastBusyPoll) {
    sim.chip().memory()[5] = 0x12;
    sim.programmer().erasePolls = 3;
    begin();
    CommandBlock b = cmd(eraseBlock(kWholeChipErase), false);
    for (int poll = 1; poll <= 3; ++poll) {
        EXPECT_EQ(sim.chip().memory()[5], 0x12) << poll;
        EXPECT_TRUE(sim.programmer().erasing());
        cmd(addressBlock(0), true);
        char data[256];
        EXPECT_EQ(usb.USB_bulk_read(data, 256), -110) << poll; // nothing to read
        write(4, std::vector<std::uint8_t>(256, 0x00));        // taken and dropped
        EXPECT_EQ(sim.chip().memory()[4], 0xFF) << poll;
        makePoll(b);
        usb.USB_bulk_cmd(reinterpret_cast<char *>(b.data()), 64, 1);
        EXPECT_TRUE(pollBusy(b)) << poll;
    }
    EXPECT_EQ(sim.chip().memory()[5], 0xFF); // erased at the third, the last busy poll
    makePoll(b);
    usb.USB_bulk_cmd(reinterpret_cast<char *>(b.data()), 64, 1);
    EXPECT_FALSE(pollBusy(b));
    write(0, std::vector<std::uint8_t>(256, 0x00));
    EXPECT_EQ(sim.chip().memory()[5], 0x00);
    end();
}

TEST_F(Programmer, StuckBusyFlagNeverClears) {
    sim.chip().memory()[0] = 0x00;
    sim.programmer().stuckBusy = true;
    begin();
    EXPECT_EQ(pollsUntilIdle(50), -1);
    end();
    EXPECT_EQ(sim.chip().memory()[0], 0x00); // the erase never finished
}

TEST_F(Programmer, EepromWritesReplaceBytesAndBlockEraseClearsOnePage) {
    sim.programmer().insert(ksim::Chip(Family::I2c24, 0, 2048));
    useChip(1, 2048, 16);
    begin();
    write(0, std::vector<std::uint8_t>(64, 0x0F));
    write(0, std::vector<std::uint8_t>(64, 0xA5));
    EXPECT_EQ(read(0, 64), std::vector<std::uint8_t>(64, 0xA5));
    cmd(eraseBlock(16), false);
    const auto after = read(0, 64);
    EXPECT_EQ(after[15], 0xA5);
    EXPECT_EQ(after[16], 0xFF);
    EXPECT_EQ(after[31], 0xFF);
    EXPECT_EQ(after[32], 0xA5);
    end();
}

TEST_F(Programmer, ThreeByteAddressesWrapAt16MiBUntilFourByteMode) {
    sim.programmer().insert(ksim::Chip(Family::Spi25, 0xEF4019, 32u << 20));
    useChip(0, 32u << 20, 256);
    sim.chip().memory()[0x10] = 0x11;
    sim.chip().memory()[0x1000010] = 0x22;
    begin();
    EXPECT_EQ(read(0x1000000, 64)[0x10], 0x11); // lands on the low half
    cmd(enter4ByteBlock(), true);
    EXPECT_EQ(read(0x1000000, 64)[0x10], 0x22);
    end();
    begin(); // a new operation starts in 3-byte mode again
    EXPECT_EQ(read(0x1000000, 64)[0x10], 0x11);
    end();
}

TEST_F(Programmer, SocketChipDecidesWhatIsRead) {
    sim.programmer().insert(ksim::Chip(Family::Spi25, 0xEF4013, 0x80000));
    sim.chip().memory()[5] = 0x42;
    begin();                               // the host believes it holds 8 MiB
    EXPECT_EQ(read(0x80000, 64)[5], 0x42); // past the real chip's end it wraps
    end();

    useChip(1, 0x80000, 16); // the host asks for a 24-series chip
    begin();
    EXPECT_EQ(read(0, 64), std::vector<std::uint8_t>(64, 0xFF));
    write(0, std::vector<std::uint8_t>(64, 0));
    end();
    EXPECT_EQ(sim.chip().memory()[5], 0x42);
}

TEST_F(Programmer, ReadIdAnswersBySocketChip) {
    struct Case {
        ksim::Chip chip;
        std::array<std::uint8_t, 4> reply;
    };
    const Case cases[] = {
        {ksim::Chip(Family::Spi25, 0xEF4017, 1024), {1, 0xEF, 0x40, 0x17}},
        {ksim::Chip(Family::Avr, 0x1E950F, 1024), {1, 0x1E, 0x95, 0x0F}},
        {ksim::Chip(Family::I2c24, 0, 256), {2, 0, 0, 0}},
        {ksim::Chip(Family::Microwire93, 0, 128), {3, 0, 0, 0}},
        {ksim::Chip(), {0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        sim.programmer().insert(c.chip);
        begin();
        const CommandBlock r = cmd(readIdBlock(chip, 0), true);
        end();
        EXPECT_EQ((std::array<std::uint8_t, 4>{r[0], r[1], r[2], r[3]}), c.reply);
    }
}

TEST_F(Programmer, InfoReplyLayout) {
    sim.programmer().hardwareVersion = "1.0";
    sim.programmer().firmwareVersion = "1.02";
    sim.programmer().serialNumber = "ABCDEFGHIJKLMNOP"; // longer than its 13 bytes
    begin();
    const CommandBlock r = cmd(getInfoBlock(), true);
    end();
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&r[43]), 3), "1.0");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&r[46]), 5), std::string("1.02\0", 5));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&r[51]), 13), "ABCDEFGHIJKLM");
}

TEST_F(Programmer, RestartIntoBootLoaderLeavesTheBus) {
    begin();
    cmd(enterBootBlock(), true);
    usb.USB_bulk_close();
    EXPECT_TRUE(sim.bootLoaderRequested());
    EXPECT_FALSE(sim.programmerPresent());
    EXPECT_EQ(usb.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                            kProgrammerProduct),
              0);
    sim.plug();
    EXPECT_FALSE(sim.bootLoaderRequested());
    begin();
    end();
}

TEST_F(Programmer, WriteProtectedChipKeepsItsContents) {
    sim.chip().writeProtected = true;
    sim.chip().memory()[0] = 0x5A;
    begin();
    write(0, std::vector<std::uint8_t>(256, 0));
    EXPECT_EQ(pollsUntilIdle(10), 1); // nothing to erase, never busy
    EXPECT_EQ(read(0, 64)[0], 0x5A);
    end();
}

TEST_F(Programmer, FlippedBitsOnRead) {
    sim.programmer().readFlips[0x101] = 0x04;
    begin();
    const auto data = read(0x100, 64);
    EXPECT_EQ(data[0], 0xFF);
    EXPECT_EQ(data[1], 0xFB);
    end();
    EXPECT_EQ(sim.chip().memory()[0x101], 0xFF); // the cell itself is fine
}

TEST_F(Programmer, UnplugAtTransferN) {
    begin(); // two transfers: setup and its reply
    sim.faults.unplugAtTransfer = sim.transferCount() + 2;
    char block[64] = {};
    CommandBlock a = addressBlock(0);
    EXPECT_EQ(usb.USB_bulk_cmd(reinterpret_cast<char *>(a.data()), 64, 0), 64);
    EXPECT_EQ(usb.USB_bulk_read(block, 64), -19);
    EXPECT_EQ(usb.USB_bulk_read(block, 64), -19);
    usb.USB_bulk_close();
    EXPECT_FALSE(sim.programmerPresent());
}

TEST_F(Programmer, TimeoutAndShortTransfer) {
    begin();
    cmd(addressBlock(0), true);
    char data[256];
    sim.faults.timeoutAtTransfer = sim.transferCount() + 1;
    sim.faults.shortAtTransfer = sim.transferCount() + 2;
    EXPECT_EQ(usb.USB_bulk_read(data, 256), -110);
    EXPECT_EQ(usb.USB_bulk_read(data, 256), 128);
    EXPECT_EQ(usb.USB_bulk_read(data, 256), 256);
    EXPECT_EQ(sim.programmer().address(), 384u); // the timed-out read moved nothing
    end();
}

TEST_F(Programmer, ReadWithNothingToSendTimesOut) {
    begin();
    char data[64];
    EXPECT_EQ(usb.USB_bulk_read(data, 64), -110);
    cmd(addressBlock(0), false); // a write stream: its reply is never read
    write(0, std::vector<std::uint8_t>(256, 0x00));
    EXPECT_EQ(read(0, 64)[0], 0x00);
    end();
}
