#pragma once
// What the chip operations need of the window they run in: the status panel, the
// activity log, the two progress bars (always moved together), the transfer rate and
// time left, event pumping, whether the command was cancelled, message boxes, the beep,
// the clock and the one sleep through which every prescribed wait goes.

#include <cstdint>
#include <string>
#include <string_view>

namespace korvat {

class OperationHost {
public:
    virtual ~OperationHost() = default;

    // Status bar panel 1: the connection state or the running operation's text.
    virtual void setStatusText(std::string_view text) = 0;
    // The activity log: lines go in at the top; the first line is the newest.
    virtual void insertLogLine(std::string_view line) = 0;
    virtual std::string firstLogLine() const = 0;
    // Local time of day in the long time format, e.g. "14:03:27".
    virtual std::string timeText() const = 0;

    virtual void setProgressVisible(bool visible) = 0;
    virtual void setProgressMaximum(std::uint32_t maximum) = 0;
    // True when the bars were redrawn: only then is a new rate or time left worth showing.
    virtual bool setProgressValue(std::uint32_t value) = 0;
    // The transfer rate ("850 KiB/s") and the time left ("1:05") of the running operation;
    // empty texts clear them.
    virtual void setTransferText(std::string_view rate, std::string_view timeLeft) = 0;
    // A text the upper bar shows in place of its percentage, while the bars count something
    // other than bytes (the tries of a wait); an empty text gives the percentage back.
    virtual void setProgressText(std::string_view) {}
    // Lets the window handle what is pending (repaint, clicks, device changes).
    virtual void processEvents() = 0;
    // Whether the person cancelled the running command. The engine asks after each
    // transfer and poll; a cancelled command ends through its normal close (CMD_END,
    // close) as interrupted.
    virtual bool cancelled() const { return false; }

    virtual void showError(std::string_view text) = 0; // caption "Error"
    // How an operation that has begun ends in failure: the text goes into the log as a
    // line of its own, then into the error box.
    void showFailure(std::string_view text) {
        insertLogLine(timeText() + " " + std::string(text));
        showError(text);
    }
    virtual void beep() = 0;
    // Monotonic seconds, for elapsed times.
    virtual double seconds() const = 0;
    // Every wait the protocol prescribes goes through here.
    virtual void sleep(int milliseconds) = 0;
};

// Whole seconds as the time left is shown: "m:ss" ("0:07", "72:05").
inline std::string timeLeftText(std::uint64_t seconds) {
    const std::uint64_t s = seconds % 60;
    return std::to_string(seconds / 60) + (s < 10 ? ":0" : ":") + std::to_string(s);
}

} // namespace korvat
