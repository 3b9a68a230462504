#include "SocketCheck.h"

#include "base/HexText.h"
#include "base/TextTable.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Family.h"
#include "catalogue/NameText.h"
#include "catalogue/Selection.h"

#include <algorithm>

namespace korvat {
namespace {

// Models named before the list only says there are more.
constexpr std::size_t kMostNamed = 6;

// The chip types as the type list holds them: in the order first met, each once.
std::vector<std::string> typeList(const Catalogue &catalogue) {
    std::vector<std::string> types;
    for (int slot = 0; slot < catalogue.chipCount(); ++slot) {
        std::string type = splitForSelection(catalogue.name(slot)).type;
        if (findIgnoringCase(types, type) < 0)
            types.push_back(std::move(type));
    }
    return types;
}

std::string idText(std::uint32_t id) {
    return hexText(id & 0xFFFFFF, 6);
}

std::string marked(TextName name, int language, std::string_view first, std::string_view second) {
    std::string line(text(name, language));
    replaceMark(line, "%1", first);
    replaceMark(line, "%2", second);
    return line;
}

// "ID C84017 (GD25Q64, GD25Q64C)": the models that carry the ID, each once.
std::string answeredId(const Catalogue &catalogue, std::uint32_t id, int language) {
    std::vector<std::string> models;
    for (const int slot : catalogue.slotsWithChipId(id)) {
        std::string model = splitForSelection(catalogue.name(slot)).model;
        if (std::find(models.begin(), models.end(), model) == models.end())
            models.push_back(std::move(model));
    }
    std::string named;
    for (std::size_t i = 0; i < models.size() && i < kMostNamed; ++i)
        named += (i ? ", " : "") + models[i];
    if (models.size() > kMostNamed)
        named += ", ...";
    return marked(txtAnswerId, language, idText(id),
                  models.empty() ? text(txtNoChipWithId, language) : std::string_view(named));
}

std::string otherChipText(const ChipIdentity &answer, const Catalogue &catalogue, int slot,
                          int language) {
    std::string answers;
    if (answer.hasId()) {
        answers = answeredId(catalogue, answer.chipId(), language);
    } else { // a chip known by its type alone
        const std::vector<std::string> types = typeList(catalogue);
        const auto at = static_cast<std::size_t>(answer.typePosition());
        answers = marked(txtAnswerType, language,
                         at < types.size() ? types[at] : std::to_string(answer.typeCode()), {});
    }
    const ChipRecord &record = catalogue.slot(slot);
    const NameParts name = splitForSelection(catalogue.name(slot));
    const std::string selected =
        isKnownChipId(record.chipId)
            ? marked(txtSelectedWithId, language, name.model, idText(record.chipId))
            : marked(txtSelectedWithoutId, language, name.model, name.type);
    return marked(txtWrongChip, language, answers, selected);
}

// Whether the answer is the one the record's chip gives.
bool answerFits(const ChipIdentity &answer, const Catalogue &catalogue, int slot) {
    const ChipRecord &record = catalogue.slot(slot);
    switch (familyRules(record.family).detectedBy) {
    case DetectedBy::TypeCode: {
        const int position = findIgnoringCase(typeList(catalogue),
                                              splitForSelection(catalogue.name(slot)).type);
        return answer.typeOnly() && answer.typePosition() == position;
    }
    case DetectedBy::NotKnown:
        return answer.emptySocket();
    case DetectedBy::Id: // without an ID of its own the record cannot be told in the socket
        return answer.hasId() && isKnownChipId(record.chipId) && answer.chipId() == record.chipId;
    case DetectedBy::Nothing:
        break;
    }
    return false;
}

} // namespace

SocketFinding compareWithSelected(const ChipIdentity &answer, const Catalogue &catalogue,
                                  int slot, int language) {
    if (answerFits(answer, catalogue, slot))
        return {};
    if (answer.emptySocket())
        return {SocketState::Empty, std::string(text(txtNoChip, language))};
    return {SocketState::OtherChip, otherChipText(answer, catalogue, slot, language)};
}

} // namespace korvat
