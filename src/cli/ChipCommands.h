#pragma once
// The chip commands of korvat-cli: erase, blank, read, write, verify and auto, with the
// window's engines and rules, on the chip --chip names.

#include "Commands.h"
#include "buffers/BufferView.h"
#include "buffers/Buffers.h"
#include "buffers/FileCommands.h"
#include "ops/BatchRecord.h"

#include <optional>
#include <string>

namespace korvat {
class OperationHost;
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
    bool ignoreId = false; // --ignore-id: go on when the socket holds another chip
    bool noErase = false, noVerify = false; // auto
    bool fileBytes = false; // verify, auto: compare only the addresses the file holds
    bool dryRun = false;    // --dry-run: check everything, print what would be done
};

int chipCommand(const Options &options, const ChipArgs &args);

// What a failed operation exits with: by the step that failed.
int exitCodeOf(const PassOutcome &outcome);

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

// The buffers as selecting the chip in the window leaves them, and the image a command
// writes loaded into them as Open does onto the FLASH tab.
class ChipBuffers {
public:
    ChipBuffers(const ChipRecord &chip, OperationHost &host, Console &console, const int &language);
    // False, with the message shown, when the file could not be read whole or holds
    // nothing.
    bool load(const std::string &path);

    Buffers buffers;
    NoView view;

private:
    const ChipRecord &m_chip;
    Console &m_console;
    NoChooser m_chooser;
    FileCommands m_files;
};

} // namespace korvat::cli
