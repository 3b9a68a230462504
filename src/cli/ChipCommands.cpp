#include "ChipCommands.h"

#include "ChipChoosing.h"
#include "ConsoleHost.h"
#include "DryRun.h"
#include "Numbers.h"
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

#include <algorithm>
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

// The range as the window's two address edits take it: "START:END", hexadecimal with
// or without 0x.
std::optional<AddressRange> parseRange(const std::string &text, Console &console) {
    const RangeText read = readRange(text);
    if (!read.error.empty()) {
        console.showError("--range: " + read.error);
        return std::nullopt;
    }
    return AddressRange{read.start, read.end, true};
}

// What the JSON object of a chip command reports.
struct Report {
    std::string chip;                   // the chip's full name, once chosen
    std::string file;                   // the file the command reads or writes, if any
    std::optional<PassOutcome> outcome; // how the operation ended, once it ran
    bool printed = false;               // the dry run printed its own object
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

// What the blank check, the write and the verify look at: a blank check only the range;
// with --file-bytes a write sends and a verify compares only the addresses the file holds
// (all it covers for a raw file). Nothing, with the message shown, when a file that
// carries its addresses holds no byte inside the range: the command would write or
// compare none of it.
std::optional<CheckScope> checkScope(const ChipArgs &args, std::optional<Operation> operation,
                                     const std::optional<AddressRange> &range,
                                     const ChipBuffers &work, Console &console) {
    CheckScope scope;
    if (range && operation == Operation::BlankCheck)
        scope.blank = Bounds{static_cast<std::uint32_t>(range->start),
                             static_cast<std::uint32_t>(range->end + 1)};
    const std::vector<Bounds> &held = work.held();
    if (range && !held.empty()) {
        const std::uint64_t start = static_cast<std::uint64_t>(range->start);
        const std::uint64_t end = static_cast<std::uint64_t>(range->end) + 1;
        if (std::none_of(held.begin(), held.end(),
                         [&](const Bounds &b) { return b.start < end && b.end > start; })) {
            console.showError(shownFileName(args.file, false) + " holds no byte inside --range " +
                              args.range);
            return std::nullopt;
        }
    }
    if (args.fileBytes)
        scope.held = held;
    return scope;
}

// The steps a chip command runs, in the words of its dry run.
std::vector<std::string> stepsOf(const ChipArgs &args, std::optional<Operation> operation) {
    if (operation)
        return {args.command == "blank" ? "blank check" : args.command};
    std::vector<std::string> steps;
    if (!args.noErase)
        steps.push_back("erase");
    steps.push_back("write");
    if (!args.noVerify)
        steps.push_back("verify");
    return steps;
}

// The command checked as it would run, and what it would do printed; the programmer is
// found, and the chip it holds asked for with --detect, but nothing else is sent.
int dryRun(const Options &options, const ChipArgs &args, std::optional<Operation> operation,
           int slot, const std::optional<AddressRange> &range, ChipBuffers &work, Engine &engine,
           Report &report) {
    const auto plan = engine.plan(operation, slot, {!args.noErase, true, !args.noVerify});
    if (!plan)
        return kChipProblem;
    DryRun run;
    run.command = args.command;
    run.chip = report.chip;
    run.steps = stepsOf(args, operation);
    run.addresses = plan->addresses;
    run.crc = crcOfCovered(work.buffers.flash(), plan->image);
    run.imageBytes = plan->image ? plan->image->end - plan->image->start : 0;
    run.file = args.file;
    if (args.fileBytes)
        for (const Bounds &b : work.held())
            run.compared += std::max<std::int64_t>(
                0, std::int64_t{std::min(b.end, plan->addresses.end)} -
                       std::int64_t{std::max(b.start, plan->addresses.start)});
    if (range && operation == Operation::Read)
        run.saved = Bounds{static_cast<std::uint32_t>(range->start),
                           static_cast<std::uint32_t>(range->end + 1)};
    report.printed = true;
    return printDryRun(options, run);
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
    // The programmer erases whole chips: an erase meant for a range would reach past it.
    if (range && operation == Operation::Erase) {
        console.showError("--range does not narrow an erase: the chip is erased whole; leave "
                          "--range out to erase the whole chip");
        return kUsage;
    }

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
    if (range && !operation && !args.noErase && eraseReach(chip) != EraseReach::NoErase) {
        console.showError("auto erases the whole chip before it writes the range: add "
                          "--no-erase to write and verify only the range");
        return kUsage;
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
    const auto scope = checkScope(args, operation, range, work, console);
    if (!scope)
        return kUsage;
    engine.setScope(*scope);
    if (args.dryRun) {
        if (const int unreached = programmerReachable(usb, connection, console, language))
            return unreached;
        return dryRun(options, args, operation, *slot, range, work, engine, report);
    }
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
        if (!saveImage(args.file, args.format, part, console, language)) {
            report.outcome->dataCrc.reset(); // nothing was saved to have a figure of
            return kFileError;
        }
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
    if (options.json && !report.printed)
        printJson(args.command, report, exitCode);
    return exitCode;
}

} // namespace korvat::cli
