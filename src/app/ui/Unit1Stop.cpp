// The main window's Stop: a command on the chip (a single operation, Auto, a batch pass)
// shows it while it runs, and a Stop ends that command at its next transfer through its
// normal close.
#include "Unit1.h"

#include <QAction>

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
