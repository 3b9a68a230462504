#include "ChipCommands.h"

#include "ConsoleHost.h"
#include "Programmers.h"
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

std::string listed(const std::vector<std::string> &names) {
    std::string list;
    for (const std::string &n : names)
        list += "\n  " + n;
    return list;
}

// The records that carry the chip ID, as full names.
std::vector<CatalogueChip> chipsWithId(const Catalogue &catalogue, std::uint32_t id) {
    std::vector<CatalogueChip> found;
    for (int i = 0; i < catalogue.chipCount(); ++i)
        if (catalogue.slot(i).chipId == id)
            found.push_back({i, splitForSelection(catalogue.name(i))});
    return found;
}

// The detection exchange with the parameters of a chip the programmer can ask: the one
// --chip names, else the catalogue's first.
ChipIdentity readIdentity(Connection &connection, const Catalogue &catalogue,
                          std::optional<int> slot) {
    return connection.readChipIdentity(catalogue.slot(slot.value_or(0)), 0);
}

// What a failed detection exits with; the message is shown.
int detectionFailure(const ChipIdentity &id, Console &console) {
    if (!id.answered()) {
        console.showError(id.reach == ChipIdentity::Reach::LinkFailed
                              ? "the chip ID could not be read"
                              : "the programmer is not connected");
        return id.reach == ChipIdentity::Reach::LinkFailed ? kTransferError : kNoProgrammer;
    }
    console.showError(id.typeCode() == 0 ? "no chip in the socket"
                                         : "the chip in the socket has no ID to tell it by; "
                                           "name it with --chip");
    return kChipProblem;
}

} // namespace

// The chip a command runs on: the one --chip names, or the one --detect finds (which
// --chip may pick among records that share the ID).
std::optional<int> chooseSlot(const ChipArgs &args, const Catalogue &catalogue,
                              Connection &connection, Console &console, int &exitCode) {
    exitCode = kChipProblem;
    std::optional<int> named;
    if (!args.chip.empty()) {
        const ChipChoice choice = chooseChip(catalogue, args.chip);
        if (!choice.slot && !args.detect) {
            console.showError(choice.candidates.empty()
                                  ? "unknown chip " + args.chip
                                  : "chip " + args.chip + " could be:" + listed(choice.candidates));
            return std::nullopt;
        }
        named = choice.slot;
    }
    if (!args.detect) {
        if (!named) {
            console.showError("--chip or --detect names the chip in the socket");
            exitCode = kUsage;
        }
        return named;
    }
    const ChipIdentity id = readIdentity(connection, catalogue, named);
    if (!id.answered() || id.typeCode() != 1) {
        exitCode = detectionFailure(id, console);
        return std::nullopt;
    }
    const auto found = chipsWithId(catalogue, id.chipId());
    std::vector<std::string> names;
    for (const CatalogueChip &c : found) {
        if (named && c.slot == *named)
            return named;
        names.push_back(fullChipName(c.name));
    }
    if (found.size() == 1 && !named)
        return found.front().slot;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(id.chipId()));
    console.showError(found.empty() ? std::string("no catalogue chip has the ID ") + hex
                                    : std::string("chips with the ID ") + hex +
                                          (named ? " (not " + args.chip + ")" : "") + ":" +
                                          listed(names) + "\nname one with --chip");
    return std::nullopt;
}

std::optional<int> chooseProgrammerAndChip(const Options &options, const ChipArgs &args,
                                           const Catalogue &catalogue, TUsbBulk &usb,
                                           Connection &connection, OperationHost &host,
                                           Console &console, int &exitCode) {
    if ((exitCode = selectProgrammer(options, usb, host, console)) != kSuccess)
        return std::nullopt;
    return chooseSlot(args, catalogue, connection, console, exitCode);
}

bool loadImage(FileCommands &files, const std::string &path, const ChipRecord &chip,
               Buffers &buffers, Console &console) {
    const std::size_t before = console.messages().size();
    // The window keeps what a failed load left in the buffer; a command must not write it.
    if (!files.openPath(path, BufferTab::Flash, chip) || console.messages().size() != before)
        return false;
    if (buffers.loadedLength <= 0) {
        console.showError(path + ": the file holds nothing");
        return false;
    }
    return true;
}

int detectCommand(const Options &options) {
    Console console(options.quiet);
    ConsoleHost host(options.quiet, options.json);
    const auto catalogue = loadCatalogue(options, console);
    if (!catalogue)
        return kFileError;
    TUsbBulk usb(UsbApi::load());
    if (const int refused = selectProgrammer(options, usb, host, console))
        return refused;
    Connection connection(usb, host, options.language);
    const ChipIdentity id = readIdentity(connection, *catalogue, std::nullopt);
    if (!id.answered())
        return detectionFailure(id, console);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(id.chipId()));
    const auto found =
        id.typeCode() == 1 ? chipsWithId(*catalogue, id.chipId()) : std::vector<CatalogueChip>{};
    if (options.json) {
        std::printf("{\"command\":\"detect\",\"type\":%d,\"id\":\"%s\",\"chips\":[", id.typeCode(),
                    hex);
        for (std::size_t i = 0; i < found.size(); ++i)
            std::printf("%s%s", i ? "," : "", jsonString(fullChipName(found[i].name)).c_str());
        std::printf("]}\n");
    } else {
        std::printf("type %d id %s\n", id.typeCode(), hex);
        for (const CatalogueChip &c : found)
            std::printf("%s\n", fullChipName(c.name).c_str());
    }
    return id.typeCode() == 0 ? kChipProblem : kSuccess;
}

int chipCommand(const Options &options, const ChipArgs &args) {
    Console console(options.quiet);
    ConsoleHost host(options.quiet, options.json);
    const auto catalogue = loadCatalogue(options, console);
    if (!catalogue)
        return kFileError;
    const int language = options.language;
    TUsbBulk usb(UsbApi::load());
    Connection connection(usb, host, language);
    int refused = kChipProblem;
    const auto slot =
        chooseProgrammerAndChip(options, args, *catalogue, usb, connection, host, console, refused);
    if (!slot)
        return refused;
    const ChipRecord &chip = catalogue->slot(*slot);
    const std::string chipName = fullChipName(splitForSelection(catalogue->name(*slot)));
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
    Engine engine(usb, connection, host, buffers, language);
    FileCommands files(buffers, view, view, host, console, console, chooser, language);
    const auto operation = operationOf(args.command);
    if (operation != Operation::Erase && operation != Operation::BlankCheck &&
        operation != Operation::Read && !loadImage(files, args.file, chip, buffers, console))
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
