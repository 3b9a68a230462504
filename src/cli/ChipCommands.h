#pragma once
// The chip commands of korvat-cli: erase, blank, read, write, verify and auto, with the
// window's engines and rules, on the chip --chip names.

#include "Commands.h"
#include "buffers/BufferView.h"
#include "buffers/FileCommands.h"

#include <optional>
#include <string>

namespace korvat {
class Buffers;
class Connection;
class OperationHost;
class TUsbBulk;
struct ChipRecord;
} // namespace korvat

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

// The chip a command runs on: the one --chip names, or the one --detect finds (which
// --chip may pick among records that share the ID). Nothing, with the message shown and
// the exit code set, when there is none.
std::optional<int> chooseSlot(const ChipArgs &args, const Catalogue &catalogue,
                              Connection &connection, Console &console, int &exitCode);

// The programmer (selectProgrammer) and then the chip (chooseSlot) a command runs on.
std::optional<int> chooseProgrammerAndChip(const Options &options, const ChipArgs &args,
                                           const Catalogue &catalogue, TUsbBulk &usb,
                                           Connection &connection, OperationHost &host,
                                           Console &console, int &exitCode);

// Loads the image a command writes, as Open does onto the FLASH tab. False, with the
// message shown, when the file could not be read whole or holds nothing.
bool loadImage(FileCommands &files, const std::string &path, const ChipRecord &chip,
               Buffers &buffers, Console &console);

// The command line has no hex views: the buffer is the only copy.
class NoView : public BufferView {
public:
    void load(std::span<const std::uint8_t>) override {}
    bool modified() const override { return false; }
    void setModified(bool) override {}
    std::size_t dataSize() const override { return 0; }
    void copyOut(std::span<std::uint8_t>) const override {}
};

// Files are named on the command line, never chosen.
class NoChooser : public FileChooser {
public:
    std::optional<std::string> chooseOpen(const FileChoice &) override { return std::nullopt; }
    std::optional<std::string> chooseSave(const FileChoice &) override { return std::nullopt; }
};

// korvat-cli detect: the type code, the ID, and every catalogue chip with that ID.
int detectCommand(const Options &options);

} // namespace korvat::cli
