#pragma once
// The name text of a record ("type,maker,model"): the two ways of splitting it, and
// its conversion between the GBK bytes on disk and UTF-8 in memory.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvat {

// Delimited-list split of the main window and the search: commas separate items, so
// does every character with code 1 to 32; runs of those around items are skipped; an
// item that starts with a double quote runs to the closing quote (a doubled quote
// stands for one). Items are returned as found, not trimmed.
std::vector<std::string> splitDelimited(std::string_view text);

struct NameParts {
    std::string type;
    std::string maker;
    std::string model;
};

// Type, maker and model by the delimited-list split, each trimmed; missing items are
// empty.
NameParts splitForSelection(std::string_view text);

// The editor's split: two cuts at commas only. A cut that finds no comma gives an
// empty part and leaves the text as it is; what is left after both cuts is the model.
// Blanks stay.
NameParts splitForEditor(std::string_view text);

// Removes leading and trailing characters with codes 0 to 32.
std::string_view trimBlanks(std::string_view text);

// GBK bytes to UTF-8. A byte sequence that is not GBK becomes U+FFFD, one for each
// byte that could not be read, so damaged names stay visible instead of vanishing.
std::string gbkToUtf8(std::string_view gbk);

// UTF-8 to GBK; nothing when the text holds a character that GBK cannot express or is
// not valid UTF-8.
std::optional<std::string> utf8ToGbk(std::string_view utf8);

} // namespace korvat
