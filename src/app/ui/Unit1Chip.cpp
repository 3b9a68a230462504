// The main window's commands for the chip in the socket: identification, Auto
// programming and batch mode.
#include "Unit1.h"

#include "HexView.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "SocketPicture.h"
#include "base/TextTable.h"
#include "ops/Identify.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGroupBox>
#include <QTimer>
#include <ctime>

using namespace korvat;

// The lists are shown once identification has made its selections; detection does not
// touch the buffers, so they are reset only when it ends on another chip than the one
// selected before.
void TForm1::BitBtn1Click() {
    const int before = chosenChip();
    std::optional<std::array<int, 4>> selected; // chosen slot and the three positions
    const Detection found = identifyChip(
        detect(), m_catalogue,
        {m_lists,
         {ComboBox1->currentIndex(), ComboBox2->currentIndex(), ComboBox3->currentIndex()},
         [this, &selected](int type, int maker, int model) {
             m_saved = {type, maker, model}; // the settings keep what identification chose
             selected = {korvat::selectChip(m_catalogue, m_lists, m_currentChip, type, maker,
                                            model),
                         type, maker, model};
         }},
        m_language);
    if (selected) {
        const auto [chosen, type, maker, model] = *selected;
        if (chosen >= 0 && chosen == before)
            showChosenChip(chosen, type, maker, model);
        else
            showSelection(chosen, type, maker, model);
    }
    if (found.picture != SocketShown::Unchanged)
        Image1->setPixmap(socketPicture(found.picture == SocketShown::Chip ? SocketPicture::Chip
                                                                           : SocketPicture::Empty));
    if (found.error)
        m_dialogs->showError(found.message);
    else
        m_dialogs->showInformation(found.message);
}

// Refused while batch mode runs: a production line programs only recorded passes.
void TForm1::ToolAutoClick() {
    if (busy() || m_batchRunning) {
        QApplication::beep();
        return;
    }
    beginCommand();
    setCommandsAvailable(false);
    autoPass(askAboutOtherChip());
    setCommandsAvailable(true);
    endCommand();
}

std::optional<PassOutcome> TForm1::autoPass(const GoOnWithOtherChip &goOn) {
    const auto outcome = m_engine->runAuto(chosenChip(), m_speed, *FlashEditor, passSteps(), goOn);
    refreshChecksum(); // the pass may have pulled the view's edits
    return outcome;
}

AutoSteps TForm1::passSteps() const {
    return {CheckBox1->isChecked(), CheckBox2->isChecked(), CheckBox3->isChecked()};
}

GoOnWithOtherChip TForm1::askAboutOtherChip() {
    return [this](const std::string &refusal) {
        return m_dialogs->askYesNoDefaultNo(refusal + std::string(text(txtGoOnAnyway, m_language)));
    };
}

// Pressed: the loop runs here, inside the click, until the toggle is released; the
// release is handled while the loop processes the window's events. A single operation
// from the menu runs between two detections (the loop waits for it), and while a pass
// holds the programmer it is refused.
void TForm1::ToolBulkClick() {
    QAction *toggle = findChild<QAction *>(QStringLiteral("ToolBulk"));
    if (!toggle->isChecked()) {
        toggle->setText(qs(text(txtBulk, m_language)));
        holdForBatch(false);
        return;
    }
    // Every pass would be refused: a run without a chip it can program, or whose erase
    // cannot reach the whole chip, does not start.
    if (!m_batchRunning && !m_engine->autoUsable(chosenChip(), passSteps())) {
        toggle->setChecked(false);
        return;
    }
    holdForBatch(true);
    toggle->setText(qs(text(txtStop, m_language)));
    if (m_batchRunning)
        return; // the loop still runs: it carries on
    m_batchRunning = true;
    BatchRecord record(productionRecord(m_paths));
    BatchLoop(*this, *m_host, record, m_language, [] {
        return static_cast<std::int64_t>(std::time(nullptr));
    }).run();
    m_batchRunning = false;
    m_batchStatus.reset();
    showBatchStatus();
}

bool TForm1::batchOn() const {
    return findChild<QAction *>(QStringLiteral("ToolBulk"))->isChecked();
}

ChipIdentity TForm1::detect() {
    return m_connection->readChipIdentity(m_catalogue.slot(m_currentChip), m_speed);
}

NameParts TForm1::chipName() const {
    return splitForSelection(m_catalogue.name(m_currentChip));
}

int TForm1::chipFamily() const {
    return m_catalogue.slot(m_currentChip).family;
}

void TForm1::showStatus(const BatchStatus &status) {
    m_batchStatus = status;
    showBatchStatus();
}

// As wide as its text: the bars beside it, shown while a pass runs, keep the rest.
void TForm1::showBatchStatus() {
    BatchPanel->setVisible(m_batchStatus.has_value());
    if (!m_batchStatus)
        return;
    const QString status = qs(batchStatusText(*m_batchStatus, m_language));
    BatchPanel->setFixedWidth(BatchPanel->fontMetrics().horizontalAdvance(status) + 8);
    BatchPanel->setText(status);
}

void TForm1::pause(int milliseconds) {
    QEventLoop wait;
    QTimer::singleShot(milliseconds, &wait, &QEventLoop::quit);
    wait.exec();
}

void TForm1::stop() {
    if (batchOn()) {
        findChild<QAction *>(QStringLiteral("ToolBulk"))->setChecked(false);
        ToolBulkClick();
    }
}
