#pragma once
// The 64-byte command blocks the programmer is sent: leading flag, command code and
// little-endian fields, and the chip parameter block built from a catalogue record.

#include "catalogue/ChipRecord.h"

#include <array>
#include <cstdint>
#include <span>

namespace korvat {

constexpr std::size_t kBlockSize = 64;
using CommandBlock = std::array<std::uint8_t, kBlockSize>;

enum CommandCode : std::uint8_t {
    CMD_ERASE = 2,
    CMD_SET_ADDRESS = 5,
    CMD_SETUP = 7,
    CMD_END = 8,
    CMD_READ_ID = 9,
    CMD_POLL_STATUS = 10,
    CMD_SPI_TRANSFER = 11,
    CMD_GET_INFO = 12,
    CMD_ENTER_BOOT = 13,
};

// Erase parameter of a whole-chip erase that the programmer then reports by status polls.
constexpr std::uint16_t kWholeChipErase = 0x8000;
// The highest chip address plus one that a 16-bit block address parameter reaches.
constexpr std::uint32_t kBlockEraseReach = 0x10000;

// What the programmer's erase does to a chip, by its family's erase kind (FamilyRules):
// a family without an erase leaves the chip to writing, one erased page by page keeps
// what lies above the reach of its 16-bit block address, and a family code the programmer
// does not know has no erase that could be trusted. Every other chip is erased whole.
enum class EraseReach { WholeChip, NoErase, UpperPartUnreached, UnknownFamily };
EraseReach eraseReach(const ChipRecord &chip);
// The CMD_ERASE parameter by the family's erase kind: kWholeChipErase for an erase
// followed by status polls, the page's address for a page-by-page erase, the chip's
// delay for a single erase; 0 for a family without an erase.
std::uint16_t eraseParameter(const ChipRecord &chip, std::uint32_t address);
// SPI opcode that switches a serial flash to 4-byte addresses.
constexpr std::uint8_t kEnter4ByteAddressing = 0xB7;
// Smallest data transfer; smaller FLASH pages are raised to it.
constexpr std::uint32_t kMinTransfer = 64;

// Chip parameter block with CMD_SETUP.
CommandBlock setupBlock(const ChipRecord &chip, int speed);
// Chip parameter block with CMD_READ_ID.
CommandBlock readIdBlock(const ChipRecord &chip, int speed);
// CMD_END, no reply.
CommandBlock endBlock();
// CMD_SET_ADDRESS with the start address of a data stream.
CommandBlock addressBlock(std::uint32_t address);
// CMD_ERASE with its 16-bit parameter.
CommandBlock eraseBlock(std::uint16_t parameter);
// Turns the block in place into a status poll: only bytes 0 and 1 are rewritten, the
// rest keeps whatever the erase block or the previous reply left there.
void makePoll(CommandBlock &block);
// CMD_SPI_TRANSFER carrying raw bytes for the flash chip (at most 60).
CommandBlock spiTransferBlock(std::span<const std::uint8_t> bytes);
// The SPI pass-through block with the single byte 0xB7.
CommandBlock enter4ByteBlock();
CommandBlock getInfoBlock();
CommandBlock enterBootBlock();
// The same two commands written into a block shared with other commands and replies:
// only bytes 0 and 1 are set, the rest keeps what an earlier use left there.
void makeGetInfo(std::span<std::uint8_t, kBlockSize> block);
void makeEnterBoot(std::span<std::uint8_t, kBlockSize> block);

// Whether the chip must be switched to 4-byte addressing before a data stream.
inline bool needs4ByteAddressing(const ChipRecord &chip) {
    return chip.capacity > k4ByteAddressingAbove;
}

// Bytes per data transfer: the FLASH page, raised to 64.
inline std::uint32_t transferSize(const ChipRecord &chip) {
    return chip.flashPage < kMinTransfer ? kMinTransfer : chip.flashPage;
}

// Bit 0 of reply byte 0 of a status poll: the erase is still running.
inline bool pollBusy(const CommandBlock &reply) {
    return (reply[0] & 0x01) != 0;
}

} // namespace korvat
