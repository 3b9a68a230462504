#include "Engine.h"

#include "buffers/BufferView.h"
#include "buffers/Buffers.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Family.h"
#include "link/Connection.h"
#include "link/Usbbulk.h"
#include "base/OperationHost.h"
#include "ops/SocketCheck.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace korvat {
namespace {

constexpr int kPollWaitMs = 50;

struct Texts {
    TextName start;
    TextName done;
};

Texts textsOf(Operation op) {
    switch (op) {
    case Operation::Erase:
        return {txtEraseRunning, txtEraseDone};
    case Operation::Read:
        return {txtReadRunning, txtReadDone};
    case Operation::BlankCheck:
        return {txtBlankRunning, txtBlankDone};
    case Operation::Write:
        return {txtWriteRunning, txtWriteDone};
    case Operation::Verify:
        return {txtVerifyRunning, txtVerifyDone};
    }
    return {txtReadRunning, txtReadDone};
}

} // namespace

Engine::Engine(TUsbBulk &usb, Connection &connection, OperationHost &host, Buffers &buffers,
               const Catalogue &catalogue, const int &language)
    : m_usb(usb), m_connection(connection), m_host(host), m_buffers(buffers),
      m_catalogue(catalogue), m_language(language) {}

std::string Engine::text(TextName name) const {
    return std::string(korvat::text(name, m_language));
}

std::optional<PassOutcome> Engine::run(Operation op, int slot, int speed, BufferView &flashView,
                                       const GoOnWithOtherChip &goOn) {
    Command what;
    what.acceptable = [&](const ChipRecord &chip) {
        if (op == Operation::Erase)
            return eraseAcceptable(chip);
        if (op == Operation::Write)
            m_buffers.pullViewEdits(flashView, chip);
        if (op == Operation::Write || op == Operation::Verify)
            return m_buffers.loadedLength != 0 && rangeAcceptable(chip);
        return true;
    };
    what.steps = [&](const ChipRecord &chip) {
        switch (op) {
        case Operation::Erase:
            return erase(chip);
        case Operation::Read:
            return read(chip);
        case Operation::BlankCheck:
            return blankCheck(chip);
        case Operation::Write:
            return write(chip);
        case Operation::Verify:
            return verify(chip);
        }
        return false;
    };
    what.closed = [&](const ChipRecord &chip, bool ok) {
        if (ok && op == Operation::Read)
            keepRead(chip, flashView);
    };
    what.doneText = [&](const ChipRecord &chip) -> std::optional<TextName> {
        // An erase that had nothing to erase said so instead.
        if (op == Operation::Erase && eraseReach(chip) == EraseReach::NoErase)
            return std::nullopt;
        return textsOf(op).done;
    };
    what.doneNote = [&](const ChipRecord &chip) -> std::optional<TextName> {
        // Written over data that was not erased, such a chip holds less than was sent.
        if (op == Operation::Write && familyRules(chip.family).writeOnlyClearsBits)
            return txtWriteDoesNotErase;
        return std::nullopt;
    };
    what.verifies = op == Operation::Verify;
    return runCommand(what, slot, speed, goOn);
}

