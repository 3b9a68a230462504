#include "UsbApi.h"

#include "DynamicLibrary.h"

namespace korvat {
namespace {

constexpr int kMissing = -2;
char kMissingText[] = "USB library not available";

void missingInit() {}
int missingFind() {
    return kMissing;
}
usb_bus *missingBusses() {
    return nullptr;
}
usb_dev_handle *missingOpen(struct usb_device *) {
    return nullptr;
}
int missingClose(usb_dev_handle *) {
    return kMissing;
}
int missingControl(usb_dev_handle *, int, int, int, int, char *, int, int) {
    return kMissing;
}
int missingInterface(usb_dev_handle *, int) {
    return kMissing;
}
int missingWrite(usb_dev_handle *, int, const char *, int, int) {
    return kMissing;
}
int missingRead(usb_dev_handle *, int, char *, int, int) {
    return kMissing;
}
char *missingStrerror() {
    return kMissingText;
}

} // namespace

UsbApi UsbApi::unavailable() {
    return {missingInit,  missingFind,     missingFind,      missingBusses,    missingOpen,
            missingClose, missingControl,  missingInterface, missingInterface, missingWrite,
            missingRead,  missingStrerror, nullptr};
}

UsbApi UsbApi::load(const char *libraryName) {
    UsbApi api = unavailable();
    const std::shared_ptr<void> lib = openLibrary(libraryName);
    if (!lib)
        return api;
    api.library = lib;
    bindSymbol(lib, "usb_init", api.init);
    bindSymbol(lib, "usb_find_busses", api.findBusses);
    bindSymbol(lib, "usb_find_devices", api.findDevices);
    bindSymbol(lib, "usb_get_busses", api.getBusses);
    bindSymbol(lib, "usb_open", api.open);
    bindSymbol(lib, "usb_close", api.close);
    bindSymbol(lib, "usb_control_msg", api.controlMsg);
    bindSymbol(lib, "usb_claim_interface", api.claimInterface);
    bindSymbol(lib, "usb_release_interface", api.releaseInterface);
    bindSymbol(lib, "usb_bulk_write", api.bulkWrite);
    bindSymbol(lib, "usb_bulk_read", api.bulkRead);
    bindSymbol(lib, "usb_strerror", api.strerror);
    return api;
}

} // namespace korvat
