#pragma once
// Chip identification: what the Detect button makes of the programmer's answer. A chip
// with an ID is looked up in the catalogue and selected in the three lists; a chip
// known only by its type gets its type selected; the outcome is one message box and,
// for most outcomes, the socket picture.

#include "catalogue/Selection.h"
#include "link/Connection.h"

#include <array>
#include <functional>
#include <string>

namespace korvat {

class Catalogue;

enum class SocketShown { Unchanged, Empty, Chip };

struct Detection {
    SocketShown picture = SocketShown::Unchanged;
    bool error = false;  // an error box, else an information box
    std::string message; // the box's text
};

// The window's selection: its lists and their current positions (type, maker, model),
// and its selectChip, which refills the lists.
struct SelectionView {
    const SelectionLists &lists;
    std::array<int, 3> positions;
    std::function<void(int type, int maker, int model)> select;
};

// The first slot before the end record whose chip ID is id, or -1; always -1 for the IDs
// that name no chip (00 00 00, FF FF FF), which the ID-less records must not match.
int findChipById(const Catalogue &catalogue, std::uint32_t id);

// Turns the answer into selections and the box to show. An unreachable or busy
// programmer reads "Not connected"; a failed exchange is reported as such. The other
// chips that share the found chip's ID are named after the detection text with the ID,
// by maker and model, so the person checks the marking before writing.
Detection identifyChip(const ChipIdentity &id, const Catalogue &catalogue, SelectionView selection,
                       int language);

} // namespace korvat
