#pragma once
// Models of the chips that can sit in the simulated programmer's socket. The socket
// chip, not what the host believes is there, decides what is read and written.

#include <cstdint>
#include <string>
#include <vector>

namespace ksim {

// Family codes as the programmer's chip parameter block carries them.
enum class Family : std::uint8_t {
    Spi25 = 0,
    I2c24 = 1,
    Microwire93 = 2,
    Spi95 = 3,
    Avr = 4,
    Empty = 0xFF, // nothing in the socket
};

class Chip {
public:
    Chip(); // empty socket
    Chip(Family family, std::uint32_t id, std::uint32_t size);

    Family family() const { return m_family; }
    std::uint32_t id() const { return m_id; }
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_memory.size()); }
    bool present() const { return m_family != Family::Empty && !m_memory.empty(); }

    // Contents from an image; bytes past the image stay erased.
    void load(const std::vector<std::uint8_t> &image);
    // Handing out the cells counts as a change: the caller may write them.
    std::vector<std::uint8_t> &memory() {
        touch();
        return m_memory;
    }
    const std::vector<std::uint8_t> &memory() const { return m_memory; }

    bool writeProtected = false;
    // ID reply type for families that answer without an ID (2, 3, or 0 for the 95 series).
    int idType = 2;

    // The cell that an address the host sends lands on: a 25-series chip over 16 MiB
    // sees only 24 address bits until it is switched to 4-byte mode; every chip then
    // ignores the bits above its size.
    std::uint32_t cell(std::uint32_t address) const;
    // Reading and programming a run of bytes from address on, wrapping as the chip
    // does. Programming a 25-series cell can only clear bits; EEPROM and AVR cells take
    // the byte. Nothing changes on a write-protected chip.
    void read(std::uint32_t address, std::uint8_t *out, std::size_t n) const;
    void program(std::uint32_t address, const std::uint8_t *data, std::size_t n);
    void eraseAll();
    void eraseRange(std::uint32_t address, std::uint32_t count);

    bool fourByteMode = false;

    // Changes with every change of the contents, and differs between any two chips.
    std::uint64_t version() const { return m_version; }

private:
    void touch();
    // Bytes from the cell of address on that lie in one straight run of memory.
    std::size_t runFrom(std::uint32_t address, std::size_t n) const;

    Family m_family;
    std::uint32_t m_id;
    std::vector<std::uint8_t> m_memory;
    std::uint64_t m_version = 0;
};

// "25", "24", "93", "95", "avr" or "none".
bool parseFamily(const std::string &text, Family &family);

} // namespace ksim
