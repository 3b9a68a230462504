#pragma once
// The five chip operations (erase, read, blank check, write, verify): the handler
// frame around them (preconditions, bracket, clock, completion line, beep) and the
// engines that move the chip's data between the programmer and the FLASH buffer. Every
// transfer is checked; a failed one ends the operation with a message naming the chip
// address reached.

#include "app/TextTable.h"
#include "buffers/Buffers.h"
#include "catalogue/ChipRecord.h"
#include "ops/BatchRecord.h"
#include "ops/CommandBlock.h"
#include "ops/ProgressMeter.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace korvat {

class BufferView;
class Buffers;
class Connection;
class OperationHost;
class TUsbBulk;

enum class Operation { Erase, Read, BlankCheck, Write, Verify };

// The steps of an Auto pass, as the three option boxes tick them.
struct AutoSteps {
    bool erase = true;
    bool write = true;
    bool verify = true;
};

class Engine {
public:
    Engine(TUsbBulk &usb, Connection &connection, OperationHost &host, Buffers &buffers,
           const int &language);

    // A command from the toolbar or menu: refused while another runs; Write pulls the
    // view's edits first; Write and Verify do nothing with a loaded length of 0 and
    // refuse an address range outside the FLASH buffer. How it ended, or nothing when it
    // did not start (refused, nothing loaded, an unusable range).
    std::optional<PassOutcome> run(Operation operation, const ChipRecord &chip, int speed,
                                   BufferView &flashView);

    // Auto: pull the view's edits; nothing when nothing is loaded (no value); else one
    // bracket around the ticked steps, 350 ms before verify, the completion line after a
    // verify that passed, the beep. The first step that fails ends the pass there. An
    // unusable address range is refused (nothing) before anything starts.
    std::optional<PassOutcome> runAuto(const ChipRecord &chip, int speed, BufferView &flashView,
                                       AutoSteps steps);

    // The engines, inside an open bracket; true on success.
    bool erase(const ChipRecord &chip);
    // Reads the whole chip into a block of its own; keepRead copies it into the FLASH
    // buffer, which run does only once the bracket has closed.
    bool read(const ChipRecord &chip);
    void keepRead(const ChipRecord &chip, BufferView &flashView);
    bool blankCheck(const ChipRecord &chip);
    bool verify(const ChipRecord &chip);
    bool write(const ChipRecord &chip);

    // Whether the enabled address range, aligned to the chip's pages, lies inside the
    // FLASH buffer; shows why not.
    bool rangeAcceptable(const ChipRecord &chip);

private:
    std::uint32_t transfer(const ChipRecord &chip) const { return transferSize(chip); }
    std::optional<Bounds> alignedRange(const ChipRecord &chip) const;
    // What a write or verify covers: the aligned range when it is enabled (nothing, and
    // the reason shown, when it is unusable), else the loaded bytes up to the capacity;
    // a write first rounds the loaded length up to whole pages.
    std::optional<Bounds> coveredBytes(const ChipRecord &chip, bool roundLoadedLength);
    void preamble(TextName startText);
    // The bars over [0, maximum); the rate and time left of the bytes moved with them,
    // up to end.
    void progressStart(std::uint32_t maximum, std::uint64_t end);
    void progressStart(std::uint32_t maximum) { progressStart(maximum, maximum); }
    void progress(std::uint32_t value);
    void progressEnd();
    void clearTransferText();
    // Ends the operation in failure with text; always false.
    bool fail(const std::string &text, PassStep step = PassStep::None,
              std::optional<std::uint64_t> address = std::nullopt);
    void logCompletion(TextName done, double started);
    // Which step of an Auto pass a failed engine ends, and where.
    PassOutcome failedStep(PassStep engineStep) const;
    // The CRC-32 of the buffer bytes the last read, write or verify covered.
    std::optional<std::uint32_t> coveredCrc() const;
    bool failAt(std::uint64_t address);
    // Sends CMD_END and closes, the probe put off meanwhile still waiting; a CMD_END that
    // does not go through fails an operation that had succeeded, at the end of what it
    // covered.
    bool closeBracket(bool ok, const ChipRecord &chip);
    bool command(CommandBlock block, bool reply, std::uint64_t address);
    bool enter4ByteIfNeeded(const ChipRecord &chip, std::uint64_t address);
    bool readInto(std::uint8_t *out, std::uint32_t size, std::uint64_t address);
    bool eraseWholeChip(const ChipRecord &chip);
    std::optional<std::uint64_t> readTailOfRange(const Bounds &b, std::uint32_t t);
    std::string text(TextName name) const;

    TUsbBulk &m_usb;
    Connection &m_connection;
    OperationHost &m_host;
    Buffers &m_buffers;
    const int &m_language;
    std::vector<std::uint8_t> m_scratch;
    std::unique_ptr<std::uint8_t[]> m_readBlock; // a read's data until its bracket closed
    ProgressMeter m_meter;
    struct Failure {
        PassStep step = PassStep::None;
        std::optional<std::uint64_t> address;
    } m_failure;                     // how the last engine failed, when it did
    std::optional<Bounds> m_covered; // what the last read, write or verify covered
};

} // namespace korvat
