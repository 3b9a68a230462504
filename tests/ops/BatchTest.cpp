// The batch loop against a scripted window: which detections start a pass, what each
// pass logs and records, and the refusals that keep a run from going unrecorded.
#include "ops/Batch.h"
#include "ops/RecordingHost.h"

#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace korvat;
namespace fs = std::filesystem;

namespace {

ChipIdentity answer(int typeCode, std::uint32_t id = 0) {
    ChipIdentity identity;
    identity.reach = ChipIdentity::Reach::Answered;
    identity.reply = {static_cast<std::uint8_t>(typeCode), static_cast<std::uint8_t>(id >> 16),
                      static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id)};
    return identity;
}

ChipIdentity unreachable() {
    return {};
}

// The window as a script: the detections it answers in turn (the toggle is released
// once they run out), the outcome of each pass, and what the loop asked of it.
struct ScriptedWindow : BatchWindow {
    std::deque<ChipIdentity> detections;
    std::deque<std::optional<PassOutcome>> outcomes;
    AutoSteps steps;
    std::function<void()> duringPass;
    int detected = 0;
    std::vector<int> passesAt; // the detection each pass came after
    std::vector<int> pauses;
    int stops = 0;
    std::vector<std::string> statuses; // as shown, in English

    bool batchOn() const override { return stops == 0 && !detections.empty(); }
    ChipIdentity detect() override {
        ++detected;
        if (detections.empty())
            return unreachable();
        const ChipIdentity id = detections.front();
        detections.pop_front();
        return id;
    }
    AutoSteps passSteps() const override { return steps; }
    std::optional<PassOutcome> runPass() override {
        passesAt.push_back(detected);
        if (duringPass)
            duringPass();
        auto outcome = outcomes.empty() ? std::nullopt : outcomes.front();
        if (!outcomes.empty())
            outcomes.pop_front();
        return outcome;
    }
    NameParts chipName() const override { return {"25_SPI_FLASH", "Winbond", "W25Q64"}; }
    int chipFamily() const override { return 0; }
    void pause(int milliseconds) override { pauses.push_back(milliseconds); }
    void stop() override { ++stops; }
    void showStatus(const BatchStatus &status) override {
        statuses.push_back(batchStatusText(status, 2));
    }
};

PassOutcome verified() {
    PassOutcome o;
    o.passed = o.verified = true;
    o.dataCrc = 0x1234ABCD;
    return o;
}

PassOutcome failedAt(PassStep step, std::uint64_t address) {
    PassOutcome o;
    o.failedStep = step;
    o.failedAddress = address;
    return o;
}

class BatchLoopTest : public ::testing::Test {
protected:
    fs::path m_dir = fs::temp_directory_path() /
                     ("korvat-batch-loop-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ScriptedWindow window;
    test::RecordingHost host;
    int language = 2;
    std::int64_t clock = 1796735007;

    void SetUp() override { fs::create_directories(m_dir); }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string recordPath() const { return (m_dir / "korvat-batch.csv").string(); }
    std::vector<std::string> recordLines() const {
        std::ifstream in(recordPath());
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    // The log lines without their time, oldest first.
    std::vector<std::string> logged() const {
        std::vector<std::string> lines;
        for (auto it = host.log.rbegin(); it != host.log.rend(); ++it)
            lines.push_back(it->substr(it->find(' ') + 1));
        return lines;
    }
    BatchLoop loopOver(BatchRecord &record) {
        return BatchLoop(window, host, record, language, [this] { return clock++; });
    }
};

// Six detections that see a chip start one pass; an unreachable programmer keeps the
// count, codes that are no chip neither count nor reset it, an empty socket rearms it.
// Each pass is logged with the run's counts and recorded under the selected chip's name.
TEST_F(BatchLoopTest, EveryChipPutInGetsOnePassOnItsSixthDetection) {
    const ChipIdentity chip = answer(1, 0xEF4017);
    window.detections = {answer(0), answer(0),   chip, chip,      unreachable(), chip, chip, chip,
                         chip,            // 9: the pass
                         chip,      chip, // still in the socket: no second pass
                         answer(0),       // 12: taken out
                         chip,      answer(200), chip, answer(4), chip,          chip, chip,
                         chip, // 20: the next chip's pass
                         chip,      answer(0)};
    window.outcomes = {verified(), failedAt(PassStep::Verify, 0x1F00)};
    BatchRecord record(recordPath());
    BatchLoop loop = loopOver(record);
    loop.run();

    EXPECT_EQ(window.passesAt, (std::vector<int>{9, 20}));
    EXPECT_EQ(window.detected, 22);
    EXPECT_EQ(window.pauses, std::vector<int>(21, 150)); // none after the release
    EXPECT_EQ(window.stops, 0);
    EXPECT_EQ(loop.passes(), 2);
    EXPECT_EQ(loop.passed(), 1);
    EXPECT_EQ(loop.failed(), 1);
    EXPECT_FALSE(loop.recordFailed());
    EXPECT_EQ(window.statuses.at(5), "remove the chip: 1 passed, 1 failed");
    EXPECT_EQ(logged(), (std::vector<std::string>{"Batch record file: " + recordPath(),
                                                  "#1 PASS, 1 passed, 0 failed",
                                                  "#2 FAIL (verify), 1 passed, 1 failed"}));
    EXPECT_TRUE(host.errors.empty());
    const auto lines = recordLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], recordHeader());
    EXPECT_NE(lines[1].find(",1,25_SPI_FLASH,Winbond,W25Q64,1:EF4017,PASS,,,1234ABCD,"),
              std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find(",2,25_SPI_FLASH,Winbond,W25Q64,1:EF4017,FAIL,verify,1F00,,"),
              std::string::npos)
        << lines[2];
}

