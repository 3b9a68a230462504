#include "Catalogue.h"

#include "Family.h"
#include "NameText.h"
#include "base/AtomicFile.h"
#include "base/HexText.h"
#include "base/IntegerText.h"
#include "base/RegularFile.h"
#include "base/TextTable.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace korvat {
namespace {

constexpr std::size_t kNameTextMax = kNameTextSize - 1;

// What the main window's lists would read apart (they split at blanks and control
// characters as well as at commas, and take a double quote as quoting) or the name
// text could not hold at all, as the end of "cannot hold a ..."; nothing for an
// ordinary byte.
std::optional<TextName> unlistableByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0)
        return txtNameZeroByte;
    if (u < 32 || u == 127)
        return txtNameControlCharacter;
    if (c == ' ')
        return txtNameBlank;
    if (c == ',')
        return txtNameCommaHere;
    if (c == '"')
        return txtNameDoubleQuote;
    return std::nullopt;
}

std::string withPath(const char *format, const std::string &path) {
    std::string s(format);
    s.replace(s.find("%s"), 2, path);
    return s;
}

// What each integer cell's field can hold, by grid column: the file keeps its widths,
// so a larger value is refused rather than cut to its low bits. The capacity is bound
// tighter, by the FLASH buffer: a larger chip would be read and written only in part.
struct FieldWidth {
    const char *name;  // in English
    const char *title; // the grid's title row text, which names it in Chinese
    std::int64_t most;
    TextName bound = txtValueOutsideField;
};
constexpr FieldWidth kWidths[kGridColumns] = {
    {"type", "芯片类型", 0},
    {"maker", "芯片厂家", 0},
    {"model", "芯片型号", 0},
    {"chip ID", "芯片ID", 0xFFFFFF},
    {"FLASH", "FLASH", kLargestCapacity, txtValueOutsideBuffer},
    {"FLASH page", "FLASH页", 0xFFFF},
    {"family", "类型", 0xFF},
    {"sub-type", "子类型", 0xFF},
    {"delay", "延时", 0xFFFF},
    {"voltage", "工作电压", 0xFF},
    {"EEPROM", "EEPROM", 0xFFFF},
    {"EEPROM page", "EEPROM页", 0xFF},
    {"association", "关联XML", 0xFFFF},
};
static_assert(kLargestCapacity == 64 << 20, "the capacity's bound is named as 64 MiB");

// The largest FLASH page the editor's list offers, and the largest EEPROM page its byte holds.
constexpr std::int64_t kLargestFlashPage = 256;
constexpr std::int64_t kLargestEepromPage = 128;

bool powerOfTwoUpTo(std::int64_t v, std::int64_t most) {
    return v > 0 && v <= most && (v & (v - 1)) == 0;
}

// What the editor's lists offer and the programmer knows, for the columns that have a
// list: a family code, one of that family's sub-type codes, and pages that are powers of
// two (an EEPROM page may be 0, as chips without an EEPROM have it). v holds the values
// of the columns before c. The reason, or nothing when the value is one of them.
std::optional<std::string> unlistedValue(int c, const std::int64_t *v, const std::string &cell,
                                         int language) {
    const int family = static_cast<int>(v[6]);
    switch (c) {
    case 5:
        if (!powerOfTwoUpTo(v[5], kLargestFlashPage))
            return textWith(txtPageNotListed, language, {cell, std::to_string(kLargestFlashPage)});
        break;
    case 6:
        if (!familyRules(family).known)
            return textWith(txtFamilyNotKnown, language, {cell, std::to_string(kFamilyCount - 1)});
        break;
    case 7: {
        bool listed = false;
        for (std::size_t k = 0; k < subtypeList(family).size(); ++k)
            listed |= algorithmForSubtype(family, static_cast<int>(k)) == v[7];
        if (!listed)
            return textWith(txtSubtypeNotListed, language, {cell, std::to_string(family)});
        break;
    }
    case 11:
        if (v[11] != 0 && !powerOfTwoUpTo(v[11], kLargestEepromPage))
            return textWith(txtPageNotListed, language, {cell, std::to_string(kLargestEepromPage)});
        break;
    default:
        break;
    }
    return std::nullopt;
}

} // namespace

