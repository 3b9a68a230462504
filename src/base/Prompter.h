#pragma once
// Every question the core puts to the person at the bench goes through here, so the
// core never blocks on a window and tests can answer in its place.

#include <string_view>

namespace korvat {

class Prompter {
public:
    virtual ~Prompter() = default;
    // A yes/no question (caption "Info", question icon); true for Yes.
    virtual bool askYesNo(std::string_view question) = 0;
    // The same with No as the default answer, for a question whose safe answer is No.
    virtual bool askYesNoDefaultNo(std::string_view question) { return askYesNo(question); }
};

// Answers every question yes, for a question the user answered before it could be put
// (korvat-cli's --force and --yes).
class YesPrompter : public Prompter {
public:
    bool askYesNo(std::string_view) override { return true; }
};

} // namespace korvat
