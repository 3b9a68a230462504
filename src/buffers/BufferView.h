#pragma once
// A view that shows a copy of buffer bytes and lets the user edit them (the hex views).
// Edits stay in the view until they are pulled back into the buffer.

#include <cstddef>
#include <cstdint>
#include <span>

namespace korvat {

class BufferView {
public:
    virtual ~BufferView() = default;
    // Replaces the view's bytes and clears its changed flag.
    virtual void load(std::span<const std::uint8_t> bytes) = 0;
    virtual bool modified() const = 0;
    virtual void setModified(bool modified) = 0;
    virtual std::size_t dataSize() const = 0;
    // Copies out.size() bytes from the view's start.
    virtual void copyOut(std::span<std::uint8_t> out) const = 0;
};

} // namespace korvat
