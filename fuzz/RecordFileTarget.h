#pragma once
// The record file readers (Intel HEX, S-record) held to their models: the buffer size
// comes from the first two input bytes, so a store past it is an overrun the address
// sanitizer sees; the rest is the file. The reader and its model each read the file
// into a buffer of 0xA5 bytes, and must agree on the extent, on every message shown (in
// order) and on every byte of the buffer.
#include "FuzzInput.h"
#include "RecordModel.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace korvat::fuzz {

using Reader = std::uint32_t (*)(const std::string &, std::span<std::uint8_t>, MessageSink &);
using Model = model::Outcome (*)(std::string_view, std::span<std::uint8_t>);

inline void printMessages(const char *who, const std::vector<std::string> &messages) {
    std::fprintf(stderr, "%s shows %zu message(s):", who, messages.size());
    for (const std::string &m : messages)
        std::fprintf(stderr, " \"%s\"", m.c_str());
    std::fprintf(stderr, "\n");
}

inline void checkReader(Reader read, Model model, const char *suffix, const std::uint8_t *data,
                        std::size_t size) {
    if (size < 2)
        return;
    const std::size_t limit = 1 + (data[0] | std::size_t{data[1]} << 8);
    const std::string_view file(reinterpret_cast<const char *>(data + 2), size - 2);
    const std::string path = inputFile(data + 2, size - 2, suffix);
    std::vector<std::uint8_t> buffer(limit, 0xA5); // exactly the limit: no slack to hide in
    Messages messages;
    const std::uint32_t extent = read(path, buffer, messages);
    std::remove(path.c_str());

    std::vector<std::uint8_t> expected(limit, 0xA5);
    const model::Outcome want = model(file, expected);
    // memcmp rather than a loop of our own: the fuzzer's comparison tracing would make a
    // byte-by-byte loop over the whole buffer the slowest part of the run.
    if (extent != want.extent || messages.shown != want.messages ||
        std::memcmp(buffer.data(), expected.data(), limit) != 0) {
        std::fprintf(stderr, "limit %zu; extent %u, the model's %u\n", limit, extent, want.extent);
        printMessages("the reader", messages.shown);
        printMessages("the model", want.messages);
        const auto differs = std::mismatch(buffer.begin(), buffer.end(), expected.begin());
        if (differs.first != buffer.end())
            std::fprintf(stderr, "buffer[0x%zx] is 0x%02X, the model's 0x%02X\n",
                         static_cast<std::size_t>(differs.first - buffer.begin()), *differs.first,
                         *differs.second);
        require(false, "the reader and its model disagree");
    }

    // Properties that hold whatever the model says, so that a fault shared by both is
    // still seen.
    require(extent <= limit, "extent past the buffer");
    // An early end of an Intel HEX file is told in two messages, every other failure in one.
    require(messages.shown.size() <= 2, "more than two messages");
    require(messages.shown.empty() || extent == 0, "a failure with an extent");
    // A load that succeeded stores nothing past its extent.
    static const std::vector<std::uint8_t> untouched(0x10000, 0xA5); // the largest limit
    if (extent > 0)
        require(std::memcmp(buffer.data() + extent, untouched.data(), limit - extent) == 0,
                "a byte past the extent changed");
}

} // namespace korvat::fuzz
