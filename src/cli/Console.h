#pragma once
// The command line's side of the core's interfaces: messages on standard error, and
// questions answered no (a command never waits for a person).

#include "base/MessageSink.h"
#include "base/Prompter.h"

#include <string>
#include <vector>

namespace korvat::cli {

class Console : public MessageSink, public Prompter {
public:
    void showError(std::string_view text) override;
    bool askYesNo(std::string_view question) override;

    // Every message shown, for the JSON result.
    const std::vector<std::string> &messages() const { return m_messages; }

private:
    std::vector<std::string> m_messages;
};

// Text as a JSON string literal; a byte that is not part of well-formed UTF-8 becomes
// U+FFFD, so the object stays valid JSON whatever a file name holds.
std::string jsonString(std::string_view text);
bool validUtf8(std::string_view text);
// "key":"name" for a name the user gave (a file); a name that is not UTF-8 adds
// "keyHex" with its bytes in hexadecimal, so a script can still tell which file it was.
std::string jsonName(std::string_view key, std::string_view name);

// The progress bar a host keeps on the last line of standard error (a terminal): drawn,
// and cleared before anything else is written there, so that a message or a log line
// stands on a line of its own. Clearing a line that holds no bar writes nothing.
void progressLineDrawn();
void clearProgressLine();

// Every error any console or host of this run showed, as a JSON array.
std::string jsonErrors();
// Notes an error shown on standard error, for jsonErrors.
void noteError(std::string_view text);

// The "result" of a command's JSON object by its exit code: ok, interrupted, failed
// for a command that began its work, refused for one that ended before.
const char *resultWord(int exitCode, bool started);
// "result":"...","exitCode":N, the two fields every command's object carries.
std::string jsonResult(int exitCode, bool started);

// Prints a command's JSON object (with --json, one per command) and remembers it.
void printJsonObject(const std::string &object);
// The object of a command that ended without printing its own: its result by the exit
// code, and the errors shown. An empty command (none was given) is null.
void printJsonIfNone(const std::string &command, int exitCode);

} // namespace korvat::cli
