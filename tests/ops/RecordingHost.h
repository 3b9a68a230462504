#pragma once
// A window stand-in for the operation tests: it records what the operations show, keeps
// a fake clock that the prescribed waits (and, by clockStep, every event pump) advance,
// can run a hook from inside processEvents, as a click or a device change would arrive,
// and answers cancelled() as told.

#include "buffers/BufferView.h"
#include "base/OperationHost.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvat::test {

struct RecordingHost : OperationHost {
    std::vector<std::string> status;
    std::vector<std::string> log; // newest first, as the activity log
    std::vector<std::string> errors;
    std::vector<bool> barsAtErrors; // whether the bars were shown as each error box opened
    std::string time = "14:03:27";
    bool progressVisible = false;
    std::uint32_t progressMaximum = 0;
    std::vector<std::uint32_t> maxima; // every maximum set, in order
    std::uint32_t progressValue = 0;
    int progressUpdates = 0;
    int beeps = 0;
    int sleptMs = 0;
    double clock = 100.0;
    double clockStep = 0; // seconds each processEvents adds to the clock
    // Every rate and time left shown, in order; a pair of empty texts clears them.
    std::vector<std::pair<std::string, std::string>> transferTexts;
    std::function<void()> onEvents;
    double boxSeconds = 0; // how long each error box keeps the clock going until closed
    std::optional<std::uint32_t> drawnValue; // where the bars stand since the maximum was set
    bool cancel = false;   // what cancelled() answers: a hook may set it, as a Stop would

    void setStatusText(std::string_view text) override { status.emplace_back(text); }
    void insertLogLine(std::string_view line) override {
        log.insert(log.begin(), std::string(line));
    }
    std::string firstLogLine() const override { return log.empty() ? std::string() : log.front(); }
    std::string timeText() const override { return time; }
    void setProgressVisible(bool v) override { progressVisible = v; }
    void setProgressMaximum(std::uint32_t m) override {
        progressMaximum = m;
        maxima.push_back(m);
        drawnValue.reset();
    }
    // Every value that moves the bars is drawn; the same value again is not, as on a
    // real window, so what the engine shows only on a redraw is shown as often as there.
    bool setProgressValue(std::uint32_t v) override {
        progressValue = v;
        ++progressUpdates;
        if (drawnValue == v)
            return false;
        drawnValue = v;
        return true;
    }
    void setTransferText(std::string_view rate, std::string_view timeLeft) override {
        transferTexts.emplace_back(rate, timeLeft);
    }
    void processEvents() override {
        clock += clockStep;
        if (onEvents) {
            auto hook = std::move(onEvents); // once, and not from inside itself
            hook();
        }
    }
    bool cancelled() const override { return cancel; }
    void showError(std::string_view text) override {
        errors.emplace_back(text);
        clock += boxSeconds;
        barsAtErrors.push_back(progressVisible);
    }
    void beep() override { ++beeps; }
    double seconds() const override { return clock; }
    void sleep(int ms) override {
        sleptMs += ms;
        clock += ms / 1000.0;
    }
};

struct RecordingView : BufferView {
    std::vector<std::uint8_t> bytes;
    bool changed = false;
    int loads = 0;
    void load(std::span<const std::uint8_t> b) override {
        bytes.assign(b.begin(), b.end());
        changed = false;
        ++loads;
    }
    bool modified() const override { return changed; }
    void setModified(bool m) override { changed = m; }
    std::size_t dataSize() const override { return bytes.size(); }
    void copyOut(std::span<std::uint8_t> out) const override {
        std::copy_n(bytes.begin(), out.size(), out.begin());
    }
};

} // namespace korvat::test
