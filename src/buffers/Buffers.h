#pragma once
// The FLASH and EEPROM buffers, the loaded length of the FLASH buffer and the address
// range, with the rules that move them.

#include "Bounds.h"
#include "LargeBlock.h"
#include "base/TextTable.h"
#include "catalogue/ChipRecord.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace korvat {

class BufferView;

constexpr std::uint32_t kFlashBufferSize = kLargestCapacity; // 64 MiB
constexpr std::uint32_t kEepromBufferSize = 8192;

// Start and end byte addresses from the two address edits, and the enable box. The end
// is the last address covered, as the person types it.
struct AddressRange {
    std::int64_t start = 0;
    std::int64_t end = 0;
    bool enabled = false;
};

// What an address range covers on the chip: its start rounded down and its end address
// rounded up to whole pages of the chip (a page of 0 counts as 1). When the range runs
// backwards or reaches past the chip's last address there are no bounds, and refusal
// says why in the language.
struct RangeOnChip {
    std::optional<Bounds> bounds;
    std::string refusal;
};
RangeOnChip rangeOnChip(const AddressRange &range, const ChipRecord &chip, int language);

// The chip's page for alignment; a page of 0 (only from a foreign catalogue file) counts
// as 1.
inline std::uint32_t alignmentPage(const ChipRecord &chip) {
    return chip.flashPage ? chip.flashPage : 1u;
}

class Buffers {
public:
    Buffers(); // both buffers allocated once, every byte 0xFF

    std::span<std::uint8_t> flash() { return {m_flash.get(), kFlashBufferSize}; }
    std::span<std::uint8_t> eeprom() { return {m_eeprom.get(), kEepromBufferSize}; }

    // Meaningful bytes at the start of the FLASH buffer; never negative.
    std::int32_t loadedLength = 0;
    AddressRange range;

    // Chip selection: FLASH buffer 0xFF, loaded length 0, both views reloaded with the
    // chip's sizes, end address = capacity - 1, the chip's last address. Returns the
    // text for the end edit (capacity - 1 as "%X").
    std::string resetForChip(const ChipRecord &chip, BufferView &flashView, BufferView &eepromView);

    // A view shows the first count bytes of its buffer, cut to the buffer's size.
    void reloadFlashView(BufferView &view, std::uint64_t count);
    void reloadEepromView(BufferView &view, std::uint64_t count);

    // Before Write and Auto: edits in the FLASH view come back into the buffer.
    void pullViewEdits(BufferView &flashView, const ChipRecord &chip);

    // After a read: capacity less trailing 0xFF bytes, raised to even.
    void setLoadedFromRead(const ChipRecord &chip);

private:
    LargeBlock m_flash;
    std::unique_ptr<std::uint8_t[]> m_eeprom;
};

// An address edit's change: empty text keeps the value, anything else is read as
// hexadecimal ("0x" + text). Returns the conversion error, if any.
std::optional<std::string> setAddressFromText(std::int64_t &address, std::string_view text);

} // namespace korvat
