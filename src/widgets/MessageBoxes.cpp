#include "MessageBoxes.h"

#include "QtText.h"

#include <QMessageBox>
#include <QWidget>

void MessageBoxes::showError(std::string_view text) {
    QMessageBox::critical(m_parent, QStringLiteral("Error"), qs(text));
    giveFocusBack();
}

void MessageBoxes::showInformation(std::string_view text) {
    QMessageBox::information(m_parent, QStringLiteral("Information"), qs(text));
    giveFocusBack();
}

bool MessageBoxes::askYesNo(std::string_view question) {
    const bool yes = QMessageBox::question(m_parent, QStringLiteral("Info"), qs(question),
                                           QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    giveFocusBack();
    return yes;
}

// The window under the box gets the focus back when the box closes, whatever the
// window system does by itself, so it can tell that one of its own windows was closed.
void MessageBoxes::giveFocusBack() {
    if (m_parent && m_parent->isVisible())
        m_parent->window()->activateWindow();
}
