#include "FirmwareCommand.h"

#include "ConsoleHost.h"
#include "Programmers.h"
#include "link/Connection.h"
#include "link/FirmwareUpgrade.h"
#include "link/HidApi.h"
#include "link/Hiddrv.h"
#include "link/UsbApi.h"
#include "link/Usbbulk.h"

namespace korvat::cli {
namespace {

using Outcome = FirmwareUpgrade::Outcome;

int exitCodeOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Done:
        return kSuccess;
    case Outcome::Refused:
    case Outcome::Declined:
        return kFileError;
    case Outcome::NoBootLoader: // the programmer left and nothing took its place
    case Outcome::NotBack:
        return kNoProgrammer;
    case Outcome::Failed:
        break;
    }
    return kTransferError;
}

// How the upgrade ended, for the JSON object beside its result.
const char *nameOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Done:
        return "done";
    case Outcome::Refused:
        return "refused";
    case Outcome::Declined:
        return "declined";
    case Outcome::NoBootLoader:
        return "no-boot-loader";
    case Outcome::NotBack:
        return "not-back";
    case Outcome::Failed:
        break;
    }
    return "failed";
}

std::string jsonInfo(const std::optional<HardwareInfo> &info) {
    if (!info)
        return "null";
    return "{\"serial\":" + jsonString(info->serial) +
           ",\"hardware\":" + jsonString(info->hardware) +
           ",\"firmware\":" + jsonString(info->firmware) + "}";
}

} // namespace

int firmwareCommand(const Options &options, const FirmwareArgs &args) {
    Console console;
    if (!args.yes) {
        // Nobody is asked on the command line: the restart must be wanted in advance.
        console.showError("firmware restarts the programmer and replaces its firmware; "
                          "--yes confirms it");
        return kUsage;
    }
    ConsoleHost host(options.quiet, options.json);
    TUsbBulk usb(UsbApi::load());
    CUsbhid hid(HidApi::load());
    if (const int refused = selectProgrammer(options, usb, host, console); refused != kSuccess)
        return refused;
    Connection connection(usb, host, options.language);
    FirmwareUpgrade upgrade(usb, connection, hid, host, console, options.language);
    YesPrompter yes; // --yes answered the question before the command started
    // Once the programmer is restarted, stopping half-way would leave it without
    // firmware: Ctrl+C waits for the upgrade to end.
    host.setInterruptible(false);
    const Outcome outcome = upgrade.upgrade(args.file, yes);
    if (interrupted())
        console.showError("interrupted: the firmware upgrade was not stopped half-way");
    const int exitCode = exitCodeOf(outcome);
    // A file the upgrade refused (or a restart declined) sent nothing to the programmer.
    const char *result = resultWord(exitCode, exitCode != kFileError);
    if (options.json)
        printJsonObject("{\"command\":\"firmware\",\"file\":" + jsonString(args.file) +
                        ",\"result\":\"" + result + "\",\"outcome\":\"" + nameOf(outcome) +
                        "\",\"exitCode\":" + std::to_string(exitCode) +
                        ",\"bytes\":" + std::to_string(upgrade.firmwareLength()) +
                        ",\"before\":" + jsonInfo(upgrade.infoBefore()) + ",\"after\":" +
                        jsonInfo(upgrade.infoAfter()) + ",\"errors\":" + jsonErrors() + "}");
    return exitCode;
}

} // namespace korvat::cli
