#include "Chip.h"

#include <algorithm>

namespace ksim {
namespace {
constexpr std::uint8_t kErased = 0xFF;
constexpr std::uint32_t k3ByteSpan = 0x1000000;
} // namespace

Chip::Chip() : m_family(Family::Empty), m_id(0) {
    touch();
}

void Chip::touch() {
    static std::uint64_t versions = 0;
    m_version = ++versions;
}

Chip::Chip(Family family, std::uint32_t id, std::uint32_t size)
    : m_family(family), m_id(id & 0xFFFFFF), m_memory(family == Family::Empty ? 0 : size, kErased) {
    touch();
    if (family == Family::Microwire93)
        idType = 3;
    // What the programmer answers for a 95-series chip is not known; the simulator
    // answers as for no chip (id-type sets another code).
    if (family == Family::Spi95)
        idType = 0;
}

void Chip::load(const std::vector<std::uint8_t> &image) {
    touch();
    std::fill(m_memory.begin(), m_memory.end(), kErased);
    std::copy_n(image.begin(), std::min(image.size(), m_memory.size()), m_memory.begin());
}

std::uint32_t Chip::cell(std::uint32_t address) const {
    if (m_family == Family::Spi25 && !fourByteMode)
        address &= k3ByteSpan - 1;
    return address % size();
}

std::size_t Chip::runFrom(std::uint32_t address, std::size_t n) const {
    std::size_t run = size() - cell(address);
    if (m_family == Family::Spi25 && !fourByteMode)
        run = std::min<std::size_t>(run, k3ByteSpan - (address & (k3ByteSpan - 1)));
    return std::min(run, n);
}

void Chip::read(std::uint32_t address, std::uint8_t *out, std::size_t n) const {
    if (!present()) {
        std::fill_n(out, n, kErased);
        return;
    }
    while (n > 0) {
        const std::size_t run = runFrom(address, n);
        std::copy_n(m_memory.data() + cell(address), run, out);
        out += run;
        n -= run;
        address += static_cast<std::uint32_t>(run);
    }
}

void Chip::program(std::uint32_t address, const std::uint8_t *data, std::size_t n) {
    if (!present() || writeProtected)
        return;
    touch();
    while (n > 0) {
        const std::size_t run = runFrom(address, n);
        std::uint8_t *cells = m_memory.data() + cell(address);
        if (m_family == Family::Spi25)
            for (std::size_t i = 0; i < run; ++i)
                cells[i] &= data[i];
        else
            std::copy_n(data, run, cells);
        data += run;
        n -= run;
        address += static_cast<std::uint32_t>(run);
    }
}

void Chip::eraseAll() {
    if (present() && !writeProtected) {
        touch();
        std::fill(m_memory.begin(), m_memory.end(), kErased);
    }
}

void Chip::eraseRange(std::uint32_t address, std::uint32_t count) {
    if (!present() || writeProtected)
        return;
    touch();
    for (std::uint32_t i = 0; i < count; ++i)
        m_memory[cell(address + i)] = kErased;
}

bool parseFamily(const std::string &text, Family &family) {
    if (text == "25")
        family = Family::Spi25;
    else if (text == "24")
        family = Family::I2c24;
    else if (text == "93")
        family = Family::Microwire93;
    else if (text == "95")
        family = Family::Spi95;
    else if (text == "avr" || text == "AVR")
        family = Family::Avr;
    else if (text == "none")
        family = Family::Empty;
    else
        return false;
    return true;
}

} // namespace ksim
