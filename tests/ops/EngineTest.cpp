#include "EngineFixture.h"
#include "buffers/Checksum.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

using namespace korvat;
using namespace korvat::test;
using ksim::Family;

using Codes = std::vector<int>;
using Sizes = std::vector<int>;
using Bytes = std::vector<std::uint8_t>;

TEST_F(EngineTest, ReadFillsTheBufferAndTrimsTrailingErasedBytes) {
    useChip(Family::Spi25, 0, 4096, 256, 0xEF4012);
    auto &mem = sim.chip().memory();
    for (int i = 0; i < 4096 - 100; ++i)
        mem[i] = static_cast<std::uint8_t>(i);
    mem[4096 - 101] = 0xFF; // 101 trailing 0xFF: 3995, raised to even
    run(Operation::Read);

    EXPECT_EQ(commands(), (Codes{7, 5, 8}));
    EXPECT_EQ(dataReads(), Sizes(16, 256));
    EXPECT_EQ(buffers.loadedLength, 3996);
    EXPECT_EQ(buffers.flash()[0x123], 0x23);
    EXPECT_EQ(view.bytes.size(), 4096u); // the whole chip is shown
    EXPECT_EQ(view.bytes[0x123], 0x23);
    // The socket check's exchange leaves the panel "Connected" before the bracket opens.
    EXPECT_EQ(allCommands(), (Codes{9, 8, 7, 5, 8}));
    EXPECT_EQ(host.status, (std::vector<std::string>{"Connected", "Read Flash ...", "Connected"}));
    ASSERT_EQ(host.log.size(), 2u);
    EXPECT_EQ(host.log[1], "14:03:27 Read Flash ...");
    EXPECT_EQ(host.log[0], completion("Read Complete!", "0.050")); // the address reply's pause
    EXPECT_EQ(host.progressMaximum, 4096u);
    EXPECT_FALSE(host.progressVisible);
    EXPECT_EQ(host.beeps, 1);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_FALSE(usb.isOpen());

    mem.assign(mem.size(), 0xFF);
    mem[3995 - 100] = 0x00; // last 100 bytes 0xFF
    run(Operation::Read);
    EXPECT_EQ(buffers.loadedLength, 3996 - 100);
    mem.assign(mem.size(), 0xFF);
    run(Operation::Read);
    EXPECT_EQ(buffers.loadedLength, 0);
}

#if !defined(__SANITIZE_ADDRESS__) // the sanitizer's own memory needs no address limit
// The block a chip is read into cannot be had: the read ends with its message, the
// bracket is closed and nothing of the buffer changes. Run in a child process whose
// address space leaves room for small allocations only.
TEST_F(EngineTest, ReadWithoutMemoryForItsBlockFailsAndChangesNothing) {
    useChip(Family::Spi25, 0, 64u << 20, 256);
    buffers.flash()[0] = 0x12;
    buffers.loadedLength = 2;
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlimit limit{static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE)) + (16u << 20),
                           RLIM_INFINITY};
        setrlimit(RLIMIT_AS, &limit);
        run(Operation::Read);
        const bool ok =
            host.errors == std::vector<std::string>{"Not enough memory to read the chip."} &&
            host.log.size() == 2 && host.log[0] == "14:03:27 Not enough memory to read the chip." &&
            buffers.flash()[0] == 0x12 && buffers.loadedLength == 2 && view.loads == 0 &&
            !connection.busy() && !usb.isOpen() && commands() == Codes{7, 11, 8};
        if (!ok) { // the parent's failure points here
            std::fprintf(stderr, "the read without memory showed:");
            for (const auto &e : host.errors)
                std::fprintf(stderr, " [%s]", e.c_str());
            std::fprintf(stderr, "\n");
        }
        std::fflush(nullptr);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
#endif

TEST_F(EngineTest, SmallPagesTravelInTransfersOf64) {
    useChip(Family::I2c24, 1, 1024, 8);
    run(Operation::Read);
    EXPECT_EQ(dataReads(), Sizes(16, 64));
}

TEST_F(EngineTest, FourByteAddressingAboveSixteenMiBOnly) {
    for (std::uint32_t capacity : {0x1000000u, 0x1000001u}) {
        useChip(Family::Spi25, 0, capacity, 256);
        chip.algorithm = 128;
        sim.clearLog();
        buffers.loadedLength = 256;
        run(Operation::Verify);
        EXPECT_EQ(commands(), capacity > 0x1000000 ? (Codes{7, 11, 5, 8}) : (Codes{7, 5, 8}))
            << capacity;
    }
    const auto spi = blocks(11);
    ASSERT_EQ(spi.size(), 1u);
    EXPECT_EQ(spi[0][2], 3);
    EXPECT_EQ(spi[0][3], 1);
    EXPECT_EQ(spi[0][4], 0xB7);
}

