#pragma once
// Stands in for the message boxes and file dialogs in window tests: records what would
// have been shown and answers questions and file choices from a script, so nothing
// blocks offscreen.

#include "MessageBoxes.h"
#include "buffers/ChoiceScript.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class RecordingDialogs : public Dialogs, public korvat::test::ChoiceScript {
public:
    void showError(std::string_view text) override {
        errors.emplace_back(text);
        if (whileErrorShown)
            whileErrorShown(); // as long as a person takes to close the box
    }
    void showInformation(std::string_view text) override { information.emplace_back(text); }
    bool askYesNo(std::string_view question) override {
        questions.emplace_back(question);
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    bool askYesNoDefaultNo(std::string_view question) override {
        ++defaultNoQuestions;
        return askYesNo(question);
    }

    std::optional<std::string> chooseOpen(const korvat::FileChoice &choice) override {
        return next(choice);
    }
    std::optional<std::string> chooseSave(const korvat::FileChoice &choice) override {
        return next(choice);
    }

    std::vector<std::string> errors, information, questions;
    std::deque<bool> answers;
    int defaultNoQuestions = 0; // questions whose default answer is No
    std::function<void()> whileErrorShown;
};
