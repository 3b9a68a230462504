#include "ChipChoosing.h"

#include "ChipCommands.h"
#include "ConsoleHost.h"
#include "Programmers.h"
#include "base/HexText.h"
#include "base/TextTable.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ChipChoice.h"
#include "link/Connection.h"
#include "link/UsbApi.h"
#include "link/Usbbulk.h"

#include <algorithm>
#include <cstdio>

namespace korvat::cli {
namespace {

std::string listed(const std::vector<std::string> &names) {
    std::string list;
    for (const std::string &n : names)
        list += "\n  " + n;
    return list;
}

// The records that carry the chip ID; none for the IDs that name no chip.
std::vector<CatalogueChip> chipsWithId(const Catalogue &catalogue, std::uint32_t id) {
    std::vector<CatalogueChip> found;
    for (const int slot : catalogue.slotsWithChipId(id))
        found.push_back({slot, splitForSelection(catalogue.name(slot))});
    return found;
}

// What a detection that could not be made exits with; the window's message is shown.
int unanswered(const ChipIdentity &id, Console &console, int language) {
    const bool link = id.reach == ChipIdentity::Reach::LinkFailed;
    console.showError(
        id.reach == ChipIdentity::Reach::NoPermission
            ? noAccessText(language)
            : std::string(text(link ? txtIdentityFailed : txtNotConnected, language)));
    return link ? kTransferError : kNoProgrammer;
}

// The chip --detect finds among the records with the ID; --chip, when given, must name
// one of them.
std::optional<int> chipOfId(const ChipArgs &args, const Catalogue &catalogue,
                            const ChipIdentity &id, const std::vector<int> &named, Console &console,
                            int language) {
    const auto found = chipsWithId(catalogue, id.chipId());
    if (named.empty() && found.size() == 1)
        return found.front().slot;
    std::vector<std::string> names;
    std::vector<int> picked;
    for (const CatalogueChip &c : found) {
        names.push_back(fullChipName(c.name));
        if (std::find(named.begin(), named.end(), c.slot) != named.end())
            picked.push_back(c.slot);
    }
    if (picked.size() == 1)
        return picked.front();
    const std::string hex = hexText(id.chipId(), 6);
    console.showError(names.empty() ? std::string(text(txtUnknownId, language)) + hex
                                    : "chips with the ID " + hex +
                                          (named.empty() ? "" : " (not " + args.chip + ")") + ":" +
                                          listed(names) + "\nname one with --chip");
    return std::nullopt;
}

} // namespace

std::optional<int> chooseSlot(const ChipArgs &args, const Catalogue &catalogue,
                              Connection &connection, Console &console, int language,
                              int &exitCode) {
    exitCode = kChipProblem;
    std::vector<int> named;
    if (!args.chip.empty()) {
        const ChipChoice choice = chooseChip(catalogue, args.chip);
        named = choice.named;
        // An ambiguous name may still be settled by the ID --detect finds.
        if (!choice.slot && (named.empty() || !args.detect)) {
            console.showError(choice.candidates.empty()
                                  ? "unknown chip " + args.chip
                                  : "chip " + args.chip + " could be:" + listed(choice.candidates));
            return std::nullopt;
        }
        if (!args.detect)
            return choice.slot;
    }
    if (!args.detect) {
        console.showError("--chip or --detect names the chip in the socket");
        exitCode = kUsage;
        return std::nullopt;
    }
    // The detection exchange with the parameters of a chip the programmer can ask: the
    // first one --chip names, else the catalogue's first.
    const ChipIdentity id =
        connection.readChipIdentity(catalogue.slot(named.empty() ? 0 : named.front()), 0);
    if (!id.answered()) {
        exitCode = unanswered(id, console, language);
        return std::nullopt;
    }
    if (id.emptySocket()) {
        console.showError(text(txtNoChip, language));
        return std::nullopt;
    }
    if (id.typeOnly()) {
        // A chip without an ID: present, but only --chip can tell which it is.
        if (named.size() == 1)
            return named.front();
        console.showError("the chip in the socket has no ID to tell it by; name it with --chip");
        return std::nullopt;
    }
    return chipOfId(args, catalogue, id, named, console, language);
}

std::optional<int> chooseProgrammerAndChip(const Options &options, const ChipArgs &args,
                                           const Catalogue &catalogue, TUsbBulk &usb,
                                           Connection &connection, OperationHost &host,
                                           Console &console, int &exitCode) {
    if ((exitCode = selectProgrammer(options, usb, host, console)) != kSuccess)
        return std::nullopt;
    return chooseSlot(args, catalogue, connection, console, options.language, exitCode);
}

int programmerReachable(TUsbBulk &usb, Connection &connection, Console &console, int language) {
    if (connection.reachable())
        return kSuccess;
    console.showError(usb.deniedLocations().empty() ? "the programmer is not connected"
                                                    : noAccessText(language));
    return kNoProgrammer;
}

int detectCommand(const Options &options) {
    Console console;
    ConsoleHost host(options.quiet, options.json);
    const auto catalogue = loadCatalogue(options, console);
    if (!catalogue)
        return kFileError;
    TUsbBulk usb(UsbApi::load());
    if (const int refused = selectProgrammer(options, usb, host, console))
        return refused;
    Connection connection(usb, host, options.language);
    // The exchange runs to its end (Ctrl+C only sets a flag), so it is closed properly.
    const ChipIdentity id = connection.readChipIdentity(catalogue->slot(0), 0);
    if (interrupted())
        return kInterrupted;
    if (!id.answered())
        return unanswered(id, console, options.language);
    const std::string hex = hexText(id.chipId(), 6);
    const auto found =
        id.hasId() ? chipsWithId(*catalogue, id.chipId()) : std::vector<CatalogueChip>{};
    int exitCode = kSuccess;
    if (id.emptySocket()) {
        console.showError(text(txtNoChip, options.language));
        exitCode = kChipProblem;
    } else if (id.hasId() && found.empty()) {
        console.showError(std::string(text(txtUnknownId, options.language)) + hex);
        exitCode = kChipProblem;
    }
    if (options.json) {
        std::string chips;
        for (const CatalogueChip &c : found)
            chips += (chips.empty() ? "" : ",") + jsonString(fullChipName(c.name));
        printJsonObject("{\"command\":\"detect\"," + jsonResult(exitCode, true) +
                        ",\"type\":" + std::to_string(id.typeCode()) + ",\"id\":\"" + hex +
                        "\",\"chips\":[" + chips + "],\"errors\":" + jsonErrors() + "}");
    } else {
        std::printf("type %d id %s\n", id.typeCode(), hex.c_str());
        for (const CatalogueChip &c : found)
            std::printf("%s\n", fullChipName(c.name).c_str());
    }
    return exitCode;
}

} // namespace korvat::cli
