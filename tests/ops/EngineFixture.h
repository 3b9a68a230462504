#pragma once
// The real transport, connection and engine over the in-process simulator.

#include "../link/SimBinding.h"
#include "RecordingHost.h"
#include "buffers/Buffers.h"
#include "catalogue/Catalogue.h"
#include "link/Connection.h"
#include "link/Usbbulk.h"
#include "ops/Engine.h"

#include <cstring>
#include <gtest/gtest.h>

namespace korvat::test {

class EngineTest : public ::testing::Test {
protected:
    ActiveSimulator sim;
    RecordingHost host;
    int language = 2;
    TUsbBulk usb{simulatedUsb(), {}, [this](int ms) { host.sleep(ms); }};
    Connection connection{usb, host, language};
    Buffers buffers;
    Catalogue catalogue = familyCatalogue();
    Engine engine{usb, connection, host, buffers, catalogue, language};
    RecordingView view;
    ChipRecord chip{};
    static constexpr std::uint32_t kTestId = 0x5A4013;

    // One record of each family, by family code, so the type list holds 24_EEPROM second
    // and 93_EEPROM third, as the programmer's type codes 2 and 3 select them.
    static Catalogue familyCatalogue() {
        Catalogue c;
        const char *names[] = {"25_SPI_FLASH,Test,F25", "24_EEPROM,Test,E24", "93_EEPROM,Test,E93",
                               "95_EEPROM,Test,E95", "AVR,Test,A1"};
        for (int family = 0; family < 5; ++family) {
            std::strcpy(c.slot(family).nameText, names[family]);
            c.slot(family).family = static_cast<std::uint8_t>(family);
        }
        return c;
    }
    // The test's record goes into the catalogue slot of its family, where the commands find
    // it; the slot keeps its name.
    int place(const ChipRecord &record) {
        ChipRecord &slot = catalogue.slot(record.family);
        char name[kNameTextSize];
        std::memcpy(name, slot.nameText, sizeof name);
        slot = record;
        std::memcpy(slot.nameText, name, sizeof name);
        return record.family;
    }

    // The chip in the socket and the catalogue record the host uses for it; both carry the
    // ID (one of their own when none is given), which the chips that answer with an ID
    // (25 series, AVR) must give for a command to reach them.
    void useChip(ksim::Family family, int code, std::uint32_t capacity, std::uint16_t page,
                 std::uint32_t id = kTestId) {
        sim.programmer().insert(ksim::Chip(family, id, capacity));
        std::memset(&chip, 0, sizeof chip);
        chip.family = static_cast<std::uint8_t>(code);
        chip.capacity = capacity;
        chip.flashPage = page;
        chip.delay = 100;
        chip.chipId = id;
    }
    std::optional<PassOutcome> run(Operation op) { return engine.run(op, place(chip), 0, view); }

    // The command codes sent on endpoint 0x01, in order.
    std::vector<int> allCommands() const {
        std::vector<int> codes;
        for (const auto &e : sim.log())
            if (e.kind == ksim::LogEntry::BulkOut && e.endpoint == 0x01 && e.data.size() > 1)
                codes.push_back(e.data[1]);
        return codes;
    }
    // The same after the socket check every command starts with (CMD_READ_ID, CMD_END):
    // what the command's own bracket sent.
    std::vector<int> commands() const {
        std::vector<int> codes = allCommands();
        if (codes.size() >= 2 && codes[0] == 9 && codes[1] == 8)
            codes.erase(codes.begin(), codes.begin() + 2);
        return codes;
    }
    // The command blocks sent with the given code.
    std::vector<std::vector<std::uint8_t>> blocks(int code) const {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto &e : sim.log())
            if (e.kind == ksim::LogEntry::BulkOut && e.endpoint == 0x01 && e.data.size() > 1 &&
                e.data[1] == code)
                out.push_back(e.data);
        return out;
    }
    // Sizes of the chip-data reads: the reads after CMD_SET_ADDRESS less its reply.
    std::vector<int> dataReads() const {
        std::vector<int> sizes;
        int afterAddress = -1; // reads since the address block; -1 before it
        for (const auto &e : sim.log()) {
            if (e.kind == ksim::LogEntry::BulkOut && e.endpoint == 0x01 && e.data.size() > 1)
                afterAddress = e.data[1] == 5 ? 0 : (e.data[1] == 8 ? -1 : afterAddress);
            else if (e.kind == ksim::LogEntry::BulkIn && afterAddress >= 0 && afterAddress++ > 0)
                sizes.push_back(e.result);
        }
        return sizes;
    }
    // Sizes of the chip-data writes on endpoint 0x02.
    std::vector<int> dataWrites() const {
        std::vector<int> sizes;
        for (const auto &e : sim.log())
            if (e.kind == ksim::LogEntry::BulkOut && e.endpoint == 0x02)
                sizes.push_back(e.result);
        return sizes;
    }
    static std::uint32_t address32(const std::vector<std::uint8_t> &b, std::size_t at) {
        return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
               (static_cast<std::uint32_t>(b[at + 3]) << 24);
    }
    std::string completion(const char *done, const char *seconds) const {
        return host.time + " " + done + "Use time " + seconds + " s";
    }
};

} // namespace korvat::test
