#pragma once
// The programmer's firmware: it takes 64-byte command blocks on endpoint 0x01 and data
// on 0x02, and answers on 0x81 with replies and chip data, driving the socket chip the
// way the command's chip parameters say.

#include "Chip.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>

namespace ksim {

// Command codes of the programmer protocol.
enum Command : std::uint8_t {
    kErase = 2,
    kSetAddress = 5,
    kSetup = 7,
    kEnd = 8,
    kReadId = 9,
    kPollStatus = 10,
    kSpiTransfer = 11,
    kGetInfo = 12,
    kEnterBoot = 13,
};

constexpr std::size_t kBlock = 64;
using Block = std::array<std::uint8_t, kBlock>;

// The chip parameters the host last sent (CMD_SETUP or CMD_READ_ID).
struct ChipParameters {
    std::uint8_t family = 0xFF;
    std::uint8_t algorithm = 0;
    std::uint16_t flashPage = 0;
    std::uint16_t delay = 0;
    std::uint32_t capacity = 0;
    std::uint32_t chipId = 0;
    std::uint8_t speed = 0;
    std::uint8_t voltage = 0;
};

class Firmware {
public:
    Firmware();

    Chip &chip() { return m_chip; }
    // Power-up after a replug: no stream, no pending reply, normal firmware running.
    void powerOn();
    void insert(Chip chip) { m_chip = std::move(chip); }

    // Endpoint 0x01: one command block (shorter blocks are read as zero-padded).
    void command(std::span<const std::uint8_t> bytes);
    // Endpoint 0x02: data for the write stream; returns the bytes taken.
    int data(std::span<const std::uint8_t> bytes);
    // Endpoint 0x81: a pending reply, else chip data of the read stream. Nothing to
    // send (the host would wait for its time-out) gives nothing.
    std::optional<int> read(std::span<std::uint8_t> out);

    const ChipParameters &parameters() const { return m_params; }
    std::uint32_t address() const { return m_address; }
    // The erase still in progress: polls left before the busy flag clears. Until the
    // last of them the chip is not yet erased, takes no data and sends none.
    int busyPollsLeft() const { return m_busyPolls; }
    bool erasing() const { return m_erasing; }
    bool bootRequested() const { return m_bootRequested && !m_reply; }

    // Polls the busy flag stays set after a whole-chip erase.
    int erasePolls = 3;
    // A busy flag that never clears.
    bool stuckBusy = false;
    // Bits flipped on every read of a chip cell: cell -> XOR mask.
    std::map<std::uint32_t, std::uint8_t> readFlips;
    // Versions and serial number reported by CMD_GET_INFO.
    std::string hardwareVersion = "1.0";
    std::string firmwareVersion = "1.02";
    std::string serialNumber = "KV2000001";

private:
    bool hostTalksToSocketChip() const;
    std::uint32_t transferSize() const;
    void setParameters(const Block &b);
    Block readIdReply() const;
    Block infoReply() const;
    void erase(std::uint16_t parameter);
    void finishErase();

    Chip m_chip;
    ChipParameters m_params;
    std::optional<Block> m_reply;
    bool m_streaming = false;
    std::uint32_t m_address = 0;
    int m_busyPolls = 0;
    bool m_erasing = false;
    bool m_bootRequested = false;
};

} // namespace ksim
