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

// Names after which the line only says there are more: the ID-less EEPROMs all share
// ID 0 and would fill the box.
constexpr std::size_t kMostNamed = 6;

// The models of the other records with the found chip's ID, each named once.
std::string alsoMatching(const Catalogue &catalogue, int found, std::uint32_t id, int language) {
    std::vector<std::string> models;
    for (const int slot : catalogue.slotsWithChipId(id)) {
        if (slot <= found)
            continue;
        std::string model = splitForSelection(catalogue.name(slot)).model;
        if (std::find(models.begin(), models.end(), model) == models.end())
            models.push_back(std::move(model));
    }
    if (models.empty())
        return {};
    std::string line = "\n" + std::string(text(txtAlsoMatches, language));
    for (std::size_t i = 0; i < models.size() && i < kMostNamed; ++i)
        line += (i ? ", " : "") + models[i];
    return models.size() > kMostNamed ? line + ", ..." : line;
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
        const std::string bytes =
            hexText(id.reply[1], 2) + " " + hexText(id.reply[2], 2) + " " + hexText(id.reply[3], 2);
        return {SocketShown::Unchanged, true,
                std::string(text(txtUnknownId, language)) + bytes +
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
                alsoMatching(catalogue, found, id.chipId(), language)};
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
