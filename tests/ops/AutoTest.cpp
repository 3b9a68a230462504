// Auto programming and the batch loop's rules, over the in-process simulator.
#include "EngineFixture.h"
#include "buffers/Checksum.h"
#include "ops/Batch.h"

#include <deque>

using namespace korvat;
using namespace korvat::test;
using ksim::Family;
using Lines = std::vector<std::string>;

namespace {

class AutoTest : public EngineTest {
protected:
    void SetUp() override {
        useChip(Family::Spi25, 0, 0x1000, 256, 0xEF4012);
        for (std::uint32_t i = 0; i < 0x1000; ++i)
            buffers.flash()[i] = static_cast<std::uint8_t>(i * 3);
        buffers.loadedLength = 0x1000;
        sim.chip().memory().assign(0x1000, 0x00); // written before: a write alone fails
    }
    std::optional<PassOutcome> pass(AutoSteps steps = {}) {
        return engine.runAuto(place(chip), 0, view, steps);
    }
    bool chipHoldsTheBuffer() {
        return std::equal(sim.chip().memory().begin(), sim.chip().memory().end(),
                          buffers.flash().begin());
    }
    static bool isCompletion(const std::string &line) {
        return line.starts_with("14:03:27 AUTO Complete!Use time ") && line.ends_with(" s");
    }
};

} // namespace

TEST_F(AutoTest, EveryStepInOneBracketAndOneCompletionLine) {
    host.sleptMs = 0;
    const auto outcome = pass();
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->passed);
    EXPECT_EQ(outcome->failedStep, PassStep::None);
    EXPECT_TRUE(chipHoldsTheBuffer());
    EXPECT_EQ(outcome->dataCrc, crc32Of(buffers.flash().first(0x1000)));
    // One setup, one end; erase, write and verify in between.
    const auto sent = commands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 7), 1);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 8), 1);
    EXPECT_EQ(sent.front(), 7);
    EXPECT_EQ(sent.back(), 8);
    ASSERT_EQ(host.log.size(), 4u);
    EXPECT_TRUE(isCompletion(host.log[0])) << host.log[0];
    EXPECT_EQ(host.log[1], "14:03:27 Verify Flash ...");
    EXPECT_EQ(host.log[2], "14:03:27 Write Flash ...");
    EXPECT_EQ(host.log[3], "14:03:27 Erase Flash ...");
    EXPECT_EQ(host.beeps, 1);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_GE(host.sleptMs, 350); // the wait before verify, besides the erase polls
    EXPECT_FALSE(connection.busy());
}

TEST_F(AutoTest, EachCombinationOfTheBoxes) {
    int slept[8] = {};
    for (int mask = 0; mask < 8; ++mask) {
        const AutoSteps steps{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0};
        sim.chip().memory().assign(0x1000, 0xFF);
        sim.clearLog();
        host.log.clear();
        host.sleptMs = 0;
        const auto outcome = pass(steps);
        ASSERT_TRUE(outcome) << mask;
        const auto sent = commands();
        EXPECT_EQ(sent.front(), 7) << mask;
        EXPECT_EQ(sent.back(), 8) << mask;
        EXPECT_EQ(std::count(sent.begin(), sent.end(), 2), steps.erase ? 1 : 0) << mask;
        // The chip was erased, so writing makes it the buffer; without a write verify
        // finds the erased chip different.
        EXPECT_EQ(chipHoldsTheBuffer(), steps.write) << mask;
        EXPECT_EQ(outcome->passed, !steps.verify || steps.write) << mask;
        // Only a verify that passed proves what the chip holds.
        EXPECT_EQ(outcome->verified, steps.verify && steps.write) << mask;
        EXPECT_EQ(outcome->dataCrc.has_value(), steps.write || steps.verify) << mask;
        slept[mask] = host.sleptMs;
        // A completion line only after a verify that passed.
        EXPECT_EQ(isCompletion(host.log.empty() ? "" : host.log.front()),
                  steps.verify && steps.write)
            << mask;
        host.errors.clear();
    }
    // Verify adds the 350 ms before it and the reply wait of its address block.
    for (int mask = 0; mask < 4; ++mask)
        EXPECT_EQ(slept[mask | 4] - slept[mask], 350 + 50) << mask;
}

