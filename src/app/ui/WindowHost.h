#pragma once
// WindowHost: what the chip operations show, on the main window's controls: the
// connection panel, the activity log, the two progress bars, message boxes, the beep
// and the clock.

#include "ops/OperationHost.h"

#include <QElapsedTimer>
#include <QLabel>

class Dialogs;
class QProgressBar;
class QTextEdit;

// Panel 1 of the status bar, drawn by the window: one line, centred, top-aligned, red
// while it reads "Not connected" in the current language, else in the button-text colour.
class ConnectionPanel : public QLabel {
public:
    using QLabel::QLabel;
    void setRed(bool red);
    bool isRed() const { return m_red; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_red = false;
};

class WindowHost : public korvat::OperationHost {
public:
    WindowHost(ConnectionPanel &panel, QTextEdit &log, QProgressBar &progress,
               QProgressBar &progress2, Dialogs &dialogs, const int &language);

    void setStatusText(std::string_view text) override;
    void insertLogLine(std::string_view line) override;
    std::string firstLogLine() const override;
    std::string timeText() const override;
    void setProgressVisible(bool visible) override;
    void setProgressMaximum(std::uint32_t maximum) override;
    void setProgressValue(std::uint32_t value) override;
    void processEvents() override;
    void showError(std::string_view text) override;
    void beep() override;
    double seconds() const override;
    void sleep(int milliseconds) override;

    // A time format with its time-zone fields ('t' outside quotes) taken out.
    static QString withoutTimeZone(const QString &format);
    // The panel's colour for its text in the current language (after a switch).
    void recolourPanel();
    // Waits slept so far, and bar updates made, for benchmarks.
    long long sleptMilliseconds() const { return m_slept; }
    long long barUpdates() const { return m_barUpdates; }

private:
    ConnectionPanel &m_panel;
    QTextEdit &m_log;
    QProgressBar &m_progress, &m_progress2;
    Dialogs &m_dialogs;
    const int &m_language;
    QElapsedTimer m_clock;
    std::uint32_t m_maximum = 0;
    long long m_drawn = -1; // the bar's filled width in pixels at its last update
    long long m_slept = 0;
    long long m_barUpdates = 0;
};
