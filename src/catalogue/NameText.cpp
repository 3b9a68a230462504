#include "NameText.h"

#include <cerrno>
#include <iconv.h>

namespace korvat {
namespace {

constexpr char kQuote = '"';
constexpr char kDelimiter = ',';

bool isBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

// A quoted item from text[pos] (the opening quote) to its closing quote; pos ends
// after the closing quote, or at the end when there is none.
std::string takeQuoted(std::string_view text, std::size_t &pos) {
    std::string item;
    ++pos;
    while (pos < text.size()) {
        if (text[pos] == kQuote) {
            if (pos + 1 < text.size() && text[pos + 1] == kQuote) {
                item += kQuote;
                pos += 2;
                continue;
            }
            ++pos;
            break;
        }
        item += text[pos++];
    }
    return item;
}

// One iconv pass over the whole input. onBad decides what a byte that cannot be
// converted becomes; returning false stops the conversion as failed.
template <typename OnBad>
bool convert(const char *to, const char *from, std::string_view in, std::string &out, OnBad onBad) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.clear();
    char *src = const_cast<char *>(in.data());
    std::size_t srcLeft = in.size();
    char chunk[256];
    bool ok = true;
    while (srcLeft > 0) {
        char *dst = chunk;
        std::size_t dstLeft = sizeof chunk;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(chunk, static_cast<std::size_t>(dst - chunk));
        if (r != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: the byte at src cannot be converted.
        if (!onBad(out)) {
            ok = false;
            break;
        }
        ++src;
        --srcLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return ok;
}

} // namespace

std::vector<std::string> splitDelimited(std::string_view text) {
    std::vector<std::string> items;
    const auto end = text.find('\0');
    if (end != std::string_view::npos)
        text = text.substr(0, end);
    std::size_t p = 0;
    auto skipBlanks = [&] {
        while (p < text.size() && isBlank(text[p]))
            ++p;
    };
    skipBlanks();
    while (p < text.size()) {
        if (text[p] == kQuote) {
            items.push_back(takeQuoted(text, p));
        } else {
            const std::size_t start = p;
            while (p < text.size() && !isBlank(text[p]) && text[p] != kDelimiter)
                ++p;
            items.emplace_back(text.substr(start, p - start));
        }
        skipBlanks();
        if (p < text.size() && text[p] == kDelimiter) {
            if (p + 1 == text.size())
                items.emplace_back();
            ++p;
            skipBlanks();
        }
    }
    return items;
}

std::string_view trimBlanks(std::string_view text) {
    auto low = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && low(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && low(text.back()))
        text.remove_suffix(1);
    return text;
}

NameParts splitForSelection(std::string_view text) {
    const std::vector<std::string> items = splitDelimited(text);
    auto item = [&](std::size_t i) {
        return i < items.size() ? std::string(trimBlanks(items[i])) : std::string();
    };
    return {item(0), item(1), item(2)};
}

NameParts splitForEditor(std::string_view text) {
    auto cut = [&text]() {
        const auto comma = text.find(kDelimiter);
        if (comma == std::string_view::npos)
            return std::string();
        std::string part(text.substr(0, comma));
        text.remove_prefix(comma + 1);
        return part;
    };
    NameParts parts;
    parts.type = cut();
    parts.maker = cut();
    parts.model = std::string(text);
    return parts;
}

std::string gbkToUtf8(std::string_view gbk) {
    std::string out;
    const bool ok = convert("UTF-8", "GBK", gbk, out, [](std::string &o) {
        o += "\xEF\xBF\xBD"; // U+FFFD
        return true;
    });
    if (!ok) { // no converter on this system: keep the ASCII, mark the rest
        out.clear();
        for (char c : gbk)
            out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : "\xEF\xBF\xBD";
    }
    return out;
}

std::optional<std::string> utf8ToGbk(std::string_view utf8) {
    std::string out;
    if (!convert("GBK", "UTF-8", utf8, out, [](std::string &) { return false; }))
        return std::nullopt;
    return out;
}

} // namespace korvat
