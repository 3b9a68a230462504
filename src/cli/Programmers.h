#pragma once
// Which programmer a command talks to: the only one attached, or the one --device names
// by the serial number it reports. The transport is then pinned to that programmer's
// place on the bus, so the command keeps to it while other processes claim theirs.

#include "Commands.h"
#include "link/FirmwareUpgrade.h"

#include <optional>
#include <string>
#include <vector>

namespace korvat {
class OperationHost;
class TUsbBulk;
} // namespace korvat

namespace korvat::cli {

struct AttachedProgrammer {
    std::string location;             // where it sits on the bus
    std::optional<HardwareInfo> info; // nothing when it did not answer GET_INFO
    bool busy = false;                // another program holds it
    bool noPermission = false;        // the user may not open it (its device node)
};

// The programmers on the bus, in the order the transport finds them, with what they
// report about themselves, then the devices with their ids that the user may not open.
// Leaves the transport unpinned.
std::vector<AttachedProgrammer> attachedProgrammers(TUsbBulk &usb, OperationHost &host,
                                                    Console &console, int language);

// Pins the transport to the programmer --device names, or to the only one attached.
// Several without --device, or no programmer with that serial number: the message and
// kNoProgrammer. No programmer at all is left to the command, which reports it.
int selectProgrammer(const Options &options, TUsbBulk &usb, OperationHost &host, Console &console);

// korvat-cli devices
int listProgrammers(const Options &options);

} // namespace korvat::cli
