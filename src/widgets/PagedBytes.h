#pragma once
// The hex view's own copy of its bytes, kept in pages of 64 KiB. A page whose bytes
// are all one value (an erased or filled stretch, the usual state of a chip image) is
// kept as that value alone until one of its bytes is edited, so a view of a 64 MiB
// erased chip costs next to nothing beside the buffer it was copied from.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class PagedBytes {
public:
    static constexpr std::size_t kPageSize = 64 * 1024;

    // Replaces the contents with a copy of the bytes.
    void assign(std::span<const std::uint8_t> bytes);
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    std::uint8_t operator[](std::size_t offset) const {
        const Page &page = m_pages[offset / kPageSize];
        return page.bytes ? page.bytes[offset % kPageSize] : page.fill;
    }
    void set(std::size_t offset, std::uint8_t value);

    // Copies out.size() bytes (cut to what is there) from the offset on.
    void copyOut(std::size_t offset, std::span<std::uint8_t> out) const;
    // The first occurrence of the needle lying wholly inside [from, to).
    std::optional<std::size_t> find(std::span<const std::uint8_t> needle, std::size_t from,
                                    std::size_t to) const;

    // Pages that hold their own bytes, for tests and benchmarks.
    std::size_t storedPages() const;

private:
    struct Page {
        std::unique_ptr<std::uint8_t[]> bytes; // null: every byte is fill
        std::uint8_t fill = 0;
    };
    std::vector<Page> m_pages;
    std::size_t m_size = 0;
};
