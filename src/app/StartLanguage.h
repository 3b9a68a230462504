#pragma once
// The language the window starts in. Its Chinese captions need a font with Chinese
// glyphs; where no installed font has them every menu, the Language menu too, would be
// a row of empty boxes, so the window starts in English, whose letters every font has.

#include <functional>
#include <string>
#include <string_view>

namespace korvat {

constexpr int kEnglish = 2;

// Every caption of the main window and its menus in the language, one after another:
// what the fonts must draw for the window to be read in it.
std::string languageSample(int language);

// The saved language when drawn(its sample) says the fonts draw every character of it,
// else English. English is not asked about.
int startLanguage(int saved, const std::function<bool(std::string_view)> &drawn);

} // namespace korvat
