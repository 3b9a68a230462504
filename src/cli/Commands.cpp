#include "Commands.h"

#include "app/AppPaths.h"
#include "app/UserCatalogue.h"
#include "base/HexText.h"
#include "base/TextTable.h"
#include "buffers/FileIO.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueMerge.h"
#include "catalogue/ChipChoice.h"
#include "catalogue/NameText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace korvat::cli {

std::string cataloguePath(const Options &options) {
    if (!options.catalogue.empty())
        return options.catalogue;
    // The catalogue the window reads, found without writing anything in the user's home:
    // a command that only reads leaves no trace there.
    return catalogueToRead(appPaths(executableFolder()));
}

std::optional<Catalogue> loadCatalogue(const Options &options, Console &console) {
    const std::string path = cataloguePath(options);
    Catalogue catalogue;
    const CatalogueResult r = catalogue.load(path, options.language);
    if (r.outcome == CatalogueOutcome::NoFile) {
        console.showError("no chip catalogue at " + path);
        return std::nullopt;
    }
    if (r.outcome == CatalogueOutcome::Damaged) {
        console.showError(path + ": " + r.message);
        return std::nullopt;
    }
    if (r.outcome != CatalogueOutcome::Read) {
        console.showError(r.message);
        return std::nullopt;
    }
    return catalogue;
}

namespace {

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool matches(const ChipFilter &filter, const CatalogueChip &chip, const ChipRecord &r) {
    return (filter.type.empty() || sameLetters(trimBlanks(filter.type), chip.name.type)) &&
           (filter.maker.empty() || sameLetters(trimBlanks(filter.maker), chip.name.maker)) &&
           (!filter.id || *filter.id == r.chipId);
}

// Every field of the record, under the names the list has always used for the first
// ones; the rest as the catalogue's CSV columns, in camel case.
std::string jsonChip(const CatalogueChip &chip, const ChipRecord &r, const std::string &id,
                     const char *voltage) {
    const auto number = [](const char *name, unsigned value) {
        return std::string(",\"") + name + "\":" + std::to_string(value);
    };
    return "{\"type\":" + jsonString(chip.name.type) + ",\"maker\":" + jsonString(chip.name.maker) +
           ",\"model\":" + jsonString(chip.name.model) + ",\"id\":\"" + id + "\"" +
           number("size", r.capacity) + number("page", r.flashPage) + ",\"voltage\":\"" + voltage +
           "\"" + number("family", r.family) + number("subType", r.algorithm) +
           number("delay", r.delay) + number("eepromSize", r.eepromSize) +
           number("eepromPage", r.eepromPage) + number("association", r.association) + "}";
}

} // namespace

int listChips(const Options &options, const ChipFilter &filter) {
    Console console;
    const auto catalogue = loadCatalogue(options, console);
    if (!catalogue)
        return kFileError;
    std::string json;
    for (const CatalogueChip &chip : chipsContaining(*catalogue, filter.text)) {
        const ChipRecord &r = catalogue->slot(chip.slot);
        if (!matches(filter, chip, r))
            continue;
        const std::string id = "0x" + hexText(r.chipId, 6);
        const char *voltage = r.voltage == 1 ? "1.8V" : "3.3V";
        if (options.json)
            json += std::string(json.empty() ? "" : ",") + "\n" + jsonChip(chip, r, id, voltage);
        else
            std::printf("%s\t%s\t%s\t%s\t%u\t%u\t%s\n", chip.name.type.c_str(),
                        chip.name.maker.c_str(), chip.name.model.c_str(), id.c_str(),
                        static_cast<unsigned>(r.capacity), static_cast<unsigned>(r.flashPage),
                        voltage);
    }
    if (options.json)
        printJsonObject("[" + json + "\n]");
    return kSuccess;
}

int mergeCatalogueCommand(const Options &options) {
    Console console;
    const AppPaths paths = appPaths(executableFolder());
    const bool userCopy = options.catalogue.empty();
    const std::string target = userCopy ? paths.catalogue : options.catalogue;
    if (userCopy)
        seedUserCatalogue(paths); // a user who has none gets the default itself
    const CatalogueMerge merge = mergeCatalogue(target, paths.defaultCatalogue, options.language);
    if (!merge.error.empty()) {
        console.showError(merge.error);
        return kFileError;
    }
    if (userCopy)
        noteMerged(paths); // the newer default has been brought in: no more telling
    std::string json;
    for (const NameParts &name : merge.added) {
        const std::string chip = name.type + "/" + name.maker + "/" + name.model;
        if (options.json)
            json += std::string(json.empty() ? "" : ",") + jsonString(chip);
        else if (!options.quiet)
            std::printf("%s\n", textWith(txtMergeAdded, options.language, {chip}).c_str());
    }
    const std::string count = std::to_string(merge.added.size());
    if (options.json)
        printJsonObject("{\"command\":\"catalogue merge\"," + jsonResult(kSuccess, true) +
                        ",\"catalogue\":" + jsonString(target) + ",\"added\":[" + json + "]}");
    else
        std::printf("%s\n", textWith(txtMergeDone, options.language, {count, target}).c_str());
    return kSuccess;
}

} // namespace korvat::cli
