#pragma once
// The fill window's work: a constant byte, a constant word or random bytes over an
// inclusive range of the FLASH buffer.

#include <cstdint>
#include <optional>
#include <string>

namespace korvat {

class Buffers;
class BufferView;

enum class FillKind { Byte, Word, Random };

// The fill window's edits as typed (hexadecimal without prefix).
struct FillRequest {
    FillKind kind = FillKind::Byte;
    std::string byteText = "FF";
    std::string wordText = "FFFF";
    std::string startText = "00000";
    std::string endText = "FFFF";
};

// The 15-bit linear congruential generator of the random fill: x <- x * 22695477 + 1,
// output (x >> 16) & 0x7FFF. Seeding sets x and advances it once.
class FillRandom {
public:
    explicit FillRandom(std::uint32_t seed) : m_x(seed) { next(); }
    int next() {
        m_x = m_x * 22695477u + 1u;
        return static_cast<int>((m_x >> 16) & 0x7FFF);
    }

private:
    std::uint32_t m_x;
};

// Fills the FLASH buffer, reloads its view with the first end + 1 bytes and sets the
// loaded length to end + 1. A text that is not hexadecimal, an end before the start or
// a range past the buffer is refused with the returned message (in the language given)
// and nothing is written. seed: the local time in whole seconds.
std::optional<std::string> fillFlash(Buffers &buffers, BufferView &flashView,
                                     const FillRequest &request, std::uint32_t seed, int language);

} // namespace korvat
