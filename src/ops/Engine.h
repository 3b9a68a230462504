#pragma once
// The five chip operations (erase, read, blank check, write, verify) and Auto: the one
// frame every command runs through (preconditions, socket check, bracket, clock,
// completion line, beep, outcome) and the engines that move the chip's data between the
// programmer and the FLASH buffer. Every transfer is checked; a failed one ends the
// operation with a message naming the chip address reached. After each transfer and
// poll the host is asked whether the command was cancelled; a cancelled one ends there,
// through the same close, as interrupted, and the log says where it stopped and what that
// left behind.

#include "base/TextTable.h"
#include "buffers/Buffers.h"
#include "catalogue/ChipRecord.h"
#include "link/CommandBlock.h"
#include "ops/Outcome.h"
#include "ops/ProgressMeter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace korvat {

class BufferView;
class Buffers;
class Catalogue;
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

// Where the command line narrows a check to part of the chip; the window never does,
// so its blank check covers the whole chip and its verify every byte it covers.
struct CheckScope {
    // A blank check of only these chip addresses [start, end).
    std::optional<Bounds> blank;
    // A write sends and a verify compares only the image bytes at these chip addresses
    // (sorted, apart), such as the ones a HEX file holds; the chip keeps its own bytes
    // elsewhere. Empty: every byte they cover.
    std::vector<Bounds> held;
};

// Asked, with the refusal's text, when the socket holds another chip than the one
// selected: true to go on with it (a compatible part). Without one a command never does.
using GoOnWithOtherChip = std::function<bool(const std::string &refusal)>;

class Engine {
public:
    // The commands run on chips of the catalogue, by slot.
    Engine(TUsbBulk &usb, Connection &connection, OperationHost &host, Buffers &buffers,
           const Catalogue &catalogue, const int &language);

    // A command from the toolbar or menu on the chip in the slot (-1: none selected):
    // refused while another runs, without a chip, or with a chip larger than the buffer;
    // Write pulls the view's edits first; Write and Verify do nothing with a loaded length
    // of 0 and refuse an address range outside the chip. Nothing is returned for these.
    // Then the detection exchange must find the chip selected in the socket (goOn may let
    // the command go on with another chip) before the bracket opens; when it does not, the
    // outcome's step says why (no-chip, wrong-chip, or the exchange's own failure) and
    // nothing else was sent. Otherwise how the command ended; a cancelled one as
    // PassStep::Interrupted, its bracket closed, with the seconds it ran and no CRC-32.
    std::optional<PassOutcome> run(Operation operation, int slot, int speed, BufferView &flashView,
                                   const GoOnWithOtherChip &goOn = {});

    // Auto: the same checks and the same frame; nothing when nothing is loaded (no value);
    // else one bracket around the ticked steps, 350 ms before verify, the completion line
    // after a verify that passed, the beep. The first step that fails ends the pass there.
    // An unusable address range is refused (nothing) before anything starts.
    std::optional<PassOutcome> runAuto(int slot, int speed, BufferView &flashView, AutoSteps steps,
                                       const GoOnWithOtherChip &goOn = {});

    // What a command (Auto: no operation) would cover, found without sending anything:
    // the chip addresses [start, end) it moves or checks, and the image bytes whose
    // CRC-32 its outcome would carry (none where it takes no image). Nothing, with the
    // reason shown, where the command would be refused before it starts.
    struct Plan {
        Bounds addresses;
        std::optional<Bounds> image;
    };
    std::optional<Plan> plan(std::optional<Operation> operation, int slot, AutoSteps steps = {});

    // The scope of the blank checks and verifies that follow (also in Auto passes).
    void setScope(CheckScope scope) { m_scope = std::move(scope); }

