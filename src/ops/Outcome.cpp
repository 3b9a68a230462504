#include "Outcome.h"

#include "buffers/Checksum.h"

#include <algorithm>

namespace korvat {

std::string_view stepWord(PassStep step) {
    switch (step) {
    case PassStep::None:
        return "";
    case PassStep::Erase:
        return "erase";
    case PassStep::Write:
        return "write";
    case PassStep::Verify:
        return "verify";
    case PassStep::NotBlank:
        return "not-blank";
    case PassStep::Interrupted:
        return "interrupted";
    case PassStep::Transfer:
        return "transfer";
    case PassStep::NotConnected:
        return "not-connected";
    case PassStep::NothingLoaded:
        return "nothing-loaded";
    case PassStep::WrongChip:
        return "wrong-chip";
    case PassStep::NoChip:
        return "no-chip";
    }
    return "";
}

PassOutcome refusedAs(PassStep step) {
    PassOutcome outcome;
    outcome.failedStep = step;
    return outcome;
}

PassOutcome failedAs(const PassFailure &failure, PassStep fallback) {
    PassOutcome outcome = refusedAs(failure.step != PassStep::None ? failure.step : fallback);
    outcome.failedAddress = failure.address;
    return outcome;
}

std::optional<std::uint32_t> crcOfCovered(std::span<const std::uint8_t> flash,
                                          const std::optional<Bounds> &covered) {
    if (!covered)
        return std::nullopt;
    const std::size_t end = std::min<std::size_t>(covered->end, flash.size());
    const std::size_t start = std::min<std::size_t>(covered->start, end);
    return crc32Of(flash.subspan(start, end - start));
}

} // namespace korvat
