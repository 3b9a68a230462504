// korvat-cli: the programmer's commands for scripts and production lines, over the same
// core as the window.
#include "BatchCommand.h"
#include "ChipChoosing.h"
#include "ChipCommands.h"
#include "Commands.h"
#include "ConsoleHost.h"
#include "FirmwareCommand.h"
#include "ImageFiles.h"
#include "Numbers.h"
#include "Programmers.h"

#include <CLI/CLI.hpp>
#include <cstring>
#include <iostream>
#include <limits>
#include <sstream>

using namespace korvat::cli;

namespace {

// Decimal digits, or hexadecimal ones after 0x, at most largest; CLI11 is then given the
// number in decimal, so a leading zero does not make it octal.
CLI::Validator numberUpTo(std::uint64_t largest) {
    return CLI::Validator(
        [largest](std::string &text) -> std::string {
            const NumberText read = readNumber(text, largest);
            if (read.value)
                text = std::to_string(*read.value);
            return read.error;
        },
        "NUMBER");
}
const CLI::Validator kUnsignedNumber = numberUpTo(std::numeric_limits<std::uint64_t>::max());

// Past numberUpTo: a number of 1 or more, why when not.
CLI::Validator atLeastOne(const std::string &why) {
    return CLI::Validator(
        [why](std::string &text) -> std::string {
            return text == "0" ? "must be 1 or more" + why : "";
        },
        "");
}

// Whether the command line asks for JSON, read from the words themselves: a command line
// CLI11 refuses may have stopped before it reached --json.
bool jsonAsked(int argc, char **argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strcmp(argv[i], "--json") == 0)
            return true;
    return false;
}

// A command line CLI11 ended: help and the version exit 0, anything else is a usage
// error. Under --json each is one object on standard output like every command's; the
// message of a usage error still goes to standard error.
int parseEnded(CLI::App &app, const CLI::ParseError &e, bool json) {
    if (!json) {
        const int code = app.exit(e);
        return code == 0 ? kSuccess : kUsage;
    }
    std::ostringstream out;
    if (app.exit(e, out, std::cerr) == 0) {
        const bool version = dynamic_cast<const CLI::CallForVersion *>(&e) != nullptr;
        const std::string ok = jsonResult(kSuccess, true);
        printJsonObject(version ? "{\"command\":\"version\"," + ok +
                                      ",\"program\":\"korvat-cli\",\"version\":\"" KORVAT_VERSION
                                      "\",\"errors\":[]}"
                                : "{\"command\":\"help\"," + ok +
                                      ",\"help\":" + jsonString(out.str()) + ",\"errors\":[]}");
        return kSuccess;
    }
    noteError(e.what());
    const auto given = app.get_subcommands();
    printJsonIfNone(given.empty() ? "" : given.front()->get_name(), kUsage);
    return kUsage;
}

} // namespace

