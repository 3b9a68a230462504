#pragma once
// ProgressMeter: the transfer rate and the time left of a running operation, for the
// status bar. Positions are sampled against a clock; the rate is measured over intervals
// of at least half a second and smoothed across them, so the figures neither flicker
// nor jump, and they change at most once per interval. Nothing is shown until the first
// interval is complete.

#include <cstdint>
#include <string>

namespace korvat {

class ProgressMeter {
public:
    // Shortest interval a rate is measured over; also the fastest the texts change.
    static constexpr double kInterval = 0.5;
    // Weight of the newest interval in the smoothed rate.
    static constexpr double kSmoothing = 0.3;

    // A new operation of total bytes begins at now (seconds). The first sample is the
    // reference the rate is measured from: positions may start anywhere below total.
    void start(std::uint64_t total, double now);
    // The position reached at now; true when the texts changed. A position going
    // backwards starts a new interval; a clock that does not advance changes nothing.
    bool sample(std::uint64_t done, double now);
    // Forgets the operation: no texts until the next start.
    void reset();

    bool running() const { return m_running; }
    // Smoothed bytes per second; 0 while unknown.
    double rate() const { return m_rate; }
    // "850 KiB/s", "12.4 MiB/s"; empty while unknown.
    const std::string &rateText() const { return m_rateText; }
    // Whole seconds left, rounded up, as "m:ss" ("0:07", "72:05"); empty while unknown.
    const std::string &timeLeftText() const { return m_timeLeftText; }

    // The text forms, for any rate (bytes per second) and any number of seconds.
    static std::string formatRate(double bytesPerSecond);
    static std::string formatTimeLeft(std::uint64_t seconds);

private:
    bool m_running = false;
    bool m_haveMark = false;
    std::uint64_t m_total = 0;
    std::uint64_t m_markDone = 0; // where the current interval began
    double m_markTime = 0;
    double m_rate = 0;
    std::string m_rateText;
    std::string m_timeLeftText;
};

} // namespace korvat
