#pragma once
// The open and save dialogs as the core asks for them: the window shows Qt's, korvat-cli
// and the tests answer from a script.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace korvat {

// What a file dialog is asked to show.
struct FileChoice {
    std::vector<std::string> filters;
    std::size_t selected = 0;  // the filter selected when it opens
    std::string defaultSuffix; // added to a name typed without an extension
    std::string folder;        // where it starts
};

// The open and save dialogs. The save dialog asks nothing about an existing file.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen path, or nothing when the person cancelled.
    virtual std::optional<std::string> chooseOpen(const FileChoice &choice) = 0;
    virtual std::optional<std::string> chooseSave(const FileChoice &choice) = 0;
};

} // namespace korvat
