#pragma once
// Batch mode: while its toggle is down the socket is watched, and every chip put in gets
// one Auto pass; each pass is logged with the run's counts and appended to the
// production record.

#include "catalogue/NameText.h"
#include "link/Connection.h"
#include "ops/BatchRecord.h"
#include "ops/Engine.h"

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
    // One detection's answer; true when a pass is to run now. An unanswered detection
    // (programmer unreachable, exchange failed) tells nothing: the count stays.
    bool see(const ChipIdentity &id);
    int count() const { return m_count; }

private:
    int m_count = 0;
};

// How the passes of a run ended so far.
struct PassCounts {
    int passed = 0; // verified
    int failed = 0;
    int unverified = 0; // every step succeeded, none was a verify
    int total() const { return passed + failed + unverified; }
    bool operator==(const PassCounts &) const = default;
};

// What the socket waits for while a run goes on.
enum class SocketState {
    WaitingForChip,    // empty, or a chip seen fewer than six times
    Programming,       // a pass runs
    WaitingForRemoval, // the chip of the last pass is still in
};

// What a run shows at a glance: where the socket stands and the counts so far.
struct BatchStatus {
    SocketState socket = SocketState::WaitingForChip;
    PassCounts counts;
    bool operator==(const BatchStatus &) const = default;
};

// The status text: "insert a chip: 11 passed, 1 failed". A run's passes all verify or
// none does (its steps do not change while it runs), so one without a verify shows its
// passes not verified in place of the passed: "remove the chip: 3 not verified, 0 failed".
std::string batchStatusText(const BatchStatus &status, int language);

// What the batch loop needs of the window.
class BatchWindow {
public:
    virtual ~BatchWindow() = default;
    virtual bool batchOn() const = 0;  // the toggle is still down
    virtual ChipIdentity detect() = 0; // the detection exchange, shown nowhere
    // The steps every pass runs, as the Auto options tick them.
    virtual AutoSteps passSteps() const = 0;
    virtual std::optional<PassOutcome>
    runPass() = 0;                            // the whole of Auto; nothing when it did nothing
    virtual NameParts chipName() const = 0;   // the selected chip
    virtual int chipFamily() const = 0;       // and its family code
    virtual void pause(int milliseconds) = 0; // waits, handling the window's events
    virtual void stop() = 0;                  // releases the toggle from inside
    // The serial number the last pass wrote into its chip, for the record; none when
    // the run writes none.
    virtual std::optional<std::string> passSerial() const { return std::nullopt; }
    // The run's status, from its start and each time it changes; shown nowhere by
    // default.
    virtual void showStatus(const BatchStatus &) {}
};

class BatchLoop {
public:
    // now: seconds since the epoch, for the record.
    BatchLoop(BatchWindow &window, OperationHost &host, BatchRecord &record, const int &language,
              std::function<std::int64_t()> now);

    // Runs until the toggle is released, or the record cannot be written: a production
    // line does not run unrecorded. A run whose passes would run no step at all does not
    // start.
    void run();

    int passes() const { return m_counts.total(); }
    int passed() const { return m_counts.passed; }
    int failed() const { return m_counts.failed; }
    int unverified() const { return m_counts.unverified; }
    // The run ended because the record could not be written.
    bool recordFailed() const { return m_recordFailed; }

private:
    bool pass(const ChipIdentity &id);
    void log(const std::string &line);
    void refuseUnrecorded();
    void refuse(const std::string &why);
    void report(SocketState socket);

    BatchWindow &m_window;
    OperationHost &m_host;
    BatchRecord &m_record;
    const int &m_language;
    std::function<std::int64_t()> m_now;
    std::int64_t m_runStart = 0;
    PassCounts m_counts;
    std::optional<BatchStatus> m_shown; // the status the window was last given
    bool m_recordFailed = false;
};

// The log line of a pass with the run's counts including it: "#12 PASS, 11 passed,
// 1 failed", with FAIL and the step, or NOT VERIFIED and the count of those. family:
// the chip's; the erase, write or verify of an EEPROM family's chip names the EEPROM.
std::string passLine(int number, const PassOutcome &outcome, const PassCounts &counts, int language,
                     int family);

} // namespace korvat
