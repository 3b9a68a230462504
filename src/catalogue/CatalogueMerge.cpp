#include "CatalogueMerge.h"

#include "Catalogue.h"
#include "Selection.h"
#include "base/AtomicFile.h"
#include "base/TextTable.h"

#include <algorithm>
#include <cstring>

namespace korvat {
namespace {

// The catalogue in the file, or why it cannot be merged.
std::string loadInto(Catalogue &catalogue, const std::string &path, int language) {
    const CatalogueResult r = catalogue.load(path, language);
    switch (r.outcome) {
    case CatalogueOutcome::Read:
        return {};
    case CatalogueOutcome::NoFile:
        return textWith(txtCsvCannotOpen, language, {path});
    default:
        return path + ": " + r.message;
    }
}

bool sameName(const NameParts &a, const NameParts &b) {
    return equalIgnoringCase(a.type, b.type) && equalIgnoringCase(a.maker, b.maker) &&
           equalIgnoringCase(a.model, b.model);
}

} // namespace

CatalogueMerge mergeCatalogue(const std::string &target, const std::string &source, int language) {
    Catalogue into, from;
    CatalogueMerge merge;
    merge.error = loadInto(into, target, language);
    if (merge.error.empty())
        merge.error = loadInto(from, source, language);
    if (!merge.error.empty())
        return merge;

    std::vector<NameParts> names;
    for (int i = 0; i < into.chipCount(); ++i)
        names.push_back(splitForSelection(into.name(i)));
    std::string bytes(reinterpret_cast<const char *>(&into.slot(0)),
                      static_cast<std::size_t>(into.chipCount()) * sizeof(ChipRecord));
    for (int i = 0; i < from.chipCount(); ++i) {
        NameParts name = splitForSelection(from.name(i));
        if (std::any_of(names.begin(), names.end(),
                        [&](const NameParts &n) { return sameName(n, name); }))
            continue;
        // The record as the writer leaves it: nothing after the name's zero.
        ChipRecord record = from.slot(i);
        const std::size_t used = record.storedName().size();
        std::memset(record.nameText + used, 0, kNameTextSize - used);
        bytes.append(reinterpret_cast<const char *>(&record), sizeof record);
        names.push_back(name);
        merge.added.push_back(std::move(name));
    }
    if (merge.added.empty())
        return merge;
    if (names.size() >= static_cast<std::size_t>(kCatalogueSlots)) {
        merge.added.clear();
        merge.error = textWith(txtCatalogueFull, language, {std::to_string(kCatalogueSlots - 1)});
        return merge;
    }
    bytes.append(sizeof(ChipRecord), '\0');
    if (!writeFileAtomically(target, bytes)) {
        merge.added.clear();
        merge.error = textWith(txtCsvCannotCreate, language, {target});
    }
    return merge;
}

} // namespace korvat
