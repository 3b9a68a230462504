#pragma once
// The record file readers (Intel HEX, S-record) under one set of checks: the buffer
// size comes from the first two input bytes, so a store past it is an overrun the
// address sanitizer sees; the rest is the file.
#include "FuzzInput.h"

#include <cstring>
#include <span>

namespace korvat::fuzz {

using Reader = std::uint32_t (*)(const std::string &, std::span<std::uint8_t>, MessageSink &);

inline void checkReader(Reader read, const char *suffix, const std::uint8_t *data,
                        std::size_t size) {
    if (size < 2)
        return;
    const std::size_t limit = 1 + (data[0] | std::size_t{data[1]} << 8);
    const std::string path = inputFile(data + 2, size - 2, suffix);
    std::vector<std::uint8_t> buffer(limit, 0xA5); // exactly the limit: no slack to hide in
    Messages messages;
    const std::uint32_t extent = read(path, buffer, messages);
    require(extent <= limit, "extent past the buffer");
    // An early end of an Intel HEX file is told in two messages, every other failure in one.
    require(messages.shown.size() <= 2, "more than two messages");
    require(messages.shown.empty() || extent == 0, "a failure with an extent");
    // A load that succeeded stores nothing past its extent.
    if (extent > 0)
        for (std::size_t i = extent; i < limit; ++i)
            require(buffer[i] == 0xA5, "a byte past the extent changed");
    std::remove(path.c_str());
}

} // namespace korvat::fuzz
