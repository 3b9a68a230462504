#pragma once
// Messages that both text codecs show, in the same words in every language.

#include <string_view>

namespace korvat::codec {

constexpr std::string_view kReadFailed = "File Read Operation Failed";
constexpr std::string_view kIllegalLine = "Illegal Line found";
constexpr std::string_view kIllegalChar = "Illegal Char in File";
constexpr std::string_view kTooBig = "File exceeds Maximum Size";

} // namespace korvat::codec
