#pragma once
// The commands of korvat-cli over the core, each returning its exit code.

#include "Console.h"
#include "ExitCodes.h"
#include "catalogue/Catalogue.h"

#include <cstdint>
#include <optional>
#include <string>

namespace korvat::cli {

// What every command is given from the global options.
struct Options {
    std::string catalogue; // the catalogue file; empty: where the window keeps it
    int language = 2;      // 0 Simplified Chinese, 1 Traditional Chinese, 2 English
    bool quiet = false;
    bool json = false;
    std::string device; // --device: the programmer's serial number
};

// The catalogue file the options name, or the window's.
std::string cataloguePath(const Options &options);

// The chip catalogue of the options; its own message when it cannot be read.
std::optional<Catalogue> loadCatalogue(const Options &options, Console &console);

// Which catalogue chips korvat-cli list prints: those that match every part given.
struct ChipFilter {
    std::string text;                // part of the whole name, letter case aside
    std::string type, maker;         // the whole type or maker, letter case aside
    std::optional<std::uint32_t> id; // the chip ID
};

// korvat-cli list [TEXT] [--type T] [--maker M] [--id HEX]
int listChips(const Options &options, const ChipFilter &filter);

// korvat-cli catalogue merge: adds the installed default's chips that the user's catalogue
// (or the --catalogue file) lacks, and prints what it added.
int mergeCatalogueCommand(const Options &options);

// korvat-cli convert: see ImageFiles.h.

} // namespace korvat::cli