TEST_F(AutoTest, AFailingStepEndsThePass) {
    // A protected chip takes no erase and no data: verify is the step that finds it.
    sim.chip().writeProtected = true;
    auto outcome = pass();
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->passed);
    EXPECT_EQ(outcome->failedStep, PassStep::Verify);
    EXPECT_EQ(outcome->failedAddress, 1u); // the old contents differ first at 1
    EXPECT_EQ(host.errors, Lines{"Flash check error address:1h"});
    EXPECT_FALSE(isCompletion(host.log.front()));

    // A transfer that fails during the write: no verify follows, one box.
    sim.chip().writeProtected = false;
    host.errors.clear();
    host.log.clear();
    sim.clearLog();
    sim.faults.timeoutAtTransfer = sim.transferCount() + 12; // inside the write's data
    outcome = pass({false, true, true});
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->passed);
    EXPECT_EQ(outcome->failedStep, PassStep::Transfer);
    EXPECT_TRUE(outcome->failedAddress.has_value());
    EXPECT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.log.back(), "14:03:27 Write Flash ...");
    for (const std::string &line : host.log)
        EXPECT_EQ(line.find("Verify Flash"), std::string::npos) << line;
    EXPECT_FALSE(connection.busy());
    EXPECT_EQ(host.beeps, 2);

    // An erase that never ends: neither write nor verify.
    sim.faults.timeoutAtTransfer = 0;
    sim.programmer().stuckBusy = true;
    host.errors.clear();
    host.log.clear();
    outcome = pass();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->failedStep, PassStep::Erase);
    EXPECT_EQ(host.log.size(), 2u); // the erase's start line and its failure
    EXPECT_EQ(host.errors, Lines{"Erase timed out: the chip is still busy."});
}

// Every step passed but the bracket's CMD_END was lost: no completion line, and the
// pass fails as a transfer at the end of what it covered.
TEST_F(AutoTest, ALostEndOfTheBracketFailsThePass) {
    sim.chip().memory().assign(0x1000, 0xFF);
    const int before = sim.transferCount();
    ASSERT_TRUE(pass()->passed);
    sim.chip().memory().assign(0x1000, 0xFF);
    host.log.clear();
    sim.faults.timeoutAtTransfer = sim.transferCount() + (sim.transferCount() - before);
    const auto outcome = pass();
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->passed);
    EXPECT_EQ(outcome->failedStep, PassStep::Transfer);
    EXPECT_EQ(outcome->failedAddress, 0x1000u);
    EXPECT_EQ(host.errors, Lines{"Transfer to the programmer failed at address:1000h"});
    for (const std::string &line : host.log)
        EXPECT_FALSE(isCompletion(line)) << line;
    EXPECT_TRUE(chipHoldsTheBuffer()); // the data went; only the bracket's end is missing
    EXPECT_FALSE(connection.busy());
    EXPECT_FALSE(usb.isOpen());
}

// A pass's seconds are its own work: a failure's are taken before its box, however long
// the person takes to close it.
TEST_F(AutoTest, SecondsLeaveOutTheErrorBox) {
    host.boxSeconds = 7;
    const auto ok = pass({true, true, false});
    ASSERT_TRUE(ok && ok->passed);
    const double work = ok->seconds;
    EXPECT_GT(work, 0);

    sim.chip().memory().assign(0x1000, 0x00);
    sim.chip().writeProtected = true;
    const double before = host.clock;
    const auto failed = pass();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->failedStep, PassStep::Verify);
    EXPECT_FALSE(failed->verified);
    EXPECT_EQ(host.errors.size(), 1u);
    EXPECT_GE(host.clock - before, 7 + failed->seconds); // the box did keep the clock going
    // Erase, write, the 350 ms and verify, but not the box.
    EXPECT_LT(failed->seconds, work + 1);
    EXPECT_GT(failed->seconds, work);
}

TEST_F(AutoTest, NothingLoadedDoesNothingAtAll) {
    buffers.loadedLength = 0;
    sim.clearLog();
    EXPECT_FALSE(pass({false, false, true}));
    EXPECT_TRUE(sim.log().empty());
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.beeps, 0);

    // One byte: the programmer is opened, 350 ms pass, verify runs.
    buffers.loadedLength = 1;
    std::copy_n(buffers.flash().begin(), 0x1000, sim.chip().memory().begin());
    host.sleptMs = 0;
    const auto outcome = pass({false, false, true});
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->passed);
    EXPECT_GE(host.sleptMs, 350);
    EXPECT_EQ(commands().front(), 7);
    EXPECT_TRUE(isCompletion(host.log.front()));

    // The view's edits are pulled first, as for Write.
    buffers.loadedLength = 0;
    view.load(std::vector<std::uint8_t>(0x20, 0x5A));
    view.changed = true;
    ASSERT_TRUE(pass({false, false, false}));
    EXPECT_EQ(buffers.loadedLength, 0x20);
    EXPECT_EQ(buffers.flash()[0x1F], 0x5A);
}

