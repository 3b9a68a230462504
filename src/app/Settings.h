#pragma once
// The settings file's rules: which keys there are, their defaults, the order in which
// they are read and written, which values are clamped, and the message when a value
// cannot be written. Where the values are kept is a store behind a small interface (an
// INI file in the application).

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace korvat {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text of a key ("Section/Key"), or nothing when it is absent.
    virtual std::optional<std::string> read(std::string_view key) = 0;
    // Stores one value and saves it; false when it could not be saved.
    virtual bool write(std::string_view key, int value) = 0;
    virtual bool writeText(std::string_view key, std::string_view value) = 0;
    // The file's path, for messages.
    virtual std::string location() const = 0;
};

struct WindowPlacement {
    int top = 10;
    int left = 10;
    int height = 500;
    int width = 700;
};

struct Settings {
    bool formMax = false;           // the window opens maximised; the placement is not used
    WindowPlacement placement;      // read only when formMax is false
    std::array<int, 3> positions{}; // family, maker and model list positions
    bool chipEditor = false;        // DEVICE/chip: the chip editor can be reached
    int speed = 0;
    int language = 0;
    std::string lastFolder; // where the open and save dialogs last were
};

// Reads the keys in their order: FormMax, then (only when it is false) FormTop,
// FormLeft, FormHeight and FormWidth, then INDEX1 to INDEX3, chip, SPEED, LANGU, and
// Environment/LastFolder. A
// missing key or one that is not an integer keeps its default; a negative position
// counts as 0 and a language outside 0 to 2 as 0 (Simplified Chinese).
Settings readSettings(SettingsStore &store);

// Writes INDEX1, INDEX2, INDEX3, SPEED and LANGU in that order, then LastFolder when
// a dialog has been used, and stops at the first that cannot be written: the message
// "Unable to write to <path>" then, else nothing.
std::optional<std::string> writeSettings(SettingsStore &store, const std::array<int, 3> &positions,
                                         int speed, int language, std::string_view lastFolder = {});

} // namespace korvat
