#pragma once
// The operation host of the command line: log lines on standard output, errors on
// standard error, a progress bar on standard error when it is a terminal, real waits,
// and Ctrl+C (or SIGTERM, SIGHUP), which cancels the running operation: it ends at its
// next transfer, its bracket closed.

#include "base/OperationHost.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace korvat::cli {

// Installs the handler of Ctrl+C, SIGTERM and SIGHUP (it only sets a flag).
void catchInterrupt();
bool interrupted();

class ConsoleHost : public OperationHost {
public:
    ConsoleHost(bool quiet, bool json);

    void setStatusText(std::string_view) override {}
    void insertLogLine(std::string_view line) override;
    std::string firstLogLine() const override { return m_lines.empty() ? "" : m_lines.back(); }
    std::string timeText() const override;
    void setProgressVisible(bool) override {}
    void setProgressMaximum(std::uint32_t maximum) override { m_maximum = maximum; }
    bool setProgressValue(std::uint32_t value) override;
    void setTransferText(std::string_view rate, std::string_view timeLeft) override;
    void setProgressText(std::string_view text) override { m_text = text; }
    void processEvents() override {}
    bool cancelled() const override { return m_interruptible && interrupted(); }
    void showError(std::string_view text) override;
    void beep() override {}
    double seconds() const override;
    void sleep(int milliseconds) override;

    const std::vector<std::string> &errors() const { return m_errors; }
    // Whether Ctrl+C cancels what runs now (it does unless switched off, as batch mode
    // does between passes, where it only ends the run).
    void setInterruptible(bool on) { m_interruptible = on; }
    // Log lines on standard error, for a command whose standard output carries data.
    void logToStandardError() { m_log = stderr; }

private:
    void drawBar();

    bool m_quiet, m_json, m_bar;
    std::FILE *m_log = stdout;
    bool m_interruptible = true;
    std::vector<std::string> m_lines, m_errors;
    std::uint32_t m_maximum = 0, m_value = 0;
    int m_drawnPercent = -1;
    std::string m_rate, m_left;
    std::string m_text; // in place of the byte counts while set
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

} // namespace korvat::cli
