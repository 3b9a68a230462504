#include "MessageBoxes.h"

#include "QtText.h"

#include <QMessageBox>

void MessageBoxes::showError(std::string_view text) {
    QMessageBox::critical(m_parent, QStringLiteral("Error"), qs(text));
}

void MessageBoxes::showInformation(std::string_view text) {
    QMessageBox::information(m_parent, QStringLiteral("Information"), qs(text));
}

bool MessageBoxes::askYesNo(std::string_view question) {
    return QMessageBox::question(m_parent, QStringLiteral("Info"), qs(question),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
