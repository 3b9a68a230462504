#include "Console.h"

#include <cstdio>

namespace korvat::cli {

void Console::showError(std::string_view text) {
    m_messages.emplace_back(text);
    std::fprintf(stderr, "korvat-cli: %.*s\n", static_cast<int>(text.size()), text.data());
}

bool Console::askYesNo(std::string_view question) {
    if (!m_quiet)
        std::fprintf(stderr, "korvat-cli: %.*s no\n", static_cast<int>(question.size()),
                     question.data());
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
