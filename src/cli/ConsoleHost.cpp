#include "ConsoleHost.h"

#include "Console.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <thread>
#include <unistd.h>

namespace korvat::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int) {
    g_interrupted = 1;
}

} // namespace

// Ctrl+C, a kill and a closed terminal all end a command the same way: the flag is set
// and the command ends at its next transfer, its bracket closed. A hang-up the process was
// started to ignore (nohup) stays ignored; SIGINT is caught also where a shell ignores
// it for a background job, so kill -INT ends a line's jobs.
void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction hangUp {};
    if (sigaction(SIGHUP, nullptr, &hangUp) != 0 || hangUp.sa_handler != SIG_IGN)
        sigaction(SIGHUP, &action, nullptr);
}

bool interrupted() {
    return g_interrupted != 0;
}

ConsoleHost::ConsoleHost(bool quiet, bool json)
    : m_quiet(quiet), m_json(json), m_bar(!quiet && isatty(STDERR_FILENO)) {}

void ConsoleHost::insertLogLine(std::string_view line) {
    m_lines.emplace_back(line);
    if (m_quiet || m_json)
        return;
    if (m_bar && m_drawnPercent >= 0)
        std::fputs("\r\033[K", stderr);
    std::fprintf(m_log, "%.*s\n", static_cast<int>(line.size()), line.data());
    std::fflush(m_log);
}

std::string ConsoleHost::timeText() const {
    const std::time_t now = std::time(nullptr);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", std::localtime(&now));
    return text;
}

bool ConsoleHost::setProgressValue(std::uint32_t value) {
    m_value = value;
    const int percent = m_maximum ? static_cast<int>(100.0 * value / m_maximum) : 0;
    if (percent == m_drawnPercent)
        return false;
    m_drawnPercent = percent;
    drawBar();
    return true;
}

void ConsoleHost::setTransferText(std::string_view rate, std::string_view timeLeft) {
    m_rate = rate;
    m_left = timeLeft;
    drawBar();
}

void ConsoleHost::drawBar() {
    if (!m_bar || m_drawnPercent < 0)
        return;
    constexpr int kWidth = 30;
    const int filled = m_drawnPercent * kWidth / 100;
    const std::string counts =
        m_text.empty() ? std::to_string(m_value) + "/" + std::to_string(m_maximum) + " bytes"
                       : m_text;
    std::fprintf(stderr, "\r\033[K[%.*s%*s] %3d%% %s %s %s", filled,
                 "##############################", kWidth - filled, "", m_drawnPercent,
                 counts.c_str(), m_rate.c_str(), m_left.c_str());
    std::fflush(stderr);
}

void ConsoleHost::showError(std::string_view text) {
    m_errors.emplace_back(text);
    noteError(text);
    if (m_bar && m_drawnPercent >= 0)
        std::fputs("\r\033[K", stderr);
    std::fprintf(stderr, "korvat-cli: %.*s\n", static_cast<int>(text.size()), text.data());
}

double ConsoleHost::seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

void ConsoleHost::sleep(int milliseconds) {
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace korvat::cli
