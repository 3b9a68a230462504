#pragma once
// korvat-cli batch: the window's batch mode for a production line, with serial numbers
// written into each chip's image when asked.

#include "ChipCommands.h"
#include "ops/SerialNumbers.h"

#include <cstdint>
#include <optional>
#include <string>

namespace korvat::cli {

struct BatchArgs {
    ChipArgs chip;                       // --chip / --detect, and the image FILE
    std::string record;                  // --record: the production record file
    int count = 0;                       // --count: stop after this many chips; 0: Ctrl+C
    std::optional<SerialNumbers> serial; // --serial-at and the rest
};

int batchCommand(const Options &options, const BatchArgs &args);

} // namespace korvat::cli
