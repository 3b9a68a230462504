#include "Console.h"

#include "ExitCodes.h"

#include <cstdio>

namespace korvat::cli {
namespace {

std::vector<std::string> shownErrors;
bool objectPrinted = false;
bool progressShown = false;

} // namespace

void progressLineDrawn() {
    progressShown = true;
}

void clearProgressLine() {
    if (!progressShown)
        return;
    std::fputs("\r\033[K", stderr);
    progressShown = false;
}

void noteError(std::string_view text) {
    shownErrors.emplace_back(text);
}

std::string jsonErrors() {
    std::string list;
    for (const std::string &e : shownErrors)
        list += (list.empty() ? "" : ",") + jsonString(e);
    return "[" + list + "]";
}

const char *resultWord(int exitCode, bool started) {
    return exitCode == kSuccess       ? "ok"
           : exitCode == kInterrupted ? "interrupted"
           : started                  ? "failed"
                                      : "refused";
}

std::string jsonResult(int exitCode, bool started) {
    return std::string("\"result\":\"") + resultWord(exitCode, started) +
           "\",\"exitCode\":" + std::to_string(exitCode);
}

void printJsonObject(const std::string &object) {
    std::printf("%s\n", object.c_str());
    objectPrinted = true;
}

void printJsonIfNone(const std::string &command, int exitCode) {
    if (objectPrinted)
        return;
    printJsonObject("{\"command\":" + (command.empty() ? "null" : jsonString(command)) + "," +
                    jsonResult(exitCode, false) + ",\"errors\":" + jsonErrors() + "}");
}

void Console::showError(std::string_view text) {
    m_messages.emplace_back(text);
    noteError(text);
    clearProgressLine();
    std::fprintf(stderr, "korvat-cli: %.*s\n", static_cast<int>(text.size()), text.data());
}

// A question answered no ends the command, so it is shown (and counted) as its error.
bool Console::askYesNo(std::string_view question) {
    showError(std::string(question) + " no");
    return false;
}

namespace {

// The length of the well-formed UTF-8 sequence at the start of text, 0 when there is
// none: no overlong forms, no surrogates, nothing past U+10FFFF.
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || text.size() < length)
        return 0;
    // The second byte's range narrows for the leads whose plain range would allow an
    // overlong form, a surrogate or a code point past U+10FFFF.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

} // namespace

bool validUtf8(std::string_view text) {
    for (std::size_t at = 0, n = 0; at < text.size(); at += n)
        if ((n = utf8Length(text.substr(at))) == 0)
            return false;
    return true;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = utf8Length(text.substr(at));
        const char c = text[at];
        if (n == 0)
            out += "\\uFFFD"; // a byte that is not UTF-8: the replacement character
        else if (n > 1)
            out += text.substr(at, n);
        else if (c == '"')
            out += "\\\"";
        else if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
        at += n == 0 ? 1 : n;
    }
    return out + "\"";
}

std::string jsonName(std::string_view key, std::string_view name) {
    std::string field = jsonString(key) + ":" + jsonString(name);
    if (validUtf8(name))
        return field;
    std::string hex;
    for (const char c : name) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
        hex += digits;
    }
    return field + "," + jsonString(std::string(key) + "Hex") + ":\"" + hex + "\"";
}

} // namespace korvat::cli
