#pragma once
// Which programmer a command talks to: the only one attached, or the one --device names
// by the serial number it reports.

#include "Commands.h"
#include "link/FirmwareUpgrade.h"

#include <vector>

namespace korvat {
class OperationHost;
class TUsbBulk;
} // namespace korvat

namespace korvat::cli {

// The programmers attached, in the order the transport finds them, with what they
// report about themselves.
std::vector<HardwareInfo> attachedProgrammers(TUsbBulk &usb, OperationHost &host, Console &console,
                                              int language);

// Points the transport at the programmer --device names, or at the only one attached.
// Several without --device, or no programmer with that serial number: the message and
// kNoProgrammer. No programmer at all is left to the command, which reports it.
int selectProgrammer(const Options &options, TUsbBulk &usb, OperationHost &host, Console &console);

// korvat-cli devices
int listProgrammers(const Options &options);

} // namespace korvat::cli
