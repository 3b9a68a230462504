#include "ops/ProgressMeter.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using korvat::ProgressMeter;

namespace {

constexpr std::uint64_t KiB = 1024;
constexpr std::uint64_t MiB = 1024 * KiB;

// Drives a meter with a scripted clock: positions sampled every step seconds, as bars
// moving at a constant pace would.
struct Script {
    ProgressMeter meter;
    double now = 50.0;
    std::uint64_t done = 0;
    int changes = 0;
    std::vector<double> changedAt;

    Script(std::uint64_t total, std::uint64_t from = 0) : done(from) {
        meter.start(total, now);
        sample();
    }
    bool sample() {
        const bool changed = meter.sample(done, now);
        if (changed) {
            ++changes;
            changedAt.push_back(now);
        }
        return changed;
    }
    // seconds at bytesPerSecond, sampled every step.
    void run(double seconds, double bytesPerSecond, double step = 0.125) {
        for (double t = 0; t < seconds - 1e-9; t += step) {
            now += step;
            done += static_cast<std::uint64_t>(bytesPerSecond * step);
            sample();
        }
    }
};

} // namespace

TEST(ProgressMeterTest, NothingIsShownBeforeHalfASecondOfData) {
    Script s(8 * MiB);
    s.run(0.375, 1.0 * MiB);
    EXPECT_EQ(s.changes, 0);
    EXPECT_EQ(s.meter.rateText(), "");
    EXPECT_EQ(s.meter.timeLeftText(), "");
    s.run(0.125, 1.0 * MiB);
    EXPECT_EQ(s.changes, 1);
    EXPECT_NE(s.meter.rateText(), "");
}

TEST(ProgressMeterTest, ConstantRateGivesRateAndTimeLeft) {
    Script s(8 * MiB);
    s.run(0.5, 1.0 * MiB);
    EXPECT_EQ(s.meter.rateText(), "1.0 MiB/s");
    EXPECT_DOUBLE_EQ(s.meter.rate(), 1.0 * MiB);
    EXPECT_EQ(s.meter.timeLeftText(), "0:08"); // 7.5 MiB left, rounded up
    s.run(1.5, 1.0 * MiB);
    EXPECT_EQ(s.meter.rateText(), "1.0 MiB/s");
    EXPECT_EQ(s.meter.timeLeftText(), "0:06");
    s.run(5.5, 1.0 * MiB);
    EXPECT_EQ(s.meter.timeLeftText(), "0:01"); // half a second left still shows a second
    s.run(0.5, 1.0 * MiB);
    EXPECT_EQ(s.meter.timeLeftText(), "0:00");
}

TEST(ProgressMeterTest, RatesBelowOneMiBPerSecondAreInKiB) {
    Script s(64 * MiB);
    s.run(0.5, 850.0 * KiB);
    EXPECT_EQ(s.meter.rateText(), "850 KiB/s");

    Script slow(1 * MiB);
    slow.run(0.5, 4.5 * KiB);
    EXPECT_EQ(slow.meter.rateText(), "4.5 KiB/s");

    Script fast(1024 * MiB);
    fast.run(0.5, 12.4 * MiB);
    EXPECT_EQ(fast.meter.rateText(), "12.4 MiB/s");
}

TEST(ProgressMeterTest, RateTextsStayShort) {
    EXPECT_EQ(ProgressMeter::formatRate(0), "0.0 KiB/s");
    EXPECT_EQ(ProgressMeter::formatRate(9.94 * KiB), "9.9 KiB/s");
    EXPECT_EQ(ProgressMeter::formatRate(9.96 * KiB), "10 KiB/s");
    EXPECT_EQ(ProgressMeter::formatRate(999.4 * KiB), "999 KiB/s");
    EXPECT_EQ(ProgressMeter::formatRate(999.6 * KiB), "1.0 MiB/s"); // not "1000 KiB/s"
    EXPECT_EQ(ProgressMeter::formatRate(99.94 * MiB), "99.9 MiB/s");
    EXPECT_EQ(ProgressMeter::formatRate(99.96 * MiB), "100 MiB/s");
    for (double rate = 1; rate < 2000.0 * MiB; rate *= 1.01)
        EXPECT_LE(ProgressMeter::formatRate(rate).size(), 10u) << rate;
}

