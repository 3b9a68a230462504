#pragma once
// Which chip a command runs on: the one --chip names, or the one the programmer finds
// (--detect), and whether one sits in the socket at all.

#include "Commands.h"

#include <optional>
#include <string>

namespace korvat {
class Connection;
class OperationHost;
class TUsbBulk;
struct ChipRecord;
} // namespace korvat

namespace korvat::cli {

struct ChipArgs;

// The chip a command runs on: the one --chip names, or the one --detect finds (which
// --chip may pick among records that share the ID). Nothing, with the message shown and
// the exit code set, when there is none.
std::optional<int> chooseSlot(const ChipArgs &args, const Catalogue &catalogue,
                              Connection &connection, Console &console, int language,
                              int &exitCode);

// The programmer (selectProgrammer) and then the chip (chooseSlot) a command runs on.
std::optional<int> chooseProgrammerAndChip(const Options &options, const ChipArgs &args,
                                           const Catalogue &catalogue, TUsbBulk &usb,
                                           Connection &connection, OperationHost &host,
                                           Console &console, int &exitCode);

// Whether a chip sits in the socket (type codes 1 to 3), asked with the chip's
// parameters: kSuccess, or the message shown and kChipProblem for an empty socket, kNoProgrammer or
// kTransferError when the programmer could not be asked.
int chipPresent(Connection &connection, const ChipRecord &chip, Console &console, int language);

// korvat-cli detect: the type code, the ID, and every catalogue chip with that ID.
int detectCommand(const Options &options);

} // namespace korvat::cli
