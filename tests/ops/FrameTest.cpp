// The frame every command runs through: refusals alike for every command, and a
// cancellation that ends a command through its normal close as interrupted.
#include "EngineFixture.h"

using namespace korvat;
using namespace korvat::test;
using ksim::Family;
using Codes = std::vector<int>;

namespace {

bool hasCompletionLine(const std::vector<std::string> &log) {
    return std::any_of(log.begin(), log.end(),
                       [](const std::string &line) { return line.find("Complete!") != line.npos; });
}

} // namespace

// Asked while a read holds the programmer, a single command and an Auto pass are refused
// the same way: the busy box, nothing sent, and the read goes on to its end.
TEST_F(EngineTest, EveryCommandIsRefusedAlikeWhileOneRuns) {
    useChip(Family::Spi25, 0, 4096, 256);
    buffers.loadedLength = 256;
    std::optional<PassOutcome> single = PassOutcome{}, pass = PassOutcome{};
    host.onEvents = [&] {
        single = run(Operation::Write);
        pass = engine.runAuto(place(chip), 0, view, {});
    };
    const auto read = run(Operation::Read);
    EXPECT_FALSE(single);
    EXPECT_FALSE(pass);
    const std::string busy = "The programmer is busy. Wait for the current operation to end.";
    EXPECT_EQ(host.errors, (std::vector<std::string>{busy, busy}));
    EXPECT_EQ(commands(), (Codes{7, 5, 8}));
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->passed);
}

// Cancelled after its first transfer (or poll), each command sends nothing more of its
// own, closes its bracket (CMD_END last, the programmer closed), shows no box and no
// completion line, and ends as interrupted, keeping the seconds it ran but no CRC-32; its
// last log line says where it stopped (an erase of the whole chip has no address).
TEST_F(EngineTest, ACancelledCommandEndsThroughItsCloseAsInterrupted) {
    struct Case {
        const char *name;
        std::function<std::optional<PassOutcome>()> start;
    };
    const std::vector<Case> cases = {
        {"read", [&] { return run(Operation::Read); }},
        {"blank check", [&] { return run(Operation::BlankCheck); }},
        {"verify", [&] { return run(Operation::Verify); }},
        {"write", [&] { return run(Operation::Write); }},
        {"erase", [&] { return run(Operation::Erase); }},
        {"auto", [&] { return engine.runAuto(place(chip), 0, view, {}); }},
    };
    for (const Case &c : cases) {
        sim.clearLog();
        useChip(Family::Spi25, 0, 0x4000, 256);
        sim.programmer().erasePolls = 5;
        sim.chip().memory().assign(0x4000, 0xFF);
        buffers.loadedLength = 0x4000;
        host.errors.clear();
        host.log.clear();
        host.beeps = 0;
        host.cancel = false;
        host.clockStep = 0.25;
        // The first pump, between the socket check and the bracket, passes.
        host.onEvents = [&] { host.onEvents = [&] { host.cancel = true; }; };
        const int loadsBefore = view.loads;

        const auto outcome = c.start();
        ASSERT_TRUE(outcome) << c.name;
        EXPECT_FALSE(outcome->passed) << c.name;
        EXPECT_EQ(outcome->failedStep, PassStep::Interrupted) << c.name;
        EXPECT_FALSE(outcome->failedAddress) << c.name;
        EXPECT_FALSE(outcome->dataCrc) << c.name;
        EXPECT_GE(outcome->seconds, 0.25) << c.name;
        EXPECT_LT(outcome->seconds, 1.0) << c.name;
        const Codes sent = commands();
        ASSERT_FALSE(sent.empty()) << c.name;
        EXPECT_EQ(sent.front(), 7) << c.name;
        EXPECT_EQ(sent.back(), 8) << c.name;
        EXPECT_EQ(std::count(sent.begin(), sent.end(), 8), 1) << c.name;
        EXPECT_LE(dataReads().size() + dataWrites().size(), 1u) << c.name;
        EXPECT_LE(std::count(sent.begin(), sent.end(), 10), 1) << c.name; // erase polls
        EXPECT_FALSE(connection.busy()) << c.name;
        EXPECT_FALSE(usb.isOpen()) << c.name;
        EXPECT_TRUE(host.errors.empty()) << c.name;
        EXPECT_FALSE(hasCompletionLine(host.log)) << c.name;
        EXPECT_EQ(host.beeps, 1) << c.name;
        EXPECT_EQ(view.loads, loadsBefore) << c.name; // a stopped read keeps nothing
        const std::string stop = c.name == std::string("erase") || c.name == std::string("auto")
                                     ? "The erase was stopped: the chip may be"
                                     : "The " + std::string(c.name) + " stopped at address 100h";
        EXPECT_EQ(host.log.front().substr(9, stop.size()), stop) << c.name;
    }
    // An Auto pass stopped in its erase writes nothing into the chip.
    EXPECT_TRUE(dataWrites().empty());

    // A Stop that comes once the last transfer of a write was sent finds the chip holding
    // the whole image: a Write completes, an Auto pass ends before its verify saying so.
    for (const bool autoPass : {false, true}) {
        useChip(Family::Spi25, 0, 0x100, 256); // one transfer
        buffers.loadedLength = 0x100;
        host.log.clear();
        host.cancel = false;
        host.onEvents = [&] { host.onEvents = [&] { host.cancel = true; }; };
        const auto outcome = autoPass ? engine.runAuto(place(chip), 0, view, {false, true, true})
                                      : run(Operation::Write);
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->passed, !autoPass);
        EXPECT_EQ(hasCompletionLine(host.log), !autoPass);
        EXPECT_EQ(host.log.front().find("partly written"), std::string::npos) << autoPass;
        if (autoPass)
            EXPECT_EQ(host.log.front().substr(9), "The verify stopped at address 0h: the chip was "
                                                  "not verified.");
    }

    // Cancelled before it started, a command sends nothing at all.
    sim.clearLog();
    host.cancel = true;
    const auto before = run(Operation::Read);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->failedStep, PassStep::Interrupted);
    EXPECT_TRUE(allCommands().empty());
    EXPECT_TRUE(host.errors.empty());
}
