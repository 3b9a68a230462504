#include "Selection.h"

#include "Catalogue.h"
#include "Family.h"
#include "NameText.h"

#include <algorithm>
#include <array>

namespace korvat {
namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// ASCII letters in small case; other bytes (those of UTF-8 sequences too) as they are.
std::string lowerCase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

void appendOnce(std::vector<std::string> &list, const std::string &text) {
    if (findIgnoringCase(list, text) < 0)
        list.push_back(text);
}

// The entry at a position, or the empty text outside the list.
std::string_view at(const std::vector<std::string> &list, int position) {
    return position >= 0 && position < static_cast<int>(list.size())
               ? std::string_view(list[static_cast<std::size_t>(position)])
               : std::string_view();
}

} // namespace

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

int findIgnoringCase(const std::vector<std::string> &list, std::string_view text) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (equalIgnoringCase(list[i], text))
            return static_cast<int>(i);
    return -1;
}

int selectChip(const Catalogue &catalogue, SelectionLists &lists, int &currentChip, int family,
               int maker, int model) {
    lists.makers.clear();
    lists.models.clear();
    int counted = 0;
    int result = -1;
    for (int i = 0; i < kCatalogueSlots && !catalogue.slot(i).isEnd(); ++i) {
        const NameParts parts = splitForSelection(catalogue.name(i));
        appendOnce(lists.families, parts.type);
        if (at(lists.families, family) != parts.type)
            continue;
        if (!parts.maker.empty())
            appendOnce(lists.makers, parts.maker);
        if (at(lists.makers, maker) != parts.maker)
            continue;
        if (parts.model.empty() || findIgnoringCase(lists.models, parts.model) >= 0)
            continue;
        lists.models.push_back(parts.model);
        if (counted++ == model) {
            currentChip = i;
            result = i;
        }
    }
    return result;
}

std::string_view firstTabCaption(int familyPosition) {
    return familyRules(familyPosition).firstTab;
}

std::vector<SearchRow> searchCatalogue(const Catalogue &catalogue, std::string_view key) {
    std::vector<SearchRow> rows;
    key = trimBlanks(key);
    if (key.empty())
        return rows;
    const std::string folded = lowerCase(key);
    auto holds = [&](const std::string &name, bool caseCounts) {
        return caseCounts ? name.find(key) != std::string::npos
                          : lowerCase(name).find(folded) != std::string::npos;
    };
    // Without regard to case only when the key with its case is in no name.
    for (const bool caseCounts : {true, false}) {
        for (int i = 0; i < kCatalogueSlots && !catalogue.slot(i).isEnd(); ++i) {
            const std::string name = catalogue.name(i);
            if (!holds(name, caseCounts))
                continue;
            NameParts parts = splitForSelection(name);
            rows.push_back(
                {std::move(parts.type), std::move(parts.maker), std::move(parts.model), i});
        }
        if (!rows.empty())
            break;
    }
    return rows;
}

int rowForEnter(int selectedRow, std::size_t rowCount) {
    if (selectedRow >= 0 && static_cast<std::size_t>(selectedRow) < rowCount)
        return selectedRow;
    return rowCount == 1 ? 0 : -1;
}

int chooseFoundChip(const Catalogue &catalogue, SelectionLists &lists, int &currentChip,
                    const SearchRow &row) {
    auto positions = [&] {
        return std::array<int, 3>{findIgnoringCase(lists.families, row.type),
                                  findIgnoringCase(lists.makers, row.maker),
                                  findIgnoringCase(lists.models, row.model)};
    };
    int result = -1;
    for (int call = 0; call < 3; ++call) {
        const auto p = positions();
        result = selectChip(catalogue, lists, currentChip, p[0], p[1], p[2]);
    }
    return result;
}

ChipPositions reselectChip(const Catalogue &catalogue, SelectionLists &lists, int &currentChip,
                           const NameParts &name) {
    lists = {};
    for (int i = 0; i < kCatalogueSlots && !catalogue.slot(i).isEnd(); ++i) {
        NameParts parts = splitForSelection(catalogue.name(i));
        if (!equalIgnoringCase(parts.type, name.type) ||
            !equalIgnoringCase(parts.maker, name.maker) ||
            !equalIgnoringCase(parts.model, name.model))
            continue;
        const SearchRow row{std::move(parts.type), std::move(parts.maker), std::move(parts.model),
                            i};
        selectChip(catalogue, lists, currentChip, 0, 0, 0); // the family list first
        const int chosen = chooseFoundChip(catalogue, lists, currentChip, row);
        return {chosen, findIgnoringCase(lists.families, row.type),
                findIgnoringCase(lists.makers, row.maker),
                findIgnoringCase(lists.models, row.model)};
    }
    const int chosen = selectChip(catalogue, lists, currentChip, 0, 0, 0);
    if (chosen < 0)
        currentChip = 0;
    return {chosen, 0, 0, 0};
}

} // namespace korvat