// A 32 MiB chip whose upper 16 MiB differ from the lower: every operation that moves
// data must reach the upper half, which it does only after the 0xB7 block.
TEST_F(EngineTest, EveryDataOperationUsesFourByteAddressesAboveSixteenMiB) {
    constexpr std::uint32_t kSize = 32u << 20, kHalf = 16u << 20;
    useChip(Family::Spi25, 0, kSize, 256);
    chip.algorithm = 128;
    auto &mem = sim.chip().memory();
    // Different in every transfer and in the two halves.
    for (std::uint32_t i = 0; i < kSize; ++i)
        mem[i] = static_cast<std::uint8_t>((i >> 8) * 7 + (i >> 16) + (i >= kHalf ? 0x80 : 0));
    run(Operation::Read);
    ASSERT_TRUE(host.errors.empty()) << host.errors.front();
    EXPECT_TRUE(std::equal(mem.begin(), mem.end(), buffers.flash().begin()));
    EXPECT_EQ(commands().at(1), 11);

    // Verify finds a difference that only the upper half holds.
    buffers.flash()[kHalf + 0x1234] ^= 1;
    run(Operation::Verify);
    EXPECT_EQ(host.errors, std::vector<std::string>{"Flash check error address:1001234h"});
    host.errors.clear();

    // Write puts the upper half where it belongs and leaves the lower half alone.
    sim.chip().eraseAll();
    buffers.range = {kHalf, kHalf + 0xFFF, true};
    run(Operation::Write);
    ASSERT_TRUE(host.errors.empty()) << host.errors.front();
    EXPECT_TRUE(std::equal(mem.begin() + kHalf, mem.begin() + kHalf + 0x1000,
                           buffers.flash().begin() + kHalf));
    EXPECT_EQ(mem[0], 0xFF);

    // Blank check sees the data in the upper half although the lower half is erased.
    sim.clearLog();
    run(Operation::BlankCheck);
    EXPECT_EQ(host.errors, std::vector<std::string>{"The chip is not empty."});
    EXPECT_EQ(dataReads().size(), kHalf / 256 + 1);
    EXPECT_EQ(commands().at(1), 11);
}

TEST_F(EngineTest, FourByteModeReachesTheUpperHalf) {
    useChip(Family::Spi25, 0, 32u << 20, 256);
    chip.algorithm = 128;
    sim.chip().memory()[0x1000000] = 0x42;
    buffers.range = {0x1000000, 0x10000FF, true};
    std::fill_n(buffers.flash().begin() + 0x1000000, 256, 0xFF);
    buffers.flash()[0x1000000] = 0x42;
    buffers.loadedLength = 1;
    run(Operation::Verify);
    EXPECT_TRUE(host.errors.empty()) << host.errors.front();
    EXPECT_EQ(address32(blocks(5).at(0), 8), 0x1000000u);
    EXPECT_EQ(host.log[0], completion("Verify Complete!", "0.100"));
}

