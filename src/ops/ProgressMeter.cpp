#include "ProgressMeter.h"

#include "base/OperationHost.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace korvat {
namespace {

// Longest time left shown; a stalled transfer would otherwise give hours of digits.
constexpr std::uint64_t kMaxTimeLeft = 999 * 60 + 59;
// Slack for clock values that are sums of fractions (0.1 + 0.1 + ...).
constexpr double kEpsilon = 1e-9;

// The number with one decimal, without the locale's decimal separator: the texts are
// the same in every language.
std::string tenths(double value) {
    const long long t = std::llround(value * 10);
    return std::to_string(t / 10) + "." + std::to_string(t % 10);
}

std::string whole(double value) {
    return std::to_string(std::llround(value));
}

} // namespace

void ProgressMeter::start(std::uint64_t total, double now) {
    reset();
    m_running = true;
    m_total = total;
    m_markTime = now;
}

void ProgressMeter::reset() {
    *this = ProgressMeter();
}

bool ProgressMeter::sample(std::uint64_t done, double now) {
    if (!m_running)
        return false;
    const double elapsed = now - m_markTime;
    if (!m_haveMark || done < m_markDone || elapsed < 0 || !std::isfinite(elapsed)) {
        m_haveMark = true;
        m_markDone = done;
        m_markTime = now;
        return false;
    }
    if (elapsed < kInterval - kEpsilon)
        return false;
    const double interval = static_cast<double>(done - m_markDone) / elapsed;
    m_rate = m_rate > 0 ? kSmoothing * interval + (1 - kSmoothing) * m_rate : interval;
    m_markDone = done;
    m_markTime = now;

    std::string rate, timeLeft;
    if (m_rate > 0) {
        const std::uint64_t remaining = done < m_total ? m_total - done : 0;
        const double seconds = std::ceil(static_cast<double>(remaining) / m_rate - kEpsilon);
        rate = formatRate(m_rate);
        timeLeft = formatTimeLeft(seconds < static_cast<double>(kMaxTimeLeft)
                                      ? static_cast<std::uint64_t>(std::max(0.0, seconds))
                                      : kMaxTimeLeft);
    }
    if (rate == m_rateText && timeLeft == m_timeLeftText)
        return false;
    m_rateText = std::move(rate);
    m_timeLeftText = std::move(timeLeft);
    return true;
}

// Short enough for the status bar's rate panel ("99.9 MiB/s" at most below 100 MiB/s):
// KiB/s below 1000 KiB/s, with one decimal below 10; MiB/s from there, with one decimal
// below 100 (1000 KiB/s shows as "1.0 MiB/s", rather than in four digits of KiB/s).
std::string ProgressMeter::formatRate(double bytesPerSecond) {
    const double kib = std::max(0.0, bytesPerSecond) / 1024;
    if (kib < 9.95)
        return tenths(kib) + " KiB/s";
    if (kib < 999.5)
        return whole(kib) + " KiB/s";
    const double mib = kib / 1024;
    if (mib < 99.95)
        return tenths(mib) + " MiB/s";
    return whole(mib) + " MiB/s";
}

std::string ProgressMeter::formatTimeLeft(std::uint64_t seconds) {
    return korvat::timeLeftText(seconds);
}

} // namespace korvat
