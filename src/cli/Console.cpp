#include "Console.h"

#include "ExitCodes.h"

#include <cstdio>

namespace korvat::cli {
namespace {

std::vector<std::string> shownErrors;
bool objectPrinted = false;

} // namespace

void noteError(std::string_view text) {
    shownErrors.emplace_back(text);
}

std::string jsonErrors() {
    std::string list;
    for (const std::string &e : shownErrors)
        list += (list.empty() ? "" : ",") + jsonString(e);
    return "[" + list + "]";
}

void printJsonObject(const std::string &object) {
    std::printf("%s\n", object.c_str());
    objectPrinted = true;
}

void printJsonIfNone(const std::string &command, int exitCode) {
    if (objectPrinted)
        return;
    const char *result = exitCode == kSuccess       ? "ok"
                         : exitCode == kInterrupted ? "interrupted"
                                                    : "refused";
    printJsonObject("{\"command\":" + jsonString(command) + ",\"result\":\"" + result +
                    "\",\"exitCode\":" + std::to_string(exitCode) + ",\"errors\":" + jsonErrors() +
                    "}");
}

void Console::showError(std::string_view text) {
    m_messages.emplace_back(text);
    noteError(text);
    std::fprintf(stderr, "korvat-cli: %.*s\n", static_cast<int>(text.size()), text.data());
}

// A question answered no ends the command, so it is shown (and counted) as its error.
bool Console::askYesNo(std::string_view question) {
    showError(std::string(question) + " no");
    return false;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

} // namespace korvat::cli
