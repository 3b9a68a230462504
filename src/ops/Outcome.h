#pragma once
// How an operation ended: whether it passed, the step that failed and where, the CRC-32
// of what it covered, whether a verify proved the chip, and how long its own work took.
// Every command of the engine ends in one; batch mode records it, korvat-cli reports it.

#include "buffers/Buffers.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace korvat {

// Which step of a pass failed.
enum class PassStep {
    None,
    Erase,
    Write,
    Verify,
    NotBlank,    // a blank check found data (never in an Auto pass)
    Interrupted, // the person stopped the command in the middle of it
    Transfer,
    NotConnected,
    NothingLoaded,
    WrongChip, // the socket holds another chip than the one selected; nothing was sent
    NoChip     // the socket is empty; nothing was sent
};

// The record's word for a step: "", "erase", "write", "verify", "not-blank",
// "interrupted", "transfer", "not-connected", "nothing-loaded", "wrong-chip", "no-chip".
std::string_view stepWord(PassStep step);

struct PassOutcome {
    bool passed = false;
    PassStep failedStep = PassStep::None;
    std::optional<std::uint64_t> failedAddress; // first failing chip address, when known
    // CRC-32 of the buffer bytes at the chip addresses the operation covered: what a
    // write wrote (an Auto pass's write), what a verify compared, what a read kept.
    std::optional<std::uint32_t> dataCrc;
    // The pass ended with a verify that found the chip holding what it covered. A pass
    // without a verify step may pass, but proves nothing about the chip.
    bool verified = false;
    // Elapsed seconds of the pass's own work: a failure's time is taken before its error
    // box is shown, so the time a person takes to close it is not counted.
    double seconds = 0;
};

// How an operation failed, noted when it did.
struct PassFailure {
    PassStep step = PassStep::None;
    std::optional<std::uint64_t> address;
    std::optional<double> at; // the clock just before its error box was shown
};

// A command that ended before it started, for this reason.
PassOutcome refusedAs(PassStep step);
// A command that failed as failure says; its step is fallback when the failure names none.
PassOutcome failedAs(const PassFailure &failure, PassStep fallback = PassStep::None);
// The CRC-32 of the buffer bytes at the chip addresses covered (those inside the buffer);
// nothing when nothing was covered.
std::optional<std::uint32_t> crcOfCovered(std::span<const std::uint8_t> flash,
                                          const std::optional<Bounds> &covered);

} // namespace korvat
