#pragma once
// File dialogs answered from a script: each choice is recorded, and the paths are
// handed out in order; an empty entry or an empty script is a cancel.

#include "buffers/FileCommands.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace korvat::test {

struct ChoiceScript {
    std::vector<FileChoice> choices;              // what each dialog was asked to show
    std::deque<std::optional<std::string>> files; // the paths chosen

    std::optional<std::string> next(const FileChoice &choice) {
        choices.push_back(choice);
        if (files.empty())
            return std::nullopt;
        auto chosen = files.front();
        files.pop_front();
        return chosen;
    }
};

// File dialogs of the core answered from the script.
struct ScriptedChooser : FileChooser, ChoiceScript {
    std::optional<std::string> chooseOpen(const FileChoice &c) override { return next(c); }
    std::optional<std::string> chooseSave(const FileChoice &c) override { return next(c); }
};

} // namespace korvat::test
