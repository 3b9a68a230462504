#pragma once
// The chip commands of korvat-cli: erase, blank, read, write, verify and auto, with the
// window's engines and rules, on the chip --chip names.

#include "Commands.h"

#include <string>

namespace korvat::cli {

struct ChipArgs {
    std::string command; // erase, blank, read, write, verify, auto
    std::string chip;    // --chip: MODEL or TYPE/MAKER/MODEL
    bool detect = false; // --detect: the chip the programmer finds (--chip picks among
                         // records that share its ID)
    std::string file;    // read: where to; write, verify, auto: what
    std::string range;   // --range START:END, hexadecimal, as the window's address range
    bool force = false;  // read: replace an existing file
    bool noErase = false, noVerify = false; // auto
};

int chipCommand(const Options &options, const ChipArgs &args);

// korvat-cli detect: the type code, the ID, and every catalogue chip with that ID.
int detectCommand(const Options &options);

} // namespace korvat::cli
