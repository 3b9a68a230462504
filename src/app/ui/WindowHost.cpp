#include "WindowHost.h"

#include "MessageBoxes.h"
#include "QtText.h"
#include "base/TextTable.h"

#include <QApplication>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QThread>
#include <QTime>

using namespace korvat;

void ConnectionPanel::setRed(bool red) {
    if (m_red != red) {
        m_red = red;
        update();
    }
}

void ConnectionPanel::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setPen(m_red ? QColor(255, 0, 0) : palette().color(QPalette::ButtonText));
    p.drawText(contentsRect(), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text());
}

WindowHost::WindowHost(ConnectionPanel &panel, QPlainTextEdit &log, QProgressBar &progress,
                       QProgressBar &progress2, QLabel &ratePanel, QLabel &timePanel,
                       Dialogs &dialogs, const int &language)
    : m_panel(panel), m_log(log), m_progress(progress), m_progress2(progress2),
      m_ratePanel(ratePanel), m_timePanel(timePanel), m_dialogs(dialogs), m_language(language),
      m_percentFormat(progress.format()) {
    m_clock.start();
}

void WindowHost::setStatusText(std::string_view text) {
    m_panel.setText(qs(text));
    recolourPanel();
}

void WindowHost::recolourPanel() {
    m_panel.setRed(m_panel.text() == qs(text(txtNotConnected, m_language)));
}

void WindowHost::insertLogLine(std::string_view line) {
    if (m_log.document()->isEmpty()) {
        m_log.setPlainText(qs(line));
        return;
    }
    QTextCursor at(m_log.document());
    at.movePosition(QTextCursor::Start);
    at.insertText(qs(line));
    at.insertBlock();
    m_log.verticalScrollBar()->setValue(0);
}

std::string WindowHost::firstLogLine() const {
    return m_log.document()->firstBlock().text().toStdString();
}

QString WindowHost::withoutTimeZone(const QString &format) {
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t'))
            out += c;
    }
    return out.simplified();
}

// The system's long time format without its time zone: "14:03:27".
std::string WindowHost::timeText() const {
    const QLocale locale;
    const QString format = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    return locale.toString(QTime::currentTime(), format).toStdString();
}

void WindowHost::setProgressVisible(bool visible) {
    m_progress.setVisible(visible);
    m_progress2.setVisible(visible);
}

void WindowHost::setProgressMaximum(std::uint32_t maximum) {
    m_maximum = maximum;
    m_drawn = -1;
    m_percent = -1;
    for (QProgressBar *bar : {&m_progress, &m_progress2}) {
        bar->setRange(0, static_cast<int>(std::min<std::uint32_t>(maximum, INT32_MAX)));
    }
}

bool WindowHost::setProgressValue(std::uint32_t value) {
    // Only a change of the filled width, or of the percentage the bar shows (truncated,
    // as the bar computes it), is worth a redraw.
    const long long width = std::max(1, m_progress.width());
    const long long drawn = m_maximum ? static_cast<long long>(value) * width / m_maximum : 0;
    const long long percent = m_maximum ? static_cast<long long>(value) * 100 / m_maximum : 0;
    if (drawn == m_drawn && percent == m_percent)
        return false;
    m_drawn = drawn;
    m_percent = percent;
    ++m_barUpdates;
    const int v = static_cast<int>(std::min<std::uint32_t>(value, INT32_MAX));
    m_progress.setValue(v);
    m_progress2.setValue(v);
    return true;
}

void WindowHost::setTransferText(std::string_view rate, std::string_view timeLeft) {
    const QString r = qs(rate);
    if (m_ratePanel.text() != r)
        m_ratePanel.setText(r);
    m_timeLeftShown = !timeLeft.empty();
    // While the time left shows, the panel's tool tip would describe the checksum it hides.
    const QString t = m_timeLeftShown ? qs(timeLeft) : m_checksum;
    const QString tip = m_timeLeftShown ? QString() : m_checksumTip;
    if (m_timePanel.text() != t)
        m_timePanel.setText(t);
    if (m_timePanel.toolTip() != tip)
        m_timePanel.setToolTip(tip);
}

void WindowHost::setProgressText(std::string_view text) {
    m_progress.setFormat(text.empty() ? m_percentFormat : qs(text));
}

void WindowHost::showChecksum(const QString &text, const QString &toolTip) {
    m_checksum = text;
    m_checksumTip = toolTip;
    if (!m_timeLeftShown) {
        m_timePanel.setText(text);
        m_timePanel.setToolTip(toolTip);
    }
}

void WindowHost::processEvents() {
    QCoreApplication::processEvents();
}

void WindowHost::showError(std::string_view text) {
    m_dialogs.showError(text);
}

void WindowHost::beep() {
    QApplication::beep();
}

double WindowHost::seconds() const {
    return static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
}

void WindowHost::sleep(int milliseconds) {
    m_slept += milliseconds;
    QThread::msleep(static_cast<unsigned long>(std::max(0, milliseconds)));
}
