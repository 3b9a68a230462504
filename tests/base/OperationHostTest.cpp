// What every operation host promises the operations (the window's, the command line's
// and the tests' recorder): one suite that each of them passes, so a stand-in cannot
// answer differently from the hosts it stands for.
#include "ConsoleHost.h"
#include "WindowHost.h"
#include "app/RecordingDialogs.h"
#include "ops/RecordingHost.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>

#include <functional>
#include <gtest/gtest.h>
#include <regex>

using namespace korvat;

namespace {

// Each probe makes its host and reads back what the host showed in its own way.
struct RecorderProbe {
    test::RecordingHost host;
    std::vector<std::string> errors() const { return host.errors; }
    // Makes fn pending, as a click would be; false when the host has no events of its own.
    bool post(std::function<void()> fn) {
        host.onEvents = std::move(fn);
        return true;
    }
};

struct ConsoleProbe {
    cli::ConsoleHost host{true, false}; // quiet: nothing on standard output
    std::vector<std::string> errors() const { return host.errors(); }
    bool post(std::function<void()>) { return false; }
};

struct WindowProbe {
    ConnectionPanel panel;
    QPlainTextEdit log;
    QProgressBar bar, bar2;
    QLabel rate, timeLeft;
    RecordingDialogs dialogs;
    int language = 2;
    WindowHost host{panel, log, bar, bar2, rate, timeLeft, dialogs, language};
    std::vector<std::string> errors() const { return dialogs.errors; }
    bool post(std::function<void()> fn) {
        QTimer::singleShot(0, &log, std::move(fn));
        return true;
    }
};

template <typename Probe> class OperationHostContract : public ::testing::Test {
protected:
    Probe probe;
    OperationHost &host() { return probe.host; }
};

using Hosts = ::testing::Types<RecorderProbe, ConsoleProbe, WindowProbe>;
class HostNames {
public:
    template <typename T> static std::string GetName(int) {
        if constexpr (std::is_same_v<T, RecorderProbe>)
            return "Recorder";
        else if constexpr (std::is_same_v<T, ConsoleProbe>)
            return "Console";
        else
            return "Window";
    }
};
TYPED_TEST_SUITE(OperationHostContract, Hosts, HostNames);

const std::regex kTimeOfDay(R"(\d{1,2}:\d\d:\d\d)");

// The activity log takes lines at the top; its first line is the newest, none at first.
// The time of day is the long time form, "14:03:27".
TYPED_TEST(OperationHostContract, TheLogsFirstLineIsTheNewestAndTimesAreLongTimes) {
    EXPECT_EQ(this->host().firstLogLine(), "");
    this->host().insertLogLine("14:03:27 Read Flash ...");
    EXPECT_EQ(this->host().firstLogLine(), "14:03:27 Read Flash ...");
    this->host().insertLogLine("14:03:29 Read Complete!");
    EXPECT_EQ(this->host().firstLogLine(), "14:03:29 Read Complete!");
    EXPECT_TRUE(std::regex_match(this->host().timeText(), kTimeOfDay)) << this->host().timeText();
}

// A value is worth a new rate only when it redrew the bars: the first after a maximum
// is set is drawn, the same value again is not, and one that moves the bars is.
TYPED_TEST(OperationHostContract, ABarValueRedrawsOnlyWhenItMovesTheBars) {
    OperationHost &h = this->host();
    h.setProgressMaximum(1000);
    h.setProgressVisible(true);
    EXPECT_TRUE(h.setProgressValue(0));
    EXPECT_FALSE(h.setProgressValue(0));
    EXPECT_TRUE(h.setProgressValue(1000));
    EXPECT_FALSE(h.setProgressValue(1000));
    h.setProgressMaximum(2000); // the next operation: its bars start afresh
    EXPECT_TRUE(h.setProgressValue(1000));
    EXPECT_FALSE(h.setProgressValue(1000));
    h.setProgressValue(0);
    h.setProgressVisible(false);
}

// The clock never runs back, and a prescribed wait takes at least its time.
TYPED_TEST(OperationHostContract, AWaitTakesItsTimeOnAClockThatNeverRunsBack) {
    OperationHost &h = this->host();
    const double start = h.seconds();
    EXPECT_GE(h.seconds(), start);
    h.sleep(30);
    const double after = h.seconds();
    EXPECT_GE(after - start, 0.030 - 1e-6);
    h.sleep(0);
    EXPECT_GE(h.seconds(), after);
}

// A failure goes into the log as a line of its own, with its time, then into the box.
TYPED_TEST(OperationHostContract, AFailureIsLoggedThenShown) {
    OperationHost &h = this->host();
    h.insertLogLine("14:03:27 Write Flash ...");
    h.showFailure("Transfer to the programmer failed.");
    EXPECT_EQ(this->probe.errors(), std::vector<std::string>{"Transfer to the programmer failed."});
    const std::string line = h.firstLogLine();
    const std::string ending = " Transfer to the programmer failed.";
    ASSERT_GT(line.size(), ending.size());
    EXPECT_TRUE(line.ends_with(ending)) << line;
    EXPECT_TRUE(std::regex_match(line.substr(0, line.size() - ending.size()), kTimeOfDay)) << line;
}

// What is pending (a click, a device change) is handled inside processEvents.
TYPED_TEST(OperationHostContract, PendingEventsAreHandledWhenPumped) {
    bool handled = false;
    if (!this->probe.post([&] { handled = true; }))
        GTEST_SKIP() << "this host has no events of its own";
    this->host().processEvents();
    EXPECT_TRUE(handled);
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
