#include "Family.h"

#include <array>

namespace korvat {
namespace {

constexpr std::array<std::string_view, kFamilyCount> kFamilyTexts = {
    "25 flash 系列", "24 eeprom 系列", "93 eeprom 系列", "95 eeprom 系列", "AVR 系列"};

constexpr std::array<std::string_view, 4> k25 = {"非SST SPI flash", "SST SPI flash",
                                                 "大于16M bytes", "SST大于16M bytes"};
constexpr std::array<std::string_view, 2> k24 = {"小于4KB", "大于等于4KB"};
constexpr std::array<std::string_view, 10> k93 = {
    "93C46 8 BITS",  "93C57 8 BITS",  "93C66 8 BITS",  "93C76 8 BITS",  "93C86 8 BITS",
    "93C46 16 BITS", "93C57 16 BITS", "93C66 16 BITS", "93C76 16 BITS", "93C86 16 BITS"};
constexpr std::array<std::string_view, 3> k95 = {"8位地址", "16位地址", "24位地址"};
constexpr std::array<std::string_view, 1> kAvr = {"标准算法"};

constexpr int k93Org16Offset = 82; // 16-bit organisation codes 87 to 91
constexpr int k93Org8Offset = 7;   // 8-bit organisation codes 7 to 11
constexpr int k93Org8Count = 5;

constexpr int kEepromWriteWaitMs = 100;

constexpr std::array<FamilyRules, kFamilyCount> kRules = {{
    {true, kFamilyTexts[kFamily25Flash], k25, true, EraseKind::PolledWholeChip, 0, true, "FLASH",
     DetectedBy::Id},
    {true, kFamilyTexts[kFamily24Eeprom], k24, false, EraseKind::EachPage, kEepromWriteWaitMs,
     false, "EEPROM", DetectedBy::TypeCode},
    {true, kFamilyTexts[kFamily93Eeprom], k93, true, EraseKind::WholeChipOnce, 0, false, "EEPROM",
     DetectedBy::TypeCode},
    {true, kFamilyTexts[kFamily95Eeprom], k95, true, EraseKind::None, 0, false, "EEPROM",
     DetectedBy::NotKnown},
    {true, kFamilyTexts[kFamilyAvr], kAvr, false, EraseKind::None, 0, false, "FLASH", DetectedBy::Id},
}};

// A code outside 0 to 4, or no family selected in the editor: nothing to list, no erase,
// no chip that could answer for it.
constexpr FamilyRules kUnknown = {
    false, {}, {}, false, EraseKind::NotKnown, 0, false, "EEPROM", DetectedBy::Nothing};

} // namespace

const FamilyRules &familyRules(int family) {
    return family >= 0 && family < kFamilyCount ? kRules[static_cast<std::size_t>(family)]
                                                : kUnknown;
}

bool isEepromFamily(int family) {
    return family == kFamily24Eeprom || family == kFamily93Eeprom || family == kFamily95Eeprom;
}

std::string_view familyText(int family) {
    return familyRules(family).text;
}

std::span<const std::string_view> subtypeList(int family) {
    return familyRules(family).subtypes;
}

std::optional<int> algorithmForSubtype(int family, int k) {
    switch (family) {
    case kFamily93Eeprom:
        return k < k93Org8Count ? k + k93Org8Offset : k + k93Org16Offset;
    case kFamily24Eeprom:
    case kFamily95Eeprom:
        return k;
    default:
        switch (k) {
        case 0:
            return 0;
        case 1:
            return kAlgorithmSst;
        case 2:
            return kAlgorithmOver16M;
        case 3:
            return kAlgorithmOver16M | kAlgorithmSst;
        default:
            return std::nullopt;
        }
    }
}

int subtypeForAlgorithm(int family, int code, int capacityPosition) {
    switch (family) {
    case kFamily25Flash:
        switch (code) {
        case 0:
            return 0;
        case kAlgorithmSst:
            return 1;
        case kAlgorithmOver16M:
            return 2;
        case kAlgorithmOver16M | kAlgorithmSst:
            return 3;
        default:
            return -1;
        }
    case kFamily24Eeprom:
        return capacityPosition >= 6 ? 1 : 0;
    case kFamily93Eeprom:
        return code < 80 ? code - k93Org8Offset : code - k93Org16Offset;
    case kFamily95Eeprom:
        return code;
    default:
        return 0;
    }
}

} // namespace korvat