TEST_F(EngineTest, WholeChipEraseWithItsPolls) {
    useChip(Family::Spi25, 0, 4096, 256);
    sim.programmer().erasePolls = 3;
    sim.chip().memory()[7] = 0;
    run(Operation::Erase);
    EXPECT_EQ(commands(), (Codes{7, 2, 10, 10, 10, 10, 8}));
    const auto erase = blocks(2).at(0);
    EXPECT_EQ(erase[0], 1);
    EXPECT_EQ(erase[26], 0x00);
    EXPECT_EQ(erase[27], 0x80);
    EXPECT_EQ(blocks(10).at(0)[27], 0x80); // polls carry what the block held
    EXPECT_EQ(sim.chip().memory()[7], 0xFF);
    EXPECT_EQ(host.progressMaximum, 100u);
    EXPECT_EQ(host.log[0], completion("Erase Complete!", "0.400")); // four polls, 50 + 50 ms each
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(EngineTest, EraseWhoseBusyFlagNeverClearsIsAFailure) {
    useChip(Family::Spi25, 0, 4096, 256);
    chip.delay = 5;
    sim.programmer().stuckBusy = true;
    run(Operation::Erase);
    EXPECT_EQ(blocks(10).size(), 7u); // delay + 2 polls
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Erase timed out: the chip is still busy."}));
    // The start line and the outcome, no completion line.
    EXPECT_EQ(host.log,
              (std::vector<std::string>{"14:03:27 Erase timed out: the chip is still busy.",
                                        "14:03:27 Erase Flash ..."}));
    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(commands().back(), 8); // bracket closed
}

TEST_F(EngineTest, BlockEraseOfA24SeriesChipGoesPageByPage) {
    useChip(Family::I2c24, 1, 65536, 16384);
    run(Operation::Erase);
    std::vector<int> params;
    for (const auto &b : blocks(2))
        params.push_back(b[26] | (b[27] << 8));
    EXPECT_EQ(params, (std::vector<int>{0, 16384, 32768, 49152}));
    EXPECT_EQ(host.progressMaximum, 65536u);
    EXPECT_EQ(host.log[0], completion("Erase Complete!", "0.000"));

    sim.clearLog();
    chip.flashPage = 0; // from a foreign catalogue: one byte at a time, and it ends
    chip.capacity = 64;
    run(Operation::Erase);
    EXPECT_EQ(blocks(2).size(), 64u);
}

// The block parameter holds 16 address bits: above 64 KiB it would erase the lower half
// twice and leave the upper half's data. Such an erase is refused before anything is
// sent, as is one of a family the programmer does not know, and Auto with Erase ticked.
TEST_F(EngineTest, AnEraseThatCannotReachTheWholeChipIsRefused) {
    useChip(Family::I2c24, 1, 131072, 16384);
    sim.chip().memory()[0x10000] = 0x42;
    EXPECT_EQ(run(Operation::Erase), std::nullopt);
    EXPECT_EQ(host.errors, (std::vector<std::string>{
                               "The whole chip cannot be erased: the programmer's erase of a "
                               "24-series chip reaches only the first 64 KiB, and this chip holds "
                               "131072 bytes. The erase is refused; nothing was erased."}));
    buffers.flash()[0] = 0x11;
    buffers.loadedLength = 1;
    EXPECT_EQ(engine.runAuto(place(chip), 0, view, {}), std::nullopt);
    EXPECT_FALSE(engine.autoUsable(place(chip), {}));
    EXPECT_TRUE(engine.autoUsable(place(chip), {false, true, true}));
    ChipRecord &slot = catalogue.slot(1);
    slot.family = 7; // keeps its name: a chip of the catalogue
    language = 0;
    EXPECT_EQ(engine.run(Operation::Erase, 1, 0, view), std::nullopt);
    EXPECT_EQ(host.errors.back(), "无法擦除整个芯片：编程器不认识芯片类型代码 7 的擦除。"
                                  "擦除被拒绝，未擦除任何内容。");
    EXPECT_TRUE(sim.log().empty());
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.beeps, 0);
    EXPECT_EQ(sim.chip().memory()[0x10000], 0x42);

    // Without the erase the pass writes and verifies the chip.
    chip.family = 1;
    language = 2;
    const auto pass = engine.runAuto(place(chip), 0, view, {false, true, true});
    ASSERT_TRUE(pass);
    EXPECT_TRUE(pass->passed);
    EXPECT_EQ(sim.chip().memory()[0], 0x11);
}

// Where the programmer has no erase nothing is sent, and the log says so instead of the
// completion line; Auto goes on to write.
TEST_F(EngineTest, EraseByFamily) {
    useChip(Family::Microwire93, 2, 128, 1);
    chip.delay = 0x1234;
    run(Operation::Erase);
    ASSERT_EQ(blocks(2).size(), 1u);
    EXPECT_EQ(blocks(2)[0][26], 0x34);
    EXPECT_EQ(blocks(2)[0][27], 0x12);
    EXPECT_TRUE(blocks(10).empty());
    EXPECT_EQ(host.log[0], completion("Erase Complete!", "0.000"));

    const std::string nothing = "14:03:27 The programmer has no erase for this chip: nothing "
                                "was erased. The chip's bytes are replaced when they are written.";
    for (auto [family, code] : {std::pair{Family::Spi95, 3}, std::pair{Family::Avr, 4}}) {
        useChip(family, code, 1024, 32);
        sim.clearLog();
        host.log.clear();
        const auto erased = run(Operation::Erase);
        EXPECT_EQ(commands(), (Codes{7, 8}));
        EXPECT_EQ(host.log, (std::vector<std::string>{nothing, "14:03:27 Erase Flash ..."}));
        EXPECT_TRUE(erased && erased->passed);

        sim.clearLog();
        host.log.clear();
        sim.chip().memory()[5] = 0x00;
        buffers.flash()[5] = 0x3C;
        buffers.loadedLength = 32;
        const auto pass = engine.runAuto(place(chip), 0, view, {});
        ASSERT_TRUE(pass);
        EXPECT_TRUE(pass->passed);
        EXPECT_TRUE(blocks(2).empty());
        EXPECT_EQ(sim.chip().memory()[5], 0x3C); // written over, not erased first
        EXPECT_EQ(host.log.back(), "14:03:27 Erase Flash ...");
        EXPECT_EQ(host.log[host.log.size() - 2], nothing);
        EXPECT_EQ(host.log[0], completion("AUTO Complete!", "0.450"));
    }
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(EngineTest, BlankCheckStopsAtTheFirstByteThatIsNotErased) {
    useChip(Family::Spi25, 0, 8192, 256);
    buffers.range = {0, 0xFF, true}; // the blank check ignores the range
    run(Operation::BlankCheck);
    EXPECT_EQ(dataReads(), Sizes(32, 256));
    EXPECT_EQ(host.log[0], completion("Bank Complete!", "0.050"));

    sim.clearLog();
    host.log.clear();
    sim.chip().memory()[0x1234] = 0x7F;
    const auto outcome = run(Operation::BlankCheck);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->failedStep, PassStep::NotBlank);
    EXPECT_EQ(outcome->failedAddress, 0x1234u);
    EXPECT_EQ(dataReads().size(), 0x1234u / 256 + 1);
    EXPECT_EQ(host.errors, (std::vector<std::string>{"The chip is not empty."}));
    EXPECT_EQ(host.log, (std::vector<std::string>{"14:03:27 The chip is not empty.",
                                                  "14:03:27 Bank Flash ..."}));
    EXPECT_FALSE(host.progressVisible); // the bars go with the operation
    EXPECT_EQ(host.beeps, 2);
    EXPECT_EQ(commands().back(), 8);
}

