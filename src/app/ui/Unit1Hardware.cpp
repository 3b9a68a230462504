// The main window's hardware information command: the programmer's versions and serial
// number, then, when a firmware file was chosen, the upgrade through the boot loader.
#include "Unit1.h"

#include "MessageBoxes.h"
#include "QtText.h"
#include "Unit6.h"
#include "base/TextTable.h"

#include <QApplication>
#include <QFileInfo>

using namespace korvat;

void TForm1::N4Click() {
    // A running batch keeps using the programmer between passes.
    if (busy() || m_batchRunning) {
        QApplication::beep();
        return;
    }
    if (const auto info = m_upgrade->readInfo())
        m_hardware->showInfo(*info);
    else if (m_upgrade->infoExchangeFailed()) // the texts kept are not this programmer's
        showError(qs(text(txtInfoFailed, m_language)));
    execModal(m_hardware);
    QCoreApplication::processEvents();
    const std::string file = m_hardware->chosenFile();
    if (file.empty() || !QFileInfo(QString::fromStdString(file)).isFile())
        return;
    // The programmer is away in its boot loader until the upgrade ends: the commands
    // that would reach it, the chip choice or the buffers wait, and so do probes.
    setCommandsAvailable(false);
    m_connection->hold();
    // The upgrade asks before the restart, with the file and the firmware it replaces.
    m_upgrade->upgrade(file, *m_dialogs);
    m_connection->release();
    setCommandsAvailable(true);
    closeIfAsked();
}
