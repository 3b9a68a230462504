#pragma once
// The command line's side of the core's interfaces: messages on standard error, and
// questions answered no (a command never waits for a person).

#include "app/Prompter.h"
#include "buffers/MessageSink.h"

#include <string>
#include <vector>

namespace korvat::cli {

class Console : public MessageSink, public Prompter {
public:
    explicit Console(bool quiet) : m_quiet(quiet) {}
    void showError(std::string_view text) override;
    bool askYesNo(std::string_view question) override;

    // Every message shown, for the JSON result.
    const std::vector<std::string> &messages() const { return m_messages; }

private:
    bool m_quiet;
    std::vector<std::string> m_messages;
};

// Text as a JSON string literal.
std::string jsonString(std::string_view text);

} // namespace korvat::cli
