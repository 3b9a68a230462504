#pragma once
// The texts the program composes at run time (progress lines, results, questions,
// errors), each a triple: Simplified Chinese, Traditional Chinese, English. The names
// and texts stand side by side in TextList.h.

#include <initializer_list>
#include <string>
#include <string_view>

namespace korvat {

// One name a text, in the order of the list.
enum TextName {
#define TEXT(name, simplified, traditional, english) name,
#include "TextList.h"
#undef TEXT
    kTextNameCount
};

// Language index: 0 Simplified Chinese, 1 Traditional Chinese, 2 English.
constexpr int kLanguageCount = 3;

// The member of the named triple for the language; an index outside 0 to 2 (possible
// from an edited settings file) reads as 0. Texts are UTF-8.
std::string_view text(TextName name, int language);

// Replaces the first mark ("%1") in the text.
void replaceMark(std::string &text, std::string_view mark, std::string_view with);

// The named text with its marks "%1" to "%9" replaced by the values in turn, in one pass:
// a value that holds a mark itself is left as it is.
std::string textWith(TextName name, int language, std::initializer_list<std::string_view> values);

} // namespace korvat
