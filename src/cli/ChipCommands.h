#pragma once
// The chip commands of korvat-cli: erase, blank, read, write, verify and auto, with the
// window's engines and rules, on the chip --chip names.

#include "Commands.h"
#include "ImageFiles.h"
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
    std::string command;   // erase, blank, read, write, verify, auto
    std::string chip;      // --chip: MODEL or TYPE/MAKER/MODEL
    bool detect = false;   // --detect: the chip the programmer finds (--chip picks among
                           // records that share its ID)
    std::string file;      // read: where to; write, verify, auto: what; "-": standard output, input
    std::string range;     // --range START:END, hexadecimal, as the window's address range
    bool force = false;    // read: replace FILE; the others: take a FILE longer than the chip
    bool ignoreId = false; // --ignore-id: go on when the socket holds another chip
    bool noErase = false, noVerify = false; // auto
    std::string format;     // --format raw, ihex or srec, in place of FILE's extension
    bool fileBytes = false; // --file-bytes (verify, auto): compare only the addresses FILE holds
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
    // Loads args.file (standard input for "-") in the --format kind, a file longer than
    // the chip only with --force. False, with the message shown, when the file could not
    // be read whole or holds nothing (ImageFiles.cpp).
    bool load(const ChipArgs &args);
    // The chip addresses the file loaded holds: for an Intel HEX or S-record file those
    // its data records wrote, sorted and merged, [start, end), inside the chip; empty for
    // a raw file.
    const std::vector<Bounds> &held() const { return m_files.flashHeld(); }

    Buffers buffers;
    NoView view;

private:
    const ChipRecord &m_chip;
    OperationHost &m_host;
    Console &m_console;
    NoChooser m_chooser;
    FileNaming m_naming;     // the file's messages, named
    LongFileAnswer m_answer; // --force
    FileCommands m_files;
};

} // namespace korvat::cli
