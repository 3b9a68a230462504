// catalogue_build SOURCE.csv TARGET.Dat
// Turns the catalogue source into the catalogue file through the chip editor's writer,
// so the file the application reads is exactly what the editor would save. Beyond what
// the writer refuses, the shipped catalogue must not hold a chip the selection lists
// could never choose (a second chip of the same type, maker and model, letter case
// aside, as the lists match them) nor sizes the record's lists cannot show or the
// programmer's buffers cannot hold; every such chip is named and nothing is written.
#include "base/IntegerText.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueCsv.h"
#include "catalogue/NameText.h"

#include <cstdint>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

using korvat::GridRow;

// The smallest and largest capacity the record's capacity list offers; the smallest is
// also the smallest transfer, so a smaller chip would be read past its end.
constexpr std::uint64_t kSmallestCapacity = 64;
constexpr std::uint64_t kLargestCapacity = 64 << 20;
// The EEPROM buffer that an AVR's data EEPROM is read into.
constexpr std::uint64_t kLargestEeprom = 8192;
// The 25-series sub-type of chips that need 4-byte addresses.
constexpr std::uint64_t kFourByteSubType = 128;

bool powerOfTwo(std::uint64_t v) {
    return v != 0 && (v & (v - 1)) == 0;
}

std::string lowered(std::string_view text) {
    std::string s(text);
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string nameOf(const GridRow &row) {
    return std::string(korvat::trimBlanks(row[0])) + "," + std::string(korvat::trimBlanks(row[1])) +
           "," + std::string(korvat::trimBlanks(row[2]));
}

// The rows have passed the writer's check, so every integer cell reads and is not negative.
std::uint64_t value(const GridRow &row, int column) {
    return static_cast<std::uint64_t>(
        korvat::parseInteger(row[static_cast<std::size_t>(column)]).value_or(0));
}

// Every problem of the rows, each naming its chip by number (its row in the grid) and name.
std::vector<std::string> shippedProblems(const std::vector<GridRow> &rows) {
    std::vector<std::string> problems;
    std::map<std::string, std::size_t> firstWithName;
    std::map<std::string, std::string> makerSpelling; // type and maker, by their small letters
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const GridRow &row = rows[i];
        const std::string chip = "chip " + std::to_string(i + 1) + " (" + nameOf(row) + "): ";
        const auto [first, isNew] = firstWithName.emplace(lowered(nameOf(row)), i);
        if (!isNew)
            problems.push_back(
                chip + "the type, maker and model of chip " + std::to_string(first->second + 1) +
                " (" + nameOf(rows[first->second]) + "); the lists would only ever show the first");
        const std::string maker =
            std::string(korvat::trimBlanks(row[0])) + "," + std::string(korvat::trimBlanks(row[1]));
        const auto [spelt, firstSpelling] = makerSpelling.emplace(lowered(maker), maker);
        if (!firstSpelling && spelt->second != maker)
            problems.push_back(chip + "the maker is spelt " + spelt->second +
                               " by an earlier chip; the lists would merge the two");
        const std::uint64_t capacity = value(row, 4), page = value(row, 5);
        const std::uint64_t family = value(row, 6), subType = value(row, 7);
        if (value(row, 9) > 1)
            problems.push_back(chip + "voltage " + std::to_string(value(row, 9)) +
                               " is neither 0 (3.3 V) nor 1 (1.8 V)");
        // The sub-types that follow from the capacity: the 24-series address bytes, and
        // the 25-series 4-byte addresses past 16 MiB.
        if (family == 1 && subType != (capacity >= 4096 ? 1u : 0u))
            problems.push_back(chip + "a 24-series chip of " + std::to_string(capacity) +
                               " bytes has sub-type " + (capacity >= 4096 ? "1" : "0"));
        if (family == 0 && (subType == kFourByteSubType) != (capacity > (16u << 20)))
            problems.push_back(chip + "sub-type " + std::to_string(kFourByteSubType) +
                               " is for 25-series chips larger than 16 MiB, and only for them");
        const std::uint64_t eeprom = value(row, 10), eepromPage = value(row, 11);
        if (!powerOfTwo(capacity) || capacity < kSmallestCapacity || capacity > kLargestCapacity)
            problems.push_back(chip + "capacity " + std::to_string(capacity) +
                               " is not a power of two from 64 bytes to 64 MiB");
        else if (page > capacity)
            problems.push_back(chip + "FLASH page " + std::to_string(page) +
                               " is larger than the capacity " + std::to_string(capacity));
        if (eeprom != 0 && (!powerOfTwo(eeprom) || eeprom > kLargestEeprom))
            problems.push_back(chip + "EEPROM size " + std::to_string(eeprom) +
                               " is not 0 or a power of two up to 8192, the EEPROM buffer");
        else if (eepromPage > eeprom)
            problems.push_back(chip + "EEPROM page " + std::to_string(eepromPage) +
                               " is larger than the EEPROM size " + std::to_string(eeprom));
    }
    return problems;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::cerr << "usage: catalogue_build SOURCE.csv TARGET.Dat\n";
        return 2;
    }
    const korvat::CatalogueCsv csv = korvat::readCatalogueCsvFile(argv[1]);
    if (!csv.error.empty()) {
        std::cerr << argv[1] << ": " << csv.error << '\n';
        return 1;
    }
    const std::vector<std::string> problems = shippedProblems(csv.rows);
    for (const std::string &problem : problems)
        std::cerr << argv[1] << ": " << problem << '\n';
    if (!problems.empty()) {
        std::cerr << argv[1] << ": " << problems.size() << " problem(s); " << argv[2]
                  << " not written\n";
        return 1;
    }
    korvat::Catalogue catalogue;
    const korvat::CatalogueResult result = catalogue.save(csv.rows, argv[2]);
    if (result.outcome != korvat::CatalogueOutcome::Written) {
        std::cerr << argv[1] << ": " << result.message << '\n';
        return 1;
    }
    return 0;
}
