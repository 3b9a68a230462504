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

std::string textWith(TextName name, int language, std::initializer_list<std::string_view> values) {
    const std::string_view t = text(name, language);
    std::string out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        // The value a mark stands for; none for a "%" that is not followed by one.
        const std::size_t n = i + 1 < t.size() ? static_cast<unsigned char>(t[i + 1] - '1') : 9;
        if (t[i] == '%' && n < values.size()) {
            out += values.begin()[n];
            ++i;
        } else {
            out += t[i];
        }
    }
    return out;
}

} // namespace korvat
