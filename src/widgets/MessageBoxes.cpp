#include "MessageBoxes.h"

#include "QtText.h"

#include <QFile>
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
    return ask(question, QMessageBox::NoButton);
}

bool MessageBoxes::askYesNoDefaultNo(std::string_view question) {
    return ask(question, QMessageBox::No);
}

bool MessageBoxes::ask(std::string_view question, QMessageBox::StandardButton defaultButton) {
    const bool yes =
        QMessageBox::question(m_parent, QStringLiteral("Info"), qs(question),
                              QMessageBox::Yes | QMessageBox::No, defaultButton) == QMessageBox::Yes;
    giveFocusBack();
    return yes;
}

std::optional<std::string> MessageBoxes::chooseOpen(const korvat::FileChoice &choice) {
    return chooseFile(choice, QFileDialog::AcceptOpen);
}

std::optional<std::string> MessageBoxes::chooseSave(const korvat::FileChoice &choice) {
    return chooseFile(choice, QFileDialog::AcceptSave);
}

// An existing file is asked about by the save itself, after the dialog: the dialog
// must not ask a second time.
std::optional<std::string> MessageBoxes::chooseFile(const korvat::FileChoice &choice,
                                                    QFileDialog::AcceptMode mode) {
    QFileDialog dialog(m_parent);
    dialog.setObjectName(QStringLiteral("FileDialog"));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    QStringList filters;
    for (const std::string &f : choice.filters)
        filters << qs(f);
    dialog.setNameFilters(filters);
    if (choice.selected < static_cast<std::size_t>(filters.size()))
        dialog.selectNameFilter(filters[static_cast<qsizetype>(choice.selected)]);
    dialog.setDefaultSuffix(qs(choice.defaultSuffix));
    dialog.setDirectory(QFile::decodeName(choice.folder.c_str()));
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    giveFocusBack();
    if (!chosen)
        return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

// The window under the box gets the focus back when the box closes, whatever the
// window system does by itself, so it can tell that one of its own windows was closed.
void MessageBoxes::giveFocusBack() {
    if (m_parent && m_parent->isVisible())
        m_parent->window()->activateWindow();
}
