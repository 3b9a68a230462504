// The write engine: the image's bytes sent to the chip in whole transfers from a page's
// start. A transfer that also holds bytes the person did not ask for (past the image's
// end when a transfer is longer than the chip's page, outside an address range that does
// not start or end on a page, in the gaps of a file that holds only some addresses) is
// sent with the chip's own bytes there, read first, so no such cell changes.
#include "Engine.h"

#include "base/OperationHost.h"
#include "catalogue/Family.h"
#include "link/Usbbulk.h"

#include <algorithm>
#include <cstring>

namespace korvat {
namespace {

// The spans [start, end) that are in both lists (each sorted, apart).
std::vector<Bounds> intersection(const std::vector<Bounds> &a, const std::vector<Bounds> &b) {
    std::vector<Bounds> both;
    for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        const std::uint32_t start = std::max(a[i].start, b[j].start);
        const std::uint32_t end = std::min(a[i].end, b[j].end);
        if (start < end)
            both.push_back({start, end});
        (a[i].end < b[j].end ? i : j) += 1;
    }
    return both;
}

// Whether [address, address + n) lies inside one of the spans; next moves past spans
// behind it.
bool inside(const std::vector<Bounds> &spans, std::uint64_t address, std::uint32_t n,
            std::size_t &next) {
    while (next < spans.size() && spans[next].end <= address)
        ++next;
    return next < spans.size() && spans[next].start <= address && address + n <= spans[next].end;
}

} // namespace

std::vector<Bounds> Engine::imageSpans(const Bounds &covered) const {
    std::vector<Bounds> spans{covered};
    if (m_buffers.range.enabled) // inside the chip: the bounds were found
        spans = intersection(spans, {{static_cast<std::uint32_t>(m_buffers.range.start),
                                      static_cast<std::uint32_t>(m_buffers.range.end + 1)}});
    if (!m_scope.held.empty())
        spans = intersection(spans, m_scope.held);
    return spans;
}

std::optional<Bounds> Engine::imageOf(const Bounds &b, const std::vector<Bounds> &spans,
                                      std::uint32_t imageEnd) const {
    if (!m_buffers.range.enabled && m_scope.held.empty())
        return Bounds{b.start, std::max(b.start, std::min(b.end, imageEnd))};
    if (spans.size() == 1)
        return spans.front();
    return std::nullopt;
}

bool Engine::composeTransfers(const Bounds &b, std::uint32_t t, const std::vector<Bounds> &spans) {
    m_composedAt.clear();
    std::size_t next = 0;
    for (std::uint64_t address = b.start; address < b.end; address += t)
        if (!inside(spans, address, t, next))
            m_composedAt.push_back(address);
    m_composed.assign(m_composedAt.size() * t, 0xFF);
    const std::uint8_t *flash = m_buffers.flash().data();
    for (std::size_t i = 0; i < m_composedAt.size(); ++i) {
        const std::uint64_t address = m_composedAt[i];
        std::uint8_t *out = m_composed.data() + i * t;
        // One stream for each run of transfers in a row.
        const bool follows = i > 0 && m_composedAt[i - 1] + t == address;
        if (!follows && !command(addressBlock(static_cast<std::uint32_t>(address)), true, address))
            return false;
        if (!readInto(out, t, address))
            return false;
        for (const Bounds &s : spans) {
            const std::uint64_t from = std::max<std::uint64_t>(s.start, address);
            const std::uint64_t to = std::min<std::uint64_t>(s.end, address + t);
            if (from < to)
                std::memcpy(out + (from - address), flash + from, to - from);
        }
    }
    return true;
}

bool Engine::write(const ChipRecord &chip) {
    preamble(Operation::Write);
    m_covered.reset();
    std::uint32_t imageEnd = 0;
    const auto bounds = coveredBytes(chip, true, &imageEnd);
    if (!bounds)
        return false;
    const Bounds b = *bounds;
    const std::vector<Bounds> spans = imageSpans(b);
    // What the person's image holds: the filler that rounds it to whole pages is sent
    // too, but a CRC-32 of the image file leaves it out.
    m_covered = imageOf(b, spans, imageEnd);
    reach(b.start);
    if (!enter4ByteIfNeeded(chip, b.start))
        return false;
    progressStart(b.end);
    const std::uint32_t t = transfer(chip);
    if (!composeTransfers(b, t, spans) || !command(addressBlock(b.start), false, b.start))
        return false;
    std::uint8_t *flash = m_buffers.flash().data();
    std::size_t composed = 0;
    for (std::uint64_t address = b.start; address < b.end; address += t) {
        // Only a composed transfer can reach past the end, and past the buffer.
        const bool own = composed < m_composedAt.size() && m_composedAt[composed] == address;
        std::uint8_t *source = own ? m_composed.data() + composed++ * t : flash + address;
        const int n = m_usb.USB_bulk_write(reinterpret_cast<char *>(source), static_cast<int>(t));
        if (n != static_cast<int>(t))
            return failAt(address);
        reach(std::min<std::uint64_t>(address + t, b.end));
        // Once the last transfer is sent the chip holds the whole image: a Stop now ends
        // no write (an Auto pass sees it before its verify).
        if (address + t >= b.end)
            showProgress(static_cast<std::uint32_t>(address));
        else if (!progress(static_cast<std::uint32_t>(address)))
            return false;
    }
    if (const int wait = familyRules(chip.family).writeWaitMs)
        m_host.sleep(wait);
    progressEnd();
    return true;
}

} // namespace korvat