// A pass that did nothing is a failure, counted and recorded as nothing loaded; one
// whose steps all succeeded without a verify counts as not verified.
TEST_F(BatchLoopTest, APassThatDidNothingFailsAndOneWithoutVerifyIsNotVerified) {
    const ChipIdentity chip = answer(2);
    window.detections = {chip, chip, chip, chip, chip, chip, answer(0),
                         chip, chip, chip, chip, chip, chip, answer(0)};
    PassOutcome unverified;
    unverified.passed = true;
    window.outcomes = {std::nullopt, unverified};
    BatchRecord record(recordPath());
    BatchLoop loop = loopOver(record);
    loop.run();
    EXPECT_EQ(window.passesAt, (std::vector<int>{6, 13}));
    EXPECT_EQ(loop.failed(), 1);
    EXPECT_EQ(loop.unverified(), 1);
    EXPECT_EQ(logged().back(), "#2 NOT VERIFIED, 0 passed, 1 failed, 1 not verified");
    EXPECT_EQ(window.statuses.back(), "insert a chip: 1 not verified, 1 failed");
    const auto lines = recordLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find(",2:000000,FAIL,nothing-loaded,"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(",2:000000,UNVERIFIED,"), std::string::npos) << lines[2];
}

// A run whose passes would run no step, or whose record cannot be written, does not
// start: the toggle is released from inside and nothing is detected.
TEST_F(BatchLoopTest, ARunWithoutStepsOrRecordDoesNotStart) {
    window.detections = std::deque<ChipIdentity>(10, answer(1, 0xEF4017));
    window.steps = {false, false, false};
    BatchRecord record(recordPath());
    loopOver(record).run();
    EXPECT_EQ(window.detected, 0);
    EXPECT_EQ(window.stops, 1);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_TRUE(host.errors[0].starts_with("Batch mode did not start: no step")) << host.errors[0];
    EXPECT_TRUE(host.log.empty()); // a refusal before anything was sent: the box alone
    EXPECT_TRUE(window.statuses.empty());
    EXPECT_FALSE(fs::exists(recordPath()));

    window.steps = {};
    window.stops = 0;
    host.errors.clear();
    fs::create_directory(recordPath()); // a folder where the record goes
    BatchLoop loop = loopOver(record);
    loop.run();
    EXPECT_EQ(window.detected, 0);
    EXPECT_EQ(window.stops, 1);
    EXPECT_TRUE(loop.recordFailed());
    const std::string failure =
        "Cannot write the batch record file; batch mode stopped: " + recordPath();
    EXPECT_EQ(host.errors, std::vector<std::string>{failure});
    EXPECT_EQ(logged(), std::vector<std::string>{failure});
}

// A pass whose record cannot be written ends the run right after it.
TEST_F(BatchLoopTest, ARecordLostDuringThePassEndsTheRun) {
    window.detections = std::deque<ChipIdentity>(20, answer(1, 0xEF4017));
    window.outcomes = {verified(), verified()};
    window.duringPass = [&] {
        fs::remove(recordPath());
        fs::create_directory(recordPath());
    };
    BatchRecord record(recordPath());
    BatchLoop loop = loopOver(record);
    loop.run();
    EXPECT_EQ(window.passesAt, std::vector<int>{6});
    EXPECT_EQ(window.detected, 6); // nothing more was detected
    EXPECT_EQ(window.stops, 1);
    EXPECT_TRUE(loop.recordFailed());
    EXPECT_EQ(logged().at(1), "#1 PASS, 1 passed, 0 failed");
    EXPECT_EQ(host.errors.size(), 1u);
}

} // namespace