std::optional<PassOutcome> Engine::runCommand(const Command &what, int slot, int speed,
                                              const GoOnWithOtherChip &goOn) {
    // One started from inside another's event pumps (before its bracket opened, or in a
    // box it shows) waits its turn as one started while the programmer is held.
    if (m_running) {
        m_host.showError(text(txtProgrammerBusy));
        return std::nullopt;
    }
    if (m_connection.refuseWhileBusy() || !chipUsable(slot))
        return std::nullopt;
    m_running = true;
    const struct Ended {
        bool &running;
        ~Ended() { running = false; }
    } ended{m_running};
    const ChipRecord &chip = m_catalogue.slot(slot);
    if (!what.acceptable(chip))
        return std::nullopt;
    m_failure = {};
    m_covered.reset();
    m_reached = {};
    // A command cancelled before its bracket opened sends nothing more.
    auto stoppedBeforeBracket = [&] {
        logStop();
        return refusedAs(PassStep::Interrupted);
    };
    if (m_host.cancelled())
        return stoppedBeforeBracket();
    if (auto refused = socketRefusal(slot, speed, goOn))
        return refused;
    // What came in during the socket check, a Stop among it, is handled before anything
    // reaches the chip.
    m_host.processEvents();
    if (m_host.cancelled())
        return stoppedBeforeBracket();
    if (!m_connection.beginOperation(chip, speed))
        return failedAs(m_failure,
                        m_connection.setupFailed() ? PassStep::Transfer : PassStep::NotConnected);
    const double started = m_host.seconds();
    // Steps that ran to their end did what they were sent for: a Stop that comes after
    // the last transfer leaves the command to close as it would have.
    bool ok = what.steps(chip);
    clearTransferText(); // however it ended, nothing is transferring any more
    progressEnd();
    ok = closeBracket(ok, chip);
    what.closed(chip, ok);
    m_readBlock.reset();
    if (m_failure.step == PassStep::Interrupted)
        logStop();
    if (ok)
        if (const auto done = what.doneText(chip))
            logCompletion(*done, started, what.doneNote ? what.doneNote(chip) : std::nullopt);
    PassOutcome outcome = ok ? PassOutcome{} : failedAs(m_failure);
    outcome.passed = ok;
    outcome.verified = ok && what.verifies;
    // A cancelled command covered nothing whole.
    if (m_failure.step != PassStep::Interrupted)
        outcome.dataCrc = crcOfCovered(m_buffers.flash(), m_covered);
    outcome.seconds = workSeconds(started);
    m_host.beep();
    m_connection.runSkippedProbe();
    return outcome;
}

bool Engine::cancelledNow() {
    if (m_failure.step == PassStep::Interrupted)
        return true;
    if (!m_host.cancelled())
        return false;
    m_failure = {PassStep::Interrupted, std::nullopt, m_host.seconds()};
    return true;
}

bool Engine::failedIn(PassStep step) {
    if (m_failure.step == PassStep::None)
        m_failure.step = step;
    return false;
}

double Engine::workSeconds(double started) const {
    return std::abs(m_failure.at.value_or(m_host.seconds()) - started);
}

bool Engine::chipUsable(int slot) {
    if (slot < 0 || slot >= m_catalogue.chipCount()) {
        m_host.showError(text(txtNoChipSelected));
        return false;
    }
    const std::uint32_t capacity = m_catalogue.slot(slot).capacity;
    if (capacity == 0 || capacity > kFlashBufferSize) {
        std::string message = text(txtCapacityUnusable);
        replaceMark(message, "%1", std::to_string(capacity));
        m_host.showError(message);
        return false;
    }
    return true;
}

bool Engine::autoUsable(int slot, AutoSteps steps) {
    return chipUsable(slot) && (!steps.erase || eraseAcceptable(m_catalogue.slot(slot)));
}

bool Engine::eraseAcceptable(const ChipRecord &chip) {
    std::string refusal;
    switch (eraseReach(chip)) {
    case EraseReach::WholeChip:
    case EraseReach::NoErase:
        return true;
    case EraseReach::UpperPartUnreached:
        refusal = text(txtEraseUpperPartUnreached);
        replaceMark(refusal, "%1", std::to_string(chip.capacity));
        break;
    case EraseReach::UnknownFamily:
        refusal = text(txtEraseUnknownFamily);
        replaceMark(refusal, "%1", std::to_string(chip.family));
        break;
    }
    m_host.showError(refusal);
    return false;
}

std::optional<PassOutcome> Engine::socketRefusal(int slot, int speed,
                                                 const GoOnWithOtherChip &goOn) {
    const ChipIdentity id = m_connection.readChipIdentity(m_catalogue.slot(slot), speed);
    switch (id.reach) {
    case ChipIdentity::Reach::NotReachable:
    case ChipIdentity::Reach::Busy:
        m_host.showError(text(txtNotConnected));
        return refusedAs(PassStep::NotConnected);
    case ChipIdentity::Reach::NoPermission:
        m_host.showError(noAccessText(m_language));
        return refusedAs(PassStep::NotConnected);
    case ChipIdentity::Reach::LinkFailed:
        m_host.showFailure(text(txtIdentityFailed));
        return refusedAs(PassStep::Transfer);
    case ChipIdentity::Reach::Answered:
        break;
    }
    const SocketFinding found = compareWithSelected(id, m_catalogue, slot, m_language);
    switch (found.state) {
    case SocketState::Selected:
        return std::nullopt;
    case SocketState::Empty:
        m_host.showError(found.message);
        return refusedAs(PassStep::NoChip);
    case SocketState::OtherChip:
        break;
    }
    if (!goOn) {
        m_host.showError(found.message);
        return refusedAs(PassStep::WrongChip);
    }
    if (!goOn(found.message))
        return refusedAs(PassStep::WrongChip);
    // The log keeps that this chip was programmed as another, on purpose.
    m_host.insertLogLine(m_host.timeText() + " " + found.message);
    return std::nullopt;
}

