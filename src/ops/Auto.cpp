// Auto programming: erase, write and verify of the current chip in one bracket.
#include "Engine.h"

#include "buffers/BufferView.h"
#include "buffers/Buffers.h"
#include "base/OperationHost.h"

namespace korvat {
namespace {

// The programmer needs a moment between the last write and the first read of verify.
constexpr int kBeforeVerifyMs = 350;

} // namespace

std::optional<PassOutcome> Engine::runAuto(int slot, int speed, BufferView &flashView,
                                           AutoSteps steps, const GoOnWithOtherChip &goOn) {
    Command what;
    what.acceptable = [&](const ChipRecord &chip) {
        // A ticked erase that would leave part of the chip as it was refuses the pass.
        if (steps.erase && !eraseAcceptable(chip))
            return false;
        m_buffers.pullViewEdits(flashView, chip);
        // A range the write or verify would refuse is refused before the erase: a pass
        // that cannot be finished must not erase the chip first.
        return m_buffers.loadedLength > 0 &&
               (!(steps.write || steps.verify) || rangeAcceptable(chip));
    };
    // The first step that fails ends the pass: a chip whose erase failed is not written,
    // and one fault shows one error box.
    std::optional<Bounds> written; // the image bytes the write sent
    what.steps = [&](const ChipRecord &chip) {
        if (steps.erase && !erase(chip))
            return failedIn(PassStep::Erase);
        if (steps.write) {
            const bool wrote = write(chip);
            written = m_covered;
            if (!wrote)
                return failedIn(PassStep::Write);
        }
        if (steps.verify) {
            m_host.sleep(kBeforeVerifyMs);
            // Stopped here, the chip holds what was written whole, but unverified.
            if (cancelledNow()) {
                m_reached = {Operation::Verify, written ? written->start : 0};
                return failedIn(PassStep::Verify);
            }
            if (!verify(chip))
                return failedIn(PassStep::Verify);
        }
        return true;
    };
    what.closed = [&](const ChipRecord &, bool) {
        // The pass's figure is the image's: the verify that follows a write also compares
        // the filler that rounded it to whole pages.
        if (written)
            m_covered = written;
    };
    what.doneText = [&](const ChipRecord &) -> std::optional<TextName> {
        if (!steps.verify)
            return std::nullopt;
        return txtAutoDone;
    };
    // Only a verify proves what the chip holds.
    what.verifies = steps.verify;
    return runCommand(what, slot, speed, goOn);
}

} // namespace korvat