    // A chip is selected (slot -1: none) and the buffer can hold it; shows why not.
    bool chipUsable(int slot);
    // The same, and an Auto pass with these steps can be run on it (a ticked erase must
    // reach the whole chip); shows why not. Batch mode asks before it starts.
    bool autoUsable(int slot, AutoSteps steps);

private:
    // What one command brings to the frame.
    struct Command {
        // Its own checks before anything is sent (each shows why not); may pull the
        // view's edits into the buffer.
        std::function<bool(const ChipRecord &)> acceptable;
        // Its steps inside the open bracket: true when every one succeeded.
        std::function<bool(const ChipRecord &)> steps;
        // After the bracket closed, with whether the command succeeded so far.
        std::function<void(const ChipRecord &, bool ok)> closed;
        // The completion line of a success, when it has one, and what it adds to it.
        std::function<std::optional<TextName>(const ChipRecord &)> doneText;
        std::function<std::optional<TextName>(const ChipRecord &)> doneNote;
        bool verifies = false; // a success proves what the chip holds
    };
    // The frame: refused while another operation runs, without a usable chip or when the
    // command's own checks refuse (nothing returned); else the socket check, the events
    // pending meanwhile (a Stop pressed during it ends the command before its bracket), the
    // bracket
    // around the steps, the clear, the close, the completion line, the outcome, the beep
    // and the probe put off meanwhile.
    std::optional<PassOutcome> runCommand(const Command &what, int slot, int speed,
                                          const GoOnWithOtherChip &goOn);
    // Whether the host says the command was cancelled (asked after each transfer and
    // poll); once it did, the command's failure is the interruption and this stays true.
    bool cancelledNow();
    // The log line of a cancelled command: where it stopped and what that left behind.
    void logStop();
    // The command has moved the chip's bytes up to address (not including it).
    void reach(std::uint64_t address) { m_reached.address = address; }
    // An Auto step that failed: the pass's failed step, unless the failure named one.
    bool failedIn(PassStep step);

    // The engines, inside an open bracket; true on success.
    bool erase(const ChipRecord &chip);
    // Reads the whole chip into a block of its own; keepRead copies it into the FLASH
    // buffer, which run does only once the bracket has closed.
    bool read(const ChipRecord &chip);
    void keepRead(const ChipRecord &chip, BufferView &flashView);
    bool blankCheck(const ChipRecord &chip);
    bool verify(const ChipRecord &chip);
    // The image bytes a write sends and a verify compares, within the bounds it covers:
    // the address range as typed (the bounds are widened to whole pages), or the bounds,
    // narrowed to the scope's held bytes.
    std::vector<Bounds> imageSpans(const Bounds &covered) const;
    // The bytes of one transfer at the chip address that lie in the spans; from the span
    // at next on, which moves past spans behind.
    const std::vector<bool> &comparedIn(const std::vector<Bounds> &spans, std::uint64_t address,
                                        std::size_t n, std::size_t &next);
    // The log line of the first difference; differing and compared count the bytes of
    // the transfer that differ and that were compared.
    void logMismatch(std::uint64_t address, std::uint8_t expected, std::uint8_t read,
                     std::size_t differing, std::size_t compared);
    bool write(const ChipRecord &chip);

