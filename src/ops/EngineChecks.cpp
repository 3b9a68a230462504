// The two engines that read the chip and compare it: the blank check against 0xFF and
// the verify against the FLASH buffer, each over the whole chip or what it covers, or
// over the part of it the command's scope names.
#include "Engine.h"

#include "link/Connection.h"

#include <algorithm>

namespace korvat {
namespace {

// The first byte of n that differs between the chip's and the buffer's, among those the
// mask marks (every byte without one), and how many of them differ and were compared.
struct Comparison {
    std::size_t first;
    std::size_t differing = 0;
    std::size_t compared = 0;
};

Comparison compare(const std::uint8_t *chip, const std::uint8_t *image, std::size_t n,
                   const std::vector<bool> *mask) {
    Comparison c{n};
    if (!mask) {
        c.first = static_cast<std::size_t>(std::mismatch(chip, chip + n, image).first - chip);
        c.compared = n;
        if (c.first < n) // counted only for the log line of a failure
            for (std::size_t i = c.first; i < n; ++i)
                c.differing += chip[i] != image[i];
        return c;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!(*mask)[i])
            continue;
        ++c.compared;
        if (chip[i] != image[i]) {
            c.first = std::min(c.first, i);
            ++c.differing;
        }
    }
    return c;
}

} // namespace

bool Engine::blankCheck(const ChipRecord &chip) {
    preamble(Operation::BlankCheck);
    const Bounds checked = m_scope.blank.value_or(Bounds{0, chip.capacity});
    // Reading starts on a page, as a verify's does; only the bytes checked count.
    const std::uint32_t page = alignmentPage(chip);
    const std::uint64_t from = checked.start / page * page;
    const std::uint32_t t = transfer(chip);
    m_scratch.assign(t, 0xFF);
    reach(from);
    if (!enter4ByteIfNeeded(chip, from))
        return false;
    progressStart(checked.end);
    if (!command(addressBlock(static_cast<std::uint32_t>(from)), true, from))
        return false;
    for (std::uint64_t offset = from; offset < checked.end; offset += t) {
        if (!readInto(m_scratch.data(), t, offset))
            return false;
        const auto low =
            m_scratch.begin() +
            static_cast<std::ptrdiff_t>(std::max<std::uint64_t>(offset, checked.start) - offset);
        const auto high =
            m_scratch.begin() +
            static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(offset + t, checked.end) - offset);
        const auto data = std::find_if(low, high, [](std::uint8_t b) { return b != 0xFF; });
        if (data != high)
            return fail(text(txtNotBlank), PassStep::NotBlank,
                        offset + static_cast<std::uint64_t>(data - m_scratch.begin()));
        reach(std::min<std::uint64_t>(offset + t, checked.end));
        if (!progress(static_cast<std::uint32_t>(offset)))
            return false;
    }
    progressEnd();
    return true;
}

const std::vector<bool> &Engine::comparedIn(const std::vector<Bounds> &spans, std::uint64_t address,
                                            std::size_t n, std::size_t &next) {
    m_compared.assign(n, false);
    while (next < spans.size() && spans[next].end <= address)
        ++next;
    for (std::size_t s = next; s < spans.size() && spans[s].start < address + n; ++s) {
        const std::uint64_t from = std::max<std::uint64_t>(spans[s].start, address);
        const std::uint64_t to = std::min<std::uint64_t>(spans[s].end, address + n);
        std::fill(m_compared.begin() + static_cast<std::ptrdiff_t>(from - address),
                  m_compared.begin() + static_cast<std::ptrdiff_t>(to - address), true);
    }
    return m_compared;
}

Bounds Engine::verifiedBytes(const ChipRecord &chip, Bounds b,
                             const std::vector<Bounds> &spans) const {
    if (spans.empty())
        return {b.start, b.start};
    const std::uint32_t page = alignmentPage(chip);
    b.start = std::max(b.start, spans.front().start / page * page);
    b.end = std::max(b.start, std::min(b.end, spans.back().end));
    return b;
}

bool Engine::verify(const ChipRecord &chip) {
    preamble(Operation::Verify);
    const auto bounds = coveredBytes(chip, false);
    if (!bounds)
        return false;
    const std::vector<Bounds> spans = imageSpans(*bounds);
    const Bounds b = verifiedBytes(chip, *bounds, spans);
    // Every byte read is compared, or only those of the spans.
    const bool whole =
        spans.size() == 1 && spans.front().start == b.start && spans.front().end == b.end;
    m_covered = imageOf(b, spans, b.end);
    reach(b.start);
    if (!enter4ByteIfNeeded(chip, b.start))
        return false;
    // The bar runs to the loaded length; the time left to the last byte compared.
    progressStart(static_cast<std::uint32_t>(m_buffers.loadedLength), b.end);
    if (!command(addressBlock(b.start), true, b.start))
        return false;
    const std::uint32_t t = transfer(chip);
    m_scratch.resize(t);
    const std::uint8_t *flash = m_buffers.flash().data();
    std::size_t nextSpan = 0;
    // Whole transfers are read, and the bytes up to the end compared: a write leaves the
    // chip's bytes past it as they were.
    for (std::uint64_t address = b.start; address < b.end; address += t) {
        if (!readInto(m_scratch.data(), t, address))
            return false;
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(t, b.end - address));
        const Comparison c = compare(m_scratch.data(), flash + address, n,
                                     whole ? nullptr : &comparedIn(spans, address, n, nextSpan));
        if (c.first < n) {
            const std::uint64_t at = address + c.first;
            logMismatch(at, flash[at], m_scratch[c.first], c.differing, c.compared);
            return fail(text(txtVerifyMismatch) + addressText(at), PassStep::Verify, at);
        }
        reach(std::min<std::uint64_t>(address + t, b.end));
        // Once the last transfer is sent the chip holds the whole image: a Stop now ends
        // no write (an Auto pass sees it before its verify).
        if (address + t >= b.end)
            showProgress(static_cast<std::uint32_t>(address));
        else if (!progress(static_cast<std::uint32_t>(address)))
            return false;
    }
    progressEnd();
    return true;
}

} // namespace korvat
