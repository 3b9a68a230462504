#include "EditorRows.h"

#include "Family.h"
#include "base/IntegerText.h"
#include "NameText.h"
#include "Selection.h"

#include <array>

namespace korvat {
namespace {

// Grid columns, as laid out in GridRow.
enum Column : std::size_t {
    kType,
    kMaker,
    kModel,
    kChipId,
    kCapacity,
    kFlashPage,
    kFamilyCell,
    kAlgorithm,
    kDelay,
    kVoltage,
    kEepromSize,
    kEepromPage,
    kAssociation,
};

constexpr std::array<std::string_view, 21> kCapacityTexts = {
    "64B",   "128B",  "256B",  "512B", "1KB", "2KB", "4KB", "8KB",  "16KB", "32KB", "64KB",
    "128KB", "256KB", "512KB", "1MB",  "2MB", "4MB", "8MB", "16MB", "32MB", "64MB"};
constexpr std::array<std::string_view, 9> kPageTexts = {"1",  "2",  "4",   "8",  "16",
                                                        "32", "64", "128", "256"};
constexpr std::array<std::string_view, 2> kVoltageTexts = {"3.3V", "1.8V"};
constexpr std::array<std::string_view, 27> kEepromSizeTexts = {
    "0B",    "2B",    "4B",  "8B",  "16B", "32B",  "64B",  "128B", "256B",
    "512B",  "1KB",   "2KB", "4KB", "8KB", "16KB", "32KB", "64KB", "128KB",
    "256KB", "512KB", "1MB", "2MB", "4MB", "8MB",  "16MB", "32MB", "64MB"};
constexpr std::array<std::string_view, 19> kAssociationTexts = {
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8", "9",
    "10", "11", "12", "13", "14", "15", "16", "17", "18"};

// The capacity list starts at 64 bytes = 2^6.
constexpr int kCapacityExponentBase = 6;

bool inList(std::int64_t position, std::size_t listSize) {
    return position >= 0 && static_cast<std::uint64_t>(position) < listSize;
}

// The list position a loaded value selects; a value outside the list selects nothing.
int positionIn(std::int64_t position, std::size_t listSize) {
    return inList(position, listSize) ? static_cast<int>(position) : -1;
}

// Halvings of a cell value; a value of 1 or less (negative included) halves 0 times.
int halvingsOf(std::int64_t v) {
    return v <= 1 ? 0 : halvings(static_cast<std::uint64_t>(v));
}

// The sub-type position a freshly filled list selects: its first entry, or nothing when
// the family has no list.
int firstSubtype(int family) {
    return subtypeList(family).empty() ? -1 : 0;
}

} // namespace

int halvings(std::uint64_t v) {
    int n = 0;
    while (v > 1) {
        v /= 2;
        ++n;
    }
    return n;
}

std::span<const std::string_view> familyListTexts() {
    static const std::array<std::string_view, kFamilyCount> texts = [] {
        std::array<std::string_view, kFamilyCount> t{};
        for (int f = 0; f < kFamilyCount; ++f)
            t[static_cast<std::size_t>(f)] = familyText(f);
        return t;
    }();
    return texts;
}
std::span<const std::string_view> capacityListTexts() {
    return kCapacityTexts;
}
std::span<const std::string_view> pageListTexts() {
    return kPageTexts;
}
std::span<const std::string_view> voltageListTexts() {
    return kVoltageTexts;
}
std::span<const std::string_view> eepromSizeListTexts() {
    return kEepromSizeTexts;
}
std::span<const std::string_view> associationListTexts() {
    return kAssociationTexts;
}

LoadResult loadControls(const GridRow &row, const EditorControls &current) {
    LoadResult result{current, std::nullopt};
    EditorControls &c = result.controls;

    // Reads an integer cell, or records the conversion message and reports failure.
    auto read = [&](Column column) -> std::optional<std::int64_t> {
        const std::string &text = row[column];
        auto value = parseInteger(text);
        if (!value)
            result.error = notAnIntegerMessage(text);
        return value;
    };

    c.type = row[kType];
    c.maker = row[kMaker];
    c.model = row[kModel];
    c.chipIdText = row[kChipId];

    const auto capacity = read(kCapacity);
    if (!capacity)
        return result;
    c.capacity = positionIn(halvingsOf(*capacity) - kCapacityExponentBase, kCapacityTexts.size());

    const auto page = read(kFlashPage);
    if (!page)
        return result;
    c.flashPage = positionIn(halvingsOf(*page), kPageTexts.size());

    const auto family = read(kFamilyCell);
    if (!family)
        return result;
    c.family = positionIn(*family, kFamilyCount);
    c.algorithm = firstSubtype(c.family); // the family change refills the sub-type list

    const FamilyRules &rules = familyRules(c.family);
    if (rules.editorReadsSubtype) {
        const auto code = read(kAlgorithm);
        if (!code)
            return result;
        // Codes far outside any list cannot map to a position; keep them out of int range.
        const bool small = *code > -1000 && *code < 1000;
        c.algorithm =
            small ? positionIn(subtypeForAlgorithm(c.family, static_cast<int>(*code), c.capacity),
                               rules.subtypes.size())
                  : -1;
    } else if (rules.known) {
        // These go by the capacity or have a single entry; the stored code is not read.
        c.algorithm =
            positionIn(subtypeForAlgorithm(c.family, 0, c.capacity), rules.subtypes.size());
    } // no family selected: the sub-type list is empty

    const auto delay = read(kDelay);
    if (!delay)
        return result;
    c.delayText = std::to_string(*delay);

    const auto voltage = read(kVoltage);
    if (!voltage)
        return result;
    c.voltage = positionIn(*voltage, kVoltageTexts.size());

    const auto eepromSize = read(kEepromSize);
    if (!eepromSize)
        return result;
    c.eepromSize = positionIn(halvingsOf(*eepromSize), kEepromSizeTexts.size());

    const auto eepromPage = read(kEepromPage);
    if (!eepromPage)
        return result;
    c.eepromPage = positionIn(halvingsOf(*eepromPage), kPageTexts.size());

    const auto association = read(kAssociation);
    if (!association)
        return result;
    c.associationText = std::to_string(*association);

    return result;
}

void writeControls(const EditorControls &c, GridRow &row) {
    auto power = [](int p) { return std::to_string(std::uint64_t{1} << p); };

    row[kType] = c.type;
    row[kMaker] = c.maker;
    row[kModel] = c.model;
    row[kChipId] = c.chipIdText;
    if (inList(c.capacity, kCapacityTexts.size()))
        row[kCapacity] = power(c.capacity + kCapacityExponentBase);
    if (inList(c.flashPage, kPageTexts.size()))
        row[kFlashPage] = power(c.flashPage);
    if (inList(c.family, kFamilyCount))
        row[kFamilyCell] = std::to_string(c.family);
    if (inList(c.algorithm, subtypeList(c.family).size())) {
        if (const auto code = algorithmForSubtype(c.family, c.algorithm))
            row[kAlgorithm] = std::to_string(*code);
    }
    row[kDelay] = c.delayText;
    if (inList(c.voltage, kVoltageTexts.size()))
        row[kVoltage] = std::to_string(c.voltage);
    if (inList(c.eepromSize, kEepromSizeTexts.size()))
        row[kEepromSize] = c.eepromSize == 0 ? "0" : power(c.eepromSize);
    if (inList(c.eepromPage, kPageTexts.size()))
        row[kEepromPage] = power(c.eepromPage);
    row[kAssociation] = c.associationText;
}

std::vector<GridRow> gridRowsFor(const Catalogue &catalogue) {
    std::vector<GridRow> rows;
    for (int i = 0; i < catalogue.chipCount(); ++i)
        rows.push_back(gridRowFor(catalogue.slot(i)));
    return rows;
}

EditorNameLists editorNameLists(const std::vector<GridRow> &rows) {
    EditorNameLists lists;
    auto addOnce = [](std::vector<std::string> &list, const std::string &text) {
        if (findIgnoringCase(list, text) < 0)
            list.push_back(text);
    };
    for (const GridRow &row : rows) {
        addOnce(lists.types, row[kType]);
        if (!row[kMaker].empty())
            addOnce(lists.makers, row[kMaker]);
        addOnce(lists.models, row[kModel]);
    }
    return lists;
}

bool rowMatchesFilter(const GridRow &row, std::string_view filter) {
    auto lower = [](std::string_view text) {
        std::string s(text);
        for (char &ch : s)
            if (ch >= 'A' && ch <= 'Z')
                ch = static_cast<char>(ch + 32);
        return s;
    };
    const std::string name = lower(row[kType] + "," + row[kMaker] + "," + row[kModel]);
    return name.find(lower(trimBlanks(filter))) != std::string::npos;
}

} // namespace korvat
