#pragma once
// An installed copy's user catalogue beside the installed default it was seeded from.
// Next to the user's korvat.Dat, korvat.Dat.seed names (by CRC-32 and size) the installed
// catalogue the copy was last brought up to date with, and the copy as it was seeded: so
// a changed default replaces a copy the user never edited, and an edited copy is kept
// and the user told once. A damaged copy is set aside and the default seeded anew.

#include "AppPaths.h"
#include "catalogue/Catalogue.h"

#include <ctime>
#include <string>

namespace korvat {

// The seed file of a user catalogue: its path with ".seed" added.
std::string seedPathFor(const std::string &catalogue);

// Records that the user's catalogue was just seeded from the installed one.
bool noteSeeded(const AppPaths &paths);

enum class CatalogueUpdate {
    None,         // up to date, a portable copy, or nothing could be read
    Replaced,     // the unedited copy now holds the changed installed catalogue
    NewerDefault, // the installed catalogue changed; the user's edited copy was kept
};

// At start-up: seeds a missing user catalogue; when the installed catalogue changed,
// replaces (atomically) a copy that is still the unedited seed, or keeps an edited one
// and notes that the user has been told of the newer default, so it is told once.
CatalogueUpdate updateUserCatalogue(const AppPaths &paths);

// The catalogue an installed copy reads, found without writing anything (for commands
// that only read): the user's copy; the installed default while the user has none, or
// while the user's is the unedited seed of an older default.
std::string catalogueToRead(const AppPaths &paths);

// Records that the user's copy holds what the installed catalogue offers (after a
// merge); the copy still counts as edited.
bool noteMerged(const AppPaths &paths);

// Renames the damaged user catalogue to "<catalogue>.damaged-<YYYYmmdd-HHMMSS>" (local
// time) and seeds the installed default in its place. The new name, or empty when the
// file could not be renamed.
std::string setDamagedAside(const AppPaths &paths, std::time_t now);

// What the window's start-up makes of the catalogue.
struct CatalogueStart {
    CatalogueResult loaded; // the catalogue table's last load
    std::string error;      // for the error box; empty for none
    std::string logLine;    // for the activity log, without its time; empty for none
};

// Brings the user's catalogue up to date (updateUserCatalogue), loads it into the table
// and recovers a damaged one (setDamagedAside): the box then names both files. A
// portable copy's damaged catalogue is named in the box and kept.
CatalogueStart startCatalogue(Catalogue &catalogue, const AppPaths &paths, int language,
                              std::time_t now);

} // namespace korvat
