// The catalogue shipped with the application, as the build generates it.
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueCsv.h"
#include "catalogue/Family.h"
#include "catalogue/NameText.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>

using namespace korvat;

namespace {

class DefaultCatalogue : public ::testing::Test {
protected:
    Catalogue cat;
    CatalogueCsv csv;

    void SetUp() override {
        ASSERT_EQ(cat.load(KORVAT_CATALOGUE_FILE, 0).outcome, CatalogueOutcome::Read);
        std::ifstream in(KORVAT_CATALOGUE_SOURCE, std::ios::binary);
        csv = parseCatalogueCsv(
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
        ASSERT_EQ(csv.error, "");
    }
    std::string modelOfFirst(std::uint32_t id) const {
        for (int i = 0; i < kCatalogueSlots; ++i)
            if (cat.slot(i).chipId == id)
                return splitForSelection(cat.name(i)).model;
        return {};
    }
};

bool powerOfTwo(unsigned v) {
    return v != 0 && (v & (v - 1)) == 0;
}

} // namespace

TEST_F(DefaultCatalogue, FileHoldsTheSourceExactly) {
    ASSERT_EQ(cat.chipCount(), static_cast<int>(csv.rows.size()));
    EXPECT_GT(cat.chipCount(), 600);
    EXPECT_LE(cat.chipCount(), kCatalogueSlots - 1);
    for (int i = 0; i < cat.chipCount(); ++i)
        EXPECT_EQ(gridRowFor(cat.slot(i)), csv.rows[static_cast<std::size_t>(i)])
            << "row " << i + 2;
}

TEST_F(DefaultCatalogue, TypesFirstAppearInFamilyOrder) {
    std::vector<std::string> types;
    for (int i = 0; i < cat.chipCount(); ++i) {
        const std::string type = splitForSelection(cat.name(i)).type;
        if (std::find(types.begin(), types.end(), type) == types.end())
            types.push_back(type);
        // The list position of the type is the family code.
        EXPECT_EQ(std::find(types.begin(), types.end(), type) - types.begin(), cat.slot(i).family)
            << cat.name(i);
    }
    EXPECT_EQ(types.size(), 5u);
}

TEST_F(DefaultCatalogue, NamesAreSingleWordsAndUnique) {
    std::set<std::string> names;
    for (int i = 0; i < cat.chipCount(); ++i) {
        const std::string name = cat.name(i);
        const NameParts s = splitForSelection(name), e = splitForEditor(name);
        EXPECT_TRUE(!s.type.empty() && !s.maker.empty() && !s.model.empty()) << name;
        EXPECT_EQ(std::tie(s.type, s.maker, s.model), std::tie(e.type, e.maker, e.model)) << name;
        EXPECT_TRUE(names.insert(name).second) << "twice: " << name;
    }
}

TEST_F(DefaultCatalogue, FieldsFitTheirFamily) {
    for (int i = 0; i < cat.chipCount(); ++i) {
        const ChipRecord &r = cat.slot(i);
        const std::string name = cat.name(i);
        EXPECT_TRUE(powerOfTwo(r.flashPage) && r.flashPage <= 256) << name;
        EXPECT_GE(r.capacity, 64u) << name;
        EXPECT_LE(r.capacity, 64u << 20) << name;
        EXPECT_LE(r.voltage, 1) << name;
        EXPECT_GE(r.delay, 100) << name;
        EXPECT_EQ(r.association, 0) << name;
        bool codeListed = false;
        for (std::size_t k = 0; k < subtypeList(r.family).size(); ++k)
            codeListed |= algorithmForSubtype(r.family, static_cast<int>(k)) == r.algorithm;
        EXPECT_TRUE(codeListed) << name;
        switch (r.family) {
        case kFamily25Flash:
            EXPECT_NE(r.chipId >> 16, 0u) << name;
            EXPECT_LE(r.chipId, 0xFFFFFFu) << name;
            EXPECT_EQ((r.algorithm & kAlgorithmOver16M) != 0, r.capacity > 0x1000000) << name;
            // 125 polls per MiB, at least 100.
            EXPECT_EQ(r.delay, std::max<std::uint64_t>(100, (125ull * r.capacity + 0xFFFFF) >> 20))
                << name;
            break;
        case kFamily24Eeprom:
            EXPECT_EQ(r.algorithm, r.capacity >= 4096 ? 1 : 0) << name;
            break;
        case kFamily93Eeprom: {
            EXPECT_EQ(r.flashPage, r.algorithm >= 87 ? 2 : 1) << name; // x16 writes words
            // The part the sub-type names has the capacity; a 93C56 is addressed as a 93C66.
            const int part = r.algorithm >= 87 ? r.algorithm - 87 : r.algorithm - 7;
            const unsigned sizes[] = {128, 256, 512, 1024, 2048};
            EXPECT_TRUE(r.capacity == sizes[part] || (part == 2 && r.capacity == 256)) << name;
            break;
        }
        case kFamily95Eeprom: // 1 address byte up to 4 Kbit, 3 above 64 KiB
            EXPECT_EQ(r.algorithm, r.capacity <= 512 ? 0 : r.capacity <= 65536 ? 1 : 2) << name;
            break;
        case kFamilyAvr:
            EXPECT_EQ(r.chipId >> 16, 0x1Eu) << name;
            EXPECT_LE(r.eepromSize, 8192) << name;
            EXPECT_TRUE(powerOfTwo(r.eepromPage)) << name;
            break;
        default:
            break;
        }
        if (r.family != kFamilyAvr) {
            EXPECT_EQ(r.eepromSize, 0) << name;
            if (r.family != kFamily25Flash) {
                EXPECT_EQ(r.chipId, 0u) << name;
            }
        }
    }
}

TEST_F(DefaultCatalogue, IdentificationFindsTheIntendedPartOfASharedId) {
    EXPECT_EQ(modelOfFirst(0xEF4017), "W25Q64FV");
    EXPECT_EQ(modelOfFirst(0xC84018), "GD25Q128C");
    EXPECT_EQ(modelOfFirst(0xC22018), "MX25L12835F");
    EXPECT_EQ(modelOfFirst(0x204015), "XM25QH16C");
    EXPECT_EQ(modelOfFirst(0x1E9307), "ATmega8");
    // A 3.3 V and a 1.8 V part share this ID: the 1.8 V one is found, so no chip is
    // ever given a supply it cannot take.
    EXPECT_EQ(modelOfFirst(0x012018), "S25FS128S");
    EXPECT_EQ(modelOfFirst(0xEF4018), "W25Q128");
}
