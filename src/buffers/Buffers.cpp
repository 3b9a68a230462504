#include "Buffers.h"

#include <new>

#include "BufferView.h"
#include "base/HexText.h"
#include "base/IntegerText.h"

#include <algorithm>
#include <cstring>

namespace korvat {

Buffers::Buffers()
    : m_flash(allocateLargeBlock(kFlashBufferSize)), m_eeprom(new std::uint8_t[kEepromBufferSize]) {
    if (!m_flash)
        throw std::bad_alloc();
    std::memset(m_flash.get(), 0xFF, kFlashBufferSize);
    std::memset(m_eeprom.get(), 0xFF, kEepromBufferSize);
}

void Buffers::reloadFlashView(BufferView &view, std::uint64_t count) {
    view.load(
        flash().first(static_cast<std::size_t>(std::min<std::uint64_t>(count, kFlashBufferSize))));
}

void Buffers::reloadEepromView(BufferView &view, std::uint64_t count) {
    view.load(eeprom().first(
        static_cast<std::size_t>(std::min<std::uint64_t>(count, kEepromBufferSize))));
}

std::string Buffers::resetForChip(const ChipRecord &chip, BufferView &flashView,
                                  BufferView &eepromView) {
    std::memset(m_flash.get(), 0xFF, kFlashBufferSize);
    loadedLength = 0;
    reloadFlashView(flashView, chip.capacity);
    reloadEepromView(eepromView, chip.eepromSize);
    // The end address is the last one covered: the chip's last address, whether or not
    // the edit's text changes and runs its handler.
    range.end = static_cast<std::int64_t>(chip.capacity) - 1;
    return hexText(static_cast<std::uint32_t>(chip.capacity - 1));
}

void Buffers::pullViewEdits(BufferView &flashView, const ChipRecord &chip) {
    if (!flashView.modified())
        return;
    const std::size_t n = std::min<std::size_t>(
        {flashView.dataSize(), std::size_t{chip.capacity}, std::size_t{kFlashBufferSize}});
    flashView.copyOut(flash().first(n));
    loadedLength = static_cast<std::int32_t>(n);
    flashView.setModified(false);
}

void Buffers::setLoadedFromRead(const ChipRecord &chip) {
    std::uint32_t n = std::min(chip.capacity, kFlashBufferSize);
    while (n > 0 && m_flash[n - 1] == 0xFF)
        --n;
    if (n % 2)
        ++n;
    loadedLength = static_cast<std::int32_t>(n);
}

RangeOnChip rangeOnChip(const AddressRange &range, const ChipRecord &chip, int language) {
    const std::int64_t page = alignmentPage(chip);
    const std::string last = hexText(chip.capacity ? chip.capacity - 1u : 0u) + "h";
    RangeOnChip on;
    if (range.start < 0 || range.end < range.start) {
        on.refusal = std::string(text(txtRangeBackwards, language)) +
                     std::string(text(txtChipLastAddress, language));
        replaceMark(on.refusal, "%1", last);
        return on;
    }
    const std::int64_t start = range.start / page * page;
    const std::int64_t end = (range.end + page) / page * page; // past the last address
    if (end > static_cast<std::int64_t>(chip.capacity)) {
        on.refusal = text(txtRangeOutsideChip, language);
        replaceMark(on.refusal, "%1", last);
        return on;
    }
    on.bounds = Bounds{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end)};
    return on;
}

std::optional<std::string> setAddressFromText(std::int64_t &address, std::string_view text) {
    if (text.empty())
        return std::nullopt;
    const std::string prefixed = "0x" + std::string(text);
    const auto value = parseInteger(prefixed);
    if (!value)
        return notAnIntegerMessage(prefixed);
    address = *value;
    return std::nullopt;
}

void mergeBounds(std::vector<Bounds> &bounds) {
    std::sort(bounds.begin(), bounds.end(),
              [](const Bounds &a, const Bounds &b) { return a.start < b.start; });
    std::size_t kept = 0;
    for (const Bounds &b : bounds) {
        if (b.start >= b.end)
            continue;
        if (kept > 0 && b.start <= bounds[kept - 1].end)
            bounds[kept - 1].end = std::max(bounds[kept - 1].end, b.end);
        else
            bounds[kept++] = b;
    }
    bounds.resize(kept);
}

} // namespace korvat
