#include "ChipCommands.h"

#include "ChipChoosing.h"
#include "ConsoleHost.h"
#include "base/HexText.h"
#include "base/TextTable.h"
#include "buffers/Checksum.h"
#include "buffers/FileIO.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ChipChoice.h"
#include "link/CommandBlock.h"
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

// The range as the window's two address edits take it: "START:END" in hexadecimal.
std::optional<AddressRange> parseRange(const std::string &text, Console &console) {
    AddressRange range;
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        console.showError("--range must read START:END (hexadecimal)");
        return std::nullopt;
    }
    for (auto [part, address] : {std::pair{text.substr(0, colon), &range.start},
                                 std::pair{text.substr(colon + 1), &range.end}})
        if (const auto error = setAddressFromText(*address, part)) {
            console.showError(*error);
            return std::nullopt;
        }
    range.enabled = true;
    return range;
}

// What the JSON object of a chip command reports.
struct Report {
    std::string chip;                   // the chip's full name, once chosen
    std::string file;                   // the file the command reads or writes, if any
    std::optional<PassOutcome> outcome; // how the operation ended, once it ran
    // A read's: the CRC-32 of the bytes it saved, which --range makes a part of the chip.
    std::optional<std::uint32_t> savedCrc;
};

void printJson(const std::string &command, const Report &report, int exitCode) {
    const PassOutcome *o = report.outcome ? &*report.outcome : nullptr;
    // Another chip or none in the socket refuses the command before it starts.
    const bool started =
        o && o->failedStep != PassStep::WrongChip && o->failedStep != PassStep::NoChip;
    const auto crcValue = report.savedCrc ? report.savedCrc : o ? o->dataCrc : std::nullopt;
    const std::string crc = crcValue ? "\"" + hexText(*crcValue, 8) + "\"" : "null";
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", o ? o->seconds : 0.0);
    printJsonObject("{\"command\":" + jsonString(command) +
                    ",\"chip\":" + (report.chip.empty() ? "null" : jsonString(report.chip)) + "," +
                    jsonResult(exitCode, started) + ",\"failedAddress\":" +
                    (o && o->failedAddress ? std::to_string(*o->failedAddress) : "null") +
                    ",\"crc32\":" + crc + ",\"seconds\":" + seconds +
                    (report.file.empty() ? "" : "," + jsonName("file", report.file)) +
                    ",\"errors\":" + jsonErrors() + "}");
}

int runChipCommand(const Options &options, const ChipArgs &args, Console &console,
                   ConsoleHost &host, Report &report) {
    if (const auto problem = fileArgsProblem(args, options.json)) {
        console.showError(*problem);
        return kUsage;
    }
    const auto catalogue = loadCatalogue(options, console);
    if (!catalogue)
        return kFileError;
    const auto operation = operationOf(args.command);
    std::error_code unreadable; // a name that cannot be looked at is left to the save
    if (operation == Operation::Read && !args.force && !isStandardStream(args.file) &&
        std::filesystem::exists(args.file, unreadable)) {
        console.showError(args.file + " exists; --force replaces it");
        return kFileError;
    }
    std::optional<AddressRange> range;
    if (!args.range.empty() && !(range = parseRange(args.range, console)))
        return kUsage;

    const int language = options.language;
    TUsbBulk usb(UsbApi::load());
    Connection connection(usb, host, language);
    int refused = kChipProblem;
    const auto slot =
        chooseProgrammerAndChip(options, args, *catalogue, usb, connection, host, console, refused);
    if (!slot)
        return refused;
    const ChipRecord &chip = catalogue->slot(*slot);
    report.chip = fullChipName(splitForSelection(catalogue->name(*slot)));
    // A range the chip cannot hold is the command line's fault, not the file's.
    if (range) {
        if (const RangeOnChip on = rangeOnChip(*range, chip, language); !on.bounds) {
            console.showError(on.refusal);
            return kUsage;
        }
    }
    // Where the programmer has no erase, an erase alone would leave the chip as it was:
    // a script must not read that as an erased chip. Auto writes over it all the same.
    if (operation == Operation::Erase && eraseReach(chip) == EraseReach::NoErase) {
        console.showError(std::string(text(txtNothingErased, language)));
        return kChipProblem;
    }
    ChipBuffers work(chip, host, console, language);
    if (range)
        work.buffers.range = *range;
    const bool takesImage =
        !operation || operation == Operation::Write || operation == Operation::Verify;
    if (takesImage && !work.load(args))
        return interrupted() ? kInterrupted : kFileError;

    // The engine first asks which chip is in the socket; another chip than the one named
    // refuses the command unless --ignore-id lets it go on.
    Engine engine(usb, connection, host, work.buffers, *catalogue, language);
    GoOnWithOtherChip goOn;
    if (args.ignoreId)
        goOn = [](const std::string &) { return true; };
    // Ctrl+C ends the operation at its next transfer, through CMD_END and the close.
    report.outcome = operation ? engine.run(*operation, *slot, 0, work.view, goOn)
                               : engine.runAuto(*slot, 0, work.view,
                                                {!args.noErase, true, !args.noVerify}, goOn);
    // The range was checked and the image is loaded: an operation that did not start
    // refused the chip's record (a capacity the buffer cannot hold).
    if (!report.outcome)
        return kChipProblem;
    if (report.outcome->failedStep == PassStep::Interrupted)
        console.showError("interrupted");
    // The chip was read whole; --range saves only its part.
    if (report.outcome->passed && operation == Operation::Read) {
        const SavedPart part = partToSave(work.buffers.flash(), chip, range);
        if (!saveImage(args.file, args.format, part, console, language))
            return kFileError;
        report.savedCrc = crc32Of(part.bytes);
    }
    return exitCodeOf(*report.outcome);
}

} // namespace

int exitCodeOf(const PassOutcome &outcome) {
    if (outcome.passed)
        return kSuccess;
    switch (outcome.failedStep) {
    case PassStep::Interrupted:
        return kInterrupted;
    case PassStep::NotConnected:
        return kNoProgrammer;
    case PassStep::WrongChip:
    case PassStep::NoChip:
        return kChipProblem;
    case PassStep::Erase:
        return kEraseTimeout;
    case PassStep::Verify:
    case PassStep::NotBlank:
        return kMismatch;
    default:
        return kTransferError;
    }
}

ChipBuffers::ChipBuffers(const ChipRecord &chip, OperationHost &host, Console &console,
                         const int &language)
    : m_chip(chip), m_host(host), m_console(console), m_naming(console), m_answer(console),
      m_files(buffers, view, view, host, m_answer, m_naming, m_chooser, language) {
    setAddressFromText(buffers.range.end, buffers.resetForChip(chip, view, view));
}

int chipCommand(const Options &options, const ChipArgs &args) {
    Console console;
    ConsoleHost host(options.quiet, options.json);
    if (args.command == "read" && isStandardStream(args.file))
        host.logToStandardError(); // standard output carries the image
    Report report;
    report.file = args.file;
    const int exitCode = runChipCommand(options, args, console, host, report);
    if (options.json)
        printJson(args.command, report, exitCode);
    return exitCode;
}

} // namespace korvat::cli
