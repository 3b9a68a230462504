#pragma once
// How the windows put a box in front of the person: an error, a piece of information,
// a yes/no question or a file to open or save. The application shows message boxes and
// file dialogs; tests answer instead.

#include "base/Prompter.h"
#include "buffers/FileCommands.h"
#include "base/MessageSink.h"

#include <QFileDialog>
#include <QMessageBox>

class QWidget;

class Dialogs : public korvat::MessageSink, public korvat::Prompter, public korvat::FileChooser {
public:
    virtual void showInformation(std::string_view text) = 0; // caption "Information"
};

// Modal message boxes over a parent window: "Error" with the error icon, "Information"
// with the information icon, "Info" with the question icon and Yes/No; file dialogs
// with the platform's own titles.
class MessageBoxes : public Dialogs {
public:
    explicit MessageBoxes(QWidget *parent) : m_parent(parent) {}
    void showError(std::string_view text) override;
    void showInformation(std::string_view text) override;
    bool askYesNo(std::string_view question) override;
    bool askYesNoDefaultNo(std::string_view question) override;
    std::optional<std::string> chooseOpen(const korvat::FileChoice &choice) override;
    std::optional<std::string> chooseSave(const korvat::FileChoice &choice) override;

private:
    bool ask(std::string_view question, QMessageBox::StandardButton defaultButton);
    std::optional<std::string> chooseFile(const korvat::FileChoice &choice,
                                          QFileDialog::AcceptMode mode);
    void giveFocusBack();

    QWidget *m_parent;
};
