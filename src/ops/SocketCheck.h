#pragma once
// Before a command reaches the chip: whether the chip in the socket is the chip selected,
// judged from the answer of the detection exchange (the one Detect runs), by how the
// record's family is detected (FamilyRules::detectedBy):
//   - a family with an ID (25 series, AVR) wants a chip with that ID;
//   - a 24- or 93-series record wants the type code that selects its chip type in the
//     type list, as Detect maps them (2: the list's second type, 3: its third);
//   - for a 95-series record the programmer's answer is not known, so only an answer that
//     names a chip is held against it.
// Anything else is an empty socket or another chip, a 25-series or AVR record without an
// ID (nothing its chip could answer proves it is that chip) included.

#include "link/Connection.h"

#include <string>

namespace korvat {

class Catalogue;

enum class SocketState {
    Selected,  // the answer fits the chip selected
    Empty,     // no chip answered
    OtherChip, // the answer names another chip
};

struct SocketFinding {
    SocketState state = SocketState::Selected;
    // Empty: the "no chips detected" text. OtherChip: what the chip answers (its ID and
    // the catalogue models that carry it, or the chip type its code selects) and the
    // chip selected (model and ID).
    std::string message;
};

// Compares an answer (answered() must hold) with the record in the slot.
SocketFinding compareWithSelected(const ChipIdentity &answer, const Catalogue &catalogue,
                                  int slot, int language);

} // namespace korvat
