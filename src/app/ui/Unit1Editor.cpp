// The main window's side of the chip editor: showing it, and choosing the current chip
// again from the catalogue it leaves behind.
#include "Unit1.h"

#include "Unit2.h"
#include "catalogue/NameText.h"

#include <QApplication>
#include <QComboBox>

using namespace korvat;

void TForm1::ToolDeviceClick() {
    // A running batch keeps using the chip's record and the buffer between passes.
    if (busy() || m_batchRunning) {
        QApplication::beep();
        return;
    }
    const NameParts current{ComboBox1->currentText().toStdString(),
                            ComboBox2->currentText().toStdString(),
                            ComboBox3->currentText().toStdString()};
    const ChipRecord before = m_catalogue.slot(m_currentChip);
    execModal(m_editor);
    catalogueEdited(current, before);
}

// The editor reloads the catalogue when it opens and rebuilds it when it saves, so the
// slots may have moved under the lists: an operation must never run with another
// chip's record than the lists show. What the buffers hold is kept unless the chip's
// sizes or family changed, or the chip is gone.
void TForm1::catalogueEdited(const NameParts &current, const ChipRecord &before) {
    const std::array<int, 3> shown{ComboBox1->currentIndex(), ComboBox2->currentIndex(),
                                   ComboBox3->currentIndex()};
    const ChipPositions p = reselectChip(m_catalogue, m_lists, m_currentChip, current);
    // Saved positions that pointed at the chip follow it to where it now is.
    if (m_saved == shown)
        m_saved = {p.family, p.maker, p.model};
    if (p.chosen >= 0 && sameBufferLayout(m_catalogue.slot(m_currentChip), before))
        showChosenChip(p.chosen, p.family, p.maker, p.model);
    else
        showSelection(p.chosen, p.family, p.maker, p.model);
}
