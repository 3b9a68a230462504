#pragma once
// One chip of the catalogue: the 68-byte little-endian record stored, unchanged, in the
// catalogue file, so the struct is the file layout byte for byte.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvat {

static_assert(std::endian::native == std::endian::little,
              "the record is stored as it lies in memory, which is little-endian");

constexpr std::size_t kNameTextSize = 48; // 47 text bytes and the zero

struct ChipRecord {
    char nameText[kNameTextSize]; // "type,maker,model", GBK, zero-terminated
    std::uint32_t chipId;         // 24-bit ID: first byte * 65536 + second * 256 + third
    std::uint32_t capacity;       // FLASH bytes
    std::uint16_t flashPage;      // FLASH page bytes
    std::uint8_t family;          // Family code
    std::uint8_t algorithm;       // family-dependent sub-type code
    std::uint16_t delay;          // erase time budget
    std::uint16_t association;    // configuration description number, 0 = none
    std::uint16_t eepromSize;     // data EEPROM bytes, 0 = none
    std::uint8_t eepromPage;      // data EEPROM page bytes
    std::uint8_t voltage;         // 0 = 3.3 V, 1 = 1.8 V

    // The end record of a catalogue has a zero first byte.
    bool isEnd() const { return nameText[0] == 0; }
    // The stored name bytes up to the zero (at most 47).
    std::string_view storedName() const;
};

// IDs 00 00 00 and FF FF FF are what a chip without an ID (or no chip) puts on the bus:
// they name no chip.
constexpr bool isKnownChipId(std::uint32_t id) {
    return id != 0 && id != 0xFFFFFF;
}

// Whether what the buffers hold for one record still serves the other: the same
// capacity, EEPROM size and family. A changed delay, page size or name keeps the data.
bool sameBufferLayout(const ChipRecord &a, const ChipRecord &b);

static_assert(sizeof(ChipRecord) == 68);
static_assert(offsetof(ChipRecord, nameText) == 0);
static_assert(offsetof(ChipRecord, chipId) == 48);
static_assert(offsetof(ChipRecord, capacity) == 52);
static_assert(offsetof(ChipRecord, flashPage) == 56);
static_assert(offsetof(ChipRecord, family) == 58);
static_assert(offsetof(ChipRecord, algorithm) == 59);
static_assert(offsetof(ChipRecord, delay) == 60);
static_assert(offsetof(ChipRecord, association) == 62);
static_assert(offsetof(ChipRecord, eepromSize) == 64);
static_assert(offsetof(ChipRecord, eepromPage) == 66);
static_assert(offsetof(ChipRecord, voltage) == 67);

constexpr std::uint32_t k4ByteAddressingAbove = 0x1000000; // 16 MiB
// The largest chip the program works on: its FLASH buffer holds 64 MiB.
constexpr std::uint32_t kLargestCapacity = 0x4000000;

} // namespace korvat
