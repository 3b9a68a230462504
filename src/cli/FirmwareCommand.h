#pragma once
// korvat-cli firmware: the window's firmware upgrade for scripts and production lines,
// confirmed on the command line instead of by a question.

#include "Commands.h"

#include <string>

namespace korvat::cli {

struct FirmwareArgs {
    std::string file; // the firmware file (.fwpk)
    bool yes = false; // --yes: the restart and the new firmware are wanted
};

int firmwareCommand(const Options &options, const FirmwareArgs &args);

} // namespace korvat::cli
