#pragma once
// How the windows put a box in front of the person: an error, a piece of information
// or a yes/no question. The application shows message boxes; tests answer instead.

#include "app/Prompter.h"
#include "buffers/MessageSink.h"

class QWidget;

class Dialogs : public korvat::MessageSink, public korvat::Prompter {
public:
    virtual void showInformation(std::string_view text) = 0; // caption "Information"
};

// Modal message boxes over a parent window: "Error" with the error icon, "Information"
// with the information icon, "Info" with the question icon and Yes/No.
class MessageBoxes : public Dialogs {
public:
    explicit MessageBoxes(QWidget *parent) : m_parent(parent) {}
    void showError(std::string_view text) override;
    void showInformation(std::string_view text) override;
    bool askYesNo(std::string_view question) override;

private:
    void giveFocusBack();

    QWidget *m_parent;
};
