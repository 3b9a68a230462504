// Name text: the splits never crash and keep to the text; GBK converted to UTF-8 and
// back gives the same bytes whenever the way back succeeds.
#include "FuzzInput.h"
#include "catalogue/NameText.h"

using namespace korvat;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    for (const std::string &part : splitDelimited(text))
        fuzz::require(part.size() <= text.size(), "a part longer than the text");
    const NameParts selection = splitForSelection(text);
    const NameParts editor = splitForEditor(text);
    fuzz::require(selection.type.size() + selection.maker.size() <= text.size() + 2,
                  "selection parts longer than the text");
    (void)editor;
    fuzz::require(trimBlanks(text).size() <= text.size(), "trimming made the text longer");

    const std::string utf8 = gbkToUtf8(text);
    if (const auto back = utf8ToGbk(utf8))
        fuzz::require(gbkToUtf8(*back) == utf8, "GBK round trip");
    if (const auto gbk = utf8ToGbk(text))
        fuzz::require(gbkToUtf8(*gbk) == text, "UTF-8 round trip");
    return 0;
}
