// The main window's keyboard: the shortcuts of its commands, shown in the menus, and the
// operation menu's batch entry, which stands for the toolbar's batch toggle.
#include "Unit1.h"

#include <QAction>
#include <QKeySequence>
#include <utility>

// Function keys for the chip commands: no widget of the window (the hex views, the
// edits, the lists) takes them, so they work wherever the focus is. F1 (help), F4 (a
// list's drop-down), F10 (the menu bar) and F11 (full screen) stay free, and so does
// Esc.
void TForm1::assignShortcuts() {
    const std::pair<const char *, QKeySequence> keys[] = {
        {"O2", QKeySequence::Open},
        {"S1", QKeySequence::Save},
        {"MenuDetect", QKeySequence(Qt::Key_F2)},
        {"R1", QKeySequence(Qt::Key_F5)},
        {"E1", QKeySequence(Qt::Key_F6)},
        {"W1", QKeySequence(Qt::Key_F7)},
        {"V1", QKeySequence(Qt::Key_F8)},
        {"N7", QKeySequence(Qt::SHIFT | Qt::Key_F8)}, // a blank check verifies against 0xFF
        {"A1", QKeySequence(Qt::Key_F9)},
        {"MenuBulk", QKeySequence(Qt::SHIFT | Qt::Key_F9)}, // Auto, chip after chip
    };
    for (const auto &[name, sequence] : keys)
        findChild<QAction *>(QLatin1String(name))->setShortcut(sequence);

    QAction *item = findChild<QAction *>(QStringLiteral("MenuBulk"));
    QAction *toggle = findChild<QAction *>(QStringLiteral("ToolBulk"));
    item->setEnabled(toggle->isEnabled());
    connect(toggle, &QAction::enabledChanged, item, &QAction::setEnabled);
    connect(toggle, &QAction::toggled, item, &QAction::setChecked);
    // The entry flips its own mark first; the toggle then decides, as a click on it does.
    connect(item, &QAction::triggered, toggle, &QAction::trigger);
}