TEST_F(EngineTest, VerifyNamesTheFirstDifferingAddress) {
    useChip(Family::Spi25, 0, 65536, 256);
    std::fill_n(buffers.flash().begin(), 0x2000, 0xFF);
    buffers.loadedLength = 0x2000;
    sim.chip().memory()[0x1F40] = 0x00;
    sim.chip().memory()[0x1F41] = 0x00;
    run(Operation::Verify);
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Flash check error address:1F40h"}));
    EXPECT_EQ(host.progressMaximum, 0x2000u);

    language = 0;
    host.errors.clear();
    run(Operation::Verify);
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Flash 校验错误地址: 1F40h"}));
}

TEST_F(EngineTest, WriteAndVerifyDoNothingWithoutData) {
    useChip(Family::Spi25, 0, 4096, 256);
    run(Operation::Write);
    run(Operation::Verify);
    EXPECT_TRUE(sim.log().empty());
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(host.beeps, 0);
}

// The last transfer of 64 bytes runs past the rounded length: the chip's own bytes there
// are read first and written back, so nothing past the data changes.
TEST_F(EngineTest, WriteRoundsTheLoadedLengthToWholePages) {
    useChip(Family::I2c24, 1, 65536, 16);
    std::fill(sim.chip().memory().begin(), sim.chip().memory().end(), 0x5A);
    for (int i = 0; i < 1000; ++i)
        buffers.flash()[i] = static_cast<std::uint8_t>(i * 7);
    buffers.loadedLength = 1000;
    run(Operation::Write);
    EXPECT_EQ(buffers.loadedLength, 1008);
    EXPECT_EQ(dataWrites(), Sizes(16, 64)); // addresses 0 to 960: 1024 bytes
    EXPECT_EQ(address32(blocks(5).at(0), 8), 960u); // the last transfer's chip bytes
    EXPECT_EQ(address32(blocks(5).at(1), 8), 0u);
    const auto &mem = sim.chip().memory();
    EXPECT_EQ(mem[999], static_cast<std::uint8_t>(999 * 7));
    EXPECT_EQ(Bytes(mem.begin() + 1000, mem.begin() + 1008), Bytes(8, 0xFF)); // whole pages
    EXPECT_EQ(Bytes(mem.begin() + 1008, mem.begin() + 1100), Bytes(92, 0x5A));
    // The read reply's pause and the wait after a 24-series write.
    EXPECT_EQ(host.log[0], completion("Write Complete!", "0.150"));
    EXPECT_EQ(commands(), (Codes{7, 5, 5, 8}));

    sim.clearLog();
    run(Operation::Verify);
    EXPECT_EQ(dataReads(), Sizes(16, 64));
    EXPECT_EQ(host.log[0], completion("Verify Complete!", "0.050"));
}

TEST_F(EngineTest, AddressRangeIsWidenedToWholePages) {
    useChip(Family::Spi25, 0, 65536, 256);
    std::fill_n(buffers.flash().begin() + 0x100, 0x100, 0x5A);
    buffers.loadedLength = 0x40;
    buffers.range = {0x0105, 0x01F0, true};
    run(Operation::Write);
    EXPECT_EQ(address32(blocks(5).back(), 8), 0x100u);
    EXPECT_EQ(dataWrites(), Sizes{256});
    EXPECT_EQ(buffers.loadedLength, 0x40); // the range leaves the loaded length alone
    // The page is written whole, the chip's own bytes outside the range in it.
    const auto &memory = sim.chip().memory();
    EXPECT_EQ(memory[0x104], 0xFF);
    EXPECT_EQ(memory[0x105], 0x5A);
    EXPECT_EQ(memory[0x1F0], 0x5A);
    EXPECT_EQ(memory[0x1F1], 0xFF);
    EXPECT_EQ(memory[0x1FF], 0xFF);
    sim.clearLog();
    run(Operation::Verify);
    EXPECT_EQ(address32(blocks(5).at(0), 8), 0x100u);
    EXPECT_EQ(dataReads(), Sizes{256});
    EXPECT_TRUE(host.errors.empty());
}

