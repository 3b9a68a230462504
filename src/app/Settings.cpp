#include "Settings.h"

#include "base/TextTable.h"
#include "base/IntegerText.h"

#include <algorithm>
#include <climits>

namespace korvat {
namespace {

// The key's value when it is there and an integer that fits; else the default.
int readInt(SettingsStore &store, std::string_view key, int fallback) {
    const auto text = store.read(key);
    if (!text)
        return fallback;
    const auto value = parseInteger(*text);
    if (!value || *value < INT_MIN || *value > INT_MAX)
        return fallback;
    return static_cast<int>(*value);
}

} // namespace

Settings readSettings(SettingsStore &store) {
    Settings s;
    s.formMax = readInt(store, "Environment/FormMax", 0) != 0;
    if (!s.formMax) {
        WindowPlacement &p = s.placement;
        p.top = readInt(store, "Environment/FormTop", p.top);
        p.left = readInt(store, "Environment/FormLeft", p.left);
        p.height = readInt(store, "Environment/FormHeight", p.height);
        p.width = readInt(store, "Environment/FormWidth", p.width);
    }
    // Positions and language come from a file a person may have edited.
    const char *indexKeys[3] = {"CHIP/INDEX1", "CHIP/INDEX2", "CHIP/INDEX3"};
    for (std::size_t i = 0; i < 3; ++i)
        s.positions[i] = std::max(0, readInt(store, indexKeys[i], 0));
    s.chipEditor = readInt(store, "DEVICE/chip", 0) != 0;
    s.speed = readInt(store, "DEVICE/SPEED", 0);
    const int language = readInt(store, "DEVICE/LANGU", 0);
    s.language = language >= 0 && language < kLanguageCount ? language : 0;
    s.lastFolder = store.read("Environment/LastFolder").value_or("");
    return s;
}

std::optional<std::string> writeSettings(SettingsStore &store, const std::array<int, 3> &positions,
                                         int speed, int language, std::string_view lastFolder) {
    const std::pair<std::string_view, int> values[] = {{"CHIP/INDEX1", positions[0]},
                                                       {"CHIP/INDEX2", positions[1]},
                                                       {"CHIP/INDEX3", positions[2]},
                                                       {"DEVICE/SPEED", speed},
                                                       {"DEVICE/LANGU", language}};
    for (const auto &[key, value] : values)
        if (!store.write(key, value))
            return "Unable to write to " + store.location();
    if (!lastFolder.empty() && !store.writeText("Environment/LastFolder", lastFolder))
        return "Unable to write to " + store.location();
    return std::nullopt;
}

} // namespace korvat
