#include "UsbApi.h"

#include <dlfcn.h>

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

template <typename F> void bind(void *lib, const char *symbol, F &slot) {
    if (void *p = lib ? dlsym(lib, symbol) : nullptr)
        slot = reinterpret_cast<F>(p);
}

} // namespace

UsbApi UsbApi::unavailable() {
    return {missingInit,  missingFind,     missingFind,      missingBusses,    missingOpen,
            missingClose, missingControl,  missingInterface, missingInterface, missingWrite,
            missingRead,  missingStrerror, nullptr};
}

UsbApi UsbApi::load(const char *libraryName) {
    UsbApi api = unavailable();
    void *lib = dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return api;
    api.library = std::shared_ptr<void>(lib, [](void *h) { dlclose(h); });
    bind(lib, "usb_init", api.init);
    bind(lib, "usb_find_busses", api.findBusses);
    bind(lib, "usb_find_devices", api.findDevices);
    bind(lib, "usb_get_busses", api.getBusses);
    bind(lib, "usb_open", api.open);
    bind(lib, "usb_close", api.close);
    bind(lib, "usb_control_msg", api.controlMsg);
    bind(lib, "usb_claim_interface", api.claimInterface);
    bind(lib, "usb_release_interface", api.releaseInterface);
    bind(lib, "usb_bulk_write", api.bulkWrite);
    bind(lib, "usb_bulk_read", api.bulkRead);
    bind(lib, "usb_strerror", api.strerror);
    return api;
}

} // namespace korvat
