#pragma once
// Which chip a command runs on: the one --chip names, or the one the programmer finds
// (--detect). Whether that chip is the one in the socket the engine asks before the
// command starts.

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

// Whether the programmer selectProgrammer chose can be opened (nothing is sent to it):
// 0, or the exit code with the message shown.
int programmerReachable(TUsbBulk &usb, Connection &connection, Console &console, int language);

// korvat-cli detect: the type code, the ID, and every catalogue chip with that ID.
int detectCommand(const Options &options);

} // namespace korvat::cli
