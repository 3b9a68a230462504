#include "app/Settings.h"
#include "app/StartLanguage.h"

#include <gtest/gtest.h>
#include <map>
#include <vector>

using namespace korvat;

namespace {

// Keeps values in a map, records the keys asked for and written, and can refuse to
// write from a given key on, as a full disk or a read-only file would.
struct MapStore : SettingsStore {
    std::map<std::string, std::string, std::less<>> values;
    std::vector<std::string> reads, writes;
    std::string failFrom; // the first key that cannot be written

    std::optional<std::string> read(std::string_view key) override {
        reads.emplace_back(key);
        const auto it = values.find(key);
        return it == values.end() ? std::nullopt : std::optional(it->second);
    }
    bool write(std::string_view key, int value) override {
        return writeText(key, std::to_string(value));
    }
    bool writeText(std::string_view key, std::string_view value) override {
        if (key == failFrom) {
            writes.emplace_back("!");
            return false;
        }
        writes.emplace_back(key);
        values[std::string(key)] = value;
        return true;
    }
    std::string location() const override { return "/home/user/korvat.ini"; }
};

using Keys = std::vector<std::string>;

} // namespace

TEST(Settings, DefaultsWithoutAFile) {
    MapStore store;
    const Settings s = readSettings(store);
    EXPECT_FALSE(s.formMax);
    EXPECT_EQ(s.placement.top, 10);
    EXPECT_EQ(s.placement.left, 10);
    EXPECT_EQ(s.placement.height, 500);
    EXPECT_EQ(s.placement.width, 700);
    EXPECT_EQ(s.positions, (std::array<int, 3>{0, 0, 0}));
    EXPECT_FALSE(s.chipEditor);
    EXPECT_EQ(s.speed, 0);
    EXPECT_EQ(s.language, 0);
    EXPECT_EQ(store.reads,
              (Keys{"Environment/FormMax", "Environment/FormTop", "Environment/FormLeft",
                    "Environment/FormHeight", "Environment/FormWidth", "CHIP/INDEX1", "CHIP/INDEX2",
                    "CHIP/INDEX3", "DEVICE/chip", "DEVICE/SPEED", "DEVICE/LANGU",
                    "Environment/LastFolder"}));
    EXPECT_EQ(s.lastFolder, "");
}

TEST(Settings, MaximisedWindowSkipsThePlacement) {
    MapStore store;
    store.values = {{"Environment/FormMax", "7"}, {"Environment/FormWidth", "300"},
                    {"DEVICE/chip", "1"},         {"DEVICE/SPEED", "258"},
                    {"DEVICE/LANGU", "2"},        {"CHIP/INDEX2", "5"}};
    const Settings s = readSettings(store);
    EXPECT_TRUE(s.formMax); // any non-zero integer
    EXPECT_EQ(s.placement.width, 700);
    EXPECT_EQ(store.reads.size(), 8u);
    EXPECT_EQ(store.reads[1], "CHIP/INDEX1");
    EXPECT_TRUE(s.chipEditor);
    EXPECT_EQ(s.speed, 258);
    EXPECT_EQ(s.language, 2);
    EXPECT_EQ(s.positions[1], 5);
}

TEST(Settings, EditedValuesAreClampedOrIgnored) {
    MapStore store;
    store.values = {{"CHIP/INDEX1", "-4"},          {"CHIP/INDEX3", "7x"},
                    {"DEVICE/LANGU", "9"},          {"Environment/FormHeight", "wide"},
                    {"Environment/FormTop", " 40"}, {"DEVICE/SPEED", "99999999999"}};
    Settings s = readSettings(store);
    EXPECT_EQ(s.positions, (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(s.language, 0);
    EXPECT_EQ(s.placement.height, 500); // not a number: the default
    EXPECT_EQ(s.placement.top, 40);
    EXPECT_EQ(s.speed, 0); // does not fit
    store.values["DEVICE/LANGU"] = "-1";
    EXPECT_EQ(readSettings(store).language, 0);
    store.values["DEVICE/LANGU"] = "1";
    EXPECT_EQ(readSettings(store).language, 1);
}

TEST(Settings, WrittenInOrderWithoutGeometry) {
    MapStore store;
    EXPECT_EQ(writeSettings(store, {1, 2, 3}, 4, 2), std::nullopt);
    EXPECT_EQ(store.writes,
              (Keys{"CHIP/INDEX1", "CHIP/INDEX2", "CHIP/INDEX3", "DEVICE/SPEED", "DEVICE/LANGU"}));
    EXPECT_EQ(store.values["CHIP/INDEX3"], "3");
    EXPECT_EQ(store.values["DEVICE/LANGU"], "2");
}

TEST(Settings, FirstValueThatCannotBeWrittenStopsTheRest) {
    MapStore store;
    store.failFrom = "CHIP/INDEX3";
    EXPECT_EQ(writeSettings(store, {1, 2, 3}, 4, 2),
              std::optional<std::string>("Unable to write to /home/user/korvat.ini"));
    EXPECT_EQ(store.writes, (Keys{"CHIP/INDEX1", "CHIP/INDEX2", "!"}));
    EXPECT_FALSE(store.values.contains("DEVICE/LANGU"));
}

TEST(Settings, LastFolderIsKeptOnceADialogWasUsed) {
    MapStore store;
    store.values["Environment/LastFolder"] = "/home/user/图片 images";
    EXPECT_EQ(readSettings(store).lastFolder, "/home/user/图片 images");

    MapStore fresh;
    EXPECT_EQ(writeSettings(fresh, {1, 2, 3}, 4, 2, "/srv/images"), std::nullopt);
    EXPECT_EQ(fresh.writes.back(), "Environment/LastFolder");
    EXPECT_EQ(fresh.values["Environment/LastFolder"], "/srv/images");
    fresh.failFrom = "Environment/LastFolder";
    EXPECT_EQ(writeSettings(fresh, {1, 2, 3}, 4, 2, "/srv"),
              std::optional<std::string>("Unable to write to /home/user/korvat.ini"));
}

// The start-up's language: the saved one when the fonts draw its captions, else English;
// English itself is not asked about.
TEST(StartLanguage, EnglishWhenNoFontDrawsTheSavedLanguage) {
    std::vector<std::string> asked;
    const auto none = [&](std::string_view sample) {
        asked.emplace_back(sample);
        return false;
    };
    EXPECT_EQ(startLanguage(0, none), 2);
    EXPECT_EQ(startLanguage(1, [](std::string_view) { return true; }), 1);
    EXPECT_EQ(startLanguage(2, none), 2);
    ASSERT_EQ(asked.size(), 1u);
    // The Simplified Chinese menus name Traditional Chinese in its own characters.
    EXPECT_NE(asked[0].find("Korvat 2高速编程器"), std::string::npos);
    EXPECT_NE(asked[0].find("繁體"), std::string::npos);
    EXPECT_EQ(languageSample(2).find("中"), std::string::npos);
}
