#pragma once
// --dry-run: what a chip command or a batch would do, printed in place of doing it, once
// the programmer, the chip, the file, the range and the serial numbers have been checked.

#include "Commands.h"
#include "buffers/Buffers.h"
#include "ops/SerialNumbers.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvat::cli {

struct DryRun {
    std::string command;              // erase, blank, read, write, verify, auto, batch
    std::string chip;                 // the chip's full name
    std::vector<std::string> steps;   // what runs on the chip, in order
    Bounds addresses{0, 0};           // the chip addresses the command covers
    std::optional<std::uint32_t> crc; // of the image bytes it writes or compares
    std::uint32_t imageBytes = 0;
    std::string file;                    // the file it reads or writes, if any
    std::uint64_t compared = 0;          // --file-bytes: the bytes of the file's own compared
    std::optional<Bounds> saved;         // read --range: what goes into the file
    std::optional<SerialNumbers> serial; // batch
    int count = 0;                       // batch: chips, 0 until Ctrl+C
    std::string record;                  // batch: the production record
};

// Prints the dry run (as one JSON object under --json) and returns its exit code, 0.
int printDryRun(const Options &options, const DryRun &run);

} // namespace korvat::cli
