// The engine's log lines beyond the start lines: the completion line, where a stopped
// command stopped and what that left behind, and what a failed verify found.
#include "Engine.h"

#include "base/HexText.h"
#include "base/OperationHost.h"
#include "link/Connection.h"

#include <cmath>
#include <cstdio>

namespace korvat {

void Engine::logCompletion(TextName done, double started, std::optional<TextName> note) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", std::abs(m_host.seconds() - started));
    std::string line = m_host.timeText() + " " + text(done) + text(txtUseTime) + seconds + " s";
    if (note)
        line += " " + text(*note);
    m_host.insertLogLine(line);
}

void Engine::logStop() {
    std::string line;
    if (!m_reached.engine) {
        line = text(txtStoppedBeforeStart);
    } else if (!m_reached.address) {
        line = text(txtStoppedErasing);
    } else {
        switch (*m_reached.engine) {
        case Operation::Erase:
            line = text(txtStoppedErase);
            break;
        case Operation::Read:
            line = text(txtStoppedRead);
            break;
        case Operation::BlankCheck:
            line = text(txtStoppedBlank);
            break;
        case Operation::Write:
            line = text(txtStoppedWrite);
            break;
        case Operation::Verify:
            line = text(txtStoppedVerify);
            break;
        }
        replaceMark(line, "%1", addressText(*m_reached.address));
    }
    m_host.insertLogLine(m_host.timeText() + " " + line);
}

// The line beside the mismatch box: the first differing byte as the buffer and the chip
// hold it, and how many of the bytes compared in that transfer differ.
void Engine::logMismatch(std::uint64_t address, std::uint8_t expected, std::uint8_t read,
                         std::size_t differing, std::size_t compared) {
    std::string line = text(txtVerifyMismatchDetail);
    replaceMark(line, "%1", addressText(address));
    replaceMark(line, "%2", hexText(expected, 2) + "h");
    replaceMark(line, "%3", hexText(read, 2) + "h");
    replaceMark(line, "%4", std::to_string(differing));
    replaceMark(line, "%5", std::to_string(compared));
    m_host.insertLogLine(m_host.timeText() + " " + line);
}

} // namespace korvat