std::optional<Bounds> Engine::checkedRange(const ChipRecord &chip) {
    const RangeOnChip on = rangeOnChip(m_buffers.range, chip, m_language);
    if (!on.bounds)
        m_host.showError(on.refusal);
    return on.bounds;
}

bool Engine::rangeAcceptable(const ChipRecord &chip) {
    return !m_buffers.range.enabled || checkedRange(chip);
}

std::optional<Bounds> Engine::coveredBytes(const ChipRecord &chip, bool roundLoadedLength,
                                           std::uint32_t *imageEnd) {
    if (m_buffers.range.enabled) {
        const auto bounds = checkedRange(chip);
        if (bounds && imageEnd)
            *imageEnd = bounds->end;
        return bounds;
    }
    std::int64_t loaded = m_buffers.loadedLength;
    if (imageEnd)
        *imageEnd = std::min<std::uint32_t>(chip.capacity, static_cast<std::uint32_t>(loaded));
    const std::int64_t page = chip.flashPage;
    if (roundLoadedLength && page > 0 && loaded % page != 0) {
        loaded = std::min<std::int64_t>((loaded / page + 1) * page, kFlashBufferSize);
        m_buffers.loadedLength = static_cast<std::int32_t>(loaded);
    }
    return Bounds{0, std::min<std::uint32_t>(chip.capacity, static_cast<std::uint32_t>(loaded))};
}

void Engine::preamble(Operation engine) {
    m_reached = {engine, 0};
    m_connection.setPanel(textsOf(engine).start);
    m_host.insertLogLine(m_host.timeText() + " " + m_connection.panelText());
}

void Engine::progressStart(std::uint32_t maximum, std::uint64_t end) {
    m_host.setProgressMaximum(maximum);
    m_host.setProgressValue(0);
    m_host.setProgressVisible(true);
    m_meter.start(end, m_host.seconds());
}

// The rate and time left are measured when the bars move, so they change no more often
// than the bars do. Without a started meter (the whole-chip erase counts status polls,
// not bytes) there are none.
void Engine::showProgress(std::uint32_t value) {
    if (m_host.setProgressValue(value) && m_meter.running() &&
        m_meter.sample(value, m_host.seconds()))
        m_host.setTransferText(m_meter.rateText(), m_meter.timeLeftText());
    m_host.processEvents();
}

bool Engine::progress(std::uint32_t value) {
    showProgress(value);
    return !cancelledNow();
}

void Engine::progressEnd() {
    m_host.setProgressValue(0);
    m_host.setProgressVisible(false);
}

void Engine::clearTransferText() {
    m_meter.reset();
    m_host.setTransferText("", "");
}

// The rate and time left, and the bars, go before the error box opens: they describe a
// transfer that is over.
bool Engine::fail(const std::string &message, PassStep step, std::optional<std::uint64_t> address) {
    m_failure = {step, address, m_host.seconds()};
    clearTransferText();
    progressEnd();
    m_host.showFailure(message);
    return false;
}

bool Engine::closeBracket(bool ok, const ChipRecord &chip) {
    if (m_connection.finishBracket() || !ok)
        return ok;
    return failAt(m_covered ? m_covered->end : chip.capacity);
}

bool Engine::failAt(std::uint64_t address) {
    return fail(text(txtTransferFailed) + addressText(address), PassStep::Transfer, address);
}

// Nothing more is sent once the command was cancelled.
bool Engine::command(CommandBlock block, bool reply, std::uint64_t address) {
    return !cancelledNow() && (exchangeBlock(m_usb, block, reply) || failAt(address));
}

bool Engine::enter4ByteIfNeeded(const ChipRecord &chip, std::uint64_t address) {
    return !needs4ByteAddressing(chip) || command(enter4ByteBlock(), true, address);
}

// One read transfer of size bytes into out; anything short of that fails the operation.
bool Engine::readInto(std::uint8_t *out, std::uint32_t size, std::uint64_t address) {
    const int n = m_usb.USB_bulk_read(reinterpret_cast<char *>(out), static_cast<int>(size));
    return n == static_cast<int>(size) || failAt(address);
}

