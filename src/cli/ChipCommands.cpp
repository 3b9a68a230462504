#include "ChipCommands.h"

#include "ConsoleHost.h"
#include "buffers/BufferView.h"
#include "buffers/Buffers.h"
#include "buffers/Checksum.h"
#include "buffers/FileCommands.h"
#include "buffers/FileIO.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ChipChoice.h"
#include "link/Connection.h"
#include "link/UsbApi.h"
#include "link/Usbbulk.h"
#include "ops/Engine.h"

#include <cstdio>
#include <filesystem>

namespace korvat::cli {
namespace {

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

std::optional<Operation> operationOf(const std::string &command) {
    if (command == "erase")
        return Operation::Erase;
    if (command == "blank")
        return Operation::BlankCheck;
    if (command == "read")
        return Operation::Read;
    if (command == "write")
        return Operation::Write;
    if (command == "verify")
        return Operation::Verify;
    return std::nullopt; // auto
}

int exitCodeOf(const PassOutcome &outcome, const std::string &command) {
    if (outcome.passed)
        return kSuccess;
    switch (outcome.failedStep) {
    case PassStep::NotConnected:
        return kNoProgrammer;
    case PassStep::Erase:
        return kEraseTimeout;
    case PassStep::Verify:
        return kMismatch;
    case PassStep::None:
        return command == "blank" ? kMismatch : kTransferError;
    default:
        return kTransferError;
    }
}

// The range as the window's two address edits take it: "START:END" in hexadecimal.
bool applyRange(const std::string &text, AddressRange &range, Console &console) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        console.showError("--range must read START:END (hexadecimal)");
        return false;
    }
    for (auto [part, address] : {std::pair{text.substr(0, colon), &range.start},
                                 std::pair{text.substr(colon + 1), &range.end}})
        if (const auto error = setAddressFromText(*address, part)) {
            console.showError(*error);
            return false;
        }
    range.enabled = true;
    return true;
}

void printJson(const std::string &command, const std::string &chip, const PassOutcome &outcome,
               const std::string &crc) {
    std::printf("{\"command\":\"%s\",\"chip\":%s,\"result\":\"%s\",\"failedAddress\":%s,"
                "\"crc32\":%s,\"seconds\":%.3f}\n",
                command.c_str(), jsonString(chip).c_str(), outcome.passed ? "ok" : "failed",
                outcome.failedAddress ? std::to_string(*outcome.failedAddress).c_str() : "null",
                crc.empty() ? "null" : jsonString(crc).c_str(), outcome.seconds);
}

} // namespace

int chipCommand(const Options &options, const ChipArgs &args) {
    Console console(options.quiet);
    ConsoleHost host(options.quiet, options.json);
    const auto catalogue = loadCatalogue(options, console);
    if (!catalogue)
        return kFileError;
    if (args.chip.empty()) {
        console.showError("--chip names the chip in the socket");
        return kUsage;
    }
    const ChipChoice choice = chooseChip(*catalogue, args.chip);
    if (!choice.slot) {
        std::string list;
        for (const std::string &c : choice.candidates)
            list += "\n  " + c;
        console.showError(choice.candidates.empty() ? "unknown chip " + args.chip
                                                    : "chip " + args.chip + " could be:" + list);
        return kChipProblem;
    }
    const ChipRecord &chip = catalogue->slot(*choice.slot);
    const std::string chipName = fullChipName(splitForSelection(catalogue->name(*choice.slot)));
    if (args.command == "read" && !args.force && std::filesystem::exists(args.file)) {
        console.showError(args.file + " exists; --force replaces it");
        return kFileError;
    }

    Buffers buffers;
    NoView view;
    NoChooser chooser;
    const std::string end = buffers.resetForChip(chip, view, view);
    setAddressFromText(buffers.range.end, end);
    if (!args.range.empty() && !applyRange(args.range, buffers.range, console))
        return kUsage;
    const int language = options.language;
    TUsbBulk usb(UsbApi::load());
    Connection connection(usb, host, language);
    Engine engine(usb, connection, host, buffers, language);
    FileCommands files(buffers, view, view, host, console, console, chooser, language);
    const auto operation = operationOf(args.command);
    if (operation != Operation::Erase && operation != Operation::BlankCheck &&
        operation != Operation::Read && !files.openPath(args.file, BufferTab::Flash, chip))
        return kFileError;

    std::optional<PassOutcome> outcome;
    try {
        outcome = operation ? engine.run(*operation, chip, 0, view)
                            : engine.runAuto(chip, 0, view, {!args.noErase, true, !args.noVerify});
    } catch (const Interrupted &) {
        connection.endOperation(); // CMD_END and close before leaving
        console.showError("interrupted");
        return kInterrupted;
    }
    if (!outcome)
        return buffers.range.enabled ? kUsage : kFileError;
    std::string crc;
    if (outcome->passed && operation == Operation::Read) {
        struct Yes : Prompter {
            bool askYesNo(std::string_view) override { return true; }
        } yes;
        const auto count = std::min<std::size_t>(chip.capacity, buffers.flash().size());
        if (!saveFile(args.file, buffers.flash().first(count), yes, console, language))
            return kFileError;
    }
    if (operation == Operation::Read || operation == Operation::Write ||
        operation == Operation::Verify || !operation)
        crc = checksumText(buffers.flash(), buffers.loadedLength);
    if (options.json)
        printJson(args.command, chipName, *outcome, crc);
    return exitCodeOf(*outcome, args.command);
}

} // namespace korvat::cli