// The end is the last address covered, whatever the page size: on a 93-series chip of
// one-byte pages, 0 to 7F writes 7F too; on pages of 256 an end on a page's first byte
// takes that page.
TEST_F(EngineTest, TheRangeEndIsTheLastAddressCoveredOnEveryPageSize) {
    useChip(Family::Microwire93, 2, 128, 1);
    std::fill_n(buffers.flash().begin(), 0x80, 0x3C);
    buffers.loadedLength = 0x80;
    buffers.range = {0, 0x7F, true};
    ASSERT_TRUE(run(Operation::Write)->passed);
    EXPECT_EQ(sim.chip().memory()[0x7F], 0x3C);
    EXPECT_EQ(dataWrites(), Sizes(2, 64));

    useChip(Family::Spi25, 0, 4096, 256);
    std::fill_n(buffers.flash().begin(), 0x300, 0x5A);
    buffers.range = {0, 0x200, true};
    sim.clearLog();
    ASSERT_TRUE(run(Operation::Write)->passed);
    EXPECT_EQ(dataWrites(), Sizes(3, 256));
    EXPECT_EQ(sim.chip().memory()[0x200], 0x5A);
}

// Pages of 16 bytes travel in transfers of 64: the last transfer of a range write runs
// past the range, and the chip's own bytes there must come back unchanged.
TEST_F(EngineTest, RangeWriteOnSmallPagesChangesNoCellOutsideTheRange) {
    useChip(Family::I2c24, 1, 2048, 16);
    auto &mem = sim.chip().memory();
    std::fill(mem.begin(), mem.end(), 0x77);
    std::fill_n(buffers.flash().begin(), 2048, 0x5A);
    buffers.loadedLength = 2048;
    buffers.range = {0x100, 0x10F, true}; // widened to 0x100-0x110
    run(Operation::Write);
    ASSERT_TRUE(host.errors.empty()) << host.errors.front();
    EXPECT_EQ(mem[0xFF], 0x77);
    EXPECT_EQ(Bytes(mem.begin() + 0x100, mem.begin() + 0x110), Bytes(16, 0x5A));
    EXPECT_EQ(Bytes(mem.begin() + 0x110, mem.begin() + 0x140), Bytes(0x30, 0x77));
    // The tail is read from the chip first, then the range goes out in one transfer.
    EXPECT_EQ(commands(), (Codes{7, 5, 5, 8}));
    EXPECT_EQ(address32(blocks(5).at(0), 8), 0x100u);
    EXPECT_EQ(dataWrites(), Sizes{64});

    // Verify of the same range compares the range, not the chip's bytes past it.
    run(Operation::Verify);
    EXPECT_TRUE(host.errors.empty()) << host.errors.front();
    EXPECT_EQ(host.log[0], completion("Verify Complete!", "0.050"));

    // A longer range: only its last transfer is merged.
    buffers.range = {0x200, 0x28F, true};
    run(Operation::Write);
    EXPECT_EQ(Bytes(mem.begin() + 0x200, mem.begin() + 0x290), Bytes(0x90, 0x5A));
    EXPECT_EQ(Bytes(mem.begin() + 0x290, mem.begin() + 0x2C0), Bytes(0x30, 0x77));
}

// A range past the chip would wrap round to its start: it is refused, naming the chip's
// last address, before anything is sent. The end is the last address covered.
TEST_F(EngineTest, RangeOutsideTheChipIsRefusedBeforeAnythingIsSent) {
    useChip(Family::Spi25, 0, 4096, 256);
    buffers.loadedLength = 16;
    buffers.range = {0xF00, 0x1000, true}; // one byte past the chip
    run(Operation::Write);
    buffers.range = {0x10000, 0x100FF, true};
    EXPECT_FALSE(engine.runAuto(place(chip), 0, view, {}));
    buffers.range = {0x200, 0x100, true};
    run(Operation::Verify);
    EXPECT_EQ(host.errors,
              (std::vector<std::string>{
                  "The address range reaches past the chip: its last address is FFFh.",
                  "The address range reaches past the chip: its last address is FFFh.",
                  "The end address is before the start address. The chip's last address "
                  "is FFFh."}));
    EXPECT_TRUE(sim.log().empty());

    buffers.range = {0xF00, 0xFFF, true}; // up to the last address
    ASSERT_TRUE(run(Operation::Write)->passed);
    EXPECT_EQ(dataWrites(), Sizes(1, 256));
}

TEST_F(EngineTest, WriteOfA24SeriesChipWaitsAfterwards) {
    useChip(Family::I2c24, 1, 2048, 16);
    buffers.loadedLength = 64;
    run(Operation::Write);
    // The socket check's and the setup's replies, and the wait after the write.
    EXPECT_EQ(host.sleptMs, 50 + 50 + 100);
}

