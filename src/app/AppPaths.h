#pragma once
// Where the program keeps its chip catalogue and its settings. A portable copy (a build
// tree, or a folder the program was unpacked into) keeps both beside the executable,
// where korvat.Dat lies. An installed copy (bin/ beside share/korvat/korvat.Dat) keeps
// the user's catalogue in the XDG data folder, seeded from the installed default on
// first start, and the settings in the XDG config folder.

#include <string>

namespace korvat {

struct AppPaths {
    std::string catalogue;        // the catalogue the program reads and the editor saves
    std::string settings;         // the settings file; the production record sits beside it
    std::string defaultCatalogue; // the read-only catalogue an installed copy starts from
    bool installed = false;
};

// The paths for the executable in that folder. environment: getenv, replaceable in
// tests (XDG_DATA_HOME, XDG_CONFIG_HOME, HOME).
AppPaths appPaths(const std::string &executableFolder,
                  const char *(*environment)(const char *) = nullptr);

// An installed copy: makes the user's folders and copies the default catalogue into the
// data folder when the user has no catalogue yet, recording what it was seeded from
// (UserCatalogue.h). False when it could not; the program then reads the default
// catalogue itself.
bool seedUserCatalogue(const AppPaths &paths);

// The folder of the running executable.
std::string executableFolder();

} // namespace korvat