std::string_view gridTitle(int column) {
    return kWidths[column].title;
}

Catalogue::Catalogue() {
    std::memset(m_slots.data(), 0, sizeof m_slots);
}

CatalogueResult Catalogue::load(const std::string &path, int language) {
    // Only a file that is not there is no error; one that is there but cannot be read
    // (no permission, a loop of links, not a plain file) is reported.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return {CatalogueOutcome::NoFile, {}};
    const CatalogueResult cannotOpen{CatalogueOutcome::CannotOpen,
                                     withPath("Cannot open file %s", path)};
    // A named pipe is not waited on, nor a device read.
    const RegularFile in(path);
    if (in.problem() == RegularFile::Problem::NotRegular)
        return {CatalogueOutcome::CannotOpen, notRegularFileText(path, language)};
    if (!in)
        return cannotOpen;

    const std::string damaged(text(txtCatalogueDamaged, language));
    // Never read more than the table holds plus one byte, so an oversized file is
    // told apart without loading all of it.
    std::vector<char> bytes(kCatalogueFileMax + 1);
    std::size_t size = 0;
    if (!in.readInto(bytes.data(), bytes.size(), size))
        return cannotOpen;
    if (size > kCatalogueFileMax || size % sizeof(ChipRecord) != 0)
        return {CatalogueOutcome::Damaged, damaged};
    // Every chip up to the end record must be one the writer could have stored: random
    // bytes of a fitting size are not a catalogue.
    const auto *records = reinterpret_cast<const ChipRecord *>(bytes.data());
    for (std::size_t i = 0; i < size / sizeof(ChipRecord) && !records[i].isEnd(); ++i)
        if (!isStorableRecord(records[i]))
            return {CatalogueOutcome::Damaged, damaged};

    std::memcpy(m_slots.data(), bytes.data(), size);
    // Slots past the file are cleared, so a shorter file without an end record never
    // shows chips left over from an earlier read.
    std::memset(reinterpret_cast<char *>(m_slots.data()) + size, 0, sizeof m_slots - size);
    return {CatalogueOutcome::Read, {}};
}

std::variant<ChipRecord, RowProblem> recordFor(const GridRow &row, int language) {
    ChipRecord rec;
    std::memset(&rec, 0, sizeof rec);

    // The name text, and the first of its three cells that cannot be stored or at which
    // it passes the field.
    const std::string joined = std::string(trimBlanks(row[0])) + "," +
                               std::string(trimBlanks(row[1])) + "," +
                               std::string(trimBlanks(row[2]));
    std::string gbk;
    for (int c = 0; c < 3; ++c) {
        // The name text separates its parts with commas and ends at a zero byte, and the
        // main window's lists split it at blanks and control characters too: any of
        // them inside a part, or a quote, would list as another chip than the editor
        // shows, or as none. The first such byte of the part is named.
        const std::string_view cell = trimBlanks(row[static_cast<std::size_t>(c)]);
        for (const char ch : cell)
            if (const auto what = unlistableByte(ch))
                return RowProblem{
                    c, textWith(txtNameCannotHold, language, {joined, text(*what, language)})};
        const auto part = utf8ToGbk(cell);
        if (!part)
            return RowProblem{c, textWith(txtNameNotStorable, language, {joined})};
        gbk += (c ? "," : "") + *part;
        if (gbk.size() > kNameTextMax)
            return RowProblem{
                c, textWith(txtNameTooLong, language, {joined, std::to_string(kNameTextMax)})};
    }
    std::memcpy(rec.nameText, gbk.c_str(), gbk.size() + 1);

    std::int64_t v[kGridColumns] = {};
    for (int c = 3; c < kGridColumns; ++c) {
        const std::string &cell = row[static_cast<std::size_t>(c)];
        const auto value = parseInteger(cell);
        if (!value)
            return RowProblem{c, notAnIntegerMessage(cell), true};
        if (*value < 0 || *value > kWidths[c].most)
            return RowProblem{
                c, textWith(kWidths[c].bound, language, {cell, std::to_string(kWidths[c].most)})};
        v[c] = *value;
        if (auto unlisted = unlistedValue(c, v, cell, language))
            return RowProblem{c, std::move(*unlisted)};
    }
    rec.chipId = static_cast<std::uint32_t>(v[3]);
    rec.capacity = static_cast<std::uint32_t>(v[4]);
    rec.flashPage = static_cast<std::uint16_t>(v[5]);
    rec.family = static_cast<std::uint8_t>(v[6]);
    rec.algorithm = static_cast<std::uint8_t>(v[7]);
    rec.delay = static_cast<std::uint16_t>(v[8]);
    rec.voltage = static_cast<std::uint8_t>(v[9]);
    rec.eepromSize = static_cast<std::uint16_t>(v[10]);
    rec.eepromPage = static_cast<std::uint8_t>(v[11]);
    rec.association = static_cast<std::uint16_t>(v[12]);
    return rec;
}

