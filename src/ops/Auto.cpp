// Auto programming: erase, write and verify of the current chip in one bracket.
#include "Engine.h"

#include "buffers/BufferView.h"
#include "buffers/Buffers.h"
#include "buffers/Checksum.h"
#include "catalogue/Catalogue.h"
#include "link/Connection.h"
#include "base/OperationHost.h"

#include <algorithm>

namespace korvat {
namespace {

// The programmer needs a moment between the last write and the first read of verify.
constexpr int kBeforeVerifyMs = 350;

} // namespace

std::optional<std::uint32_t> Engine::coveredCrc() const {
    if (!m_covered)
        return std::nullopt;
    const std::uint32_t end = std::min<std::uint32_t>(m_covered->end, kFlashBufferSize);
    return crc32Of(m_buffers.flash().subspan(m_covered->start, end - m_covered->start));
}

PassOutcome Engine::failedStep(PassStep engineStep) const {
    PassOutcome outcome;
    outcome.failedStep = m_failure.step != PassStep::None ? m_failure.step : engineStep;
    outcome.failedAddress = m_failure.address;
    return outcome;
}

std::optional<PassOutcome> Engine::runAuto(int slot, int speed, BufferView &flashView,
                                           AutoSteps steps, const GoOnWithOtherChip &goOn) {
    if (m_connection.busy())
        return std::nullopt; // a pass never overlaps another operation
    if (!chipUsable(slot))
        return std::nullopt;
    const ChipRecord &chip = m_catalogue.slot(slot);
    // A ticked erase that would leave part of the chip as it was refuses the pass.
    if (steps.erase && !eraseAcceptable(chip))
        return std::nullopt;
    m_buffers.pullViewEdits(flashView, chip);
    if (m_buffers.loadedLength <= 0)
        return std::nullopt;
    // A range the write or verify would refuse is refused before the erase: a pass that
    // cannot be finished must not erase the chip first.
    if ((steps.write || steps.verify) && !rangeAcceptable(chip))
        return std::nullopt;
    m_failure = {};
    if (auto refused = socketRefusal(slot, speed, goOn))
        return refused;
    if (!m_connection.beginOperation(chip, speed))
        return failedStep(m_connection.setupFailed() ? PassStep::Transfer : PassStep::NotConnected);
    const double started = m_host.seconds();
    m_covered.reset();
    // The first step that fails ends the pass: a chip whose erase failed is not written,
    // and one fault shows one error box.
    std::optional<PassOutcome> failed;
    std::optional<Bounds> written; // the image bytes the write sent
    if (steps.erase && !erase(chip))
        failed = failedStep(PassStep::Erase);
    if (!failed && steps.write) {
        if (!write(chip))
            failed = failedStep(PassStep::Write);
        written = m_covered;
    }
    if (!failed && steps.verify) {
        m_host.sleep(kBeforeVerifyMs);
        if (!verify(chip))
            failed = failedStep(PassStep::Verify);
    }
    clearTransferText();
    progressEnd();
    if (!closeBracket(!failed, chip) && !failed)
        failed = failedStep(PassStep::Transfer);
    if (!failed && steps.verify)
        logCompletion(txtAutoDone, started);
    PassOutcome outcome = failed.value_or(PassOutcome{});
    outcome.passed = !failed;
    outcome.verified = !failed && steps.verify; // only a verify proves what the chip holds
    // The pass's figure is the image's: the verify that follows a write also compares the
    // filler that rounded it to whole pages.
    if (written)
        m_covered = written;
    outcome.dataCrc = coveredCrc();
    outcome.seconds = workSeconds(started);
    m_host.beep();
    m_connection.runSkippedProbe();
    return outcome;
}

} // namespace korvat