TEST(ProgressMeterTest, ASuddenSpikeIsSmoothed) {
    Script s(100 * MiB);
    s.run(5, 1.0 * MiB);
    EXPECT_EQ(s.meter.timeLeftText(), "1:35");
    // Half a second at ten times the pace: the time left shrinks, but by far less than the
    // spike's own rate would make it (95 s left at 10 MiB/s would be "0:10").
    s.run(0.5, 10.0 * MiB);
    const std::string afterSpike = s.meter.timeLeftText();
    EXPECT_EQ(afterSpike, "0:25"); // 90 MiB at 0.3 * 10 + 0.7 * 1 = 3.7 MiB/s
    EXPECT_EQ(s.meter.rateText(), "3.7 MiB/s");
    // Back to the old pace, the estimate returns towards it step by step.
    s.run(0.5, 1.0 * MiB);
    EXPECT_EQ(s.meter.rateText(), "2.9 MiB/s");
}

TEST(ProgressMeterTest, TextsChangeNoMoreOftenThanTheInterval) {
    Script s(1024 * MiB);
    // A rate that changes at every sample, sampled every 10 ms for 5 s.
    for (int i = 0; i < 500; ++i) {
        s.now += 0.01;
        s.done += (i % 2 ? 3 : 1) * 10 * KiB + static_cast<std::uint64_t>(i) * 97;
        s.sample();
    }
    ASSERT_GE(s.changes, 5);
    EXPECT_LE(s.changes, 10);
    for (std::size_t i = 1; i < s.changedAt.size(); ++i)
        EXPECT_GE(s.changedAt[i] - s.changedAt[i - 1], ProgressMeter::kInterval - 1e-6);
}

TEST(ProgressMeterTest, MinutesGoPastFiftyNine) {
    EXPECT_EQ(ProgressMeter::formatTimeLeft(7), "0:07");
    EXPECT_EQ(ProgressMeter::formatTimeLeft(725), "12:05");
    EXPECT_EQ(ProgressMeter::formatTimeLeft(3600), "60:00");
    Script s(100 * MiB);
    s.run(0.5, 20.0 * KiB); // about 5120 s left
    EXPECT_EQ(s.meter.timeLeftText(), "85:20");
}

TEST(ProgressMeterTest, AStalledTransferShowsAtMostTheLongestTime) {
    Script s(4096 * MiB);
    s.run(0.5, 100);
    EXPECT_EQ(s.meter.timeLeftText(), "999:59");
}

TEST(ProgressMeterTest, PositionsMayStartAtAnOffset) {
    // A range from 6 MiB to 8 MiB: the rate counts what moved, the time left what remains.
    Script s(8 * MiB, 6 * MiB);
    s.run(0.5, 1.0 * MiB);
    EXPECT_EQ(s.meter.rateText(), "1.0 MiB/s");
    EXPECT_EQ(s.meter.timeLeftText(), "0:02"); // 1.5 MiB left
}

TEST(ProgressMeterTest, ClockOrPositionGoingWrongChangesNothing) {
    Script s(8 * MiB);
    s.run(1, 1.0 * MiB);
    const std::string rate = s.meter.rateText(), left = s.meter.timeLeftText();
    // The clock stands still while bytes move.
    for (int i = 0; i < 10; ++i) {
        s.done += 64 * KiB;
        EXPECT_FALSE(s.sample());
    }
    // The clock goes backwards.
    s.now -= 10;
    EXPECT_FALSE(s.sample());
    // The position goes backwards: a new interval starts there, no rate from it.
    s.done = 1 * MiB;
    s.now += 1;
    EXPECT_FALSE(s.sample());
    EXPECT_EQ(s.meter.rateText(), rate);
    EXPECT_EQ(s.meter.timeLeftText(), left);
    s.run(0.5, 1.0 * MiB);
    EXPECT_EQ(s.meter.rateText(), "1.0 MiB/s");
    EXPECT_EQ(s.meter.timeLeftText(), "0:07"); // 6.5 MiB left
}

TEST(ProgressMeterTest, NoProgressShowsNoEstimate) {
    Script s(8 * MiB);
    s.run(2, 0);
    EXPECT_EQ(s.changes, 0);
    EXPECT_EQ(s.meter.rateText(), "");
    EXPECT_EQ(s.meter.timeLeftText(), "");
}

TEST(ProgressMeterTest, ResetAndRestartForgetTheLastOperation) {
    Script s(8 * MiB);
    s.run(1, 1.0 * MiB);
    ASSERT_NE(s.meter.rateText(), "");
    const int changes = s.changes;
    s.meter.reset();
    EXPECT_FALSE(s.meter.running());
    EXPECT_EQ(s.meter.rateText(), "");
    s.run(1, 1.0 * MiB);
    EXPECT_EQ(s.changes, changes); // nothing after the reset
    EXPECT_EQ(s.meter.rateText(), "");

    s.meter.start(4 * MiB, s.now);
    s.done = 0;
    s.sample();
    s.run(0.5, 100.0 * KiB);
    EXPECT_EQ(s.meter.rateText(), "100 KiB/s"); // not smoothed with the old operation's rate
}
