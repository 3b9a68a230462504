#include "Programmers.h"

#include "ConsoleHost.h"
#include "link/HidApi.h"
#include "link/Hiddrv.h"
#include "link/UsbApi.h"
#include "link/Usbbulk.h"

#include <cstdio>

namespace korvat::cli {
namespace {

// More programmers than one computer drives at once.
constexpr int kMostProgrammers = 64;

std::string describe(const AttachedProgrammer &p) {
    return p.info ? p.info->serial : p.location + " (no answer to GET_INFO)";
}

std::string listed(const std::vector<AttachedProgrammer> &programmers) {
    std::string list;
    for (const AttachedProgrammer &p : programmers)
        list += "\n  " + describe(p);
    return list;
}

// The place on the bus of the index-th programmer the walk can open; empty past the last.
std::string locationAt(TUsbBulk &usb, int index) {
    usb.pinLocation({});
    usb.setProgrammerIndex(index);
    std::string location;
    if (usb.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                      kProgrammerProduct) == 1)
        location = usb.location();
    usb.USB_bulk_close();
    usb.setProgrammerIndex(0);
    return location;
}

} // namespace

std::vector<AttachedProgrammer> attachedProgrammers(TUsbBulk &usb, OperationHost &host,
                                                    Console &console, int language) {
    std::vector<AttachedProgrammer> found;
    CUsbhid noBootLoader(HidApi::unavailable());
    FirmwareUpgrade information(usb, noBootLoader, host, console, language);
    for (int index = 0; index < kMostProgrammers; ++index) {
        std::string location = locationAt(usb, index);
        if (location.empty())
            break;
        // One that does not answer is listed and the walk goes on past it.
        usb.pinLocation(location);
        found.push_back({std::move(location), information.readInfo()});
    }
    usb.pinLocation({});
    return found;
}

int selectProgrammer(const Options &options, TUsbBulk &usb, OperationHost &host, Console &console) {
    if (options.device.empty()) {
        const std::string only = locationAt(usb, 0);
        if (locationAt(usb, 1).empty()) {
            usb.pinLocation(only); // empty when none is attached: the command reports it
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
    return kNoProgrammer;
}

int listProgrammers(const Options &options) {
    Console console(options.quiet);
    ConsoleHost host(options.quiet, options.json);
    TUsbBulk usb(UsbApi::load());
    const auto programmers = attachedProgrammers(usb, host, console, options.language);
    if (options.json)
        std::printf("[");
    bool allAnswered = true;
    for (std::size_t i = 0; i < programmers.size(); ++i) {
        const AttachedProgrammer &p = programmers[i];
        allAnswered = allAnswered && p.info;
        if (options.json && p.info)
            std::printf("%s\n{\"serial\":%s,\"hardware\":%s,\"firmware\":%s,\"location\":%s}",
                        i ? "," : "", jsonString(p.info->serial).c_str(),
                        jsonString(p.info->hardware).c_str(), jsonString(p.info->firmware).c_str(),
                        jsonString(p.location).c_str());
        else if (options.json)
            std::printf("%s\n{\"serial\":null,\"location\":%s}", i ? "," : "",
                        jsonString(p.location).c_str());
        else if (p.info)
            std::printf("%s\thardware %s\tfirmware %s\tat %s\n", p.info->serial.c_str(),
                        p.info->hardware.c_str(), p.info->firmware.c_str(), p.location.c_str());
        else
            std::printf("?\tno answer to GET_INFO\tat %s\n", p.location.c_str());
    }
    if (options.json)
        std::printf("\n]\n");
    if (programmers.empty()) {
        console.showError("no programmer is attached");
        return kNoProgrammer;
    }
    return allAnswered ? kSuccess : kTransferError;
}

} // namespace korvat::cli