bool Engine::eraseWholeChip(const ChipRecord &chip) {
    m_reached.address.reset(); // the chip erases itself whole
    m_host.setProgressMaximum(chip.delay);
    m_meter.reset(); // the bar counts polls: no rate, no time left
    CommandBlock block = eraseBlock(eraseParameter(chip, 0));
    if (!exchangeBlock(m_usb, block, false))
        return failAt(0);
    for (std::uint32_t count = 0;;) {
        m_host.sleep(kPollWaitMs);
        makePoll(block);
        if (!exchangeBlock(m_usb, block, true))
            return failAt(0);
        if (count > chip.delay) {
            // The budget is spent: finished only if this last poll says so.
            if (pollBusy(block))
                return fail(text(txtEraseTimeout), PassStep::Erase);
            return true;
        }
        ++count;
        if (!progress(count))
            return false;
        if (!pollBusy(block))
            return true;
    }
}

bool Engine::erase(const ChipRecord &chip) {
    preamble(Operation::Erase);
    switch (eraseReach(chip)) {
    case EraseReach::WholeChip:
        break;
    case EraseReach::NoErase: // nothing is sent, and the log says so
        m_host.insertLogLine(m_host.timeText() + " " + text(txtNothingErased));
        return true;
    case EraseReach::UpperPartUnreached: // the commands refuse these before the bracket
    case EraseReach::UnknownFamily:
        m_failure = {PassStep::Erase, std::nullopt, std::nullopt};
        return eraseAcceptable(chip); // shows why; false
    }
    m_host.setProgressValue(0);
    m_host.setProgressVisible(true);
    bool ok = true;
    switch (familyRules(chip.family).erase) {
    case EraseKind::PolledWholeChip:
        ok = eraseWholeChip(chip);
        break;
    case EraseKind::EachPage: // by the page's address (16 bits reach the whole chip)
        m_host.setProgressMaximum(chip.capacity);
        m_meter.start(chip.capacity, m_host.seconds());
        for (std::uint64_t a = 0; a < chip.capacity && ok; a += alignmentPage(chip)) {
            ok = command(eraseBlock(eraseParameter(chip, static_cast<std::uint32_t>(a))), false, a);
            if (ok)
                reach(std::min<std::uint64_t>(a + alignmentPage(chip), chip.capacity));
            progress(static_cast<std::uint32_t>(a));
        }
        break;
    case EraseKind::WholeChipOnce:
        m_reached.address.reset();
        ok = command(eraseBlock(eraseParameter(chip, 0)), false, 0);
        break;
    case EraseKind::None: // both ended above, by their erase reach
    case EraseKind::NotKnown:
        break;
    }
    if (!ok)
        return false;
    progressEnd();
    return true;
}

// The chip is read into a block of its own and copied into the FLASH buffer only when
// every transfer arrived and the bracket closed, so a failed read leaves the buffer, the
// view and the loaded length as they were: nothing half-read can be written to the next
// chip. run frees the block once the bracket has closed.
bool Engine::read(const ChipRecord &chip) {
    if (!enter4ByteIfNeeded(chip, 0))
        return false;
    preamble(Operation::Read);
    const std::uint32_t t = transfer(chip);
    // Whole transfers; the commands refuse a chip larger than the buffer before this.
    const std::size_t blockSize = (std::size_t{chip.capacity} + t - 1) / t * t;
    m_readBlock.reset(new (std::nothrow) std::uint8_t[blockSize]);
    if (!m_readBlock)
        return fail(text(txtReadOutOfMemory));
    progressStart(chip.capacity);
    if (!command(addressBlock(0), true, 0))
        return false;
    for (std::uint64_t offset = 0; offset < chip.capacity; offset += t) {
        if (!readInto(m_readBlock.get() + offset, t, offset))
            return false;
        reach(std::min<std::uint64_t>(offset + t, chip.capacity));
        if (!progress(static_cast<std::uint32_t>(offset)))
            return false;
    }
    progressEnd();
    return true;
}

void Engine::keepRead(const ChipRecord &chip, BufferView &flashView) {
    std::memcpy(m_buffers.flash().data(), m_readBlock.get(), chip.capacity);
    m_covered = Bounds{0, chip.capacity};
    m_buffers.setLoadedFromRead(chip);
    m_buffers.reloadFlashView(flashView, chip.capacity);
}

} // namespace korvat