TEST_F(EngineTest, WritePullsTheViewsEditsFirst) {
    useChip(Family::Spi25, 0, 4096, 256);
    view.bytes.assign(4096, 0xFF);
    view.bytes[3] = 0x33;
    view.changed = true;
    run(Operation::Write);
    EXPECT_EQ(buffers.loadedLength, 4096);
    EXPECT_FALSE(view.changed);
    EXPECT_EQ(sim.chip().memory()[3], 0x33);
}

TEST_F(EngineTest, ProgrammerMissingAtTheStart) {
    useChip(Family::Spi25, 0, 4096, 256);
    sim.unplug();
    run(Operation::Read);
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Not connected"}));
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(host.status.empty()); // the panel is left as it was
    EXPECT_EQ(host.beeps, 0);
}

TEST_F(EngineTest, FailedTransfersEndTheOperation) {
    struct Case {
        const char *name;
        Operation op;
        int faultAt; // transfer number, counted from the bracket's first
        bool unplug, timeout, shortTransfer;
        const char *message;
        const char *panelAfter = nullptr; // when a probe sets the panel afterwards
    };
    // Read: 1-2 setup, 3-4 address and reply, then the data reads from 5 on.
    const Case cases[] = {
        {"unplug mid-read", Operation::Read, 8, true, false, false,
         "Transfer to the programmer failed at address:300h"},
        {"time-out mid-read", Operation::Read, 6, false, true, false,
         "Transfer to the programmer failed at address:100h"},
        {"short read", Operation::Read, 5, false, false, true,
         "Transfer to the programmer failed at address:0h"},
        {"unplug mid-write", Operation::Write, 6, true, false, false,
         "Transfer to the programmer failed at address:200h"},
        {"short write", Operation::Write, 4, false, false, true,
         "Transfer to the programmer failed at address:0h"},
        {"setup lost", Operation::Read, 2, false, true, false,
         "The chip parameters did not reach the programmer."},
        {"address block lost", Operation::Verify, 3, false, true, false,
         "Transfer to the programmer failed at address:0h"},
        // Every data transfer went, but CMD_END did not: the programmer may still be
        // inside the operation, so it has not finished.
        // A probe then tells the panel whether the programmer is still there.
        {"end lost after a read", Operation::Read, 21, false, true, false,
         "Transfer to the programmer failed at address:1000h", "Connected"},
        {"unplugged before the end of a write", Operation::Write, 20, true, false, false,
         "Transfer to the programmer failed at address:1000h", "Not connected"},
        {"short end after a read", Operation::Read, 21, false, false, true,
         "Transfer to the programmer failed at address:1000h", "Connected"},
    };
    for (std::size_t i = 0; i < 4096; ++i)
        buffers.flash()[i] = static_cast<std::uint8_t>(i % 251);
    const Bytes before(buffers.flash().begin(), buffers.flash().begin() + 4096);
    for (const Case &c : cases) {
        ActiveSimulator s;
        RecordingHost h;
        int lang = 2;
        TUsbBulk u(simulatedUsb(), {}, [&](int ms) { h.sleep(ms); });
        Connection conn(u, h, lang);
        Engine e(u, conn, h, buffers, catalogue, lang);
        s.programmer().insert(ksim::Chip(Family::Spi25, kTestId, 4096));
        std::fill(s.chip().memory().begin(), s.chip().memory().end(), 0x3C);
        buffers.loadedLength = 4096;
        buffers.range.enabled = false;
        // The socket check (READ_ID, its reply, CMD_END) comes before the bracket.
        const int at = c.faultAt + 3;
        s.faults.unplugAtTransfer = c.unplug ? at : 0;
        s.faults.timeoutAtTransfer = c.timeout ? at : 0;
        s.faults.shortAtTransfer = c.shortTransfer ? at : 0;
        std::memset(&chip, 0, sizeof chip);
        chip.capacity = 4096;
        chip.flashPage = 256;
        chip.chipId = kTestId;
        const auto outcome = e.run(c.op, place(chip), 0, view);
        ASSERT_TRUE(outcome) << c.name;
        // A lost setup block is a failed transfer: the programmer was there.
        EXPECT_EQ(outcome->failedStep, PassStep::Transfer) << c.name;
        EXPECT_EQ(h.errors, (std::vector<std::string>{c.message})) << c.name;
        // The start line (once the bracket is open) and the outcome; no completion line. A
        // probe that finds the programmer adds its line.
        const bool probeFound = c.panelAfter && std::string(c.panelAfter) == "Connected";
        ASSERT_EQ(h.log.size(), (c.faultAt <= 2 ? 1u : 2u) + probeFound) << c.name;
        EXPECT_EQ(h.log[probeFound], "14:03:27 " + std::string(c.message)) << c.name;
        if (c.panelAfter) {
            ASSERT_FALSE(h.status.empty()) << c.name;
            EXPECT_EQ(h.status.back(), c.panelAfter) << c.name;
        }
        EXPECT_EQ(h.beeps, c.faultAt <= 2 ? 0 : 1) << c.name;
        EXPECT_FALSE(u.isOpen()) << c.name;
        // A failed read changes nothing: not the loaded length, not one byte, not the view.
        EXPECT_EQ(buffers.loadedLength, 4096) << c.name;
        EXPECT_TRUE(std::equal(before.begin(), before.end(), buffers.flash().begin())) << c.name;
        EXPECT_EQ(view.loads, 0) << c.name;
        if (c.faultAt <= 2) { // a lost setup block says nothing of the programmer's state
            EXPECT_EQ(h.status, std::vector<std::string>{"Connected"}) << c.name;
        }
        EXPECT_FALSE(conn.busy()) << c.name;
    }
    ksim::Simulator::activate(&sim);
}

