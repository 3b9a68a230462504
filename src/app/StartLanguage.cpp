#include "StartLanguage.h"

#include "Captions.h"

namespace korvat {

std::string languageSample(int language) {
    std::string sample;
    for (const auto &captions : {mainWindowCaptions(), mainMenuCaptions()})
        for (const Caption &c : captions)
            sample += c.in(language);
    return sample;
}

int startLanguage(int saved, const std::function<bool(std::string_view)> &drawn) {
    if (saved == kEnglish || drawn(languageSample(saved)))
        return saved;
    return kEnglish;
}

} // namespace korvat
