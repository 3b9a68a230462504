#pragma once
// Batch mode: while its toggle is down the socket is watched, and every chip put in gets
// one Auto pass; each pass is logged with the run's counts and appended to the
// production record.

#include "catalogue/NameText.h"
#include "link/Connection.h"
#include "ops/BatchRecord.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace korvat {

class OperationHost;

// Consecutive detections that saw a chip. A pass runs on the sixth: five that see a chip
// (type codes 1 to 3, what detection takes for a chip) count up, and the next that sees
// one starts it. Other type codes (4 and above, which detection takes for no chip) neither
// count, reset nor start a pass; an empty socket (0) rearms.
class PresenceCounter {
public:
    // One detection's type code; true when a pass is to run now.
    bool see(int typeCode);
    int count() const { return m_count; }

private:
    int m_count = 0;
};

// What the batch loop needs of the window.
class BatchWindow {
public:
    virtual ~BatchWindow() = default;
    virtual bool batchOn() const = 0;  // the toggle is still down
    virtual ChipIdentity detect() = 0; // the detection exchange, shown nowhere
    virtual std::optional<PassOutcome>
    runPass() = 0;                            // the whole of Auto; nothing when it did nothing
    virtual NameParts chipName() const = 0;   // the selected chip
    virtual void pause(int milliseconds) = 0; // waits, handling the window's events
    virtual void stop() = 0;                  // releases the toggle from inside
    // The serial number the last pass wrote into its chip, for the record; none when
    // the run writes none.
    virtual std::optional<std::string> passSerial() const { return std::nullopt; }
};

class BatchLoop {
public:
    // now: seconds since the epoch, for the record.
    BatchLoop(BatchWindow &window, OperationHost &host, BatchRecord &record, const int &language,
              std::function<std::int64_t()> now);

    // Runs until the toggle is released, or the record cannot be written: a production
    // line does not run unrecorded.
    void run();

    int passes() const { return m_passed + m_failed; }
    int passed() const { return m_passed; }
    int failed() const { return m_failed; }
    // The run ended because the record could not be written.
    bool recordFailed() const { return m_recordFailed; }

private:
    bool pass(const ChipIdentity &id);
    void log(const std::string &line);
    void refuseUnrecorded();

    BatchWindow &m_window;
    OperationHost &m_host;
    BatchRecord &m_record;
    const int &m_language;
    std::function<std::int64_t()> m_now;
    int m_passed = 0;
    int m_failed = 0;
    bool m_recordFailed = false;
};

// The log line of a pass: "#12 PASS, 11 passed, 1 failed", or with FAIL and the step.
std::string passLine(int number, const PassOutcome &outcome, int passed, int failed, int language);

} // namespace korvat