TEST_F(EngineTest, ProbeDuringAnOperationWaitsForItsEnd) {
    useChip(Family::Spi25, 0, 4096, 256);
    host.onEvents = [&] { host.onEvents = [&] { connection.detectProgrammer(); }; };
    run(Operation::Read);
    std::vector<ksim::LogEntry::Kind> opens;
    for (const auto &e : sim.log())
        if (e.kind == ksim::LogEntry::Open || e.kind == ksim::LogEntry::Close)
            opens.push_back(e.kind);
    // The socket check's open and close, the read's own, then the probe's, after the bracket.
    EXPECT_EQ(opens, (std::vector{ksim::LogEntry::Open, ksim::LogEntry::Close, ksim::LogEntry::Open,
                                  ksim::LogEntry::Close, ksim::LogEntry::Open,
                                  ksim::LogEntry::Close}));
    EXPECT_EQ(dataReads(), Sizes(16, 256));
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(host.log[1], completion("Read Complete!", "0.050"));
    EXPECT_EQ(host.log[0].substr(9),
              "The programmer Korvat 2 is detected, and the working state is normal.");
    EXPECT_EQ(connection.panelText(), "Connected");
}

TEST_F(EngineTest, ProgrammerUnpluggedDuringAnOperationShowsAsGoneAfterIt) {
    useChip(Family::Spi25, 0, 4096, 256);
    host.onEvents = [&] {
        host.onEvents = [&] {
            sim.unplug();
            connection.detectProgrammer(); // the device change, while the read holds it
        };
    };
    run(Operation::Read);
    EXPECT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(connection.panelText(), "Not connected");
    EXPECT_TRUE(connection.panelRed());
    EXPECT_EQ(host.status.back(), "Not connected");
}

TEST_F(EngineTest, SecondOperationIsRefusedWhileOneRuns) {
    useChip(Family::Spi25, 0, 4096, 256);
    host.onEvents = [&] { run(Operation::Erase); };
    run(Operation::Read);
    EXPECT_EQ(host.errors, (std::vector<std::string>{
                               "The programmer is busy. Wait for the current operation to end."}));
    EXPECT_EQ(commands(), (Codes{7, 5, 8}));
    EXPECT_EQ(host.log[0], completion("Read Complete!", "0.050"));
}

// The texts shown while an operation ran: the rates and times left before the first
// clearing, and whether everything after it clears too.
namespace {
using Texts = std::pair<std::string, std::string>;
std::vector<Texts> shownBeforeClearing(const std::vector<Texts> &calls, bool *clearedAfter) {
    const Texts cleared{"", ""};
    const auto first = std::find(calls.begin(), calls.end(), cleared);
    *clearedAfter = first != calls.end() &&
                    std::all_of(first, calls.end(), [&](const Texts &t) { return t == cleared; });
    return {calls.begin(), first};
}
} // namespace

TEST_F(EngineTest, ReadShowsItsRateAndTimeLeftAndClearsThemAtTheEnd) {
    useChip(Family::Spi25, 0, 65536, 256);
    host.clockStep = 1.0 / 64; // one 256-byte transfer per pump: 16 KiB/s
    run(Operation::Read);
    ASSERT_TRUE(host.errors.empty()) << host.errors.front();
    bool cleared = false;
    // Every half second (32 transfers): 8 KiB of 64 KiB done, 3.5 s left, then 3.0 s,
    // 2.5 s (the same text, not shown again), 2.0 s...
    EXPECT_EQ(shownBeforeClearing(host.transferTexts, &cleared),
              (std::vector<Texts>{{"16 KiB/s", "0:04"},
                                  {"16 KiB/s", "0:03"},
                                  {"16 KiB/s", "0:02"},
                                  {"16 KiB/s", "0:01"}}));
    EXPECT_TRUE(cleared);

    // A read that fails half-way clears them too.
    host.transferTexts.clear();
    sim.faults.unplugAtTransfer = sim.transferCount() + 4 + 140; // the 140th data read
    run(Operation::Read);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(
        shownBeforeClearing(host.transferTexts, &cleared),
        (std::vector<Texts>{{"16 KiB/s", "0:04"}, {"16 KiB/s", "0:03"}, {"16 KiB/s", "0:02"}}));
    EXPECT_TRUE(cleared);
    EXPECT_EQ(host.transferTexts.back(), (Texts{"", ""}));
}

