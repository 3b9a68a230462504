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

std::string serials(const std::vector<HardwareInfo> &programmers) {
    std::string list;
    for (const HardwareInfo &p : programmers)
        list += "\n  " + p.serial;
    return list;
}

} // namespace

std::vector<HardwareInfo> attachedProgrammers(TUsbBulk &usb, OperationHost &host, Console &console,
                                              int language) {
    std::vector<HardwareInfo> found;
    CUsbhid noBootLoader(HidApi::unavailable());
    FirmwareUpgrade information(usb, noBootLoader, host, console, language);
    for (int index = 0; index < kMostProgrammers; ++index) {
        usb.setProgrammerIndex(index);
        const auto info = information.readInfo();
        if (!info)
            break;
        found.push_back(*info);
    }
    usb.setProgrammerIndex(0);
    return found;
}

int selectProgrammer(const Options &options, TUsbBulk &usb, OperationHost &host, Console &console) {
    if (options.device.empty()) {
        usb.setProgrammerIndex(1);
        const bool several = usb.prog_open(kProgrammerVendorId, kProgrammerManufacturer,
                                           kProgrammerProductId, kProgrammerProduct) == 1;
        usb.USB_bulk_close();
        usb.setProgrammerIndex(0);
        if (!several)
            return kSuccess;
        console.showError("several programmers are attached; choose one with --device:" +
                          serials(attachedProgrammers(usb, host, console, options.language)));
        return kNoProgrammer;
    }
    const auto programmers = attachedProgrammers(usb, host, console, options.language);
    for (std::size_t i = 0; i < programmers.size(); ++i)
        if (programmers[i].serial == options.device) {
            usb.setProgrammerIndex(static_cast<int>(i));
            return kSuccess;
        }
    console.showError("no programmer with the serial number " + options.device +
                      (programmers.empty() ? " (none is attached)" : "; attached:") +
                      serials(programmers));
    return kNoProgrammer;
}

int listProgrammers(const Options &options) {
    Console console(options.quiet);
    ConsoleHost host(options.quiet, options.json);
    TUsbBulk usb(UsbApi::load());
    const auto programmers = attachedProgrammers(usb, host, console, options.language);
    if (options.json)
        std::printf("[");
    for (std::size_t i = 0; i < programmers.size(); ++i) {
        const HardwareInfo &p = programmers[i];
        if (options.json)
            std::printf("%s\n{\"serial\":%s,\"hardware\":%s,\"firmware\":%s}", i ? "," : "",
                        jsonString(p.serial).c_str(), jsonString(p.hardware).c_str(),
                        jsonString(p.firmware).c_str());
        else
            std::printf("%s\thardware %s\tfirmware %s\n", p.serial.c_str(), p.hardware.c_str(),
                        p.firmware.c_str());
    }
    if (options.json)
        std::printf("\n]\n");
    if (programmers.empty()) {
        console.showError("no programmer is attached");
        return kNoProgrammer;
    }
    return kSuccess;
}

} // namespace korvat::cli
