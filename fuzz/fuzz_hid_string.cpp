// HID strings as the boot loader's library hands them over: any units, one byte each,
// the unit itself below 0x100 and "?" for any other.
#include "FuzzInput.h"
#include "link/Hiddrv.h"

#include <cstring>
#include <cwchar>

using namespace korvat;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    std::memcpy(text.data(), data, size / sizeof(wchar_t) * sizeof(wchar_t));
    const std::string converted = hidText(text.data());
    fuzz::require(converted.size() == std::wcslen(text.data()), "one byte for each unit");
    for (std::size_t i = 0; i < converted.size(); ++i) {
        const auto unit = static_cast<std::uint32_t>(text[i]);
        fuzz::require(static_cast<unsigned char>(converted[i]) == (unit < 0x100 ? unit : '?'),
                      "a unit's byte");
    }
    fuzz::require(hidText(nullptr).empty(), "no string reads as empty");
    return 0;
}
