// The main window's Stop: a command on the chip (a single operation, Auto, a batch pass)
// shows it while it runs, and a Stop ends that command at its next transfer through its
// normal close.
#include "Unit1.h"

#include <QAction>
#include <QApplication>

using namespace korvat;

void TForm1::beginCommand() {
    m_commandRunning = true;
    m_host->clearStop();
    findChild<QAction *>(QStringLiteral("ToolStop"))->setVisible(true);
}

void TForm1::endCommand() {
    m_commandRunning = false;
    m_host->clearStop();
    findChild<QAction *>(QStringLiteral("ToolStop"))->setVisible(false);
    closeIfAsked();
}

void TForm1::closeIfAsked() {
    if (std::exchange(m_closeWhenEnded, false))
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

// Stopped in a pass, batch mode ends too: the next chip put in is not programmed.
void TForm1::ToolStopClick() {
    if (!m_commandRunning)
        return;
    m_host->requestStop();
    stop();
}

void TForm1::closeWithoutAsking() {
    m_closeWithoutAsking = true;
    writeSettingsNow(); // a failure is told when the window closes
    // Each modal window's own loop ends; the close comes once they have unwound. A box
    // without a way to dismiss it stays (its close is refused) and is left to end the
    // session with.
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (modal == this || !modal->close())
            break;
    }
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}
