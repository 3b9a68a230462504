#pragma once
// Where the program keeps its chip catalogue, its settings and the production record of
// batch mode. A portable copy (a build tree, or a folder the program was unpacked into)
// keeps them all beside the executable, where korvat.Dat lies. An installed copy (bin/
// beside share/korvat/korvat.Dat) keeps the user's catalogue in the XDG data folder,
// seeded from the installed default on first start, the settings in the XDG config
// folder and the record, which grows with every chip, in the XDG state folder.

#include <string>

namespace korvat {

struct AppPaths {
    std::string catalogue;        // the catalogue the program reads and the editor saves
    std::string settings;         // the settings file
    std::string defaultCatalogue; // the read-only catalogue an installed copy starts from
    bool installed = false;
    std::string record; // the production record; empty: beside the settings
};

// The paths for the executable in that folder. environment: getenv, replaceable in
// tests (XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_STATE_HOME, HOME).
AppPaths appPaths(const std::string &executableFolder,
                  const char *(*environment)(const char *) = nullptr);

// An installed copy: makes the user's folders and copies the default catalogue into the
// data folder when the user has no catalogue yet, recording what it was seeded from
// (UserCatalogue.h). False when it could not; the program then reads the default
// catalogue itself.
bool seedUserCatalogue(const AppPaths &paths);

// The production record to append to, its folder made (private, as the XDG folders
// are). An installed copy's record was kept beside the settings before it moved to the
// state folder: one found there, with none in the state folder yet, is moved over, so
// the record stays one file; where it cannot be moved it stays in use where it is.
std::string productionRecord(const AppPaths &paths);

// The folder of the running executable.
std::string executableFolder();

} // namespace korvat
