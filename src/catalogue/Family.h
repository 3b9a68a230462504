#pragma once
// The five chip families and what each one means to the rest of the system, as one
// table: the editor's family and sub-type lists, how the programmer erases the chip,
// the wait after a write, the first tab's caption and how the detection answer tells
// the chip. A family code the programmer does not know reads as a row of its own.

#include <optional>
#include <span>
#include <string_view>

namespace korvat {

enum Family : int {
    kFamily25Flash = 0,
    kFamily24Eeprom = 1,
    kFamily93Eeprom = 2,
    kFamily95Eeprom = 3,
    kFamilyAvr = 4,
};
constexpr int kFamilyCount = 5;

// 25-series algorithm bits: SST part, and larger than 16 MiB.
constexpr int kAlgorithmSst = 0x01;
constexpr int kAlgorithmOver16M = 0x80;

// What the programmer's erase does for the family (the block's parameter follows from it).
enum class EraseKind {
    PolledWholeChip, // one whole-chip CMD_ERASE, then status polls, at most delay + 2
    EachPage,        // one CMD_ERASE per FLASH page, the page's address as its parameter
    WholeChipOnce,   // one CMD_ERASE with the chip's delay as its parameter, no polls
    None,            // no erase: writing replaces the bytes
    NotKnown,        // a family the programmer does not know: no erase that could be trusted
};

// How the detection answer tells the family's chip in the socket.
enum class DetectedBy {
    Id,        // type code 1 with the record's own ID (a record without one cannot be told)
    TypeCode,  // the type code that selects the record's chip type in the type list
    NotKnown,  // the programmer's answer is not known: only one naming a chip tells against it
    Nothing,   // a family the programmer does not know: no answer is its chip
};

struct FamilyRules {
    bool known;                                 // a family the programmer knows (0 to 4)
    std::string_view text;                      // editor family list text
    std::span<const std::string_view> subtypes; // editor sub-type list, in order
    // The editor shows the stored sub-type code; otherwise the list position follows the
    // capacity (24 series) or is the single entry (AVR).
    bool editorReadsSubtype;
    EraseKind erase;
    int writeWaitMs; // after the last write transfer, for the chip to finish
    // A write only clears bits (NOR flash): what it writes over data that was not erased
    // first is not what was sent.
    bool writeOnlyClearsBits;
    // Caption of the first tab while the chip type list stands at this family's position.
    std::string_view firstTab;
    DetectedBy detectedBy;

    // The family's chips carry an ID of their own.
    bool hasId() const { return detectedBy == DetectedBy::Id; }
};

// The family's row; the row of an unknown family for a code outside 0 to 4.
const FamilyRules &familyRules(int family);

// The family's chips are EEPROMs (24, 93 and 95 series): what an operation writes and
// checks is their EEPROM, whatever the engines' lines call it.
bool isEepromFamily(int family);

// Editor family list text at position = family code; empty outside 0 to 4.
std::string_view familyText(int family);

// Editor sub-type list of the family, in order; empty for a code outside 0 to 4.
std::span<const std::string_view> subtypeList(int family);

// Stored algorithm code for sub-type list position k of the family, as the editor
// writes it: 93 series k + 7 (k < 5) or k + 82; 24 and 95 series k; every other family
// 0, 1, 128, 129 for k = 0 to 3, and nothing for any other k (the cell stays as it was).
std::optional<int> algorithmForSubtype(int family, int k);

// Sub-type list position that shows a stored code, as the editor loads a row. The
// 24 series ignores the code and goes by the capacity list position (6 = 4 KB and up).
// An unmapped 25-series code gives -1 (no selection).
int subtypeForAlgorithm(int family, int code, int capacityPosition);

} // namespace korvat