int main(int argc, char **argv) {
    CLI::App app{"Korvat 2 programmer, command line", "korvat-cli"};
    app.footer(std::string(kExitCodeHelp) + "\n" + kNumbersHelp);
    app.require_subcommand(1);
    app.fallthrough(); // the global options may also follow the command
    app.set_version_flag("--version", "korvat-cli " KORVAT_VERSION,
                         "print the program's name and version");
    Options options;
    std::string lang = "en";
    app.add_option("--catalogue", options.catalogue, "chip catalogue file (default: the window's)");
    app.add_option("--lang", lang, "language of the messages: zh, tw or en")
        ->check(CLI::IsMember({"zh", "tw", "en"}));
    app.add_flag("--quiet,-q", options.quiet, "print nothing but errors and results");
    app.add_flag("--json", options.json, "print the result as JSON");
    app.add_option("--device", options.device,
                   "the programmer with this serial number (see devices)");

    ChipFilter filter;
    CLI::App *list = app.add_subcommand(
        "list", "catalogue chips whose name holds TEXT (every chip without it), and the "
                "--type, --maker and --id given");
    list->add_option("TEXT", filter.text, "part of the name, letter case aside");
    list->add_option("--type", filter.type, "only this type, as listed, letter case aside")
        ->type_name("TYPE");
    list->add_option("--maker", filter.maker, "only this maker, letter case aside")
        ->type_name("MAKER");
    list->add_option("--id", filter.id, "only this chip ID, hexadecimal with or without 0x")
        ->transform(CLI::Validator(
            [](std::string &text) -> std::string {
                const NumberText read = readHex(text, 0xFFFFFFFF);
                if (read.value)
                    text = std::to_string(*read.value);
                return read.value ? "" : read.error + ", such as EF4017";
            },
            "HEX"));

    CLI::App *catalogue = app.add_subcommand("catalogue", "the chip catalogue");
    catalogue->require_subcommand(1);
    CLI::App *merge = catalogue->add_subcommand(
        "merge", "add the installed default's chips that the user's catalogue lacks");

    const auto formats = CLI::IsMember({"raw", "ihex", "srec"});
    ConvertArgs conversion;
    CLI::App *convert =
        app.add_subcommand("convert", "convert between raw, Intel HEX and S-record files");
    convert
        ->add_option("IN", conversion.in,
                     "file to read (format by extension); - for standard input")
        ->required();
    convert
        ->add_option("OUT", conversion.out,
                     "file to write (format by extension); - for standard output")
        ->required();
    convert->add_option("--size", conversion.size, "bytes to write (default: what IN holds)")
        ->transform(numberUpTo(64u << 20)); // the largest image: the FLASH buffer
    convert->add_flag("--force", conversion.force, "replace OUT when it exists");
    convert
        ->add_option("--in-format", conversion.inFormat,
                     "IN's format, in place of its extension (required for -)")
        ->check(formats);
    convert
        ->add_option("--out-format", conversion.outFormat,
                     "OUT's format, in place of its extension (raw for -)")
        ->check(formats);

    CLI::App *devices =
        app.add_subcommand("devices", "the attached programmers: serial number and versions");
    CLI::App *detect = app.add_subcommand("detect", "read the chip's ID and name its chips");

    // The chip commands.
    ChipArgs chip;
    auto addChipCommand = [&](const char *name, const char *what, const char *fileHelp) {
        CLI::App *c = app.add_subcommand(name, what);
        c->add_option("--chip", chip.chip, "the chip: MODEL, or TYPE/MAKER/MODEL");
        c->add_flag("--detect", chip.detect, "the chip the programmer finds in the socket");
        c->add_option("--range", chip.range,
                      "the address range, END its last address; both hexadecimal, with or "
                      "without 0x. Write and verify cover it, blank checks only it, read saves "
                      "only it; erase, and auto without --no-erase, refuse it (the chip erases "
                      "whole)")
            ->check(
                CLI::Validator([](const std::string &text) { return readRange(text).error; }, ""))
            ->type_name("START:END");
        c->add_flag("--ignore-id", chip.ignoreId,
                    "go on when the socket holds another chip than --chip names");
        c->add_flag("--dry-run", chip.dryRun,
                    "check the programmer, chip, file and range and print what would be done; "
                    "nothing is sent to the chip (with --detect its ID is read)");
        if (fileHelp)
            c->add_option("FILE", chip.file, fileHelp)->required();
        return c;
    };
    // The image file's options: its format, and the one --force of the command.
    auto addFileOptions = [&](CLI::App *c, ChipArgs &args, const char *formatHelp,
                              const char *forceHelp) {
        c->add_option("--format", args.format, formatHelp)->check(formats);
        c->add_flag("--force", args.force, forceHelp);
        return c;
    };
    const char *formatIn = "FILE's format, in place of its extension (required for -)";
    const char *longFile = "take a FILE longer than the chip, cut to the chip";
    const char *fileBytes =
        "write (auto) and compare only the addresses an Intel HEX or S-record FILE "
        "holds (raw: all)";
    addChipCommand("erase", "erase the chip", nullptr);
    addChipCommand("blank", "check that the chip is erased", nullptr);
    addFileOptions(addChipCommand("read",
                                  "read the chip into FILE; with --range only that part is "
                                  "saved (the chip is read whole)",
                                  "file to write (format by extension); - for standard output"),
                   chip, "the format to save in, in place of FILE's extension (raw for -)",
                   "replace FILE when it exists");
    addFileOptions(addChipCommand("write", "write FILE to the chip",
                                  "file to write to the chip; - for standard input"),
                   chip, formatIn, longFile);
    addFileOptions(addChipCommand("verify", "compare the chip with FILE",
                                  "file to compare with; - for standard input"),
                   chip, formatIn, longFile)
        ->add_flag("--file-bytes", chip.fileBytes, fileBytes);
    CLI::App *autoPass = addFileOptions(
        addChipCommand("auto", "erase, write and verify", "file to write; - for standard input"),
        chip, formatIn, longFile);
    autoPass->add_flag("--no-erase", chip.noErase, "do not erase first");
    autoPass->add_flag("--no-verify", chip.noVerify, "do not verify after");
    autoPass->add_flag("--file-bytes", chip.fileBytes, fileBytes);

    // Batch mode.
    BatchArgs batch;
    korvat::SerialNumbers serial;
    CLI::App *batchMode = app.add_subcommand(
        "batch", "program every chip put in the socket with FILE, until Ctrl+C or --count");
    batchMode->add_option("FILE", batch.chip.file, "file to write; - for standard input")
        ->required();
    addFileOptions(batchMode, batch.chip, formatIn, longFile);
    batchMode->add_option("--chip", batch.chip.chip, "the chip: MODEL, or TYPE/MAKER/MODEL");
    batchMode->add_flag("--detect", batch.chip.detect, "the chip found in the socket now");
    batchMode->add_flag("--dry-run", batch.chip.dryRun,
                        "check the programmer, chip, file and serial numbers and print what "
                        "would be done; nothing is sent to the chip");
    batchMode->add_option("--record", batch.record,
                          "production record (default: beside the window's settings)");
    batchMode
        ->add_option("--count", batch.count, "stop after this many chips (default: until Ctrl+C)")
        ->transform(numberUpTo(std::numeric_limits<int>::max()))
        ->check(atLeastOne("; leave it out to program until Ctrl+C"));
    CLI::Option *serialAt =
        batchMode->add_option("--serial-at", serial.address, "image address of the serial number")
            ->transform(numberUpTo(std::numeric_limits<std::uint32_t>::max()));
    batchMode->add_option("--serial-start", serial.start, "the first chip's serial number")
        ->transform(kUnsignedNumber)
        ->needs(serialAt);
    batchMode->add_option("--serial-step", serial.step, "added for each chip (default 1)")
        ->transform(kUnsignedNumber)
        ->check(atLeastOne(": two chips would share a number"))
        ->needs(serialAt);
    batchMode->add_option("--serial-bytes", serial.bytes, "its size in bytes, 1 to 32 (default 4)")
        ->transform(numberUpTo(32))
        ->check(atLeastOne(": the serial number takes 1 to 32 bytes"))
        ->needs(serialAt);
    batchMode->add_option("--serial-format", serial.format, "le, be or ascii (default le)")
        ->check(CLI::IsMember({"le", "be", "ascii"}))
        ->needs(serialAt);

    // The programmer's firmware.
    FirmwareArgs firmware;
    CLI::App *firmwareUpgrade = app.add_subcommand(
        "firmware", "upgrade the programmer's firmware with FILE through its boot loader");
    firmwareUpgrade->add_option("FILE", firmware.file, "the firmware file (.fwpk)")->required();
    firmwareUpgrade->add_flag("--yes", firmware.yes,
                              "confirm the restart and the new firmware (required)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        return parseEnded(app, e, options.json || jsonAsked(argc, argv));
    }
    options.language = lang == "zh" ? 0 : lang == "tw" ? 1 : 2;
    const std::string command =
        *merge ? "catalogue merge" : app.get_subcommands().front()->get_name();
    const int code = [&] {
        if (*list)
            return listChips(options, filter);
        if (*merge)
            return mergeCatalogueCommand(options);
        if (*convert)
            return convertFile(options, conversion);
        // Ctrl+C while the programmer is spoken to closes what is open first; in an
        // operation that is its bracket.
        catchInterrupt();
        if (*devices)
            return listProgrammers(options);
        if (*detect)
            return detectCommand(options);
        if (*firmwareUpgrade)
            return firmwareCommand(options, firmware);
        if (*batchMode) {
            if (*serialAt)
                batch.serial = serial;
            return batchCommand(options, batch);
        }
        chip.command = command;
        return chipCommand(options, chip);
    }();
    if (options.json)
        printJsonIfNone(command, code);
    return code;
}
