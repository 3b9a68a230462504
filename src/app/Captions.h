#pragma once
// Window captions in the three languages: for each window, the controls whose captions
// the language switch sets, in the order it sets them. "window" stands for the title.

#include <array>
#include <span>
#include <string_view>

namespace korvat {

struct Caption {
    std::string_view control;
    std::array<std::string_view, 3> text; // Simplified Chinese, Traditional Chinese, English
    std::string_view in(int language) const {
        return text[language >= 0 && language < 3 ? language : 0];
    }
};

std::span<const Caption> mainWindowCaptions(); // title, status panel 0, controls, toolbar
std::span<const Caption> mainMenuCaptions();
std::span<const Caption> editorWindowCaptions(); // and its Import, Export and filter
std::span<const Caption> searchWindowCaptions(); // and its three list columns
std::span<const Caption> fillWindowCaptions();
std::span<const Caption> aboutBoxCaptions();
std::span<const Caption> hardwareWindowCaptions();

} // namespace korvat