TEST_F(EngineTest, EraseShowsARateOnlyWhenItsBarCountsBytes) {
    // The whole-chip erase's bar counts status polls: no rate, no time left.
    useChip(Family::Spi25, 0, 4096, 256);
    sim.programmer().erasePolls = 30;
    host.clockStep = 0.1;
    run(Operation::Erase);
    ASSERT_TRUE(host.errors.empty()) << host.errors.front();
    bool cleared = false;
    EXPECT_TRUE(shownBeforeClearing(host.transferTexts, &cleared).empty());
    EXPECT_TRUE(cleared);

    // The 24-series erase goes a page at a time through the chip's bytes.
    host.transferTexts.clear();
    useChip(Family::I2c24, 1, 65536, 2048);
    run(Operation::Erase);
    ASSERT_TRUE(host.errors.empty()) << host.errors.front();
    // Five pages in the first half second: 10 KiB of 64 KiB done, 2.7 s left.
    const auto shown = shownBeforeClearing(host.transferTexts, &cleared);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), (Texts{"20 KiB/s", "0:03"}));
    EXPECT_TRUE(cleared);
}

// Each outcome carries the CRC-32 of the bytes it covered, for a script to compare with
// its image: what the read kept (the whole chip), the image bytes written (without the
// filler that rounds them to whole pages), the bytes compared; an Auto pass the image's.
TEST_F(EngineTest, OutcomesCarryTheCrcOfTheBytesCovered) {
    useChip(Family::Spi25, 0, 4096, 256);
    for (int i = 0; i < 4096; ++i)
        buffers.flash()[i] = static_cast<std::uint8_t>(i * 7);
    const auto image = crc32Of(buffers.flash().first(300));
    buffers.loadedLength = 300;
    const auto verifiedFirst = run(Operation::Verify);
    ASSERT_TRUE(verifiedFirst && !verifiedFirst->passed);
    EXPECT_EQ(verifiedFirst->dataCrc, image);
    const auto written = run(Operation::Write);
    ASSERT_TRUE(written && written->passed);
    EXPECT_EQ(buffers.loadedLength, 512);
    EXPECT_EQ(written->dataCrc, image);
    const auto verified = run(Operation::Verify); // the rounded length, filler and all
    ASSERT_TRUE(verified && verified->passed);
    EXPECT_EQ(verified->dataCrc, crc32Of(buffers.flash().first(512)));
    buffers.loadedLength = 300;
    const auto pass = engine.runAuto(place(chip), 0, view, {});
    ASSERT_TRUE(pass && pass->passed);
    EXPECT_EQ(pass->dataCrc, image);
    buffers.range = {0x100, 0x1FF, true};
    EXPECT_EQ(run(Operation::Write)->dataCrc, crc32Of(buffers.flash().subspan(0x100, 0x100)));
    EXPECT_EQ(run(Operation::Verify)->dataCrc, crc32Of(buffers.flash().subspan(0x100, 0x100)));
    buffers.range.enabled = false;
    const auto read = run(Operation::Read); // the chip's erased end is not loaded, but counted
    ASSERT_TRUE(read && read->passed);
    EXPECT_EQ(buffers.loadedLength, 512);
    EXPECT_EQ(read->dataCrc, crc32Of(buffers.flash().first(4096)));
    EXPECT_EQ(run(Operation::Erase)->dataCrc, std::nullopt);
}

// However an operation ends, its bars are hidden, and already when its error box opens.
TEST_F(EngineTest, EveryEndHidesTheBars) {
    useChip(Family::Spi25, 0, 8192, 256);
    auto ended = [&](auto start) {
        host.progressVisible = true;
        host.progressValue = 77;
        start();
        return !host.progressVisible && host.progressValue == 0;
    };
    sim.chip().memory()[0x1234] = 0x00;
    EXPECT_TRUE(ended([&] { run(Operation::BlankCheck); }));
    buffers.loadedLength = 0x2000; // the buffer is 0xFF: the chip differs at 0x1234
    EXPECT_TRUE(ended([&] { run(Operation::Verify); }));
    sim.chip().memory()[0x20] = 0x00; // a pass whose verify fails
    EXPECT_TRUE(ended([&] { engine.runAuto(place(chip), 0, view, {false, false, true}); }));
    EXPECT_TRUE(ended([&] { run(Operation::Read); }));
    sim.programmer().stuckBusy = true;
    EXPECT_TRUE(ended([&] { run(Operation::Erase); }));
    sim.faults.timeoutAtTransfer = sim.transferCount() + 12; // a data read
    EXPECT_TRUE(ended([&] { run(Operation::Read); }));
    EXPECT_EQ(host.errors.size(), 5u);
    EXPECT_EQ(host.barsAtErrors, std::vector<bool>(5, false));
}