bool isStorableRecord(const ChipRecord &record) {
    const auto again = recordFor(gridRowFor(record));
    const auto *stored = std::get_if<ChipRecord>(&again);
    // The fields after the name text: chipId up to voltage, back to back.
    constexpr std::size_t kFields = sizeof(ChipRecord) - offsetof(ChipRecord, chipId);
    return stored && stored->storedName() == record.storedName() &&
           std::memcmp(&stored->chipId, &record.chipId, kFields) == 0;
}

CatalogueResult Catalogue::save(const std::vector<GridRow> &rows, const std::string &path,
                                int language) {
    if (rows.size() >= static_cast<std::size_t>(kCatalogueSlots))
        return {CatalogueOutcome::BadCell,
                textWith(txtCatalogueFull, language, {std::to_string(kCatalogueSlots - 1)})};

    auto table = m_slots;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        auto record = recordFor(rows[r], language);
        if (const auto *problem = std::get_if<RowProblem>(&record)) {
            // The conversion error reads as the toolkit's own; the others say where.
            if (problem->notAnInteger)
                return {CatalogueOutcome::BadCell, problem->what};
            const FieldWidth &column = kWidths[problem->column];
            return {CatalogueOutcome::BadCell,
                    textWith(txtRowProblem, language,
                             {std::to_string(r + 1), language == 2 ? column.name : column.title,
                              problem->what})};
        }
        table[r] = std::get<ChipRecord>(record);
    }
    // The end record and every slot after it are cleared, so no record of the old
    // table is left behind where a search of all slots could still find it.
    std::memset(reinterpret_cast<char *>(&table[rows.size()]), 0,
                (table.size() - rows.size()) * sizeof(ChipRecord));
    m_slots = table;

    const std::size_t bytes = (rows.size() + 1) * sizeof(ChipRecord);
    if (!writeFileAtomically(path, {reinterpret_cast<const char *>(m_slots.data()), bytes}))
        return {CatalogueOutcome::CannotCreate, withPath("Cannot create file %s", path)};
    return {CatalogueOutcome::Written, {}};
}

int Catalogue::chipCount() const {
    int n = 0;
    while (n < kCatalogueSlots && !m_slots[static_cast<std::size_t>(n)].isEnd())
        ++n;
    return n;
}

std::vector<int> Catalogue::slotsWithChipId(std::uint32_t id) const {
    std::vector<int> slots;
    if (!isKnownChipId(id))
        return slots;
    for (int index = 0; index < chipCount(); ++index)
        if (slot(index).chipId == id)
            slots.push_back(index);
    return slots;
}

std::string Catalogue::name(int index) const {
    return gbkToUtf8(slot(index).storedName());
}

GridRow gridRowFor(const ChipRecord &record) {
    const NameParts parts = splitForEditor(gbkToUtf8(record.storedName()));
    const std::string id = "0x" + hexText(record.chipId);
    auto dec = [](unsigned v) { return std::to_string(v); };
    return {parts.type,
            parts.maker,
            parts.model,
            id,
            dec(record.capacity),
            dec(record.flashPage),
            dec(record.family),
            dec(record.algorithm),
            dec(record.delay),
            dec(record.voltage),
            dec(record.eepromSize),
            dec(record.eepromPage),
            dec(record.association)};
}

std::string cataloguePathFor(const std::string &executable) {
    const auto slash = executable.find_last_of('/');
    const auto dot = executable.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? executable.substr(0, dot) : executable) + ".Dat";
}

} // namespace korvat