    // Whether the programmer's erase can serve the chip: refused, with the reason shown,
    // where it would leave part of the chip as it was.
    bool eraseAcceptable(const ChipRecord &chip);
    // Whether the enabled address range lies inside the chip; shows why not.
    bool rangeAcceptable(const ChipRecord &chip);
    // The bounds of the address range on the chip; shows why there are none.
    std::optional<Bounds> checkedRange(const ChipRecord &chip);
    // The detection exchange before the bracket: nothing when the socket holds the chip
    // selected (or the person lets the command go on with another), else how the command
    // was refused.
    std::optional<PassOutcome> socketRefusal(int slot, int speed, const GoOnWithOtherChip &goOn);
    std::uint32_t transfer(const ChipRecord &chip) const { return transferSize(chip); }
    // What a write or verify covers: the aligned range when it is enabled (nothing, and
    // the reason shown, when it is unusable), else the loaded bytes up to the capacity;
    // a write first rounds the loaded length up to whole pages (imageEnd, when given,
    // receives where the loaded bytes ended before that).
    std::optional<Bounds> coveredBytes(const ChipRecord &chip, bool roundLoadedLength,
                                       std::uint32_t *imageEnd = nullptr);
    // What a verify over the bounds reads: from the page of the first byte of the spans
    // to their last byte.
    Bounds verifiedBytes(const ChipRecord &chip, Bounds b, const std::vector<Bounds> &spans) const;
    // The engine's start text in the panel and the log; where a cancellation finds it
    // starts at address 0.
    void preamble(Operation engine);
    // The bars over [0, maximum); the rate and time left of the bytes moved with them,
    // up to end.
    void progressStart(std::uint32_t maximum, std::uint64_t end);
    void progressStart(std::uint32_t maximum) { progressStart(maximum, maximum); }
    // The bars, the rate and time left, and what is pending in the window.
    void showProgress(std::uint32_t value);
    // The same; false once the command was cancelled.
    bool progress(std::uint32_t value);
    void progressEnd();
    void clearTransferText();
    // Ends the operation in failure with text; always false.
    bool fail(const std::string &text, PassStep step = PassStep::None,
              std::optional<std::uint64_t> address = std::nullopt);
    void logCompletion(TextName done, double started, std::optional<TextName> note);
    // Seconds of the operation's own work since started: up to its failure, when it failed.
    double workSeconds(double started) const;
    bool failAt(std::uint64_t address);
    // Sends CMD_END and closes, the probe put off meanwhile still waiting; a CMD_END that
    // does not go through fails an operation that had succeeded, at the end of what it
    // covered.
    bool closeBracket(bool ok, const ChipRecord &chip);
    bool command(CommandBlock block, bool reply, std::uint64_t address);
    bool enter4ByteIfNeeded(const ChipRecord &chip, std::uint64_t address);
    bool readInto(std::uint8_t *out, std::uint32_t size, std::uint64_t address);
    bool eraseWholeChip(const ChipRecord &chip);
    // The image bytes an outcome's CRC-32 covers, of a write or verify over the bounds
    // with these spans: the whole image (up to imageEnd, where a write's filler that rounds
    // it to pages begins), or its one span in the range or the held bytes; none for an
    // image in pieces.
    std::optional<Bounds> imageOf(const Bounds &b, const std::vector<Bounds> &spans,
                                  std::uint32_t imageEnd) const;
    // The transfers of a write over the bounds that hold bytes outside the spans: read
    // from the chip and the spans' bytes put over them, so that the write gives every
    // other cell its own value back. False when the chip could not be read.
    bool composeTransfers(const Bounds &b, std::uint32_t t, const std::vector<Bounds> &spans);
    std::string text(TextName name) const;

    TUsbBulk &m_usb;
    Connection &m_connection;
    OperationHost &m_host;
    Buffers &m_buffers;
    const Catalogue &m_catalogue;
    const int &m_language;
    std::vector<std::uint8_t> m_scratch;
    std::vector<bool> m_compared; // comparedIn's bytes of the transfer
    // composeTransfers' transfers: their chip addresses, in order, and their bytes.
    std::vector<std::uint64_t> m_composedAt;
    std::vector<std::uint8_t> m_composed;
    CheckScope m_scope;
    std::unique_ptr<std::uint8_t[]> m_readBlock; // a read's data until its bracket closed
    ProgressMeter m_meter;
    PassFailure m_failure;  // how the last engine failed, when it did
    bool m_running = false; // a command is between its checks and its end
    // Where the running command is: its engine (none before the first starts) and the
    // first chip address it has not yet moved (none for an erase of the whole chip).
    struct Reached {
        std::optional<Operation> engine;
        std::optional<std::uint64_t> address;
    } m_reached;
    // What the last read kept, the last verify compared, or the image bytes the last
    // write sent (without the filler that rounds them to whole pages).
    std::optional<Bounds> m_covered;
};

} // namespace korvat
