#include "Programmers.h"

#include "ConsoleHost.h"
#include "link/Connection.h"
#include "link/HidApi.h"
#include "link/Hiddrv.h"
#include "link/UsbApi.h"
#include "link/Usbbulk.h"

#include <algorithm>
#include <cstdio>

namespace korvat::cli {
namespace {

// What keeps a programmer from answering.
std::string state(const AttachedProgrammer &p) {
    return p.noPermission ? "no permission"
           : p.busy       ? "in use by another program"
                          : "no answer to GET_INFO";
}

std::string describe(const AttachedProgrammer &p) {
    if (p.info)
        return p.info->serial;
    return p.location + " (" + state(p) + ")";
}

std::string listed(const std::vector<AttachedProgrammer> &programmers) {
    std::string list;
    for (const AttachedProgrammer &p : programmers)
        list += "\n  " + describe(p);
    return list;
}

std::vector<std::string> locations(TUsbBulk &usb) {
    return usb.programmerLocations(kProgrammerVendorId, kProgrammerManufacturer,
                                   kProgrammerProductId, kProgrammerProduct);
}

} // namespace

std::vector<AttachedProgrammer> attachedProgrammers(TUsbBulk &usb, OperationHost &host,
                                                    Console &console, int language) {
    std::vector<AttachedProgrammer> found;
    Connection connection(usb, host, language);
    CUsbhid noBootLoader(HidApi::unavailable());
    FirmwareUpgrade information(usb, connection, noBootLoader, host, console, language);
    const auto usable = locations(usb);
    const auto denied = usb.deniedLocations(); // the next walk forgets them
    for (const std::string &location : usable) {
        if (interrupted())
            break;
        usb.pinLocation(location);
        AttachedProgrammer p{location, information.readInfo(), false};
        if (!p.info) {
            // One another program holds is still on the bus but cannot be claimed; one
            // that left or broke off is not held.
            const auto still = locations(usb);
            const bool there = std::find(still.begin(), still.end(), location) != still.end();
            p.busy = there && !connection.reachable();
        }
        found.push_back(std::move(p));
    }
    for (const std::string &location : denied)
        found.push_back({location, std::nullopt, false, true});
    usb.pinLocation({});
    return found;
}

int selectProgrammer(const Options &options, TUsbBulk &usb, OperationHost &host, Console &console) {
    if (options.device.empty()) {
        // Programmers other programs hold count too: a second process without --device
        // must not take whichever one is free. So do the ones the user may not open,
        // which may be the one meant.
        const auto all = locations(usb);
        if (all.size() + usb.deniedLocations().size() <= 1) {
            usb.pinLocation(all.empty() ? std::string() : all.front()); // none: the command says so
            return kSuccess;
        }
        console.showError("several programmers are attached; choose one with --device:" +
                          listed(attachedProgrammers(usb, host, console, options.language)));
        return kNoProgrammer;
    }
    const auto programmers = attachedProgrammers(usb, host, console, options.language);
    for (const AttachedProgrammer &p : programmers)
        if (p.info && p.info->serial == options.device) {
            usb.pinLocation(p.location);
            return kSuccess;
        }
    console.showError("no programmer with the serial number " + options.device +
                      (programmers.empty() ? " (none is attached)" : "; attached:") +
                      listed(programmers));
    if (std::any_of(programmers.begin(), programmers.end(),
                    [](const AttachedProgrammer &p) { return p.noPermission; }))
        console.showError(noAccessText(options.language));
    return kNoProgrammer;
}

int listProgrammers(const Options &options) {
    Console console;
    ConsoleHost host(options.quiet, options.json);
    TUsbBulk usb(UsbApi::load());
    const auto programmers = attachedProgrammers(usb, host, console, options.language);
    std::string json;
    bool allAnswered = true;
    bool anyDenied = false;
    for (const AttachedProgrammer &p : programmers) {
        allAnswered = allAnswered && (p.info || p.busy); // a held one cannot answer
        anyDenied = anyDenied || p.noPermission;
        if (options.json)
            json += std::string(json.empty() ? "" : ",") + "\n{\"serial\":" +
                    (p.info ? jsonString(p.info->serial) +
                                  ",\"hardware\":" + jsonString(p.info->hardware) +
                                  ",\"firmware\":" + jsonString(p.info->firmware)
                            : std::string("null")) +
                    ",\"location\":" + jsonString(p.location) + (p.busy ? ",\"busy\":true" : "") +
                    (p.noPermission ? ",\"noPermission\":true}" : "}");
        else if (p.info)
            std::printf("%s\thardware %s\tfirmware %s\tat %s\n", p.info->serial.c_str(),
                        p.info->hardware.c_str(), p.info->firmware.c_str(), p.location.c_str());
        else
            std::printf("?\t%s\tat %s\n", state(p).c_str(), p.location.c_str());
    }
    if (options.json)
        printJsonObject("[" + json + "\n]");
    if (interrupted()) {
        console.showError("interrupted: only the programmers asked before it are listed");
        return kInterrupted;
    }
    if (programmers.empty()) {
        console.showError("no programmer is attached");
        return kNoProgrammer;
    }
    if (anyDenied) { // one the user may not open cannot be used: as if not connected
        console.showError(noAccessText(options.language));
        return kNoProgrammer;
    }
    return allAnswered ? kSuccess : kTransferError;
}

} // namespace korvat::cli
