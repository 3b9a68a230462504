#include "PagedBytes.h"

#include <algorithm>
#include <cstring>
#include <functional>

void PagedBytes::assign(std::span<const std::uint8_t> bytes) {
    m_size = bytes.size();
    m_pages.resize((m_size + kPageSize - 1) / kPageSize);
    m_pages.shrink_to_fit();
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        const std::uint8_t *from = bytes.data() + i * kPageSize;
        const std::size_t count = std::min(kPageSize, m_size - i * kPageSize);
        Page &page = m_pages[i];
        // All bytes equal exactly when the page matches itself shifted by one.
        if (std::memcmp(from, from + 1, count - 1) == 0) {
            page.bytes.reset();
            page.fill = from[0];
            continue;
        }
        if (!page.bytes)
            page.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(kPageSize);
        std::memcpy(page.bytes.get(), from, count);
    }
}

void PagedBytes::set(std::size_t offset, std::uint8_t value) {
    Page &page = m_pages[offset / kPageSize];
    if (!page.bytes) {
        if (value == page.fill)
            return;
        page.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(kPageSize);
        std::memset(page.bytes.get(), page.fill, kPageSize);
    }
    page.bytes[offset % kPageSize] = value;
}

void PagedBytes::copyOut(std::size_t offset, std::span<std::uint8_t> out) const {
    std::size_t done = 0;
    const std::size_t total = offset < m_size ? std::min(out.size(), m_size - offset) : 0;
    while (done < total) {
        const std::size_t at = offset + done;
        const Page &page = m_pages[at / kPageSize];
        const std::size_t inPage = at % kPageSize;
        const std::size_t count = std::min(kPageSize - inPage, total - done);
        if (page.bytes)
            std::memcpy(out.data() + done, page.bytes.get() + inPage, count);
        else
            std::memset(out.data() + done, page.fill, count);
        done += count;
    }
}

std::optional<std::size_t> PagedBytes::find(std::span<const std::uint8_t> needle, std::size_t from,
                                            std::size_t to) const {
    to = std::min(to, m_size);
    if (needle.empty() || from >= to || needle.size() > to - from)
        return std::nullopt;
    // Searched in blocks of 1 MiB, each overlapping the next by the needle's length
    // less one, so a match across a block edge is still found.
    constexpr std::size_t kBlock = 1 << 20;
    std::vector<std::uint8_t> scratch(std::min(kBlock + needle.size() - 1, to - from));
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
    for (std::size_t at = from; at + needle.size() <= to; at += kBlock) {
        const std::size_t count = std::min(scratch.size(), to - at);
        copyOut(at, std::span(scratch).first(count));
        const auto end = scratch.begin() + static_cast<std::ptrdiff_t>(count);
        const auto hit = std::search(scratch.begin(), end, searcher);
        if (hit != end)
            return at + static_cast<std::size_t>(hit - scratch.begin());
    }
    return std::nullopt;
}

std::size_t PagedBytes::storedPages() const {
    return static_cast<std::size_t>(std::count_if(
        m_pages.begin(), m_pages.end(), [](const Page &p) { return p.bytes != nullptr; }));
}
