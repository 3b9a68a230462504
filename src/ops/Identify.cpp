#include "Identify.h"

#include "base/HexText.h"
#include "base/TextTable.h"
#include "catalogue/Catalogue.h"
#include "catalogue/NameText.h"

#include <algorithm>

namespace korvat {
namespace {

std::string entryAt(const std::vector<std::string> &list, int position) {
    return position >= 0 && position < static_cast<int>(list.size())
               ? list[static_cast<std::size_t>(position)]
               : std::string();
}

// Chips after which the line only says there are more: the ID-less EEPROMs all share
// ID 0 and would fill the box.
constexpr std::size_t kMostNamed = 6;

// The three ID bytes as the unknown-ID box shows them.
std::string idBytes(const ChipIdentity &id) {
    return hexText(id.reply[1], 2) + " " + hexText(id.reply[2], 2) + " " + hexText(id.reply[3], 2);
}

// The ID and the other chips that answer with it, each by maker and model, once; a
// record naming the found chip again is not another chip.
std::string alsoMatching(const Catalogue &catalogue, int found, const ChipIdentity &id,
                         int language) {
    auto makerAndModel = [&](int slot) {
        const NameParts name = splitForSelection(catalogue.name(slot));
        return name.maker.empty() ? name.model : name.maker + " " + name.model;
    };
    const std::string foundChip = makerAndModel(found);
    std::vector<std::string> chips;
    for (const int slot : catalogue.slotsWithChipId(id.chipId())) {
        std::string chip = makerAndModel(slot);
        auto same = [&](const std::string &other) { return equalIgnoringCase(other, chip); };
        if (slot != found && !same(foundChip) && std::none_of(chips.begin(), chips.end(), same))
            chips.push_back(std::move(chip));
    }
    if (chips.empty())
        return {};
    std::string line(text(txtAlsoMatches, language));
    replaceMark(line, "%1", idBytes(id));
    line.insert(0, "\n");
    for (std::size_t i = 0; i < chips.size() && i < kMostNamed; ++i)
        line += (i ? ", " : "") + chips[i];
    return chips.size() > kMostNamed ? line + ", ..." : line;
}

// Where the lists stand after a selection: a position past the refilled list leaves it
// without selection.
std::array<int, 3> shownPositions(const SelectionLists &lists, int type, int maker, int model) {
    auto within = [](const std::vector<std::string> &list, int at) {
        return at >= 0 && at < static_cast<int>(list.size()) ? at : -1;
    };
    return {within(lists.families, type), within(lists.makers, maker), within(lists.models, model)};
}

Detection chipWithId(const ChipIdentity &id, const Catalogue &catalogue, SelectionView &s,
                     int language) {
    const int found = findChipById(catalogue, id.chipId());
    if (found < 0) {
        if (s.positions[0] != 0)
            s.select(0, 0, 0);
        return {SocketShown::Unchanged, true,
                std::string(text(txtUnknownId, language)) + idBytes(id) +
                    std::string(text(txtChooseCompatible, language))};
    }
    // Each list is looked up after the call before it has refilled it; the positions
    // not looked up yet are where the lists then stand.
    const NameParts name = splitForSelection(catalogue.name(found));
    const int type = findIgnoringCase(s.lists.families, name.type);
    s.select(type, s.positions[1], s.positions[2]);
    auto shown = shownPositions(s.lists, type, s.positions[1], s.positions[2]);
    const int maker = findIgnoringCase(s.lists.makers, name.maker);
    s.select(type, maker, shown[2]);
    shown = shownPositions(s.lists, type, maker, shown[2]);
    const int model = findIgnoringCase(s.lists.models, name.model);
    s.select(type, maker, model);
    return {SocketShown::Chip, false,
            std::string(text(txtChipDetected, language)) + entryAt(s.lists.models, model) +
                std::string(text(txtChipTypeLine, language)) + entryAt(s.lists.families, type) +
                alsoMatching(catalogue, found, id, language)};
}

} // namespace

int findChipById(const Catalogue &catalogue, std::uint32_t id) {
    const std::vector<int> slots = catalogue.slotsWithChipId(id);
    return slots.empty() ? -1 : slots.front();
}

Detection identifyChip(const ChipIdentity &id, const Catalogue &catalogue, SelectionView selection,
                       int language) {
    switch (id.reach) {
    case ChipIdentity::Reach::NotReachable:
    case ChipIdentity::Reach::Busy:
        return {SocketShown::Unchanged, true, std::string(text(txtNotConnected, language))};
    case ChipIdentity::Reach::NoPermission:
        return {SocketShown::Unchanged, true, noAccessText(language)};
    case ChipIdentity::Reach::LinkFailed:
        return {SocketShown::Unchanged, true, std::string(text(txtIdentityFailed, language))};
    case ChipIdentity::Reach::Answered:
        break;
    }
    if (id.hasId())
        return chipWithId(id, catalogue, selection, language);
    if (id.typeOnly()) {
        const int type = id.typePosition();
        if (selection.positions[0] != type)
            selection.select(type, 0, 0);
        return {SocketShown::Chip, false,
                std::string(text(txtTypeDetected, language)) +
                    entryAt(selection.lists.families, type) +
                    std::string(text(txtSelectManually, language))};
    }
    return {SocketShown::Empty, true, std::string(text(txtNoChip, language))};
}

} // namespace korvat
