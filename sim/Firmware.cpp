#include "Firmware.h"

#include <algorithm>
#include <cstring>

namespace ksim {
namespace {

std::uint16_t get16(const Block &b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t get32(const Block &b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void putText(Block &b, std::size_t at, std::size_t width, const std::string &text) {
    std::memcpy(&b[at], text.data(), std::min(width, text.size()));
}

constexpr std::uint16_t kWholeChip = 0x8000;
constexpr std::uint8_t kEnter4Byte = 0xB7;
constexpr std::uint8_t kExit4Byte = 0xE9;
constexpr std::uint32_t kMinTransfer = 64;

} // namespace

Firmware::Firmware() : m_chip(Family::Spi25, 0xEF4017, 8u << 20) {}

void Firmware::powerOn() {
    m_reply.reset();
    m_streaming = false;
    m_busyPolls = 0;
    m_erasing = false;
    m_bootRequested = false;
    m_chip.fourByteMode = false;
}

bool Firmware::hostTalksToSocketChip() const {
    return m_chip.present() && m_params.family == static_cast<std::uint8_t>(m_chip.family());
}

std::uint32_t Firmware::transferSize() const {
    return std::max<std::uint32_t>(m_params.flashPage, kMinTransfer);
}

void Firmware::setParameters(const Block &b) {
    m_params.family = b[2];
    m_params.algorithm = b[3];
    m_params.flashPage = get16(b, 4);
    m_params.delay = get16(b, 6);
    m_params.capacity = get32(b, 8);
    m_params.chipId = get32(b, 12);
    m_params.speed = b[16];
    m_params.voltage = b[28];
}

void Firmware::command(std::span<const std::uint8_t> bytes) {
    Block b{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), kBlock), b.begin());
    m_reply.reset(); // a reply the host never read is dropped by the next command
    Block reply = b;
    switch (b[1]) {
    case kSetup:
        setParameters(b);
        m_chip.fourByteMode = false;
        m_streaming = false;
        m_reply = reply;
        break;
    case kReadId:
        setParameters(b);
        m_reply = readIdReply();
        break;
    case kSetAddress:
        m_address = get32(b, 8);
        m_streaming = true;
        m_reply = reply;
        break;
    case kErase:
        m_streaming = false;
        erase(get16(b, 26));
        break;
    case kPollStatus:
        reply[0] = (stuckBusy || m_busyPolls > 0) ? 1 : 0;
        if (m_busyPolls > 0 && --m_busyPolls == 0 && !stuckBusy)
            finishErase(); // the last busy poll: the cells are erased now
        m_reply = reply;
        break;
    case kSpiTransfer:
        if (m_chip.family() == Family::Spi25 && b[3] >= 1) {
            if (b[4] == kEnter4Byte)
                m_chip.fourByteMode = true;
            else if (b[4] == kExit4Byte)
                m_chip.fourByteMode = false;
        }
        m_reply = reply;
        break;
    case kEnd: // the socket is powered down: the chip forgets its address mode
        m_streaming = false;
        m_chip.fourByteMode = false;
        break;
    case kGetInfo:
        m_reply = infoReply();
        break;
    case kEnterBoot:
        m_reply = reply;
        m_bootRequested = true;
        break;
    default:
        break;
    }
}

Block Firmware::readIdReply() const {
    Block r{};
    if (!m_chip.present())
        return r; // type 0: no chip
    if (m_chip.family() == Family::Spi25 || m_chip.family() == Family::Avr) {
        r[0] = 1;
        r[1] = static_cast<std::uint8_t>(m_chip.id() >> 16);
        r[2] = static_cast<std::uint8_t>(m_chip.id() >> 8);
        r[3] = static_cast<std::uint8_t>(m_chip.id());
    } else {
        r[0] = static_cast<std::uint8_t>(m_chip.idType);
    }
    return r;
}

Block Firmware::infoReply() const {
    Block r{};
    putText(r, 43, 3, hardwareVersion);
    putText(r, 46, 5, firmwareVersion);
    putText(r, 51, 13, serialNumber);
    return r;
}

void Firmware::erase(std::uint16_t parameter) {
    if (!hostTalksToSocketChip())
        return;
    switch (m_chip.family()) {
    case Family::Spi25:
        if (parameter == kWholeChip && !m_chip.writeProtected) {
            // The chip is busy for erasePolls polls and erased only at the last of them.
            m_erasing = true;
            m_busyPolls = erasePolls;
            if (erasePolls == 0 && !stuckBusy)
                finishErase();
        }
        break;
    case Family::I2c24: // one block of the host's page size at the given address
        m_chip.eraseRange(parameter, std::max<std::uint32_t>(m_params.flashPage, 1));
        break;
    default:
        m_chip.eraseAll();
        break;
    }
}

void Firmware::finishErase() {
    m_chip.eraseAll();
    m_erasing = false;
}

int Firmware::data(std::span<const std::uint8_t> bytes) {
    if (!m_streaming || m_erasing)
        return static_cast<int>(bytes.size()); // taken and dropped
    if (hostTalksToSocketChip())
        m_chip.program(m_address, bytes.data(), bytes.size());
    m_address += static_cast<std::uint32_t>(bytes.size());
    return static_cast<int>(bytes.size());
}

std::optional<int> Firmware::read(std::span<std::uint8_t> out) {
    if (m_reply) {
        const std::size_t n = std::min(out.size(), kBlock);
        std::copy_n(m_reply->begin(), n, out.begin());
        m_reply.reset();
        return static_cast<int>(n);
    }
    if (!m_streaming || m_erasing) // a busy chip sends nothing: the host times out
        return std::nullopt;
    const std::size_t n = std::min<std::size_t>(out.size(), transferSize());
    if (!hostTalksToSocketChip()) {
        std::fill_n(out.begin(), n, 0xFF);
        m_address += static_cast<std::uint32_t>(n);
        return static_cast<int>(n);
    }
    m_chip.read(m_address, out.data(), n);
    for (std::size_t i = 0; i < n && !readFlips.empty(); ++i) {
        const auto flip = readFlips.find(m_chip.cell(m_address + static_cast<std::uint32_t>(i)));
        if (flip != readFlips.end())
            out[i] ^= flip->second;
    }
    m_address += static_cast<std::uint32_t>(n);
    return static_cast<int>(n);
}

} // namespace ksim
