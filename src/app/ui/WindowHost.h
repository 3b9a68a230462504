#pragma once
// WindowHost: what the chip operations show, on the main window's controls: the
// connection panel, the activity log, the two progress bars, the rate and time-left
// panels, message boxes, the beep, the clock and the person's Stop.

#include "base/OperationHost.h"

#include <QElapsedTimer>
#include <QLabel>

class Dialogs;
class QProgressBar;
class QPlainTextEdit;

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
    // ratePanel and timePanel are status bar panels 2 and 3; panel 3 shows the buffer's
    // checksum while no time left is shown.
    WindowHost(ConnectionPanel &panel, QPlainTextEdit &log, QProgressBar &progress,
               QProgressBar &progress2, QLabel &ratePanel, QLabel &timePanel, Dialogs &dialogs,
               const int &language);

    void setStatusText(std::string_view text) override;
    void insertLogLine(std::string_view line) override;
    std::string firstLogLine() const override;
    std::string timeText() const override;
    void setProgressVisible(bool visible) override;
    void setProgressMaximum(std::uint32_t maximum) override;
    bool setProgressValue(std::uint32_t value) override;
    void setTransferText(std::string_view rate, std::string_view timeLeft) override;
    void setProgressText(std::string_view text) override;
    void processEvents() override;
    // A Stop: the running command ends at its next transfer. Cleared for the next one.
    bool cancelled() const override { return m_stopRequested; }
    void requestStop() { m_stopRequested = true; }
    void clearStop() { m_stopRequested = false; }
    void showError(std::string_view text) override;
    void beep() override;
    double seconds() const override;
    void sleep(int milliseconds) override;

    // The buffer's checksum for panel 3, with its tool tip: shown now, or once the
    // running operation's time left is cleared.
    void showChecksum(const QString &text, const QString &toolTip);
    const QString &checksumText() const { return m_checksum; }
    const QString &checksumToolTip() const { return m_checksumTip; }

    // A time format with its time-zone fields ('t' outside quotes) taken out.
    static QString withoutTimeZone(const QString &format);
    // Waits slept so far, and bar updates made, for benchmarks.
    long long sleptMilliseconds() const { return m_slept; }
    long long barUpdates() const { return m_barUpdates; }

private:
    // Red while the panel reads "Not connected" in the current language.
    void recolourPanel();

    ConnectionPanel &m_panel;
    QPlainTextEdit &m_log;
    QProgressBar &m_progress, &m_progress2;
    QLabel &m_ratePanel, &m_timePanel;
    Dialogs &m_dialogs;
    const int &m_language;
    QElapsedTimer m_clock;
    QString m_percentFormat; // the upper bar's own text
    std::uint32_t m_maximum = 0;
    long long m_drawn = -1;   // the bar's filled width in pixels at its last update
    long long m_percent = -1; // and the percentage it showed
    QString m_checksum, m_checksumTip;
    bool m_timeLeftShown = false;
    bool m_stopRequested = false;
    long long m_slept = 0;
    long long m_barUpdates = 0;
};