// An address range the write would refuse is refused before the erase: the chip keeps
// what it holds, and nothing is sent.
TEST_F(AutoTest, AnUnusableRangeIsRefusedBeforeTheErase) {
    buffers.range.enabled = true;
    buffers.range.start = 0x300;
    buffers.range.end = 0x100; // backwards
    sim.clearLog();
    EXPECT_FALSE(pass());
    buffers.range.end = kFlashBufferSize + 1; // past the buffer
    EXPECT_FALSE(pass({true, false, true}));
    EXPECT_TRUE(sim.log().empty());
    EXPECT_EQ(sim.chip().memory(), std::vector<std::uint8_t>(0x1000, 0x00));
    EXPECT_EQ(host.errors.size(), 2u);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.beeps, 0);
    // An erase alone does not use the range.
    const auto erased = pass({true, false, false});
    ASSERT_TRUE(erased);
    EXPECT_TRUE(erased->passed);
}

TEST_F(AutoTest, NoProgrammer) {
    sim.unplug();
    const auto outcome = pass();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->failedStep, PassStep::NotConnected);
    EXPECT_EQ(host.errors, Lines{"Not connected"});
    EXPECT_TRUE(host.log.empty());
}

namespace {

// A detection that the programmer answered with the type code.
ChipIdentity answer(int code) {
    ChipIdentity id;
    id.reach = ChipIdentity::Reach::Answered;
    id.reply[0] = static_cast<std::uint8_t>(code);
    return id;
}

} // namespace

TEST(PresenceCounter, PassOnTheSixthDetectionThatSeesAChip) {
    PresenceCounter counter;
    std::string passes;
    for (int code : {1, 1, 1, 1, 1, 1, 1, 1, 0, 2, 3, 1, 1, 1, 1})
        passes += counter.see(answer(code)) ? 'P' : '.';
    EXPECT_EQ(passes, ".....P........P"); // once per chip; the empty socket rearms
    EXPECT_EQ(counter.count(), 6);
    EXPECT_FALSE(counter.see(answer(3))); // the chip stays: no second pass
}

// Detection takes type codes 4 and above for no chip: batch mode neither counts them
// nor lets one start a pass.
TEST(PresenceCounter, CodesThatAreNoChipNeitherCountNorReset) {
    PresenceCounter counter;
    for (int code : {4, 127, 200, 4})
        EXPECT_FALSE(counter.see(answer(code)));
    EXPECT_EQ(counter.count(), 0);
    for (int code : {1, 1, 200, 2, 4, 3})
        EXPECT_FALSE(counter.see(answer(code)));
    EXPECT_EQ(counter.count(), 4);
    EXPECT_FALSE(counter.see(answer(1)));
    EXPECT_FALSE(counter.see(answer(200))); // counted five, but this detection saw no chip
    EXPECT_FALSE(counter.see(answer(5)));
    EXPECT_TRUE(counter.see(answer(1))); // the next that sees one starts the pass
    EXPECT_FALSE(counter.see(answer(200)));
    EXPECT_FALSE(counter.see(answer(0))); // an empty socket rearms
    EXPECT_EQ(counter.count(), 0);
}

TEST(BatchLog, PassLines) {
    PassOutcome ok;
    ok.passed = true;
    ok.verified = true;
    EXPECT_EQ(passLine(12, ok, {11, 1, 0}, 2, 0), "#12 PASS, 11 passed, 1 failed");
    PassOutcome bad;
    bad.failedStep = PassStep::Verify;
    EXPECT_EQ(passLine(3, bad, {1, 2, 0}, 2, 0), "#3 FAIL (verify), 1 passed, 2 failed");
    EXPECT_EQ(passLine(3, bad, {1, 2, 0}, 0, 0), "#3 失败（校验），已通过 1，失败 2");
    // An EEPROM chip's step names its EEPROM; an AVR's, like a 25 series', does not.
    EXPECT_EQ(passLine(3, bad, {1, 2, 0}, 1, 3), "#3 失敗（校驗 EEPROM），已通過 1，失敗 2");
    EXPECT_EQ(passLine(3, bad, {1, 2, 0}, 2, 4), "#3 FAIL (verify), 1 passed, 2 failed");
    bad.failedStep = PassStep::NotConnected;
    EXPECT_EQ(passLine(4, bad, {1, 3, 0}, 2, 1), "#4 FAIL (not connected), 1 passed, 3 failed");
    // Every step succeeded, but none was a verify: no PASS, in any language.
    ok.verified = false;
    EXPECT_EQ(passLine(5, ok, {0, 1, 4}, 2, 0),
              "#5 NOT VERIFIED, 0 passed, 1 failed, 4 not verified");
    EXPECT_EQ(passLine(5, ok, {0, 1, 4}, 0, 0), "#5 未校验，已通过 0，失败 1，未校验 4");
    EXPECT_EQ(passLine(5, ok, {0, 1, 4}, 1, 0), "#5 未校驗，已通過 0，失敗 1，未校驗 4");
}
