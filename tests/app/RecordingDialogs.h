#pragma once
// Stands in for the message boxes and file dialogs in window tests: records what would
// have been shown and answers questions and file choices from a script, so nothing
// blocks offscreen.

#include "MessageBoxes.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

class RecordingDialogs : public Dialogs {
public:
    void showError(std::string_view text) override { errors.emplace_back(text); }
    void showInformation(std::string_view text) override { information.emplace_back(text); }
    bool askYesNo(std::string_view question) override {
        questions.emplace_back(question);
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::optional<std::string> chooseOpen(const korvat::FileChoice &choice) override {
        return choose(choice);
    }
    std::optional<std::string> chooseSave(const korvat::FileChoice &choice) override {
        return choose(choice);
    }

    std::vector<std::string> errors, information, questions;
    std::deque<bool> answers;
    std::vector<korvat::FileChoice> choices;      // what each file dialog was asked to show
    std::deque<std::optional<std::string>> files; // the paths chosen; none is a cancel

private:
    std::optional<std::string> choose(const korvat::FileChoice &choice) {
        choices.push_back(choice);
        if (files.empty())
            return std::nullopt;
        auto chosen = files.front();
        files.pop_front();
        return chosen;
    }
};
