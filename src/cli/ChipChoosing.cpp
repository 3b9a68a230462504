#include "ChipChoosing.h"

#include "ChipCommands.h"
#include "ConsoleHost.h"
#include "Programmers.h"
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

std::string idText(std::uint32_t id) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(id));
    return hex;
}

// The records that carry the chip ID.
std::vector<CatalogueChip> chipsWithId(const Catalogue &catalogue, std::uint32_t id) {
    std::vector<CatalogueChip> found;
    for (int i = 0; i < catalogue.chipCount(); ++i)
        if (catalogue.slot(i).chipId == id)
            found.push_back({i, splitForSelection(catalogue.name(i))});
    return found;
}

// What a detection that could not be made exits with; the message is shown.
int unanswered(const ChipIdentity &id, Console &console) {
    const bool link = id.reach == ChipIdentity::Reach::LinkFailed;
    console.showError(link ? "the chip ID could not be read" : "the programmer is not connected");
    return link ? kTransferError : kNoProgrammer;
}

// The chip --detect finds among the records with the ID; --chip, when given, must name
// one of them.
std::optional<int> chipOfId(const ChipArgs &args, const Catalogue &catalogue,
                            const ChipIdentity &id, const std::vector<int> &named,
                            Console &console) {
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
    const std::string hex = idText(id.chipId());
    console.showError(names.empty() ? "no catalogue chip has the ID " + hex
                                    : "chips with the ID " + hex +
                                          (named.empty() ? "" : " (not " + args.chip + ")") + ":" +
                                          listed(names) + "\nname one with --chip");
    return std::nullopt;
}

} // namespace

std::optional<int> chooseSlot(const ChipArgs &args, const Catalogue &catalogue,
                              Connection &connection, Console &console, int &exitCode) {
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
        exitCode = unanswered(id, console);
        return std::nullopt;
    }
    if (id.typeCode() == 0) {
        console.showError("no chip in the socket");
        return std::nullopt;
    }
    if (id.typeCode() != 1) {
        // A chip without an ID: present, but only --chip can tell which it is.
        if (named.size() == 1)
            return named.front();
        console.showError("the chip in the socket has no ID to tell it by; name it with --chip");
        return std::nullopt;
    }
    return chipOfId(args, catalogue, id, named, console);
}

std::optional<int> chooseProgrammerAndChip(const Options &options, const ChipArgs &args,
                                           const Catalogue &catalogue, TUsbBulk &usb,
                                           Connection &connection, OperationHost &host,
                                           Console &console, int &exitCode) {
    if ((exitCode = selectProgrammer(options, usb, host, console)) != kSuccess)
        return std::nullopt;
    return chooseSlot(args, catalogue, connection, console, exitCode);
}

int chipPresent(Connection &connection, const ChipRecord &chip, Console &console) {
    const ChipIdentity id = connection.readChipIdentity(chip, 0);
    if (!id.answered())
        return unanswered(id, console);
    if (id.typeCode() != 0)
        return kSuccess;
    console.showError("no chip in the socket");
    return kChipProblem;
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
    const ChipIdentity id = connection.readChipIdentity(catalogue->slot(0), 0);
    if (!id.answered())
        return unanswered(id, console);
    const std::string hex = idText(id.chipId());
    const auto found =
        id.typeCode() == 1 ? chipsWithId(*catalogue, id.chipId()) : std::vector<CatalogueChip>{};
    if (options.json) {
        std::printf("{\"command\":\"detect\",\"type\":%d,\"id\":\"%s\",\"chips\":[", id.typeCode(),
                    hex.c_str());
        for (std::size_t i = 0; i < found.size(); ++i)
            std::printf("%s%s", i ? "," : "", jsonString(fullChipName(found[i].name)).c_str());
        std::printf("]}\n");
    } else {
        std::printf("type %d id %s\n", id.typeCode(), hex.c_str());
        for (const CatalogueChip &c : found)
            std::printf("%s\n", fullChipName(c.name).c_str());
    }
    if (id.typeCode() == 0)
        console.showError("no chip in the socket");
    return id.typeCode() == 0 ? kChipProblem : kSuccess;
}

} // namespace korvat::cli
