#include "TextTable.h"

#include <array>

namespace korvat {
namespace {

using Triple = std::array<std::string_view, kLanguageCount>;

constexpr std::array<Triple, kTextNameCount> kTexts = {{
#define TEXT(name, simplified, traditional, english) {simplified, traditional, english},
#include "TextList.h"
#undef TEXT
}};

} // namespace

std::string_view text(TextName name, int language) {
    if (name < 0 || name >= kTextNameCount)
        return {};
    if (language < 0 || language >= kLanguageCount)
        language = 0;
    return kTexts[name][language];
}

void replaceMark(std::string &text, std::string_view mark, std::string_view with) {
    if (const auto at = text.find(mark); at != std::string::npos)
        text.replace(at, mark.size(), with);
}

} // namespace korvat
