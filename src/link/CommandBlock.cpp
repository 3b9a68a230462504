#include "CommandBlock.h"

#include "catalogue/Family.h"

#include <algorithm>

namespace korvat {
namespace {

void put16(CommandBlock &b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(CommandBlock &b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void setCommand(std::span<std::uint8_t, kBlockSize> b, std::uint8_t flag, CommandCode code) {
    b[0] = flag;
    b[1] = code;
}

CommandBlock command(std::uint8_t flag, CommandCode code) {
    CommandBlock b{};
    setCommand(b, flag, code);
    return b;
}

CommandBlock chipParameters(CommandCode code, const ChipRecord &chip, int speed) {
    CommandBlock b = command(0, code);
    b[2] = chip.family;
    b[3] = chip.algorithm;
    put16(b, 4, chip.flashPage);
    put16(b, 6, chip.delay);
    put32(b, 8, chip.capacity);
    put32(b, 12, chip.chipId);
    b[16] = static_cast<std::uint8_t>(speed);
    b[28] = chip.voltage;
    return b;
}

constexpr std::size_t kSpiPayloadAt = 4;
constexpr std::uint8_t kSpiTransferMode = 3;

} // namespace

CommandBlock setupBlock(const ChipRecord &chip, int speed) {
    return chipParameters(CMD_SETUP, chip, speed);
}

CommandBlock readIdBlock(const ChipRecord &chip, int speed) {
    return chipParameters(CMD_READ_ID, chip, speed);
}

CommandBlock endBlock() {
    return command(1, CMD_END);
}

CommandBlock addressBlock(std::uint32_t address) {
    CommandBlock b = command(0, CMD_SET_ADDRESS);
    put32(b, 8, address);
    return b;
}

CommandBlock eraseBlock(std::uint16_t parameter) {
    CommandBlock b = command(1, CMD_ERASE);
    put16(b, 26, parameter);
    return b;
}

void makePoll(CommandBlock &block) {
    setCommand(block, 0, CMD_POLL_STATUS);
}

CommandBlock spiTransferBlock(std::span<const std::uint8_t> bytes) {
    CommandBlock b = command(0, CMD_SPI_TRANSFER);
    const std::size_t n = std::min(bytes.size(), kBlockSize - kSpiPayloadAt);
    b[2] = kSpiTransferMode;
    b[3] = static_cast<std::uint8_t>(n);
    std::copy_n(bytes.begin(), n, b.begin() + kSpiPayloadAt);
    return b;
}

CommandBlock enter4ByteBlock() {
    const std::uint8_t opcode[] = {kEnter4ByteAddressing};
    return spiTransferBlock(opcode);
}

CommandBlock getInfoBlock() {
    return command(0, CMD_GET_INFO);
}

CommandBlock enterBootBlock() {
    return command(0, CMD_ENTER_BOOT);
}

void makeGetInfo(std::span<std::uint8_t, kBlockSize> block) {
    setCommand(block, 0, CMD_GET_INFO);
}

void makeEnterBoot(std::span<std::uint8_t, kBlockSize> block) {
    setCommand(block, 0, CMD_ENTER_BOOT);
}

EraseReach eraseReach(const ChipRecord &chip) {
    switch (familyRules(chip.family).erase) {
    case EraseKind::None:
        return EraseReach::NoErase;
    case EraseKind::NotKnown:
        return EraseReach::UnknownFamily;
    case EraseKind::EachPage:
        if (chip.capacity > kBlockEraseReach)
            return EraseReach::UpperPartUnreached;
        break;
    case EraseKind::PolledWholeChip:
    case EraseKind::WholeChipOnce:
        break;
    }
    return EraseReach::WholeChip;
}

std::uint16_t eraseParameter(const ChipRecord &chip, std::uint32_t address) {
    switch (familyRules(chip.family).erase) {
    case EraseKind::PolledWholeChip:
        return kWholeChipErase;
    case EraseKind::EachPage:
        return static_cast<std::uint16_t>(address);
    case EraseKind::WholeChipOnce:
        return chip.delay;
    case EraseKind::None:
    case EraseKind::NotKnown:
        break;
    }
    return 0;
}

} // namespace korvat
